#include "history/HistoryModel.h"

#include <QBrush>
#include <QFont>

#include "base/ParameterNames.h"

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

void HistoryModel::setFormulaColumns(std::vector<PerDrawColumn> columns, FormulaHeader header) {
    beginResetModel();
    formulaColumns_ = std::move(columns);
    formulaHeader_ = header;
    endResetModel();
}

void HistoryModel::clearFormulaColumns() {
    if (formulaColumns_.empty()) return;
    setFormulaColumns({}, FormulaHeader::Numbered);
}

int HistoryModel::columnWidth(int column) {
    const int twips = column == 0 ? 1500 : column < kNumberColumns ? 600 : 760;
    return twips / kTwipsPerPixel;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : history_->size();
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kNumberColumns + formulaColumnCount();
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= history_->size()) return {};
    const int column = index.column();
    if (column >= kNumberColumns) return formulaData(index.row(), column - kNumberColumns, role);
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

QVariant HistoryModel::formulaData(int row, int k, int role) const {
    if (k >= formulaColumnCount()) return {};
    const PerDrawColumn& c = formulaColumns_[k];
    // A column computed for a history that has since changed shows nothing
    // past its own rows until the next verification replaces it.
    const bool known =
        row < static_cast<int>(c.numbers.size()) && row < static_cast<int>(c.marks.size());
    const std::uint8_t mark = known ? c.marks[row] : std::uint8_t(PerDrawColumn::None);
    switch (role) {
        case Qt::DisplayRole:
            if (!known || c.numbers[row] == PerDrawColumn::kNoNumber) return {};
            return int(c.numbers[row]);
        case Qt::BackgroundRole:
            if (mark == PerDrawColumn::Hit) return QBrush(QColor(0, 0, 255));
            if (mark == PerDrawColumn::Miss) return QBrush(QColor(0, 255, 0));
            return QBrush(Qt::white);
        case Qt::ForegroundRole:
            return QBrush(mark == PerDrawColumn::Hit ? Qt::white : Qt::black);
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
    const int k = section - kNumberColumns;
    if (k >= 0 && k < formulaColumnCount()) {
        const int number = formulaColumns_[k].listNumber;
        if (formulaHeader_ == FormulaHeader::Block) return QStringLiteral("%1式").arg(number);
        return (number <= 99 ? QStringLiteral("公式%1") : QStringLiteral("式%1")).arg(number);
    }
    return {};
}

}  // namespace varnet
