#include "ui/HistoryModel.h"

#include <QBrush>
#include <QFont>

#include "history/ParameterNames.h"

namespace varnet {

namespace {
constexpr int kTwipsPerPixel = 15;
}  // namespace

HistoryModel::HistoryModel(QObject* parent)
    : QAbstractTableModel(parent), history_(std::make_shared<History>()) {}

void HistoryModel::setHistory(std::shared_ptr<const History> history) {
    beginResetModel();
    history_ = history ? std::move(history) : std::make_shared<History>();
    endResetModel();
}

void HistoryModel::setSelectedPosition(int position) {
    if (position < 1 || position > kPositions || position == selectedPosition_) return;
    selectedPosition_ = position;
    if (rowCount() > 0)
        emit dataChanged(index(0, 1), index(rowCount() - 1, kPositions),
                         {Qt::FontRole, Qt::ForegroundRole});
}

int HistoryModel::columnWidth(int column) { return (column == 0 ? 1500 : 600) / kTwipsPerPixel; }

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : history_->size();
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kNumberColumns;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= history_->size()) return {};
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            if (column == 0) return QString::number(history_->issue(index.row()));
            return QString::number(history_->number(index.row(), column));
        case Qt::FontRole:
            if (column == selectedPosition_) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole:
            if (column == 0) return {};
            return QBrush(column == selectedPosition_ ? Qt::blue : Qt::black);
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        default:
            return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section == 0) return QStringLiteral("期号");
    if (section >= 1 && section <= kPositions)
        return QString::fromStdString(ParameterNames::positionName(section));
    return {};
}

}  // namespace varnet
