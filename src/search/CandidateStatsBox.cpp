#include "search/CandidateStatsBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "engine/ScoreStat.h"
#include "engine/Significance.h"
#include "engine/Thresholds.h"
#include "search/DisplayBox.h"
#include "search/FindsModel.h"

namespace varnet {

CandidateStatsBox::CandidateStatsBox(QWidget* parent)
    : QGroupBox(QStringLiteral("当前公式参数值"), parent) {
    auto* layout = new QVBoxLayout(this);
    for (int s = 0; s < 5; ++s) {
        stats_[s] = new DisplayBox(this, QStringLiteral("stat%1").arg(s));
        stats_[s]->setMaximumWidth(90);
        layout->addWidget(stats_[s]);
    }
    significance_ = new DisplayBox(this, QStringLiteral("statSignificance"));
    significance_->setMaximumWidth(90);
    significance_->setToolTip(FindsModel::significanceTip());
    layout->addWidget(new QLabel(QStringLiteral("显著性"), this));
    layout->addWidget(significance_);
}

void CandidateStatsBox::show(const Score& score, bool kill) {
    for (int s = 0; s < 5; ++s) {
        const ScoreStat stat = kScoreStats[s];
        const double v = valueOf(score, stat);
        // The rate as the single-precision value it is; the runs as counts.
        stats_[s]->setText(stat == ScoreStat::Rate ? QString::fromStdString(singleText(v))
                                                   : QString::number(static_cast<long long>(v)));
    }
    significance_->setText(
        score.valid ? QString::fromStdString(pValueText(chanceViewOf(score, kill).pValue))
                    : QString());
}

}  // namespace varnet
