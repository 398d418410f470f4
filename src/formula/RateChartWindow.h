#pragma once

#include <QWidget>
#include <vector>

#include "formula/RollingRate.h"

class QLabel;
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace varnet {

// A formula's rolling hit rate over the stored history, with the rate chance
// alone gives its kind as a horizontal line: a formula that only rides luck
// wanders around that line.
class RateChartWindow : public QWidget {
    Q_OBJECT
  public:
    struct Data {
        QString formula;       // as the list shows it
        QString positionName;  // "第一", ...
        bool kill = true;
        int retrieval = 0;   // the verification's retrieval count; 0 = all draws
        int window = 0;      // rows per window (rollingWindow)
        int markedRows = 0;  // draws with a number aimed at them
        std::int32_t firstIssue = 0, lastIssue = 0;
        std::vector<RatePoint> points;
    };

    explicit RateChartWindow(QWidget* parent = nullptr);

    void showData(const Data& data);

    QChart* chart() const { return chart_; }
    QLineSeries* rateSeries() const { return rate_; }
    QLineSeries* baselineSeries() const { return baseline_; }
    QLabel* note() const { return note_; }

  private:
    QChartView* view_ = nullptr;
    QChart* chart_ = nullptr;
    QLineSeries* rate_ = nullptr;
    QLineSeries* baseline_ = nullptr;
    QValueAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace varnet
