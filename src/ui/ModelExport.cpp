#include "ui/ModelExport.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QColor>
#include <memory>

namespace varnet {

namespace {

std::uint32_t fillOf(const QVariant& background) {
    QColor colour;
    if (background.typeId() == QMetaType::QBrush) {
        const QBrush brush = background.value<QBrush>();
        if (brush.style() == Qt::NoBrush) return WorkbookCell::kNoFill;
        colour = brush.color();
    } else if (background.typeId() == QMetaType::QColor) {
        colour = background.value<QColor>();
    } else {
        return WorkbookCell::kNoFill;
    }
    // Only the marks a grid paints carry over; other shades are decoration.
    const QRgb rgb = colour.rgba();
    if (rgb == qRgb(0, 0, 255) || rgb == qRgb(0, 255, 0)) return rgb & 0xFFFFFFu;
    return WorkbookCell::kNoFill;
}

}  // namespace

WorkbookCell modelCell(const QAbstractItemModel& model, int row, int column) {
    if (row == 0)
        return {model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString()};
    const QModelIndex at = model.index(row - 1, column);
    WorkbookCell cell;
    cell.text = model.data(at, Qt::DisplayRole).toString().toStdString();
    cell.fill = fillOf(model.data(at, Qt::BackgroundRole));
    return cell;
}

GridSnapshot GridSnapshot::of(const QAbstractItemModel& model) {
    GridSnapshot grid;
    grid.rows = model.rowCount() + 1;
    grid.columns = model.columnCount();
    grid.cells.reserve(static_cast<std::size_t>(grid.rows) * grid.columns);
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.columns; ++c) grid.cells.push_back(modelCell(model, r, c));
    return grid;
}

WorkbookResult writeGridWorkbook(const std::string& path, const GridSnapshot& grid,
                                 const std::function<bool(int)>& progress) {
    return writeWorkbook(
        path, grid.rows, grid.columns, [&grid](int r, int c) { return grid.at(r, c); }, progress);
}

bool Exporter::exportGrid(QWidget* from, const QString& title, const QAbstractItemModel& model,
                          const std::string& file) {
    auto grid = std::make_shared<const GridSnapshot>(GridSnapshot::of(model));
    return exportFile(from, title, file, grid->rows,
                      [grid](const std::string& path, const std::function<bool(int)>& progress) {
                          return writeGridWorkbook(path, *grid, progress);
                      });
}

}  // namespace varnet
