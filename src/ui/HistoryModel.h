#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "history/History.h"

namespace varnet {

// The history grid: one row per stored draw in issue order; column 0 the
// issue, columns 1..10 the numbers of positions 1..10. The column of the
// selected position is bold blue, the others normal black. Cells are read
// from the history on demand, so a grid of 100,000 draws costs nothing extra.
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

    // Widths in twips (1500 for the issue, 600 per number), as pixels.
    static int columnWidth(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::shared_ptr<const History> history_;
    int selectedPosition_ = 1;
};

}  // namespace varnet
