#include "formula/FormulaListModel.h"

#include <QApplication>
#include <QBrush>
#include <QPalette>
#include <algorithm>
#include <numeric>

#include "app/MainState.h"
#include "history/ParameterNames.h"

namespace varnet {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kWidths[FormulaListModel::ColumnCount] = {420, 4800, 500, 420, 600, 2600,
                                                        800, 800,  800, 800, 0};

const QColor kSelectedBlue(0, 0, 255);
const QColor kSameValueGreen(0, 255, 0);

// The statistic of a score column, for sorting.
double statistic(const Score& s, int column) {
    switch (column) {
        case FormulaListModel::Rate:
            return s.rate;
        case FormulaListModel::LongestMiss:
            return s.longestMiss;
        case FormulaListModel::LongestHit:
            return s.longestHit;
        case FormulaListModel::LastMiss:
            return s.lastMiss;
        default:
            return s.lastHit;
    }
}

}  // namespace

FormulaListModel::FormulaListModel(MainState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state), list_(std::make_shared<List>()) {}

int FormulaListModel::columnWidth(int column) {
    if (column < 0 || column >= ColumnCount) return 0;
    return kWidths[column] / kTwipsPerPixel;
}

void FormulaListModel::setList(List list, int position, bool weighted) {
    beginResetModel();
    list_ = std::make_shared<List>(std::move(list));
    scores_.assign(list_->size(), std::nullopt);
    order_.resize(list_->size());
    std::iota(order_.begin(), order_.end(), 0);
    position_ = position;
    weighted_ = weighted;
    marked_.reset();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, Rate, Rate);
}

void FormulaListModel::setScores(std::vector<Score> scores) {
    scores.resize(list_->size());
    for (std::size_t i = 0; i < scores.size(); ++i) scores_[i] = std::move(scores[i]);
    takeCalcValues(0, size());
    if (size() > 0) emit dataChanged(index(0, 0), index(size() - 1, ColumnCount - 1));
}

void FormulaListModel::setBlockScores(int first, const std::vector<Score>& scores) {
    const int last = std::min(size(), first + static_cast<int>(scores.size()));
    for (int i = first; i < last; ++i) scores_[i] = scores[i - first];
    takeCalcValues(first, last);
    if (size() > 0) emit dataChanged(index(0, 0), index(size() - 1, ColumnCount - 1));
}

void FormulaListModel::takeCalcValues(int first, int last) {
    for (int i = std::max(0, first); i < last; ++i) {
        const std::int64_t id = (*list_)[i].row.id;
        const auto& s = scores_[i];
        if (!s) continue;
        if (!s->valid) {
            // An invalid formula never votes and has no number.
            state_.selectedFormulas.erase(id);
            state_.calcValues.erase(id);
        } else if (s->calcValue && isSelected(i)) {
            state_.calcValues[id] = *s->calcValue;
        }
    }
}

const Score* FormulaListModel::score(int index) const {
    if (index < 0 || index >= size() || !scores_[index]) return nullptr;
    return &*scores_[index];
}

std::optional<int> FormulaListModel::calcValue(int index) const {
    const auto it = state_.calcValues.find((*list_)[index].row.id);
    if (it == state_.calcValues.end()) return std::nullopt;
    return it->second;
}

bool FormulaListModel::selectable(int index) const {
    if (index < 0 || index >= size() || !(*list_)[index].program) return false;
    const Score* s = score(index);
    return !s || s->valid;
}

bool FormulaListModel::isSelected(int index) const {
    return index >= 0 && index < size() &&
           state_.selectedFormulas.count((*list_)[index].row.id) > 0;
}

void FormulaListModel::setSelected(int index, bool on) {
    if (index < 0 || index >= size()) return;
    const std::int64_t id = (*list_)[index].row.id;
    if (on && selectable(index))
        state_.selectedFormulas.insert(id);
    else
        state_.selectedFormulas.erase(id);
}

void FormulaListModel::toggleRow(int row) {
    if (row < 0 || row >= size()) return;
    const int i = order_[row];
    setSelected(i, !isSelected(i));
    emit dataChanged(index(row, Number), index(row, Number));
}

void FormulaListModel::selectAll() {
    for (int i = 0; i < size(); ++i) setSelected(i, true);
    repaintColumn(Number);
}

void FormulaListModel::invertSelection() {
    for (int i = 0; i < size(); ++i) setSelected(i, !isSelected(i));
    repaintColumn(Number);
}

int FormulaListModel::selectedCount() const {
    int n = 0;
    for (int i = 0; i < size(); ++i) n += isSelected(i) ? 1 : 0;
    return n;
}

void FormulaListModel::markSameValue(int row) {
    if (row < 0 || row >= size()) return;
    marked_ = calcValue(order_[row]);
    repaintColumn(CalcValue);
}

void FormulaListModel::sortByColumn(int column) {
    if (column < Rate || column > LastHit || size() == 0) return;
    const List& list = *list_;
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        const Score* sa = score(a);
        const Score* sb = score(b);
        const bool va = sa && sa->valid;
        const bool vb = sb && sb->valid;
        if (va != vb) return !va;  // nothing to compare: first, as empty statistics sort
        if (va) {
            const double x = statistic(*sa, column);
            const double y = statistic(*sb, column);
            if (x != y) return x < y;
        }
        return list[a].row.idx.value_or(0) < list[b].row.idx.value_or(0);
    });
    emit dataChanged(index(0, 0), index(size() - 1, ColumnCount - 1));
}

void FormulaListModel::setChinese(bool on) {
    if (chinese_ == on) return;
    chinese_ = on;
    repaintColumn(Formula);
}

void FormulaListModel::repaintColumn(int column) {
    if (size() > 0) emit dataChanged(index(0, column), index(size() - 1, column));
}

int FormulaListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

int FormulaListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FormulaListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size()) return {};
    const int i = order_[index.row()];
    const ListedFormula& f = (*list_)[i];
    const Score* s = score(i);
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            switch (column) {
                case Number:
                    return index.row() + 1;
                case Formula:
                    return QString::fromStdString(chinese_ ? f.row.chinese : f.row.code);
                case Kind:
                    return QString::fromStdString(ParameterNames::positionName(position_));
                case Mode:
                    return f.row.kill ? QStringLiteral("杀") : QStringLiteral("生");
                case CalcValue:
                    if (const auto v = calcValue(i)) return *v;
                    return {};
                case Rate:
                    if (!s) return {};
                    if (!s->valid)
                        return QStringLiteral("无效：") + QString::fromStdString(s->error);
                    return QString::fromStdString(rateText(*s));
                case LongestMiss:
                case LongestHit:
                case LastMiss:
                case LastHit:
                    if (!s || !s->valid) return {};
                    return static_cast<int>(statistic(*s, column));
                case Idx:
                    if (f.row.idx) return *f.row.idx;
                    return {};
                default:
                    return {};
            }
        case Qt::BackgroundRole:
            if (column == Number)
                return isSelected(i) ? QBrush(kSelectedBlue)
                                     : QApplication::palette().brush(QPalette::Button);
            if (column == CalcValue) {
                const bool same = marked_ && calcValue(i) == marked_;
                return QBrush(same ? kSameValueGreen : QColor(Qt::white));
            }
            return {};
        case Qt::ForegroundRole:
            if (column == Number && isSelected(i)) return QBrush(Qt::white);
            if (column == CalcValue) return QBrush(Qt::blue);
            if (column == Rate && s && !s->valid) return QBrush(Qt::red);
            return {};
        case Qt::TextAlignmentRole:
            if (column == Formula || column == Rate) return int(Qt::AlignLeft | Qt::AlignVCenter);
            return int(Qt::AlignCenter);
        default:
            return {};
    }
}

QVariant FormulaListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    switch (section) {
        case Number:
            return QStringLiteral("序号");
        case Formula:
            return QStringLiteral("公式");
        case Kind:
            return QStringLiteral("种类");
        case Mode:
            return QStringLiteral("生杀");
        case CalcValue:
            return QStringLiteral("计算值");
        case Rate:
            return weighted_ ? QStringLiteral("正确率（加权算法）") : QStringLiteral("正确率");
        case LongestMiss:
            return QStringLiteral("最大连错");
        case LongestHit:
            return QStringLiteral("最大连对");
        case LastMiss:
            return QStringLiteral("最后连错");
        case LastHit:
            return QStringLiteral("最后连对");
        default:
            return {};
    }
}

}  // namespace varnet
