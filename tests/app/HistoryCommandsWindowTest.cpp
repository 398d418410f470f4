#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include "GuiFixture.h"

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
    trigger(w.historyMenu(), kDeleteDownTo);
    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_EQ(asker.questions[0].title, "删除期数");
    EXPECT_EQ(asker.questions[0].text, "请输入需要删除到的期数(保留到该期），例如‘545550’");
    EXPECT_EQ(asker.questions[0].proposal, "545549");
    EXPECT_EQ(storedIssues(), (std::vector<int>{545548, 545549}));
    EXPECT_EQ(w.historyModel()->rowCount(), 2);
    EXPECT_EQ(issueBox()->text(), "545550");

    // Empty, non-numeric and 0 answers end the command.
    asker.answers = {QString(""), QString("abc"), QString("0"), std::nullopt};
    for (int i = 0; i < 4; ++i) trigger(w.historyMenu(), kDeleteDownTo);
    EXPECT_EQ(storedIssues().size(), 2u);

    asker.answers = {QString("1")};  // below every stored issue
    trigger(w.historyMenu(), kDeleteDownTo);
    EXPECT_TRUE(storedIssues().empty());
    EXPECT_EQ(w.historyModel()->rowCount(), 0);
}

TEST_F(CommandsTest, DeleteLastNumberOfDraws) {
    store({545546, 545547, 545548, 545549, 545550});
    MainWindow& w = open();
    asker.answers = {QString("2")};
    trigger(w.historyMenu(), kDeleteLastN);
    EXPECT_EQ(asker.questions.back().proposal, "1");
    EXPECT_EQ(asker.questions.back().text,
              "请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）");
    EXPECT_EQ(storedIssues(), (std::vector<int>{545546, 545547, 545548}));
    EXPECT_EQ(issueBox()->text(), "545549");

    asker.answers = {QString("x"), QString("-3")};
    trigger(w.historyMenu(), kDeleteLastN);
    trigger(w.historyMenu(), kDeleteLastN);
    EXPECT_EQ(storedIssues().size(), 3u);

    asker.answers = {QString("9")};  // more than stored
    trigger(w.historyMenu(), kDeleteLastN);
    EXPECT_TRUE(storedIssues().empty());
    EXPECT_TRUE(asker.messages.empty());
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

    trigger(w.historyMenu(), kDeleteAll);
    EXPECT_TRUE(storedIssues().empty());
    EXPECT_EQ(w.historyModel()->rowCount(), 0);
    trigger(w.historyMenu(), kDeleteAll);  // empty history: nothing to say
    QTest::mouseClick(button, Qt::LeftButton);
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

}  // namespace
}  // namespace varnet::test
