#pragma once

#include <QWidget>

class QBarSet;
class QChart;
class QLabel;
class QLineSeries;
class QValueAxis;

namespace varnet {

// What was seen against what chance alone gives: the data as a blue line over
// a counted x axis, or as labelled bars for the numbers 1..10, and chance as a
// red dashed line, with the legend at the bottom and, if asked, a note under
// the chart. The window names the series and axes and fills them.
class ChanceChart : public QWidget {
    Q_OBJECT
  public:
    enum class Shape { Line, NumberBars };

    explicit ChanceChart(Shape shape, QWidget* parent = nullptr);

    QChart* chart() const { return chart_; }
    QLineSeries* line() const { return line_; }  // Line only
    QBarSet* bars() const { return bars_; }      // NumberBars only
    QLineSeries* chance() const { return chance_; }
    QValueAxis* xAxis() const { return xAxis_; }  // Line only
    QValueAxis* yAxis() const { return yAxis_; }
    QLabel* note() const { return note_; }

    // A larger, bold title.
    void setLargeTitle();
    // A word-wrapped note under the chart.
    QLabel* addNote(const QString& objectName);

    // Chance as a level across the bars, or across the x axis's range.
    void setChanceLevel(double level, const QString& legend);
    // The y axis from 0 with room above the tallest bar (and the chance level)
    // for its label.
    void fitBars(double most, double chance);
    // The y axis from 0 to at least `most` with ticks at whole, round steps.
    void fitCount(double most);

  private:
    QChart* chart_ = nullptr;
    QLineSeries* line_ = nullptr;
    QBarSet* bars_ = nullptr;
    QLineSeries* chance_ = nullptr;
    QValueAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace varnet
