#include "analysis/VoteChartWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>
#include <algorithm>

namespace varnet {

VoteChartWindow::VoteChartWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmVoteChart"));
    setWindowTitle(QStringLiteral("各位号码票数图"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("位置"), this));
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("cboVotePosition"));
    row->addWidget(choice_);
    row->addStretch(1);
    layout->addLayout(row);
    connect(choice_, &QComboBox::activated, this, [this](int i) { chartPosition(i + 1); });

    chart_ = new ChanceChart(ChanceChart::Shape::NumberBars, this);
    chart_->bars()->setLabel(QStringLiteral("票数"));
    chart_->yAxis()->setTitleText(QStringLiteral("票数"));
    layout->addWidget(chart_, 1);
    resize(720, 480);
}

void VoteChartWindow::fill(const std::vector<PositionVotes>& positions, bool kill,
                           std::int32_t targetIssue) {
    positions_ = positions;
    kill_ = kill;
    target_ = targetIssue;
    {
        const QSignalBlocker block(choice_);
        choice_->clear();
        for (const auto& p : positions_) choice_->addItem(QStringLiteral("第%1位").arg(p.position));
    }
    chartPosition(static_cast<int>(positions_.size()));
}

void VoteChartWindow::chartPosition(int index) {
    if (index < 1 || index > static_cast<int>(positions_.size())) return;
    const PositionVotes& v = positions_[index - 1];
    choice_->setCurrentIndex(index - 1);
    QBarSet* bars = chart_->bars();
    bars->remove(0, bars->count());
    std::int64_t most = 0, votes = 0;
    for (int n = 1; n <= 10; ++n) {
        bars->append(static_cast<double>(v.total[n]));
        most = std::max(most, v.total[n]);
        votes += v.total[n];
    }
    // Formulas naming numbers at random would give each number a tenth of the votes.
    const double chance = static_cast<double>(votes) / 10.0;
    chart_->setChanceLevel(
        chance,
        QStringLiteral("机会期望 %1 票（总票数 %2 的十分之一）").arg(chance, 0, 'f', 1).arg(votes));
    // Kill votes strike numbers out, keep votes keep them.
    bars->setColor(kill_ ? QColor(0, 160, 0) : QColor(30, 90, 200));
    chart_->fitBars(static_cast<double>(most), chance);
    chart_->chart()->setTitle(
        QStringLiteral("第%1位 %2 期%3码票数（计算公式 %4 条，其中无效 %5 条）")
            .arg(v.position)
            .arg(target_)
            .arg(kill_ ? QStringLiteral("杀") : QStringLiteral("留"))
            .arg(v.examined)
            .arg(v.invalid));
}

}  // namespace varnet
