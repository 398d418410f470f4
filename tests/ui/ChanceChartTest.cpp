#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <utility>

#include "app/GuiFixture.h"
#include "ui/ChanceChart.h"

namespace varnet::test {
namespace {

// The count axis: round steps, at most eight of them, reaching `most`.
TEST(ChanceChartTest, CountAxisStepsAndTop) {
    struct Case {
        double most, top, step;
    } cases[] = {{0, 1, 1},   {3.5, 4, 1},  {8, 8, 1},     {9, 10, 2},
                 {40, 40, 5}, {41, 50, 10}, {333, 350, 50}};
    ChanceChart chart(ChanceChart::Shape::Line);
    for (const Case& c : cases) {
        chart.fitCount(c.most);
        EXPECT_EQ(chart.yAxis()->min(), 0.0) << c.most;
        EXPECT_EQ(chart.yAxis()->max(), c.top) << c.most;
        EXPECT_EQ(chart.yAxis()->tickInterval(), c.step) << c.most;
    }
}

// Bars leave room above the tallest bar and the chance level for a label;
// the chance line spans the ten bars, or the line chart's x range.
TEST(ChanceChartTest, BarsRoomAndChanceSpan) {
    ChanceChart bars(ChanceChart::Shape::NumberBars);
    const std::pair<double, double> cases[] = {{0, 0}, {13, 10}, {7, 30}};
    for (const auto& [most, chance] : cases) {
        bars.fitBars(most, chance);
        EXPECT_EQ(bars.yAxis()->min(), 0.0);
        EXPECT_GE(bars.yAxis()->max(), std::max({1.0, most * 1.15, chance * 1.15})) << most;
    }
    bars.setChanceLevel(12.5, "机会");
    ASSERT_EQ(bars.chance()->count(), 2);
    EXPECT_EQ(bars.chance()->at(0), QPointF(0, 12.5));
    EXPECT_EQ(bars.chance()->at(1), QPointF(9, 12.5));
    EXPECT_EQ(bars.chance()->name(), "机会");

    ChanceChart line(ChanceChart::Shape::Line);
    line.xAxis()->setRange(102, 250);
    line.setChanceLevel(90, "基线");
    EXPECT_EQ(line.chance()->at(0), QPointF(102, 90));
    EXPECT_EQ(line.chance()->at(1), QPointF(250, 90));
}

}  // namespace
}  // namespace varnet::test
