#include <QComboBox>
#include <QFileInfo>
#include <QSpinBox>
#include <QTableView>

#include "analysis/Trend.h"
#include "analysis/TrendWindow.h"
#include "app/GuiFixture.h"
#include "base/ParameterNames.h"
#include "history/HistoryModel.h"
#include "history/HistoryView.h"
#include "support/RandomHistory.h"

namespace varnet::test {
namespace {

// "号码走势图" from the history grid's menu on the current cell's position:
// its cells are the trend's, the chooser switches to a 大小 parameter, and
// the rows in view are saved as a picture.
TEST_F(GuiTest, TrendWindowFromTheHistoryMenu) {
    const History h = randomHistory(150, 8);
    storeHistory(db, h);
    MainWindow& w = open();
    w.historyView()->setCurrentIndex(w.historyModel()->index(5, 4));
    trigger(w.historyMenu(), QStringLiteral("号码走势图(&T)"));
    auto* trend = w.findChild<TrendWindow*>();
    ASSERT_NE(trend, nullptr);
    EXPECT_TRUE(trend->isVisible());
    const QAbstractItemModel* m = trend->grid()->model();
    const Trend expected = Trend::compute(h, paramIndex(0, 4), 100);
    ASSERT_EQ(m->rowCount(), 100 + TrendWindow::kSummaryRows);
    ASSERT_EQ(m->columnCount(), 10 + TrendWindow::kFixedColumns);
    for (int r : {0, 57, 99}) {
        EXPECT_EQ(m->index(r, 0).data().toString(), QString::number(h.issue(50 + r)));
        EXPECT_EQ(m->index(r, 1).data().toInt(), h.number(50 + r, 4));
        for (int c = 0; c < 10; ++c) {
            const int shown = m->index(r, c + TrendWindow::kFixedColumns).data().toInt();
            EXPECT_EQ(shown, c + 1 == h.number(50 + r, 4) ? c + 1 : expected.omission(r, c));
        }
    }
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(m->index(100, c + 2).data().toInt(), expected.column(c).appearances);
        EXPECT_EQ(m->index(103, c + 2).data().toInt(), expected.column(c).longestOmission);
        EXPECT_FALSE(m->index(103, c + 2).data(Qt::ToolTipRole).toString().isEmpty());
    }

    QComboBox* params = trend->parameterBox();
    params->setCurrentIndex(params->findData(paramIndex(1, 3)));
    emit params->activated(params->currentIndex());
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("第三大小"));
    EXPECT_EQ(m->columnCount(), 2 + TrendWindow::kFixedColumns);
    const QString png = trend->savePicture();
    EXPECT_TRUE(QFileInfo(png).size() > 0) << png.toStdString();
}

}  // namespace
}  // namespace varnet::test
