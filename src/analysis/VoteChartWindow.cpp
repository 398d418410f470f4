#include "analysis/VoteChartWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "analysis/BacktestWindow.h"

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

    chart_ = new QChart;
    bars_ = new QBarSet(QStringLiteral("票数"));
    bars_->setLabelColor(Qt::black);
    auto* series = new QBarSeries(chart_);
    series->append(bars_);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    chance_ = new QLineSeries(chart_);
    QPen dashed(QColor(220, 0, 0));
    dashed.setStyle(Qt::DashLine);
    dashed.setWidth(2);
    chance_->setPen(dashed);
    chart_->addSeries(series);
    chart_->addSeries(chance_);
    auto* xAxis = new QBarCategoryAxis(chart_);
    for (int n = 1; n <= 10; ++n) xAxis->append(QString::number(n));
    xAxis->setTitleText(QStringLiteral("号码"));
    yAxis_ = new QValueAxis(chart_);
    yAxis_->setLabelFormat(QStringLiteral("%d"));
    yAxis_->setTitleText(QStringLiteral("票数"));
    chart_->addAxis(xAxis, Qt::AlignBottom);
    chart_->addAxis(yAxis_, Qt::AlignLeft);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis_);
    // On a category axis the bars stand at 0..9; the line spans them.
    chance_->attachAxis(xAxis);
    chance_->attachAxis(yAxis_);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new QChartView(chart_, this);
    view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view, 1);
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
    bars_->remove(0, bars_->count());
    std::int64_t most = 0, votes = 0;
    for (int n = 1; n <= 10; ++n) {
        bars_->append(static_cast<double>(v.total[n]));
        most = std::max(most, v.total[n]);
        votes += v.total[n];
    }
    // Formulas naming numbers at random would give each number a tenth of the votes.
    const double chance = static_cast<double>(votes) / 10.0;
    chance_->replace({QPointF(0, chance), QPointF(9, chance)});
    chance_->setName(
        QStringLiteral("机会期望 %1 票（总票数 %2 的十分之一）").arg(chance, 0, 'f', 1).arg(votes));
    // Kill votes strike numbers out, keep votes keep them.
    bars_->setColor(kill_ ? QColor(0, 160, 0) : QColor(30, 90, 200));
    // Room above the tallest bar for its label.
    yAxis_->setRange(0, std::max({1.0, static_cast<double>(most) * 1.15, chance * 1.15}));
    yAxis_->applyNiceNumbers();
    chart_->setTitle(QStringLiteral("第%1位 %2 期%3码票数（计算公式 %4 条，其中无效 %5 条）")
                         .arg(v.position)
                         .arg(target_)
                         .arg(kill_ ? QStringLiteral("杀") : QStringLiteral("留"))
                         .arg(v.examined)
                         .arg(v.invalid));
}

}  // namespace varnet
