#include "formula/FormulaListModel.h"

#include <QApplication>
#include <QBrush>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "base/Parallel.h"
#include "base/ParameterNames.h"
#include "engine/Significance.h"
#include "ui/MainState.h"

namespace varnet {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kWidths[FormulaListModel::ColumnCount] = {420, 4800, 500, 420, 600,  2600, 800,
                                                        800, 800,  800, 0,   1000, 1300, 1300};
constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

QString percentText(double p) { return QString::number(p * 100.0, 'f', 0) + QLatin1Char('%'); }

const QColor kSelectedBlue(0, 0, 255);
const QColor kSameValueGreen(0, 255, 0);

// What the adjusted column corrects, and what it cannot.
QString adjustedExplanation() {
    return QStringLiteral(
        "校正显著性：按本列表中有显著性的全部公式个数做 Benjamini–Hochberg 校正后的 p 值"
        "（错误发现率）。同时检验许多公式，总有一些单凭机会就显得显著，本列校正的是这一点："
        "只把本列小于 0.05 的公式当作显著，其中误判的比例期望不超过 5%。\n"
        "它不能校正的是公式的来历：搜索得到的公式已经是从成千上万个候选公式中按这段历史挑出来的，"
        "在同一段历史上再检验，校正后的 p 值仍然偏小；要看它们是否真有效，"
        "只能用挑选时没有用过的开奖（例如搜索时留出的期数或以后的新开奖）检验。");
}

// The statistic of a score column (Rate..LastHit), for sorting.
double statistic(const Score& s, int column) {
    return valueOf(s, kScoreStats[column - FormulaListModel::Rate]);
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
    pValues_.assign(list_->size(), kUnknown);
    adjusted_.clear();
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
    std::fill(pValues_.begin(), pValues_.end(), kUnknown);
    adjusted_.clear();
    takeCalcValues(0, size());
    if (size() > 0) emit dataChanged(index(0, 0), index(size() - 1, ColumnCount - 1));
}

void FormulaListModel::setBlockScores(int first, const std::vector<Score>& scores) {
    const int last = std::min(size(), first + static_cast<int>(scores.size()));
    for (int i = first; i < last; ++i) {
        scores_[i] = scores[i - first];
        pValues_[i] = kUnknown;
    }
    adjusted_.clear();
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

double FormulaListModel::pValue(int index) const {
    double& p = pValues_[index];
    if (std::isnan(p)) {
        const Score* s = score(index);
        p = s && s->valid ? chanceViewOf(*s, (*list_)[index].row.kill).pValue : 1.0;
    }
    return p;
}

bool FormulaListModel::hasPValue(int index) const {
    const Score* s = score(index);
    return s && s->valid && s->counted > 0;
}

double FormulaListModel::adjusted(int index) const {
    if (adjusted_.empty() && size() > 0) {
        // Over every formula of the list that has a p-value, at once.
        parallelFor(size(), 1024, [this](int begin, int end) {
            for (int i = begin; i < end; ++i) pValue(i);
        });
        std::vector<int> tested;
        std::vector<double> p;
        for (int i = 0; i < size(); ++i)
            if (hasPValue(i)) tested.push_back(i), p.push_back(pValues_[i]);
        const std::vector<double> q = benjaminiHochberg(p);
        adjusted_.assign(size(), kUnknown);
        for (std::size_t k = 0; k < tested.size(); ++k) adjusted_[tested[k]] = q[k];
    }
    return adjusted_[index];
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
    const bool byAdjusted = column == Adjusted;
    const bool bySignificance = column == Significance || byAdjusted;
    if ((column < Rate || column > LastHit) && !bySignificance) return;
    if (size() == 0) return;
    const List& list = *list_;
    if (bySignificance)
        parallelFor(size(), 1024, [this](int begin, int end) {
            for (int i = begin; i < end; ++i) pValue(i);
        });
    if (byAdjusted) adjusted(0);
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        const Score* sa = score(a);
        const Score* sb = score(b);
        const bool va = sa && sa->valid;
        const bool vb = sb && sb->valid;
        if (va != vb) return !va;  // nothing to compare: first, as empty statistics sort
        if (va) {
            const auto key = [&](int i, const Score& s) {
                if (byAdjusted) return std::isnan(adjusted_[i]) ? 2.0 : adjusted_[i];
                return bySignificance ? pValues_[i] : statistic(s, column);
            };
            const double x = key(a, *sa);
            const double y = key(b, *sb);
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
                case Baseline:
                    if (!s || !s->valid) return {};
                    return QString::fromStdString(baselineText(f.row.kill));
                case Significance:
                    if (!hasPValue(i)) return {};
                    return QString::fromStdString(pValueText(pValue(i)));
                case Adjusted:
                    if (!hasPValue(i)) return {};
                    return QString::fromStdString(pValueText(adjusted(i)));
                default:
                    return {};
            }
        case Qt::ToolTipRole:
            return toolTip(i, column);
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

QVariant FormulaListModel::toolTip(int index, int column) const {
    // The column is narrower than most formulas: the tip shows it whole.
    if (column == Formula) {
        const FormulaRow& row = (*list_)[index].row;
        const QString text = QString::fromStdString(chinese_ ? row.chinese : row.code);
        // Where it came from: draws after its entry are the ones it cannot
        // have been chosen on.
        if (!row.entered)
            return text + QStringLiteral(
                              "\n录入来历不明（在程序记录录入时间之前已有）：不知道它"
                              "是在哪些期号上选出的");
        const int d = row.entered->date;
        return text + QStringLiteral(
                          "\n录入时最大期号 %1，录入日期 %2-%3-%4：期号更大、日期更晚"
                          "的开奖号码是它没有见过的")
                          .arg(row.entered->issue)
                          .arg(d / 10000)
                          .arg(d / 100 % 100, 2, 10, QLatin1Char('0'))
                          .arg(d % 100, 2, 10, QLatin1Char('0'));
    }
    const Score* s = score(index);
    if (!s || !s->valid || s->counted == 0) return {};
    const bool kill = (*list_)[index].row.kill;
    const QString baseline = percentText(chanceBaseline(kill));
    switch (column) {
        case Baseline:
            return kill ? QStringLiteral(
                              "杀码公式：所杀号码在该位开出的机会是十分之一，"
                              "单凭机会命中率为 %1")
                              .arg(baseline)
                        : QStringLiteral(
                              "生码公式：所留号码在该位开出的机会是十分之一，"
                              "单凭机会命中率为 %1")
                              .arg(baseline);
        case Significance: {
            const ChanceView v = chanceViewOf(*s, kill);
            return QStringLiteral(
                       "单侧二项检验：机会命中率 %1 下，在 %2 期中命中至少 %3 次的概率"
                       "（精确二项分布尾概率）：%4\n"
                       "机会期望命中 %5 次，实际命中 %3 次（不加权）")
                .arg(baseline)
                .arg(s->counted)
                .arg(s->plainHits)
                .arg(QString::fromStdString(pValueText(pValue(index))))
                .arg(QString::number(v.expected, 'f', 1));
        }
        case Adjusted:
            return QStringLiteral("%1\n本公式：显著性 %2，校正后 %3")
                .arg(adjustedExplanation(), QString::fromStdString(pValueText(pValue(index))),
                     QString::fromStdString(pValueText(adjusted(index))));
        case LongestMiss:
            return QStringLiteral("机会命中率 %1 下，%2 期中出现至少 %3 期连错的概率：%4")
                .arg(baseline)
                .arg(s->counted)
                .arg(s->longestMiss)
                .arg(QString::fromStdString(pValueText(longestMissChance(*s, kill))));
        default:
            return {};
    }
}

QVariant FormulaListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal) {
        if (section == Baseline)
            return QStringLiteral("单凭机会的命中率：杀码公式 90%，生码公式 10%");
        if (section == Significance)
            return QStringLiteral(
                "不加权命中次数的单侧二项检验 p 值：单凭机会达到这样的命中的概率。"
                "越小越难用机会解释；但从成千上万个公式中挑出的公式，小 p 值也常常只是运气");
        if (section == Adjusted) return adjustedExplanation();
        return {};
    }
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
            return weighted_ ? QStringLiteral("正确率（加权算法）")
                             : QString::fromUtf8(captionOf(ScoreStat::Rate));
        case LongestMiss:
        case LongestHit:
        case LastMiss:
        case LastHit:
            return QString::fromUtf8(captionOf(kScoreStats[section - Rate]));
        case Baseline:
            return QStringLiteral("机会基线");
        case Significance:
            return QStringLiteral("显著性");
        case Adjusted:
            return QStringLiteral("校正显著性");
        default:
            return {};
    }
}

}  // namespace varnet
