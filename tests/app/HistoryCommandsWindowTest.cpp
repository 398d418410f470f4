#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <mutex>
#include <thread>

#include "GuiFixture.h"
#include "history/DrawEntry.h"
#include "search/SchemeSearch.h"
#include "support/RandomHistory.h"

namespace varnet::test {
namespace {

using CommandsTest = GuiTest;

const QString kDeleteDownTo = "删除到选定期(&D)";
const QString kDeleteLastN = "删除最后指定数量期历史(&E)";
const QString kDeleteAll = "删除所有历史(&A）";

TEST_F(CommandsTest, DeleteDownToProposesTheIssueBeforeTheLast) {
    store({545548, 545549, 545550});
    MainWindow& w = open();
    asker.answers = {QString("545549")};
    asker.confirms = {true};
    trigger(w.historyMenu(), kDeleteDownTo);
    ASSERT_EQ(asker.questions.size(), 2u);
    EXPECT_EQ(asker.questions[0].title, "删除期数");
    EXPECT_EQ(asker.questions[0].text, "请输入需要删除到的期数(保留到该期），例如‘545550’");
    EXPECT_EQ(asker.questions[0].proposal, "545549");
    EXPECT_EQ(storedIssues(), (std::vector<int>{545548, 545549}));
    EXPECT_EQ(w.historyModel()->rowCount(), 2);
    EXPECT_EQ(issueBox()->text(), "545550");

    // An empty answer and Cancel end the command quietly.
    asker.answers = {QString(""), std::nullopt};
    for (int i = 0; i < 2; ++i) trigger(w.historyMenu(), kDeleteDownTo);
    EXPECT_EQ(storedIssues().size(), 2u);

    asker.answers = {QString("1")};  // below every stored issue: not stored, refused
    asker.confirms = {true};
    trigger(w.historyMenu(), kDeleteDownTo);
    EXPECT_EQ(storedIssues().size(), 2u);
    EXPECT_EQ(w.historyModel()->rowCount(), 2);
    EXPECT_EQ(asker.messages.size(), 1u);
}

TEST_F(CommandsTest, DeleteLastNumberOfDraws) {
    store({545546, 545547, 545548, 545549, 545550});
    MainWindow& w = open();
    asker.answers = {QString("2")};
    asker.confirms = {true};
    trigger(w.historyMenu(), kDeleteLastN);
    EXPECT_EQ(asker.questions.front().proposal, "1");
    EXPECT_EQ(asker.questions.front().text,
              "请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）");
    EXPECT_EQ(storedIssues(), (std::vector<int>{545546, 545547, 545548}));
    EXPECT_EQ(issueBox()->text(), "545549");

    asker.answers = {QString("x"), QString("-3")};
    trigger(w.historyMenu(), kDeleteLastN);
    trigger(w.historyMenu(), kDeleteLastN);
    EXPECT_EQ(storedIssues().size(), 3u);
    EXPECT_EQ(asker.messages.size(), 2u) << "not a count: said, not ignored";

    asker.answers = {QString("9")};  // more than stored
    asker.confirms = {true};
    trigger(w.historyMenu(), kDeleteLastN);
    EXPECT_TRUE(storedIssues().empty());
    EXPECT_EQ(asker.messages.size(), 2u);
}

TEST_F(CommandsTest, DeleteLastAndDeleteAll) {
    store({545548, 545549, 545550});
    MainWindow& w = open();
    auto* button = w.findChild<QPushButton*>("cmdDelLast");
    ASSERT_NE(button, nullptr);
    box(3)->setText("7");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(storedIssues(), (std::vector<int>{545548, 545549}));
    EXPECT_EQ(issueBox()->text(), "545550");
    EXPECT_TRUE(box(3)->text().isEmpty()) << "focus went to box 1, emptying the boxes";

    asker.confirms = {true};
    trigger(w.historyMenu(), kDeleteAll);
    EXPECT_TRUE(storedIssues().empty());
    EXPECT_EQ(w.historyModel()->rowCount(), 0);
    trigger(w.historyMenu(), kDeleteAll);  // empty history: nothing to ask or say
    EXPECT_EQ(asker.questions.size(), 1u);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(asker.messages.empty());
}

TEST_F(CommandsTest, EachDeletionAsksWithTheCountAndIssuesAndCancelKeepsEveryDraw) {
    const std::vector<int> all{545546, 545547, 545548, 545549, 545550};
    store({545546, 545547, 545548, 545549, 545550});
    MainWindow& w = open();
    const struct {
        QString command;
        std::optional<QString> answer;
        QString says;
    } cases[] = {
        {kDeleteDownTo, "545547", "将删除 3 期历史号码（第 545548–545550 期）"},
        {kDeleteLastN, "1", "将删除 1 期历史号码（第 545550 期）"},
        {kDeleteLastN, "9", "将删除 5 期历史号码（第 545546–545550 期）"},
        {kDeleteAll, std::nullopt, "将删除 5 期历史号码（第 545546–545550 期）"},
    };
    for (const auto& c : cases) {
        asker.questions.clear();
        if (c.answer) asker.answers = {*c.answer};
        asker.confirms = {false};
        trigger(w.historyMenu(), c.command);
        ASSERT_FALSE(asker.questions.empty()) << c.command.toStdString();
        EXPECT_TRUE(asker.questions.back().text.startsWith(c.says))
            << asker.questions.back().text.toStdString();
        EXPECT_EQ(storedIssues(), all);
        EXPECT_EQ(w.historyModel()->rowCount(), 5);
    }
    EXPECT_TRUE(asker.messages.empty());
}

TEST_F(CommandsTest, AnAnswerThatIsNoStoredIssueOrCountGetsAMessage) {
    store({545548, 545549, 545550});
    MainWindow& w = open();
    const struct {
        QString command;
        std::optional<QString> answer;
        bool said;
    } cases[] = {
        {kDeleteDownTo, "abc", true},
        {kDeleteDownTo, "545548.5", true},
        {kDeleteDownTo, "5", true},
        {kDeleteDownTo, "545551", true},
        {kDeleteDownTo, "0", true},
        {kDeleteDownTo, "", false},
        {kDeleteDownTo, std::nullopt, false},
        {kDeleteLastN, "x", true},
        {kDeleteLastN, "2.5", true},
        {kDeleteLastN, "-3", true},
        {kDeleteLastN, "0", true},
        {kDeleteLastN, " ", false},
        {kDeleteLastN, std::nullopt, false},
    };
    for (const auto& c : cases) {
        const std::string what =
            c.command.toStdString() + " " + c.answer.value_or("-").toStdString();
        asker.questions.clear();
        asker.messages.clear();
        asker.answers = {c.answer};
        asker.confirms = {true};
        trigger(w.historyMenu(), c.command);
        EXPECT_EQ(asker.questions.size(), 1u) << what << ": no deletion question";
        ASSERT_EQ(asker.messages.size(), c.said ? 1u : 0u) << what;
        if (c.said) {
            EXPECT_TRUE(asker.messages[0].text.contains(*c.answer)) << what;
        }
        EXPECT_EQ(storedIssues(), (std::vector<int>{545548, 545549, 545550})) << what;
    }
}

// Records the threads that compacted the database.
struct VacuumThreads {
    explicit VacuumThreads(Database& db) : db(db) {
        sqlite3_trace_v2(db.handle(), SQLITE_TRACE_STMT, &VacuumThreads::trace, this);
    }
    ~VacuumThreads() { sqlite3_trace_v2(db.handle(), 0, nullptr, nullptr); }
    static int trace(unsigned, void* self, void* stmt, void*) {
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(stmt));
        if (sql && QByteArray(sql).trimmed().toUpper() == "VACUUM") {
            auto* t = static_cast<VacuumThreads*>(self);
            std::lock_guard lock(t->mutex);
            t->ids.push_back(std::this_thread::get_id());
        }
        return 0;
    }
    Database& db;
    std::mutex mutex;
    std::vector<std::thread::id> ids;
};

TEST_F(CommandsTest, DeletionsThatCompactRunOnTheWorkerAndLeaveTheRightDraws) {
    store({545545, 545546, 545547, 545548, 545549, 545550});
    MainWindow& w = open();
    VacuumThreads vacuums(db);
    const struct {
        QString command;
        QString answer;
        std::vector<int> left;
    } cases[] = {
        {kDeleteDownTo, "545548", {545545, 545546, 545547, 545548}},
        {kDeleteLastN, "3", {545545}},
    };
    for (const auto& c : cases) {
        vacuums.ids.clear();
        asker.answers = {c.answer};
        asker.confirms = {true};
        trigger(w.historyMenu(), c.command);
        EXPECT_EQ(storedIssues(), c.left);
        EXPECT_EQ(w.historyModel()->rowCount(), static_cast<int>(c.left.size()));
        ASSERT_EQ(vacuums.ids.size(), 1u) << "compacted once";
        EXPECT_NE(vacuums.ids[0], std::this_thread::get_id()) << "not on the window's thread";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_TRUE(asker.messages.empty());
}

TEST_F(CommandsTest, ExportWritesTheFileAndOpensIt) {
    store({545548, 545549, 545550});
    MainWindow& w = open();
    QTest::mouseClick(w.findChild<QPushButton*>("cmdExport"), Qt::LeftButton);
    ASSERT_EQ(launcher.opened.size(), 1u);
    const QString path = launcher.opened[0].toLocalFile();
    EXPECT_EQ(QFileInfo(path).fileName(), "更新至545550期历史号码.txt");
    EXPECT_EQ(QFileInfo(path).dir().dirName(), "历史号码");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines.size(), 4);  // three lines and the end after the last
    EXPECT_TRUE(lines[2].startsWith("0545550 2016-03-15 "));
}

class ImportTest : public GuiTest {
  protected:
    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = QString::fromStdString(folder) + "/历史号码/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    void clickRead() {
        QTest::mouseClick(window->findChild<QPushButton*>("cmdRead"), Qt::LeftButton);
    }
};

TEST_F(ImportTest, ReadingAFileReplacesTheHistory) {
    store({100, 101});
    open();
    const QString file = writeFile("a.TXT",
                                   "0545549 2016-03-15 03 01 07 10 05 02 04 09 08 06 \r\n"
                                   "0545550 2016-03-15 03 07 01 10 04 02 09 05 08 06 \r\n");
    asker.confirms = {true};
    asker.files = {file};
    clickRead();
    ASSERT_GE(asker.questions.size(), 1u);
    EXPECT_EQ(asker.questions[0].title, "读入历史");
    EXPECT_TRUE(asker.questions[0].text.startsWith("确实要读入历史号码吗？"));
    EXPECT_TRUE(asker.fileFolders[0].endsWith("历史号码"));
    EXPECT_TRUE(asker.messages.empty());
    EXPECT_EQ(storedIssues(), (std::vector<int>{545549, 545550}));
    EXPECT_EQ(window->historyModel()->rowCount(), 2);
    EXPECT_EQ(issueBox()->text(), "545551");
    EXPECT_EQ(window->state().carry.year, 2016);
    EXPECT_TRUE(window->findChild<QWidget*>("drawEntry")->isEnabled());
}

TEST_F(ImportTest, LinesNotTakenAreNamedInTheMessage) {
    open();
    asker.confirms = {true};
    asker.files = {writeFile("b.txt",
                             "期号 日期 号码\r"
                             "0545550 2016-03-15 03 07 01 10 04 02 09 05 08 06 \r"
                             "0545549 2016-03-15 03 01 07 10 05 02 04 09 08 06 \r"
                             "0545550 2016-03-15 01 02 03 04 05 06 07 08 09 10 \r")};
    clickRead();
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(asker.messages[0].title, "读入历史");
    EXPECT_TRUE(asker.messages[0].text.startsWith("已读入 2 期。"))
        << asker.messages[0].text.toStdString();
    EXPECT_TRUE(asker.messages[0].text.contains("（第 1 行）"));
    EXPECT_TRUE(asker.messages[0].text.contains("（第 4 行）"));
    EXPECT_EQ(storedIssues(), (std::vector<int>{545549, 545550}));
    EXPECT_EQ(window->historyModel()->rowCount(), 2);
}

TEST_F(ImportTest, CancelOrBadFilesLeaveTheHistory) {
    store({100, 101});
    open();
    asker.confirms = {false};  // the question cancelled
    clickRead();
    EXPECT_TRUE(asker.fileFolders.empty());

    asker.confirms = {true};  // the file dialog cancelled
    clickRead();
    EXPECT_TRUE(asker.messages.empty());

    asker.confirms = {true, true, true};
    asker.files = {writeFile("a.csv", "0545550 2016-03-15 03 07 01 10 04 02 09 05 08 06 \r\n"),
                   writeFile("garbage.txt", "no draws here\r\n"),
                   QString::fromStdString(folder) + "/历史号码/missing.txt"};
    clickRead();
    clickRead();
    clickRead();
    EXPECT_EQ(asker.messages.size(), 3u);
    EXPECT_EQ(storedIssues(), (std::vector<int>{100, 101}));
    EXPECT_EQ(window->historyModel()->rowCount(), 2);
    EXPECT_FALSE(window->state().dateFromImport);
}

TEST_F(ImportTest, CancelDuringTheImportKeepsTheOldHistory) {
    store({100, 101});
    open();
    QByteArray text;
    for (int i = 0; i < 150000; ++i)
        text += QByteArray::number(1000000 + i) + " 2016-03-15 03 07 01 10 04 02 09 05 08 06 \r\n";
    asker.confirms = {true};
    asker.files = {writeFile("big.txt", text)};
    auto* cancel = window->findChild<QPushButton*>("cmdCancel");
    ASSERT_NE(cancel, nullptr);
    // Runs inside the import's wait, once the cancel button shows, while
    // the worker still parses.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, cancel, [&] {
        if (!cancel->isVisible()) return;
        poll.stop();
        cancel->click();
    });
    poll.start(10);
    clickRead();
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(asker.messages[0].text.contains("取消"));
    EXPECT_EQ(storedIssues(), (std::vector<int>{100, 101}));
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_TRUE(window->drawEntry()->isEnabled());
}

TEST_F(CommandsTest, DocumentButtons) {
    storeSetting("VideoDocUrl", "http://127.0.0.1/video.zip");
    storeSetting("OtherSoft2Url", "http://127.0.0.1/other.zip");
    MainWindow& w = open();
    auto* guide = w.findChild<QPushButton*>("cmdGuide");
    ASSERT_NE(guide, nullptr);
    EXPECT_EQ(guide->text(), "使用说明文档下载(&L)");
    QTest::mouseClick(guide, Qt::LeftButton);
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_EQ(QFileInfo(launcher.opened[0].toLocalFile()).fileName(), "使用说明.html");
    EXPECT_TRUE(QFileInfo::exists(launcher.opened[0].toLocalFile()));

    EXPECT_FALSE(w.findChild<QPushButton*>("cmdSlideDocUrl")->isVisibleTo(&w));
    auto* video = w.findChild<QPushButton*>("cmdVideoDocUrl");
    EXPECT_TRUE(video->isVisibleTo(&w));
    QTest::mouseClick(video, Qt::LeftButton);
    EXPECT_EQ(launcher.opened.back(), QUrl("http://127.0.0.1/video.zip"));

    auto* others = w.settingsMenu()->findChild<QMenu*>("mnuSoft");
    ASSERT_NE(others, nullptr);
    EXPECT_TRUE(others->menuAction()->isVisible());
    const auto entries = others->actions();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_FALSE(entries[0]->isVisible());
    EXPECT_TRUE(entries[1]->isVisible());
    entries[1]->trigger();
    EXPECT_EQ(launcher.opened.back(), QUrl("http://127.0.0.1/other.zip"));
}

// While a job runs, every command of the main window (buttons, grid menu,
// a completed manual entry) does nothing: no question, no change.
TEST_F(CommandsTest, CommandsDoNothingWhileWorkRuns) {
    storeHistory(db, randomHistory(3000, 7));
    std::vector<SearchResult> many;
    for (int i = 0; i < 30000; ++i)
        many.push_back({1, true, "L1A+L2B*L3C+" + std::to_string(i), "c:" + std::to_string(i)});
    ASSERT_TRUE(saveBatch(db, many, false).ok);
    MainWindow& w = open();
    const auto before = storedIssues();
    int fired = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!QApplication::overrideCursor()) return;  // the verification is under way
        watch.stop();
        for (const char* name : {"cmdRead", "cmdExport", "cmdDelLast", "cmdWebUpdate", "cmdDcexl",
                                 "Command23", "Command12", "cmdSearch"}) {
            auto* button = w.findChild<QPushButton*>(name);
            ASSERT_NE(button, nullptr) << name;
            button->click();
            ++fired;
        }
        for (QAction* a : w.historyMenu()->actions())
            if (a->text() != QString() && !a->menu()) {
                a->trigger();
                ++fired;
            }
        emit w.drawEntry()->drawComplete();
    });
    watch.start(5);
    w.formulaPanel()->Yansuan();
    ASSERT_FALSE(watch.isActive()) << "the verification ended before the commands came";
    EXPECT_GE(fired, 12);
    EXPECT_TRUE(asker.questions.empty());
    EXPECT_TRUE(asker.messages.empty());
    EXPECT_EQ(storedIssues(), before);
    EXPECT_EQ(w.searchWindow(), nullptr);
    EXPECT_EQ(w.resultWindow(), nullptr);
}

}  // namespace
}  // namespace varnet::test
