#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QtCharts/QBarSet>
#include <QtCharts/QLineSeries>
#include <random>

#include "analysis/Backtest.h"
#include "analysis/BacktestWindow.h"
#include "analysis/Report.h"
#include "analysis/ResultWindow.h"
#include "analysis/VoteChartWindow.h"
#include "app/GuiFixture.h"
#include "base/ParameterNames.h"
#include "db/FormulaTable.h"
#include "db/Transaction.h"
#include "formula/FormulaPanel.h"
#include "search/SortWindow.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet::test {
namespace {

// 方法回测 from the result window of a best-method calculation: a bad count
// is refused, a good one runs on the worker and fills the table with what
// the check gives; the vote chart shows the current position's votes.
TEST_F(GuiTest, BacktestAndVoteChartFromTheResultWindow) {
    storeHistory(db, randomHistory(120, 31));
    std::mt19937_64 rng(4);
    {
        Transaction t(db);
        for (int p = 1; p <= 3; ++p) {
            std::vector<FormulaRow> rows(40);
            for (auto& r : rows) {
                r.code = ParameterNames::code(1 + static_cast<int>(rng() % 132)) + "+" +
                         ParameterNames::code(1 + static_cast<int>(rng() % 132));
                r.chinese = r.code;
            }
            FormulaTable(db, p).appendRows(rows);
        }
        t.commit();
    }
    MainWindow& w = open();
    w.selectPosition(3);
    w.findChild<QRadioButton*>("Option6_0")->click();  // best formulas
    QTimer::singleShot(0, [&w] { w.sortWindow()->okButton()->click(); });
    QTest::mouseClick(w.findChild<QPushButton*>("Command23"), Qt::LeftButton);
    frmErrarrLei* result = w.resultWindow();
    ASSERT_NE(result, nullptr);
    ASSERT_TRUE(result->backtestButton()->isVisible());

    asker.answers = {QStringLiteral("119"), QStringLiteral("40")};
    QTest::mouseClick(result->backtestButton(), Qt::LeftButton);
    EXPECT_EQ(result->backtestWindow(), nullptr);
    ASSERT_FALSE(asker.messages.empty());
    EXPECT_TRUE(asker.messages.back().text.contains("1 至 118"));
    EXPECT_EQ(asker.questions.back().proposal, "100");

    QTest::mouseClick(result->backtestButton(), Qt::LeftButton);
    BacktestWindow* check = result->backtestWindow();
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(check->isVisible());
    CalcRequest request;
    request.currentPosition = 3;
    request.best = true;
    request.rule = w.formulaPanel()->countRule();
    request.sort = w.state().sort;
    const BacktestResult want = backtest(db, w.history(), request, 40, {}, true);
    ASSERT_TRUE(want.ok);
    QAbstractItemModel* table = check->table()->model();
    ASSERT_EQ(table->rowCount(), 3);
    // The formulas entered after every stored draw: none is clean, and the
    // window says so until all draws are asked for.
    EXPECT_FALSE(check->allDrawsBox()->isChecked());
    EXPECT_EQ(table->index(0, 1).data().toInt(), 0);
    EXPECT_TRUE(check->notes()->text().contains(QStringLiteral("没有可检验的期号")));
    auto shaded = [check] {
        int n = 0;
        for (const QPointF& at : check->uncountedSeries()->points()) n += at.y() > 0;
        return n / 2;  // each draw spans two points
    };
    EXPECT_EQ(shaded(), 40);
    check->allDrawsBox()->click();
    EXPECT_TRUE(check->notes()->text().contains(QStringLiteral("检验了全部 40 期")));
    EXPECT_EQ(shaded(), 0);
    for (int r = 0; r < 3; ++r) {
        const BacktestPosition& p = want.positions[r];
        EXPECT_EQ(table->index(r, 1).data().toInt(), 40);
        EXPECT_EQ(table->index(r, 2).data().toInt(), p.successes);
        EXPECT_EQ(table->index(r, 3).data().toString(), QString::number(p.expected, 'f', 1));
    }
    check->positionChoice()->setCurrentIndex(0);
    check->chartPosition(1);
    ASSERT_EQ(check->successSeries()->count(), 41);
    EXPECT_EQ(check->successSeries()->at(40).y(), want.positions[0].successes);
    EXPECT_NEAR(check->chanceSeries()->at(40).y(), want.positions[0].expected, 1e-9);

    QTest::mouseClick(result->voteChartButton(), Qt::LeftButton);
    VoteChartWindow* votes = result->voteChartWindow();
    ASSERT_NE(votes, nullptr);
    const CalcResult calc = calculate(db, w.history(), request);
    ASSERT_EQ(votes->bars()->count(), 10);
    std::int64_t cast = 0;
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(votes->bars()->at(n - 1), static_cast<double>(calc.positions[0].total[n]));
        cast += calc.positions[0].total[n];
    }
    // Chance gives every number a tenth of the votes.
    ASSERT_EQ(votes->chanceLine()->count(), 2);
    EXPECT_DOUBLE_EQ(votes->chanceLine()->at(1).y(), static_cast<double>(cast) / 10.0);

    if (qEnvironmentVariableIsSet("VARNET_SHOT_DIR")) {
        QTest::qWait(100);  // the charts draw on the next event loop turn
        const QString dir = qEnvironmentVariable("VARNET_SHOT_DIR");
        check->grab().save(dir + "/backtest.png");
        check->allDrawsBox()->click();
        QTest::qWait(100);
        check->grab().save(dir + "/backtest-no-clean-draws.png");
        votes->grab().save(dir + "/vote-chart.png");
    }
}

// 检验报告 from the result window of a selected-formula calculation: the
// report of the calculation's kind and method, all ten positions, is
// written into the data folder and handed to the browser.
TEST_F(GuiTest, ReportFromTheResultWindowIsWrittenAndOpened) {
    storeHistory(db, randomHistory(80, 12));
    {
        Transaction t(db);
        for (int p = 1; p <= kPositions; ++p) {
            std::vector<FormulaRow> rows(3);
            for (int i = 0; i < 3; ++i) {
                rows[i].code = ParameterNames::code(1 + i + p) + "+" + ParameterNames::code(9 + i);
                rows[i].chinese = rows[i].code;
            }
            FormulaTable(db, p).appendRows(rows);
        }
        t.commit();
    }
    MainWindow& w = open();
    QTest::mouseClick(w.findChild<QPushButton*>("Command23"), Qt::LeftButton);
    frmErrarrLei* result = w.resultWindow();
    ASSERT_NE(result, nullptr);
    ASSERT_TRUE(result->reportButton()->isVisible());
    QTest::mouseClick(result->reportButton(), Qt::LeftButton);
    const std::string file = joinPath(folder, kReportFileName);
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_EQ(launcher.opened.back(), QUrl::fromLocalFile(QString::fromStdString(file)));
    const std::string html = readFile(file);
    EXPECT_NE(html.find("选定公式法"), std::string::npos);
    EXPECT_NE(html.find("杀码"), std::string::npos);
    // 78 tested draws, none clean: the formulas entered after every draw.
    EXPECT_NE(html.find("<span data-k=\"p10-draws\">0</span>"), std::string::npos);
    EXPECT_NE(html.find("78 期新号码"), std::string::npos);
}

}  // namespace
}  // namespace varnet::test
