#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <random>

#include "analysis/DetailListWindow.h"
#include "analysis/ParameterWindow.h"
#include "analysis/ResultSummary.h"
#include "analysis/ResultWindow.h"
#include "analysis/StepsWindow.h"
#include "app/GuiFixture.h"
#include "base/ParameterNames.h"
#include "db/FormulaTable.h"
#include "db/Transaction.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "search/SortWindow.h"
#include "support/RandomHistory.h"

namespace varnet::test {
namespace {

using Col = FormulaListModel::Column;

class CalculationWindowTest : public GuiTest {
  protected:
    void history(int rows) { storeHistory(db, randomHistory(rows, 11)); }
    // Formulas whose Chinese form is "c:" + code.
    void formulas(int position, bool kill, const std::vector<std::string>& codes) {
        for (const auto& code : codes) FormulaTable(db, position).append(kill, code, "c:" + code);
    }
    // `count` random sums of two parameters and a constant at every position.
    void randomFormulas(int count, bool kill) {
        std::mt19937_64 rng(5);
        Transaction t(db);
        for (int p = 1; p <= kPositions; ++p) {
            std::vector<FormulaRow> rows;
            for (int i = 0; i < count; ++i) {
                const int a = 1 + static_cast<int>(rng() % 120),
                          b = 1 + static_cast<int>(rng() % 120);
                const std::string c = std::to_string(rng() % 20);
                FormulaRow row;
                row.kill = kill;
                row.code = ParameterNames::code(a) + "+" + ParameterNames::code(b) + "+" + c;
                row.chinese =
                    ParameterNames::chinese(a) + "+" + ParameterNames::chinese(b) + "+" + c;
                rows.push_back(row);
            }
            FormulaTable(db, p).appendRows(rows);
        }
        t.commit();
    }

    void press(const char* name) {
        auto* button = window->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void choose(const char* name) {
        auto* option = window->findChild<QRadioButton*>(name);
        ASSERT_NE(option, nullptr) << name;
        option->click();
    }
    // Presses "确定(&O)" of the sort window once it shows.
    void confirmSortWhenShown() {
        QTimer::singleShot(0, [this] { window->sortWindow()->okButton()->click(); });
    }
    void clickListRow(int row) {
        HistoryView* view = window->formulaPanel()->listView();
        const QModelIndex at = window->formulaPanel()->model()->index(row, Col::Formula);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(at).center());
    }

    static QString text(QAbstractItemModel* m, int r, int c) {
        return m->data(m->index(r, c)).toString();
    }
    static QColor colour(QAbstractItemModel* m, int r, int c, int role) {
        return m->data(m->index(r, c), role).value<QBrush>().color();
    }
    static std::vector<int> numbers(QTableView* list) {
        std::vector<int> out;
        for (int r = 0; r < list->model()->rowCount(); ++r)
            out.push_back(text(list->model(), r, 1).toInt());
        return out;
    }
    static std::vector<int> numbers(const std::vector<PositionSummary::Row>& rows) {
        std::vector<int> out;
        for (const auto& r : rows) out.push_back(r.number);
        return out;
    }
    // Total votes per number 1..10 shown in a position's list.
    static std::array<int, 11> votes(QTableView* list) {
        std::array<int, 11> out{};
        for (int r = 0; r < list->model()->rowCount(); ++r)
            out[text(list->model(), r, 1).toInt()] = text(list->model(), r, 2).toInt();
        return out;
    }
};

// Selected and best formulas, next draw and a stored issue, both kinds: the
// window shows what the calculation and its summary give.
TEST_F(CalculationWindowTest, FourModesFillTheResultWindow) {
    const struct {
        bool best, givenIssue, kill;
        const char* shot;
    } modes[] = {
        {false, false, true, "result-kill.png"},
        {false, true, false, "result-keep.png"},
        {true, false, false, nullptr},
        {true, true, true, nullptr},
    };
    bool sawGrey = false;
    for (const auto& mode : modes) {
        SCOPED_TRACE(testing::Message() << "best " << mode.best << " issue " << mode.givenIssue
                                        << " kill " << mode.kill);
        FormulaTable::clearAll(db);
        HistoryCommands(db).deleteAll();
        history(80);
        randomFormulas(300, mode.kill);
        MainWindow& w = open();
        choose(mode.kill ? "optKill" : "optKeep");
        w.selectPosition(10);
        choose(mode.best ? "Option6_0" : "Option6_1");
        EXPECT_EQ(storedSetting("JSFF"), mode.best ? "False" : "True");
        CalcRequest request;
        request.currentPosition = 10;
        request.kill = mode.kill;
        request.best = mode.best;
        request.rule = w.formulaPanel()->countRule();
        if (mode.givenIssue) {
            w.verificationBox()->setText(QString::number(w.history().issue(40)));
            request.issue = w.history().issue(40);
            choose("Option5_1");
        }
        if (mode.best) confirmSortWhenShown();
        press("Command23");

        const CalcResult expected = calculate(db, w.history(), request);
        ASSERT_TRUE(expected.ok) << expected.message;
        const ResultSummary summary = summarise(expected, mode.kill);
        frmErrarrLei* result = w.resultWindow();
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(result->isVisible());
        ASSERT_EQ(result->tabs()->count(), 10);
        EXPECT_EQ(result->tabs()->tabText(9), "第10");
        EXPECT_EQ(result->arrangement()->text().toStdString(), summary.arrangement);
        // The note names the issue computed, in both modes.
        const std::int32_t target =
            mode.givenIssue ? w.history().issue(40) : w.history().issue(79) + 1;
        EXPECT_EQ(result->note()->text().toStdString(), resultNote(target));
        EXPECT_EQ(result->drawnLabel()->isVisibleTo(result), mode.givenIssue);
        EXPECT_EQ(result->detailsButton()->isVisibleTo(result), !mode.best);
        for (int p = 1; p <= 10; ++p) {
            const PositionSummary& s = summary.positions[p - 1];
            QAbstractItemModel* list = result->numberList(p)->model();
            ASSERT_EQ(numbers(result->numberList(p)), numbers(s.rows)) << "position " << p;
            for (int r = 0; r < 10; ++r) {
                const auto& row = s.rows[r];
                EXPECT_EQ(text(list, r, 2).toLongLong(), row.total);
                EXPECT_EQ(text(list, r, mode.kill ? 3 : 4).toLongLong(), row.total);
                EXPECT_EQ(text(list, r, 5), row.keepMark ? "保留" : "滤杀");
                EXPECT_EQ(colour(list, r, 5, Qt::ForegroundRole),
                          row.keepMark ? QColor(Qt::black) : QColor(0, 255, 0));
                EXPECT_EQ(colour(list, r, 1, Qt::BackgroundRole) == QColor(128, 128, 128),
                          row.grey);
                sawGrey = sawGrey || row.grey;
            }
            EXPECT_EQ(result->countSummary(p)->model()->rowCount(),
                      static_cast<int>(s.counts.size()));
            EXPECT_TRUE(result->examinedLabel(p)->text().contains(
                QString::number(expected.positions[p - 1].examined)));
        }

        if (mode.shot && qEnvironmentVariableIsSet("VARNET_SHOT_DIR")) {
            // A tab with a grey mark when there is one.
            int tab = 9;
            for (int i = 9; i >= 0; --i)
                if (!summary.positions[i].grey.empty()) tab = i;
            result->tabs()->setCurrentIndex(tab);
            QApplication::processEvents();
            result->grab().save(qEnvironmentVariable("VARNET_SHOT_DIR") + "/" + mode.shot);
            result->tabs()->setCurrentIndex(0);
        }

        // Every click on the number list of position 1 reverses it, in both
        // kinds and whichever column it lands on.
        QTableView* list = result->numberList(1);
        const auto click = [&](int column) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(0, column)).center());
        };
        const std::vector<int> ranked = numbers(list);
        const std::vector<int> reversed =
            numbers(resort(summary.positions[0].rows, 2, true, mode.kill));
        EXPECT_NE(ranked, reversed) << "the data should give different counts";
        click(2);
        EXPECT_EQ(numbers(list), reversed);
        click(5);
        EXPECT_EQ(numbers(list), ranked);
        click(0);
        EXPECT_EQ(numbers(list), reversed);
        EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal), "杀留Err值（公式错误值）");
        window.reset();
    }
    EXPECT_TRUE(sawGrey) << "no grey mark was checked";
}

// "验证历史结果": the note names the issue verified, the numbers drawn there
// are shown and marked in each list; a position without formulas of the
// kind says so and claims nothing.
TEST_F(CalculationWindowTest, VerifyingAnIssueMarksItsDrawAndSkipsEmptyPositions) {
    history(40);
    formulas(1, true, {"L1A+1", "L2B+3", "L3C+L4D"});
    formulas(2, false, {"L1A+2"});  // another kind only
    formulas(3, true, {"L5A+L6B", "L7A+4"});
    MainWindow& w = open();
    w.selectPosition(3);
    const std::int32_t issue = w.history().issue(30);
    w.verificationBox()->setText(QString::number(issue));
    choose("Option5_1");
    press("Command23");
    frmErrarrLei* result = w.resultWindow();
    ASSERT_NE(result, nullptr);

    EXPECT_EQ(result->note()->text().toStdString(), resultNote(issue));
    ASSERT_TRUE(result->drawnLabel()->isVisibleTo(result));
    QStringList drawn;
    for (int p = 1; p <= 10; ++p)
        drawn << QStringLiteral("%1").arg(w.history().number(30, p), 2, 10, QLatin1Char('0'));
    EXPECT_TRUE(result->drawnLabel()->text().contains(drawn.join(' ')))
        << result->drawnLabel()->text().toStdString();

    for (int p : {1, 3}) {
        QAbstractItemModel* list = result->numberList(p)->model();
        int marked = 0;
        for (int r = 0; r < list->rowCount(); ++r) {
            const bool isDrawn = text(list, r, 1).toInt() == w.history().number(30, p);
            const QString tip = list->data(list->index(r, 2), Qt::ToolTipRole).toString();
            EXPECT_EQ(colour(list, r, 2, Qt::BackgroundRole) == QColor(255, 236, 140), isDrawn);
            EXPECT_EQ(!tip.isEmpty(), isDrawn);
            if (!isDrawn) continue;
            ++marked;
            const bool right = text(list, r, 5) == "保留";
            EXPECT_TRUE(tip.contains(right ? "判断正确" : "判断错误")) << tip.toStdString();
        }
        EXPECT_EQ(marked, 1) << "position " << p;
    }

    EXPECT_TRUE(result->tabs()->tabText(1).contains("无杀码公式"))
        << result->tabs()->tabText(1).toStdString();
    EXPECT_EQ(result->numberList(2)->model()->rowCount(), 0);
    EXPECT_TRUE(result->examinedLabel(2)->text().contains("没有杀码公式"));
    EXPECT_EQ(result->arrangement()->text().split(' ').value(1), "-");

    // The next draw: no drawn numbers, the note names last stored + 1.
    choose("Option5_0");
    press("Command23");
    EXPECT_EQ(result->note()->text().toStdString(), resultNote(w.history().issue(39) + 1));
    EXPECT_FALSE(result->drawnLabel()->isVisibleTo(result));
}

TEST_F(CalculationWindowTest, SortWindowStopsTheBestMethodUntilConfirmed) {
    history(40);
    formulas(1, true, {"L1A+1", "L2A+3"});
    MainWindow& w = open();
    choose("Option6_0");
    QTimer::singleShot(0, [&] { w.sortWindow()->reject(); });
    press("Command23");
    EXPECT_EQ(w.resultWindow(), nullptr) << "never confirmed: nothing computed";
    EXPECT_TRUE(asker.messages.empty());

    frmGsCsArr* sort = w.sortWindow();
    EXPECT_EQ(sort->windowTitle(), "公式排序设置");
    EXPECT_TRUE(sort->option(0, 0)->isChecked());
    EXPECT_TRUE(sort->option(1, 2)->isChecked());
    EXPECT_TRUE(sort->option(2, 4)->isChecked());
    EXPECT_EQ(sort->limitBox()->text(), "1");
    EXPECT_TRUE(sort->directionLabel(0)->text().startsWith("降序"));
    // A limit that is not a whole number keeps the window and the settings.
    QTimer::singleShot(0, [&] {
        sort->option(0, 1)->click();  // 最大连错: fewer is better
        EXPECT_TRUE(sort->directionLabel(0)->text().startsWith("升序"));
        for (const char* bad : {"abc", "2.5", "-1", ""}) {
            sort->limitBox()->setText(bad);
            sort->okButton()->click();
            EXPECT_TRUE(sort->isVisible()) << bad;
        }
        EXPECT_EQ(asker.messages.size(), 4u);
        EXPECT_FALSE(w.state().sortConfirmed);
        sort->limitBox()->setText("2");
        sort->okButton()->click();
    });
    press("Command23");
    ASSERT_NE(w.resultWindow(), nullptr);
    const SortSettings& chosen = w.state().sort;
    EXPECT_EQ(chosen.keys[0].column, "intGsErrCon");
    EXPECT_FALSE(chosen.keys[0].descending);
    EXPECT_EQ(chosen.keys[1].column, "intGsTrueCon");
    EXPECT_TRUE(chosen.keys[1].descending);
    EXPECT_EQ(chosen.keys[2].column, "intGsTrueLst");
    EXPECT_EQ(chosen.keepLimit, 2);

    // Closing without confirming keeps the settings, and the window shows
    // them when it opens again.
    QTimer::singleShot(0, [&] {
        sort->option(0, 0)->click();
        sort->reject();
    });
    press("Command23");
    EXPECT_EQ(w.state().sort.keys[0].column, "intGsErrCon");
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(sort->option(0, 1)->isChecked());
        EXPECT_EQ(sort->limitBox()->text(), "2");
        sort->reject();
    });
    press("Command23");
}

TEST_F(CalculationWindowTest, EachPositionVotesWithItsOwnSelection) {
    history(40);
    // Each gives the same number on every draw; ids 1.. in both tables.
    formulas(1, true, {"L1A-L1A+3", "L1A-L1A+7", "L1A-L1A+17"});
    formulas(2, true, {"L1A-L1A+5", "L1A-L1A+6", "L1A-L1A+8"});
    MainWindow& w = open();
    clickListRow(0);  // position 1 without its 3
    w.selectPosition(2);
    clickListRow(1);  // position 2 without its 6
    press("Command23");
    frmErrarrLei* result = w.resultWindow();
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(votes(result->numberList(1))[3], 0);
    EXPECT_EQ(votes(result->numberList(1))[7], 2);
    EXPECT_EQ(votes(result->numberList(2))[5], 1) << "same id as the formula left out at 1";
    EXPECT_EQ(votes(result->numberList(2))[6], 0);

    // The detail list: the voters of the current position, in list order.
    std::vector<QStringList> rows;
    QTimer::singleShot(0, [&] {
        auto* details = result->findChild<frmXxlb*>();
        ASSERT_NE(details, nullptr);
        QAbstractItemModel* m = details->grid()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < 5; ++c) row << text(m, r, c);
            rows.push_back(row);
        }
        details->accept();
    });
    result->detailsButton()->click();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (QStringList{"1", "c:L1A-L1A+5", "第二", "杀", "5"}));
    EXPECT_EQ(rows[1], (QStringList{"2", "c:L1A-L1A+8", "第二", "杀", "8"}));

    // Listing position 1 again refills it with every formula selected.
    w.selectPosition(1);
    w.selectPosition(2);
    press("Command23");
    EXPECT_EQ(votes(result->numberList(1))[3], 1);
    EXPECT_EQ(votes(result->numberList(2))[6], 1);
}

TEST_F(CalculationWindowTest, NoTargetOrNoIssueNumberSaysSoAndComputesNothing) {
    history(10);
    formulas(1, true, {"L1A+1"});
    MainWindow& w = open();
    EXPECT_EQ(w.verificationBox()->text(), QString::number(w.history().issue(9)));
    EXPECT_TRUE(w.findChild<QRadioButton*>("Option5_0")->isChecked());
    w.verificationBox()->setFocus();
    EXPECT_TRUE(w.findChild<QRadioButton*>("Option5_1")->isChecked());

    for (const QString& issue : {QStringLiteral("abc"), QStringLiteral("1000.5"),
                                 QString::number(w.history().issue(1)), QStringLiteral("77")}) {
        asker.messages.clear();
        w.verificationBox()->setText(issue);
        press("Command23");
        ASSERT_EQ(asker.messages.size(), 1u) << issue.toStdString();
        EXPECT_EQ(asker.messages[0].title, "计算公式");
        EXPECT_FALSE(asker.messages[0].text.isEmpty());
        EXPECT_EQ(w.resultWindow(), nullptr);
    }
}

TEST_F(CalculationWindowTest, ParameterWindowShowsTheSecondToLastDrawAndCopiesCells) {
    history(1);
    MainWindow& w = open();
    press("Command4");
    frmShuoming* table = w.parameterWindow();
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->noteLabel()->isVisible()) << "fewer than two draws";
    EXPECT_TRUE(table->cellText(0, 1).isEmpty());
    table->close();

    HistoryCommands(db).deleteAll();
    history(6);
    w.AddHaoma();
    press("Command4");
    EXPECT_FALSE(table->noteLabel()->isVisible());
    const History& h = w.history();
    const int source = h.size() - 2;
    QAbstractItemModel* m = table->grid()->model();
    ASSERT_EQ(m->rowCount(), 24);
    ASSERT_EQ(m->columnCount(), 12);
    EXPECT_EQ(m->headerData(11, Qt::Horizontal).toString(), "总位");
    EXPECT_EQ(text(m, 5, 0), "五段段数(对应12345段)");
    // Parameter k is "L" + (k mod 10) + letter (k - 1) div 10.
    for (int r = 0; r < 12; ++r)
        for (int p = 1; p <= 10; ++p)
            EXPECT_EQ(text(m, r, p).toInt(), h.param(source, r * 10 + p)) << r << "," << p;
    for (int r = 12; r < 24; ++r) {
        EXPECT_EQ(text(m, r, 11).toInt(), h.param(source, 120 + (r - 11)));
        EXPECT_TRUE(text(m, r, 1).isEmpty());
    }

    QTableView* grid = table->grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(m->index(16, 11)).center());
    EXPECT_EQ(QApplication::clipboard()->text(), text(m, 16, 11));
    EXPECT_EQ(text(m, 16, 11).toInt(), h.issue(source)) << "前期号 is the draw's own issue";

    // Every column is as wide as its header and its widest value, and the
    // window shows them all.
    QApplication::processEvents();
    int widths = 0;
    for (int c = 0; c < 12; ++c) {
        const QAbstractItemView* view = grid;  // the table view hides it
        EXPECT_GE(grid->columnWidth(c), std::max(view->sizeHintForColumn(c),
                                                 grid->horizontalHeader()->sectionSizeHint(c)))
            << "column " << c;
        widths += grid->columnWidth(c);
    }
    EXPECT_LE(widths, grid->viewport()->width());
}

TEST_F(CalculationWindowTest, StepsWindowWorksOutTheChosenFormula) {
    history(50);
    FormulaTable(db, 1).append(true, "L3A+(L5B MOD 3)+7", "第三码+(第五大小 MOD 3)+7");
    FormulaTable(db, 1).append(true, "L3A+", "坏公式");
    MainWindow& w = open();
    HistoryView* view = w.formulaPanel()->listView();
    const auto manage = [&](int row) {
        const QPoint pos =
            view->visualRect(w.formulaPanel()->model()->index(row, Col::Formula)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view->viewport(), &event);
        w.formulaPanel()->manageMenu()->hide();
        trigger(w.formulaPanel()->manageMenu(), "查询该公式历史计算式(&U)");
    };
    manage(0);
    frmGsbz* steps = w.stepsWindow();
    ASSERT_NE(steps, nullptr);
    EXPECT_TRUE(steps->isVisible());
    QAbstractItemModel* m = steps->grid()->model();
    const History& h = w.history();
    ASSERT_EQ(m->rowCount(), h.size());
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "第三码+(第五大小 MOD 3)+7");
    for (int r : {0, 17, 49}) {
        const int l3a = h.param(r, ParameterNames::indexOfCode("L3A"));
        const int l5b = h.param(r, ParameterNames::indexOfCode("L5B")) % 3;
        EXPECT_EQ(text(m, r, 0).toInt(), h.issue(r));
        EXPECT_EQ(text(m, r, 1).left(2).toInt(), h.number(r, 1));
        EXPECT_EQ(text(m, r, 2), QStringLiteral("%1+%2+7").arg(l3a).arg(l5b));
        EXPECT_EQ(text(m, r, 3).toInt(), l3a + l5b + 7);
    }

    manage(1);
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(asker.messages[0].title, "公式计算步骤");
    EXPECT_EQ(m->rowCount(), h.size()) << "the window keeps what it showed";
}

}  // namespace
}  // namespace varnet::test
