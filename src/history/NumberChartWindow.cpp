#include "history/NumberChartWindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
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
#include <memory>

#include "base/ParameterNames.h"
#include "history/HistoryModel.h"
#include "history/HistoryView.h"

namespace varnet {

NumberChartWindow::NumberChartWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("numberChart"));
    setWindowTitle(QStringLiteral("号码出现次数"));
    auto* layout = new QVBoxLayout(this);

    chart_ = new QChart;
    bars_ = new QBarSet(QStringLiteral("出现次数"));
    bars_->setColor(QColor(70, 110, 200));
    bars_->setLabelColor(Qt::black);
    auto* series = new QBarSeries(chart_);
    series->append(bars_);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    expectation_ = new QLineSeries(chart_);
    QPen dashed(QColor(220, 0, 0));
    dashed.setStyle(Qt::DashLine);
    dashed.setWidth(2);
    expectation_->setPen(dashed);
    chart_->addSeries(series);
    chart_->addSeries(expectation_);

    auto* xAxis = new QBarCategoryAxis(chart_);
    for (int k = 1; k <= 10; ++k) xAxis->append(QString::number(k));
    xAxis->setTitleText(QStringLiteral("号码"));
    yAxis_ = new QValueAxis(chart_);
    yAxis_->setLabelFormat(QStringLiteral("%d"));
    yAxis_->setTitleText(QStringLiteral("出现次数"));
    chart_->addAxis(xAxis, Qt::AlignBottom);
    chart_->addAxis(yAxis_, Qt::AlignLeft);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis_);
    // On a category axis the bars stand at 0..9; the line spans them.
    expectation_->attachAxis(xAxis);
    expectation_->attachAxis(yAxis_);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    QFont titleFont = chart_->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    chart_->setTitleFont(titleFont);

    auto* view = new QChartView(chart_, this);
    view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view, 1);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("numberChartNote"));
    note_->setWordWrap(true);
    layout->addWidget(note_);
    resize(720, 480);
}

void NumberChartWindow::showData(const Data& data) {
    const NumberCounts& c = data.counts;
    QList<qreal> values;
    int most = 0;
    for (int n : c.counts) {
        values.append(n);
        most = std::max(most, n);
    }
    bars_->remove(0, bars_->count());
    bars_->append(values);
    const double expected = c.expected();
    expectation_->replace({QPointF(0, expected), QPointF(9, expected)});
    expectation_->setName(QStringLiteral("机会期望 %1 次").arg(expected, 0, 'f', 1));
    yAxis_->setRange(0, std::max<double>({most * 1.15, expected * 1.15, 1.0}));
    yAxis_->applyNiceNumbers();
    chart_->setTitle(
        QStringLiteral("%1位各号码出现次数（最近 %2 期）").arg(data.positionName).arg(c.draws));
    QString note =
        QStringLiteral("统计 %1 期；每个号码凭机会出现的期望是期数的十分之一。").arg(c.draws);
    if (c.draws == 0)
        note = QStringLiteral("没有历史号码可统计。");
    else if (data.retrieval <= 0)
        note += QStringLiteral("检索期数为全部期数，统计全部历史。");
    else if (c.draws < data.retrieval)
        note +=
            QStringLiteral("历史只有 %1 期，少于检索期数 %2。").arg(c.draws).arg(data.retrieval);
    note_->setText(note);
}

QAction* NumberChartWindow::addMenuEntry(QMenu* menu, HistoryView* view, const HistoryModel& model,
                                         std::function<int()> retrieval) {
    // The column under the pointer when the menu opened (-1: none).
    auto clicked = std::make_shared<int>(-1);
    QObject::connect(view, &HistoryView::menuRequested, menu, [view, clicked](const QPoint& at) {
        *clicked = view->indexAt(view->viewport()->mapFromGlobal(at)).column();
    });
    QAction* action = menu->addAction(QStringLiteral("该位号码出现次数图(&F)"));
    action->setObjectName(QStringLiteral("mnuNumberChart"));
    QObject::connect(action, &QAction::triggered, view, [view, &model, clicked, retrieval] {
        const auto isPosition = [](int column) { return column >= 1 && column <= kPositions; };
        int position = model.selectedPosition();
        if (isPosition(*clicked))
            position = *clicked;
        else if (isPosition(view->currentIndex().column()))
            position = view->currentIndex().column();
        Data data;
        data.positionName = QString::fromStdString(ParameterNames::positionName(position));
        data.retrieval = retrieval();
        data.counts = numberCounts(model.history(), position, data.retrieval);
        QWidget* top = view->window();
        auto* chart = top->findChild<NumberChartWindow*>(QString(), Qt::FindDirectChildrenOnly);
        if (!chart) chart = new NumberChartWindow(top);
        chart->showData(data);
        chart->show();
        chart->raise();
        chart->activateWindow();
    });
    return action;
}

}  // namespace varnet
