#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <vector>

#include "base/History.h"
#include "engine/PerDrawColumn.h"

namespace varnet {

// The history grid: one row per stored draw in issue order; column 0 the
// issue, columns 1..10 the numbers of positions 1..10. The column of the
// selected position is bold blue, the others normal black. Cells are read
// from the history on demand, so a grid of 100,000 draws costs nothing extra.
// The per-draw display adds one column per formula of a block, drawn from
// the block's numbers and marks (blue hit, green miss).
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // Issue column plus the ten positions; formula result columns go after them.
    static constexpr int kNumberColumns = 1 + kPositions;

    explicit HistoryModel(QObject* parent = nullptr);

    void setHistory(std::shared_ptr<const History> history);
    const History& history() const { return *history_; }

    int selectedPosition() const { return selectedPosition_; }
    void setSelectedPosition(int position);

    // How the formula columns are headed: "公式k" (k <= 99) and "式k" when
    // the display is switched on, "k式" once the block has been scrolled.
    enum class FormulaHeader { Numbered, Block };
    void setFormulaColumns(std::vector<PerDrawColumn> columns, FormulaHeader header);
    void clearFormulaColumns();
    int formulaColumnCount() const { return static_cast<int>(formulaColumns_.size()); }
    const std::vector<PerDrawColumn>& formulaColumns() const { return formulaColumns_; }

    // Widths in twips (1500 for the issue, 600 per number, 760 per formula),
    // as pixels.
    static int columnWidth(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    QVariant formulaData(int row, int k, int role) const;

    std::shared_ptr<const History> history_;
    int selectedPosition_ = 1;
    std::vector<PerDrawColumn> formulaColumns_;
    FormulaHeader formulaHeader_ = FormulaHeader::Numbered;
};

}  // namespace varnet
