#pragma once

#include <QWidget>

#include "analysis/Backtest.h"

class QComboBox;
class QLabel;
class QTableView;

class QChart;
class QLineSeries;
class QValueAxis;

namespace varnet {

class CellModel;

// A count axis from 0 to at least `most` with ticks at whole, round steps.
void setCountAxis(QValueAxis* axis, double most);

// "方法回测": the walk-forward check per position (draws tested, successes,
// what chance gives, p-value) and, for the chosen position, the successes
// accumulated over the tested draws against the chance line.
class BacktestWindow : public QWidget {
    Q_OBJECT
  public:
    explicit BacktestWindow(QWidget* parent = nullptr);

    // `method` says what was checked ("最优公式法，杀码，…").
    void fill(BacktestResult result, const QString& method);
    // Charts position `position` (1-based) of the last fill.
    void chartPosition(int position);

    QTableView* table() const { return table_; }
    QComboBox* positionChoice() const { return choice_; }
    QLineSeries* successSeries() const { return successes_; }
    QLineSeries* chanceSeries() const { return chance_; }

  private:
    BacktestResult result_;
    CellModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QComboBox* choice_ = nullptr;
    QChart* chart_ = nullptr;
    QLineSeries* successes_ = nullptr;
    QLineSeries* chance_ = nullptr;
    QValueAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
};

}  // namespace varnet
