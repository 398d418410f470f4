#pragma once

#include <QWidget>
#include <vector>

#include "analysis/Calculation.h"
#include "ui/ChanceChart.h"

class QComboBox;

namespace varnet {

// The votes of the last calculation as bars: for a chosen position, how many
// formulas named each number 1..10, with what chance gives every number (a
// tenth of the position's votes) as a line.
class VoteChartWindow : public QWidget {
    Q_OBJECT
  public:
    explicit VoteChartWindow(QWidget* parent = nullptr);

    void fill(const std::vector<PositionVotes>& positions, bool kill, std::int32_t targetIssue);
    // Charts position `position` of the last fill (its index in the fill + 1).
    void chartPosition(int index);

    QComboBox* positionChoice() const { return choice_; }
    QBarSet* bars() const { return chart_->bars(); }
    QLineSeries* chanceLine() const { return chart_->chance(); }

  private:
    std::vector<PositionVotes> positions_;
    bool kill_ = true;
    std::int32_t target_ = 0;
    QComboBox* choice_ = nullptr;
    ChanceChart* chart_ = nullptr;
};

}  // namespace varnet
