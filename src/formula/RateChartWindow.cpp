#include "formula/RateChartWindow.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "engine/Significance.h"

namespace varnet {

namespace {

// Long formulas would push the title past the window's edge.
QString elided(const QString& text, int length) {
    return text.size() <= length ? text : text.left(length - 1) + QChar(0x2026);
}

}  // namespace

RateChartWindow::RateChartWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("rateChart"));
    setWindowTitle(QStringLiteral("公式滚动正确率"));
    auto* layout = new QVBoxLayout(this);
    chart_ = new ChanceChart(ChanceChart::Shape::Line, this);
    chart_->xAxis()->setTitleText(QStringLiteral("历史期序（第几期）"));
    chart_->yAxis()->setLabelFormat(QStringLiteral("%.0f%%"));
    chart_->yAxis()->setTitleText(QStringLiteral("窗口内正确率（不加权）"));
    chart_->setLargeTitle();
    chart_->addNote(QStringLiteral("rateChartNote"));
    layout->addWidget(chart_, 1);
    resize(860, 520);
}

void RateChartWindow::showData(const Data& data) {
    const double baseline = chanceBaseline(data.kill) * 100.0;
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(data.points.size()));
    double low = baseline, high = baseline;
    for (const RatePoint& p : data.points) {
        points.append(QPointF(p.row + 1, p.percent));
        low = std::min(low, p.percent);
        high = std::max(high, p.percent);
    }
    chart_->line()->replace(points);
    chart_->line()->setName(QStringLiteral("滚动正确率（每 %1 期）").arg(data.window));
    const double first = points.isEmpty() ? 1 : points.front().x();
    const double last = points.isEmpty() ? 2 : std::max(points.back().x(), first + 1);
    chart_->xAxis()->setRange(first, last);
    chart_->setChanceLevel(
        baseline,
        QStringLiteral("机会基线 %1").arg(QString::fromStdString(baselineText(data.kill))));
    // Room around the line and the rates, in steps of five percent.
    chart_->yAxis()->setRange(std::max(0.0, std::floor(low / 5.0) * 5.0 - 5.0),
                              std::min(100.0, std::ceil(high / 5.0) * 5.0 + 5.0));
    chart_->yAxis()->applyNiceNumbers();

    const QString kind = data.kill ? QStringLiteral("杀") : QStringLiteral("生");
    chart_->chart()->setTitle(
        QStringLiteral("%1位 %2码公式：%3").arg(data.positionName, kind, elided(data.formula, 60)));
    QString note =
        QStringLiteral("每点为截至该期的最近 %1 期中命中的比例；历史 %2 至 %3 期，可验算 %4 期。")
            .arg(data.window)
            .arg(data.firstIssue)
            .arg(data.lastIssue)
            .arg(data.markedRows);
    if (data.retrieval <= 0)
        note += QStringLiteral("检索期数为全部期数，窗口取固定的 %1 期。").arg(data.window);
    else if (data.window < data.retrieval)
        note += QStringLiteral("可验算的期数少于检索期数 %1，窗口取全部 %2 期。")
                    .arg(data.retrieval)
                    .arg(data.window);
    note += QStringLiteral("红色虚线是单凭机会的命中率。");
    chart_->note()->setText(note);
}

}  // namespace varnet
