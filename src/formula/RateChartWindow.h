#pragma once

#include <QWidget>
#include <vector>

#include "formula/RollingRate.h"
#include "ui/ChanceChart.h"

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

    QChart* chart() const { return chart_->chart(); }
    QLineSeries* rateSeries() const { return chart_->line(); }
    QLineSeries* baselineSeries() const { return chart_->chance(); }
    QLabel* note() const { return chart_->note(); }

  private:
    ChanceChart* chart_ = nullptr;
};

}  // namespace varnet
