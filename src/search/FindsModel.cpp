#include "search/FindsModel.h"

#include "engine/Significance.h"

namespace varnet {

const QString& FindsModel::significanceTip() {
    static const QString tip = QStringLiteral(
        "显著性：若公式只凭机会命中（杀码每期 90%，生码每期 10%），在同样的计入期数中"
        "命中不少于实际次数的概率（二项分布单侧尾概率，按不加权的命中期数与计入期数计算）。"
        "在上百万个候选中挑出的公式，即使显著性很小也可能只是运气。");
    return tip;
}

QVariant FindsModel::data(const QModelIndex& index, int role) const {
    if (index.row() < 0 || index.row() >= rowCount()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::DisplayRole) {
        if (index.column() == Formula) return QString::fromStdString(finds_.chinese(row));
        const std::optional<FindScores> s = finds_.scores(row);
        if (!s) return QString();
        switch (index.column()) {
            case Rate:
                return QString::asprintf("%.4f%%", static_cast<double>(s->rate));
            case HeldOut:
                if (!s->heldOut) return QString();
                if (!s->heldOutValid || s->heldOutCounted <= 0) return QStringLiteral("无效");
                return QString::asprintf("%.2f%% (%lld/%lld)",
                                         100.0 * s->heldOutHits / s->heldOutCounted,
                                         static_cast<long long>(s->heldOutHits),
                                         static_cast<long long>(s->heldOutCounted));
            case Significance:
                return QString::fromStdString(pValueText(s->pValue));
            default:
                return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() != Formula)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FindsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
            case Formula:
                return QStringLiteral("公式");
            case Rate:
                return QStringLiteral("正确率");
            case HeldOut:
                return QStringLiteral("留出期正确率");
            case Significance:
                return QStringLiteral("显著性");
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole) {
        switch (section) {
            case Rate:
                return QStringLiteral("搜索所用各期（留出期之前）的正确率");
            case HeldOut:
                return QStringLiteral(
                    "留出的最后若干期中的命中率（不加权）：这些期没有参与挑选公式，"
                    "所以它说明公式在没见过的期数上表现如何。机会基线：杀码 90%，生码 10%。");
            case Significance:
                return significanceTip();
            default:
                return {};
        }
    }
    return {};
}

void FindsModel::append(const FoundList& finds) {
    if (finds.empty()) return;
    beginInsertRows({}, rowCount(), rowCount() + static_cast<int>(finds.size()) - 1);
    finds_.append(finds);
    endInsertRows();
}

}  // namespace varnet
