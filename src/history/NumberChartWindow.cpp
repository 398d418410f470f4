#include "history/NumberChartWindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
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

    chart_ = new ChanceChart(ChanceChart::Shape::NumberBars, this);
    chart_->bars()->setLabel(QStringLiteral("出现次数"));
    chart_->bars()->setColor(QColor(70, 110, 200));
    chart_->yAxis()->setTitleText(QStringLiteral("出现次数"));
    chart_->setLargeTitle();
    chart_->addNote(QStringLiteral("numberChartNote"));
    layout->addWidget(chart_, 1);
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
    chart_->bars()->remove(0, chart_->bars()->count());
    chart_->bars()->append(values);
    const double expected = c.expected();
    chart_->setChanceLevel(expected, QStringLiteral("机会期望 %1 次").arg(expected, 0, 'f', 1));
    chart_->fitBars(most, expected);
    chart_->chart()->setTitle(
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
    chart_->note()->setText(note);
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
