#include <QDate>
#include <QFont>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "app/GuiFixture.h"
#include "base/Paths.h"

namespace varnet::test {
namespace {

using EntryTest = GuiTest;

TEST_F(EntryTest, TypingTenDigitsStoresTheDrawUnderTheProposedIssue) {
    store({545548, 545549});
    MainWindow& w = open();
    EXPECT_EQ(issueBox()->text(), "545550");

    box(1)->setFocus();
    type("3710");
    EXPECT_EQ(box(4)->text(), "10") << "0 stands for 10";
    EXPECT_EQ(QApplication::focusWidget(), box(5));
    type("42958");
    EXPECT_EQ(storedIssues().size(), 2u) << "nothing stored before the tenth digit";
    type("6");

    const History h = HistoryTable(db).load();
    ASSERT_EQ(h.size(), 3);
    EXPECT_EQ(h.issue(2), 545550);
    EXPECT_EQ(h.numbers(2), (Numbers{3, 7, 1, 10, 4, 2, 9, 5, 8, 6}));
    const QDate today = kToday;
    EXPECT_EQ(h.draw(2).year, today.year()) << "no import ran: today's date";
    EXPECT_EQ(h.draw(2).day, today.day());
    EXPECT_TRUE(asker.messages.empty());

    HistoryModel* m = w.historyModel();
    ASSERT_EQ(m->rowCount(), 3);
    EXPECT_EQ(m->index(2, 0).data().toString(), "545550");
    EXPECT_EQ(m->index(2, 4).data().toString(), "10");
    EXPECT_EQ(issueBox()->text(), "545551");
    EXPECT_EQ(w.state().entryIssueText, "545551");
    EXPECT_EQ(w.state().verificationIssueText, "545550");
    EXPECT_EQ(QApplication::focusWidget(), box(1));
    for (int i = 1; i <= 10; ++i) EXPECT_TRUE(box(i)->text().isEmpty()) << i;
}

// The window follows entries and deletions in memory; what it shows must be
// what the file holds, also when another program wrote to the file meanwhile.
TEST_F(EntryTest, HistoryInMemoryFollowsTheFile) {
    store({545548, 545549});
    MainWindow& w = open();
    auto sameAsFile = [&] {
        const History file = HistoryTable(db).load();
        ASSERT_EQ(w.history().size(), file.size());
        for (int r = 0; r < file.size(); ++r) {
            EXPECT_EQ(w.history().issue(r), file.issue(r));
            EXPECT_EQ(w.history().params(r), file.params(r));
        }
        EXPECT_EQ(w.historyModel()->rowCount(), file.size());
    };
    box(1)->setFocus();
    type("3710429586");
    sameAsFile();

    // Another program adds a draw: the next entry reads the file again.
    Database other = Schema::openDataFile(joinPath(folder, Schema::kFileName));
    ASSERT_TRUE(
        HistoryCommands(other).addDraw(makeDraw(545551, {2, 3, 4, 5, 6, 7, 8, 9, 10, 1})).ok);
    issueBox()->setText("545552");
    box(1)->setFocus();
    type("2345678901");
    sameAsFile();
    EXPECT_EQ(w.history().param(w.history().size() - 1, 132), 10)
        << "the previous draw of 545552 is 545551, written by the other program";

    // An issue before the last goes in between.
    issueBox()->setText("545547");
    box(1)->setFocus();
    type("1234567890");
    sameAsFile();
    EXPECT_EQ(w.history().issue(0), 545547);

    w.historyPanel()->deleteLastDraw();
    sameAsFile();
    asker.answers.push_back(QStringLiteral("2"));
    asker.confirms.push_back(true);
    w.historyPanel()->deleteLastDraws();
    sameAsFile();
    EXPECT_EQ(w.history().issue(w.history().size() - 1), 545549);
}

TEST_F(EntryTest, FirstDrawOfAnEmptyHistoryTakesTheInitialIssue) {
    MainWindow& w = open();
    EXPECT_EQ(issueBox()->text(), "2007001");
    box(1)->setFocus();
    type("1234567890");
    EXPECT_EQ(storedIssues(), std::vector<int>{2007001});
    EXPECT_EQ(issueBox()->text(), "2007002");
    // The deferred refresh fires once and then stops for the run.
    auto* timer = w.findChild<QTimer*>("Timer2");
    ASSERT_NE(timer, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 2000);
    EXPECT_EQ(w.historyModel()->rowCount(), 1);
}

TEST_F(EntryTest, LettersAreOrdinaryTextAndKeepTheFocus) {
    open();
    box(1)->setFocus();
    type("37");
    type("x");
    EXPECT_EQ(box(3)->text(), "x");
    EXPECT_EQ(QApplication::focusWidget(), box(3));
    // Focus on box 1 empties all ten boxes.
    box(4)->setFocus();
    box(1)->setFocus();
    for (int i = 1; i <= 10; ++i) EXPECT_TRUE(box(i)->text().isEmpty()) << i;
}

TEST_F(EntryTest, WrongNumbersOrAStoredIssueAreRejectedWithAMessage) {
    store({545550});
    open();
    box(1)->setFocus();
    type("x");  // box 1 reads as 0: "x2"
    type("2345678910");
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(asker.messages[0].title, "输入有误");
    EXPECT_EQ(storedIssues(), std::vector<int>{545550});

    box(1)->setFocus();
    type("1123456789");  // 1 twice
    EXPECT_EQ(asker.messages.size(), 2u);

    issueBox()->setText("545550");
    box(1)->setFocus();
    type("3710429586");
    ASSERT_EQ(asker.messages.size(), 3u);
    EXPECT_TRUE(asker.messages[2].text.contains("545550"));
    EXPECT_EQ(storedIssues(), std::vector<int>{545550});
    EXPECT_EQ(issueBox()->text(), "545550") << "a rejected draw leaves the issue box";
}

TEST_F(EntryTest, ManualEntryAfterAnImportTakesTheImportedDate) {
    const QString file = QString::fromStdString(folder) + "/历史号码/h.txt";
    Draw d{545549, {3, 1, 7, 10, 5, 2, 4, 9, 8, 6}, 15, 3, 2016};
    History h;
    h.append(d.issue, computeParameters(d, {}));
    ASSERT_TRUE(HistoryCommands::exportFile(h, file.toStdString()).ok);
    open();
    asker.confirms = {true};
    asker.files = {file};
    window->historyPanel()->importHistory();
    ASSERT_EQ(window->history().size(), 1);

    box(1)->setFocus();
    type("3710429586");
    const Draw stored = HistoryTable(db).load().draw(1);
    EXPECT_EQ(stored.issue, 545550);
    EXPECT_EQ(stored.year, 2016);
    EXPECT_EQ(stored.month, 3);
    EXPECT_EQ(stored.day, 15);
}

TEST_F(EntryTest, LongHistoryShowsItsLastPage) {
    for (int i = 0; i < 40; ++i) store({545500 + i});
    MainWindow& w = open();
    auto lastRowAtBottom = [&](int last) {
        HistoryView* view = w.historyView();
        const int bottom = view->viewport()->height() - 1;
        return view->topRow() > 0 && view->rowAt(bottom) == last &&
               view->rowAt(bottom - view->rowHeight(last)) == last - 1;
    };
    EXPECT_TRUE(lastRowAtBottom(39)) << "the last draws fill the view";

    // The wheel moves one row per step and stops at the first row.
    HistoryView* view = w.historyView();
    view->verticalScrollBar()->setValue(0);
    auto wheel = [view](int delta) {
        const QPointF at(10, 10);
        QWheelEvent e(at, view->viewport()->mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &e);
    };
    wheel(-120);
    wheel(-120);
    EXPECT_EQ(view->topRow(), 2);
    wheel(120);
    wheel(120);
    wheel(120);
    EXPECT_EQ(view->topRow(), 0);

    // Storing a draw shows the end again.
    box(1)->setFocus();
    type("3710429586");
    EXPECT_TRUE(lastRowAtBottom(40));
}

TEST_F(EntryTest, ShortOrEmptyHistoryStaysAtTheTop) {
    MainWindow& w = open();
    EXPECT_EQ(w.historyModel()->rowCount(), 0);
    EXPECT_EQ(issueBox()->text(), "2007001") << "empty history keeps the issue box";
    EXPECT_EQ(w.state().verificationIssueText, "2007001");
    issueBox()->setText("123");
    w.AddHaoma();
    EXPECT_EQ(issueBox()->text(), "123");

    for (int i = 0; i < 5; ++i) store({545500 + i});
    w.AddHaoma();
    EXPECT_EQ(w.historyView()->topRow(), 0);
}

TEST_F(EntryTest, SelectedPositionColumnIsBoldBlue) {
    store({545550});
    MainWindow& w = open();
    HistoryModel* m = w.historyModel();
    EXPECT_EQ(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "期号");
    EXPECT_EQ(m->headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(), "第十");
    EXPECT_TRUE(m->index(0, 1).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(m->index(0, 1).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::blue));
    EXPECT_FALSE(m->index(0, 2).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(m->index(0, 2).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::black));
    m->setSelectedPosition(3);
    EXPECT_FALSE(m->index(0, 1).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(m->index(0, 3).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(w.historyView()->columnWidth(0), 100);
    EXPECT_EQ(w.historyView()->columnWidth(5), 40);
}

}  // namespace
}  // namespace varnet::test
