#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "app/AppSettings.h"
#include "app/DataFolder.h"
#include "app/MainWindow.h"
#include "base/Paths.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "history/DrawEntry.h"
#include "history/HistoryCommands.h"
#include "history/HistoryModel.h"
#include "history/HistoryView.h"
#include "support/Draws.h"
#include "ui/Asker.h"
#include "ui/Launcher.h"

namespace varnet::test {

// Answers the window's questions from a script and records what it was shown.
class ScriptedAsker : public Asker {
  public:
    struct Shown {
        QString title;
        QString text;
        QString proposal;
    };

    std::deque<bool> confirms;
    std::deque<int> choices;  // the default button when empty
    std::deque<std::optional<QString>> answers;
    std::deque<QString> files;
    std::vector<Shown> messages;   // information and warnings
    std::vector<Shown> questions;  // text questions with their proposals
    std::vector<QString> fileFolders;

    bool confirm(QWidget*, const QString& title, const QString& text) override {
        questions.push_back({title, text, {}});
        if (confirms.empty()) return false;
        const bool ok = confirms.front();
        confirms.pop_front();
        return ok;
    }
    int choose(QWidget*, const QString& title, const QString& text, const QStringList& buttons,
               int defaultButton, int) override {
        questions.push_back({title, text, buttons.join('|')});
        if (choices.empty()) return defaultButton;
        const int c = choices.front();
        choices.pop_front();
        return c;
    }
    void inform(QWidget*, const QString& title, const QString& text) override {
        messages.push_back({title, text, {}});
    }
    void warn(QWidget*, const QString& title, const QString& text) override {
        messages.push_back({title, text, {}});
    }
    std::optional<QString> askText(QWidget*, const QString& title, const QString& prompt,
                                   const QString& proposal) override {
        questions.push_back({title, prompt, proposal});
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    QString openFileName(QWidget*, const QString& folder, const QString&) override {
        fileFolders.push_back(folder);
        if (files.empty()) return {};
        const QString f = files.front();
        files.pop_front();
        return f;
    }
};

class RecordingLauncher : public Launcher {
  public:
    std::vector<QUrl> opened;
    bool open(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }
};

// A main window over a fresh data folder and settings store of its own.
class GuiTest : public ::testing::Test {
  protected:
    GuiTest() {
        folder = dir.path().toStdString() + "/data";
        std::string error;
        EXPECT_TRUE(DataFolder::prepare(folder, &error)) << error;
        db = Schema::openDataFile(joinPath(folder, Schema::kFileName));
        settingsFile = dir.path() + "/settings.ini";
    }

    std::unique_ptr<AppSettings> makeSettings() {
        return std::make_unique<AppSettings>(
            std::make_unique<QSettings>(settingsFile, QSettings::IniFormat));
    }

    void storeSetting(const QString& key, const QString& value) {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.setValue("IniSetting/" + key, value);
    }
    QString storedSetting(const QString& key) {
        QSettings s(settingsFile, QSettings::IniFormat);
        return s.value("IniSetting/" + key).toString();
    }

    // The windows' "today": a run across midnight sees the same day.
    static inline const QDate kToday{2026, 3, 15};

    MainWindow& open() {
        settings = makeSettings();
        window = std::make_unique<MainWindow>(db, folder, *settings, launcher, asker);
        window->setClock([] { return kToday; });
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }

    // Stores draws with these issues (numbers rotate from draw to draw).
    void store(std::initializer_list<int> issues) {
        Numbers n{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        for (int issue : issues) {
            std::rotate(n.begin(), n.begin() + 1, n.end());
            ASSERT_TRUE(HistoryCommands(db).addDraw(makeDraw(issue, n)).ok);
        }
    }
    std::vector<int> storedIssues() {
        const History h = HistoryTable(db).load();
        return {h.issues().begin(), h.issues().end()};
    }

    QLineEdit* box(int position) { return window->drawEntry()->box(position); }
    QLineEdit* issueBox() { return window->drawEntry()->issueBox(); }

    // Keys go where the focus is, as when the user types.
    void type(const QString& keys) {
        for (QChar c : keys) {
            QWidget* target = QApplication::focusWidget();
            ASSERT_NE(target, nullptr);
            QTest::keyClick(target, c.toLatin1());
        }
    }

    static QAction* action(QMenu* menu, const QString& text) {
        for (QAction* a : menu->actions()) {
            if (a->text() == text) return a;
            if (a->menu())
                if (QAction* inner = action(a->menu(), text)) return inner;
        }
        return nullptr;
    }
    void trigger(QMenu* menu, const QString& text) {
        QAction* a = action(menu, text);
        ASSERT_NE(a, nullptr) << text.toStdString();
        a->trigger();
    }
    std::vector<QString> checkedIssueCounts() {
        std::vector<QString> checked;
        for (int i = 0; i < AppSettings::kIssueCountEntries; ++i) {
            QAction* a = action(window->settingsMenu(),
                                QString::fromUtf8(AppSettings::issueCountCaption(i)));
            if (a && a->isChecked()) checked.push_back(a->text());
        }
        return checked;
    }

    QTemporaryDir dir;
    std::string folder;
    QString settingsFile;
    Database db;
    ScriptedAsker asker;
    RecordingLauncher launcher;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<MainWindow> window;
};

}  // namespace varnet::test
