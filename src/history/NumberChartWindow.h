#pragma once

#include <QWidget>
#include <functional>

#include "history/NumberCounts.h"
#include "ui/ChanceChart.h"

class QAction;
class QMenu;

namespace varnet {

class HistoryModel;
class HistoryView;

// How often each number 1..10 came out at one position over the last draws,
// as bars, with what chance gives every number (a tenth of the draws) as a
// line.
class NumberChartWindow : public QWidget {
    Q_OBJECT
  public:
    struct Data {
        QString positionName;  // "第一", ...
        int retrieval = 0;     // the retrieval count asked for; 0 = all draws
        NumberCounts counts;
    };

    explicit NumberChartWindow(QWidget* parent = nullptr);

    void showData(const Data& data);

    // Adds the chart's entry to the history grid's menu. The position is the
    // number column right-clicked, else the current cell's, else the selected
    // position; the draws are the last `retrieval()` (0: all).
    static QAction* addMenuEntry(QMenu* menu, HistoryView* view, const HistoryModel& model,
                                 std::function<int()> retrieval);

    QChart* chart() const { return chart_->chart(); }
    QBarSet* bars() const { return chart_->bars(); }
    QLineSeries* expectation() const { return chart_->chance(); }
    QLabel* note() const { return chart_->note(); }

  private:
    ChanceChart* chart_ = nullptr;
};

}  // namespace varnet
