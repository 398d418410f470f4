#include <QApplication>
#include <QCommandLineParser>
#include <QFontDatabase>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/AppIdentity.h"
#include "app/AppSettings.h"
#include "app/BusyNotice.h"
#include "app/DataFolder.h"
#include "app/MainWindow.h"
#include "app/QtTranslations.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "ui/Asker.h"
#include "ui/Launcher.h"

namespace {

// Chinese captions need a CJK font; prefer one we know is installed.
void chooseFont(QApplication& app) {
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"}) {
        if (families.contains(QString::fromUtf8(name))) {
            QFont font(QString::fromUtf8(name));
            font.setPointSize(app.font().pointSize() > 0 ? app.font().pointSize() : 10);
            app.setFont(font);
            return;
        }
    }
}

struct Options {
    QCommandLineOption dataDir{QStringLiteral("data-dir"),
                               QStringLiteral("数据文件夹（formula.mdb 所在处）"),
                               QStringLiteral("DIR")};
    QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                  QStringLiteral("启动后把主窗口画到 PNG 文件并退出"),
                                  QStringLiteral("FILE")};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(QStringLiteral("Varnet 北京赛车历史号码与公式分析"));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(dataDir);
        parser.addOption(screenshot);
    }
};

// --help and --version only print, so they must work without a display.
bool onlyPrints(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" ||
            a == "-v")
            return true;
    }
    return false;
}

void fail(bool toStderr, const QString& message) {
    if (toStderr)
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    else
        QMessageBox::critical(nullptr, QStringLiteral("Varnet"), message);
}

// A screenshot run has nobody to answer: its messages go to stderr and
// every question is declined, so no dialog can hold it up.
class PrintingAsker : public varnet::DialogAsker {
  public:
    bool confirm(QWidget*, const QString& title, const QString& text) override {
        print(title, text);
        return false;
    }
    void inform(QWidget*, const QString& title, const QString& text) override {
        print(title, text);
    }
    void warn(QWidget*, const QString& title, const QString& text) override { print(title, text); }
    std::optional<QString> askText(QWidget*, const QString& title, const QString& prompt,
                                   const QString&) override {
        print(title, prompt);
        return std::nullopt;
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }

  private:
    static void print(const QString& title, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    const Options options;
    if (onlyPrints(argc, argv)) {
        QCoreApplication core(argc, argv);
        varnet::describeApplication();
        QCommandLineParser parser;
        options.addTo(parser);
        parser.process(core);  // prints and exits
        return 0;
    }

    QApplication app(argc, argv);
    varnet::presentApplication();
    varnet::installQtTranslations(app);
    chooseFont(app);

    QCommandLineParser parser;
    options.addTo(parser);
    parser.process(app);
    const bool shotMode = parser.isSet(options.screenshot);

    const std::string folder =
        varnet::DataFolder::resolve(parser.value(options.dataDir).toStdString(),
                                    QCoreApplication::applicationDirPath().toStdString());
    // Every connection waits for another program with a box that can cancel.
    varnet::Database::setDefaultBusyWait({varnet::AppSettings().waitSeconds()});
    varnet::BusyNotice busy(varnet::Database::defaultWaitSeconds());
    varnet::Database::setDefaultBusyWait(busy.wait());
    varnet::DataFolder::Opened data;
    try {
        data = varnet::DataFolder::open(folder);
    } catch (const varnet::DbError& e) {
        fail(shotMode, QString::fromUtf8(e.what()));
        return 1;
    }
    varnet::Database& db = data.db;

    varnet::AppSettings settings;
    varnet::DesktopLauncher launcher;
    varnet::DialogAsker dialogs;
    PrintingAsker printing;
    varnet::Asker& asker = shotMode ? static_cast<varnet::Asker&>(printing) : dialogs;
    varnet::MainWindow window(db, folder, settings, launcher, asker);
    window.show();
    if (data.readOnly) {
        // Looking is still useful; say once that nothing will be kept.
        const QString note = QString::fromStdString(data.note);
        window.setWindowTitle(window.windowTitle() + QStringLiteral("（只读）"));
        if (shotMode)
            std::fprintf(stderr, "%s\n", note.toUtf8().constData());
        else
            QTimer::singleShot(0, &window, [&window, note] {
                QMessageBox::warning(&window, QStringLiteral("Varnet"), note);
            });
    }

    if (shotMode) {
        const QString file = parser.value(options.screenshot);
        // Grab once the window has been laid out and painted.
        QTimer::singleShot(0, &window, [&] {
            const bool saved = window.grab().save(file, "PNG");
            if (!saved) fail(true, QStringLiteral("无法写入截图文件 %1").arg(file));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
