#include "ui/ModelExport.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QColor>

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

WorkbookResult writeModelWorkbook(const std::string& path, const QAbstractItemModel& model,
                                  const std::function<bool(int)>& progress) {
    return writeWorkbook(
        path, model.rowCount() + 1, model.columnCount(),
        [&model](int r, int c) { return modelCell(model, r, c); }, progress);
}

bool Exporter::exportGrid(QWidget* from, const QString& title, const QAbstractItemModel& grid,
                          const std::string& file) {
    return exportFile(from, title, file, grid.rowCount() + 1,
                      [&grid](const std::string& path, const std::function<bool(int)>& progress) {
                          return writeModelWorkbook(path, grid, progress);
                      });
}

}  // namespace varnet
