#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <utility>

namespace varnet {

// Grid widths are given in twips; the screen has 15 to a pixel.
constexpr int twipsToPixels(int twips) { return twips / 15; }

// A read-only grid whose cells are computed on demand from the window's own
// rows: no item objects, so a grid of 100,000 rows costs nothing to fill.
class CellModel : public QAbstractTableModel {
  public:
    using Cell = std::function<QVariant(int row, int column, int role)>;

    explicit CellModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // New rows (and headers); the cell function reads them.
    void reset(int rows, QStringList headers, Cell cell) {
        beginResetModel();
        rows_ = rows;
        headers_ = std::move(headers);
        cell_ = std::move(cell);
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(headers_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !cell_ || index.row() >= rows_) return {};
        return cell_(index.row(), index.column(), role);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= headers_.size())
            return {};
        return headers_[section];
    }

  private:
    int rows_ = 0;
    QStringList headers_;
    Cell cell_;
};

// A read-only grid over a CellModel with rows of one height, so that
// 100,000 rows scroll without measuring each.
inline QTableView* longGrid(CellModel* model, QWidget* parent) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    grid->setModel(model);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    return grid;
}

}  // namespace varnet
