#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>

#include "app/GuiFixture.h"
#include "db/FormulaTable.h"
#include "engine/Significance.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "formula/RateChartWindow.h"
#include "history/NumberChartWindow.h"
#include "support/RandomHistory.h"

namespace varnet::test {
namespace {

using Col = FormulaListModel::Column;

class ChartsWindowTest : public GuiTest {
  protected:
    // Right-click on a cell of a view, which opens its menu, and close the menu.
    void rightClick(QTableView* view, int row, int column) {
        QWidget* viewport = view->viewport();
        const QPoint pos = view->visualRect(view->model()->index(row, column)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &event);
    }
    // Grabs a window to $VARNET_SHOTS/<name>.png when that folder is given.
    static void shoot(QWidget* w, const char* name) {
        const QString folder = qEnvironmentVariable("VARNET_SHOTS");
        if (!folder.isEmpty()) w->grab().save(folder + "/" + name + ".png");
    }
};

// The chance columns, the rolling rate of a constant kill formula (it hits
// whenever its number is not drawn, which the test counts from the draws)
// and the number counts of the right-clicked column, over the last 100 draws.
TEST_F(ChartsWindowTest, ChanceColumnsAndBothChartsFollowTheDraws) {
    const History h = randomHistory(250, 31);
    storeHistory(db, h);
    for (const char* code : {"5", "L1A", "L2B+3"}) FormulaTable(db, 1).append(true, code, code);
    storeSetting("JSQS", "1");  // 前100期
    MainWindow& w = open();
    FormulaPanel& panel = *w.formulaPanel();
    FormulaListModel& model = *panel.model();
    const auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
        return model.data(model.index(row, column), role).toString();
    };

    EXPECT_EQ(model.headerData(Col::Baseline, Qt::Horizontal, Qt::DisplayRole), "机会基线");
    EXPECT_EQ(model.headerData(Col::Significance, Qt::Horizontal, Qt::DisplayRole), "显著性");
    ASSERT_EQ(cell(0, Col::Formula), "5");
    CountRule rule;
    rule.retrieval = 100;
    int counted = 0, hits = 0;
    for (int r = firstCountedRow(h.size(), rule); r < h.size(); ++r, ++counted)
        hits += h.number(r, 1) != 5;
    EXPECT_EQ(cell(0, Col::Baseline), "90%");
    EXPECT_EQ(cell(0, Col::Significance),
              QString::fromStdString(pValueText(binomialUpperTail(counted, hits, 0.9))));
    const QString tip = cell(0, Col::Significance, Qt::ToolTipRole);
    EXPECT_TRUE(tip.contains("单侧二项检验") && tip.contains(QString::number(counted)))
        << tip.toStdString();
    EXPECT_TRUE(cell(0, Col::LongestMiss, Qt::ToolTipRole).contains("连错的概率"));
    // The adjusted column: Benjamini-Hochberg over the three listed formulas,
    // with what it cannot correct said in its tip.
    EXPECT_EQ(model.headerData(Col::Adjusted, Qt::Horizontal, Qt::DisplayRole), "校正显著性");
    std::vector<double> p;
    for (int i = 0; i < 3; ++i) p.push_back(chanceViewOf(*model.score(i), true).pValue);
    const std::vector<double> q = benjaminiHochberg(p);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(cell(r, Col::Adjusted), QString::fromStdString(pValueText(q[r]))) << r;
    const QString adjustedTip = cell(0, Col::Adjusted, Qt::ToolTipRole);
    EXPECT_TRUE(adjustedTip.contains("Benjamini") && adjustedTip.contains("挑出"))
        << adjustedTip.toStdString();
    EXPECT_EQ(cell(0, Col::Rate).isEmpty(), false) << "the list's own columns stay";

    QHeaderView* header = panel.listView()->horizontalHeader();
    panel.listView()->scrollTo(model.index(0, Col::Significance));
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {},
                       QPoint(header->sectionViewportPosition(Col::Significance) + 5, 5));
    for (int r = 1; r < model.rowCount(); ++r)
        EXPECT_LE(cell(r - 1, Col::Significance).toDouble(), cell(r, Col::Significance).toDouble());
    shoot(w.window(), "list-significance");

    int row = 0;
    while (cell(row, Col::Formula) != "5") ++row;
    rightClick(panel.listView(), row, Col::Formula);
    panel.manageMenu()->hide();
    trigger(panel.manageMenu(), "该公式滚动正确率图(&R)");
    RateChartWindow* rates = panel.rateChart();
    ASSERT_NE(rates, nullptr);
    EXPECT_TRUE(rates->isVisible());
    // Rows 2..249 have a number aimed at them: 248 - 100 + 1 windows.
    ASSERT_EQ(rates->rateSeries()->count(), 149);
    int lastHits = 0;
    for (int r = h.size() - 100; r < h.size(); ++r) lastHits += h.number(r, 1) != 5;
    EXPECT_EQ(rates->rateSeries()->at(148), QPointF(250, lastHits));
    int firstHits = 0;
    for (int r = 2; r < 102; ++r) firstHits += h.number(r, 1) != 5;
    EXPECT_EQ(rates->rateSeries()->at(0), QPointF(102, firstHits));
    EXPECT_EQ(rates->baselineSeries()->at(0).y(), 90.0);
    EXPECT_EQ(rates->baselineSeries()->at(1).y(), 90.0);
    shoot(rates, "rate-chart");

    rightClick(w.historyView(), 10, 3);
    w.historyMenu()->hide();
    trigger(w.historyMenu(), "该位号码出现次数图(&F)");
    auto* numbers = w.findChild<NumberChartWindow*>();
    ASSERT_NE(numbers, nullptr);
    EXPECT_TRUE(numbers->chart()->title().contains("第三"))
        << numbers->chart()->title().toStdString();
    int expected[10] = {};
    for (int r = h.size() - 100; r < h.size(); ++r) ++expected[h.number(r, 3) - 1];
    ASSERT_EQ(numbers->bars()->count(), 10);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(numbers->bars()->at(k), expected[k]) << k + 1;
    EXPECT_EQ(numbers->expectation()->at(0).y(), 10.0);
    shoot(numbers, "number-chart");
}

}  // namespace
}  // namespace varnet::test
