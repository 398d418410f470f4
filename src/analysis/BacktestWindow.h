#pragma once

#include <QWidget>

#include "analysis/Backtest.h"
#include "ui/ChanceChart.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QAreaSeries;
class QTableView;

namespace varnet {

class CellModel;

// "方法回测": the walk-forward check per position (draws tested, successes,
// what chance gives, p-value, then the claimed numbers and the drawn
// number's mean place, each p-value with its Holm correction beside it)
// and, for the chosen position, the successes accumulated over the tested
// draws against the chance line, the draws not counted marked. By default
// only the draws after the formulas entered count; a box counts them all.
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
    QLineSeries* successSeries() const { return chart_->line(); }
    QLineSeries* chanceSeries() const { return chart_->chance(); }
    // The top of the shading over the tested draws not counted: at the
    // axis's top over each such draw, else at 0.
    QLineSeries* uncountedSeries() const { return uncountedTop_; }
    QCheckBox* allDrawsBox() const { return allDraws_; }
    QLabel* notes() const { return notes_; }

  private:
    void refill();

    BacktestResult result_;
    QString method_;
    QCheckBox* allDraws_ = nullptr;
    QLabel* notes_ = nullptr;
    QAreaSeries* uncounted_ = nullptr;
    QLineSeries* uncountedTop_ = nullptr;
    CellModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QComboBox* choice_ = nullptr;
    ChanceChart* chart_ = nullptr;
};

}  // namespace varnet
