#include "ui/ChanceChart.h"

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
#include <cmath>

namespace varnet {

ChanceChart::ChanceChart(Shape shape, QWidget* parent) : QWidget(parent) {
    // No margins of its own: it sits in the window's layout as the view did.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    chart_ = new QChart;
    QAbstractSeries* data = nullptr;
    QAbstractAxis* x = nullptr;
    if (shape == Shape::Line) {
        line_ = new QLineSeries(chart_);
        line_->setColor(QColor(0, 0, 255));
        data = line_;
        xAxis_ = new QValueAxis(chart_);
        xAxis_->setLabelFormat(QStringLiteral("%d"));
        x = xAxis_;
    } else {
        bars_ = new QBarSet(QString());
        bars_->setLabelColor(Qt::black);
        auto* series = new QBarSeries(chart_);
        series->append(bars_);
        series->setLabelsVisible(true);
        series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        data = series;
        auto* numbers = new QBarCategoryAxis(chart_);
        for (int n = 1; n <= 10; ++n) numbers->append(QString::number(n));
        numbers->setTitleText(QStringLiteral("号码"));
        x = numbers;
    }
    chance_ = new QLineSeries(chart_);
    QPen dashed(QColor(220, 0, 0));
    dashed.setStyle(Qt::DashLine);
    dashed.setWidth(2);
    chance_->setPen(dashed);
    chart_->addSeries(data);
    chart_->addSeries(chance_);
    yAxis_ = new QValueAxis(chart_);
    yAxis_->setLabelFormat(QStringLiteral("%d"));
    chart_->addAxis(x, Qt::AlignBottom);
    chart_->addAxis(yAxis_, Qt::AlignLeft);
    for (QAbstractSeries* s : {data, static_cast<QAbstractSeries*>(chance_)}) {
        s->attachAxis(x);
        s->attachAxis(yAxis_);
    }
    chart_->legend()->setAlignment(Qt::AlignBottom);

    auto* view = new QChartView(chart_, this);
    view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view, 1);
}

void ChanceChart::setLargeTitle() {
    QFont titleFont = chart_->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    chart_->setTitleFont(titleFont);
}

QLabel* ChanceChart::addNote(const QString& objectName) {
    note_ = new QLabel(this);
    note_->setObjectName(objectName);
    note_->setWordWrap(true);
    layout()->addWidget(note_);
    return note_;
}

void ChanceChart::setChanceLevel(double level, const QString& legend) {
    // On a category axis the bars stand at 0..9.
    const double first = xAxis_ ? xAxis_->min() : 0.0;
    const double last = xAxis_ ? xAxis_->max() : 9.0;
    chance_->replace({QPointF(first, level), QPointF(last, level)});
    chance_->setName(legend);
}

void ChanceChart::fitBars(double most, double chance) {
    yAxis_->setRange(0, std::max({1.0, most * 1.15, chance * 1.15}));
    yAxis_->applyNiceNumbers();
}

void ChanceChart::fitCount(double most) {
    double step = 1.0;
    while (most / step > 8.0)
        for (const double f : {2.0, 2.5, 2.0})
            if (most / step > 8.0) step *= f;
    yAxis_->setRange(0.0, std::max(step, std::ceil(most / step) * step));
    yAxis_->setTickType(QValueAxis::TicksDynamic);
    yAxis_->setTickAnchor(0.0);
    yAxis_->setTickInterval(step);
}

}  // namespace varnet
