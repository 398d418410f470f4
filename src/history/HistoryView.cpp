#include "history/HistoryView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QWheelEvent>
#include <utility>

namespace varnet {

HistoryView::HistoryView(QWidget* parent) : QTableView(parent) {
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!adjusting_) atEnd_ = false;
    });
}

void HistoryView::updateGeometries() {
    // The base class clamps the scroll value to the new range; that is not
    // the user scrolling.
    const bool outer = std::exchange(adjusting_, true);
    QTableView::updateGeometries();
    followEnd();
    adjusting_ = outer;
}

void HistoryView::resizeEvent(QResizeEvent* event) {
    // A horizontal scroll bar that comes or goes changes the rows that fit.
    const bool outer = std::exchange(adjusting_, true);
    QTableView::resizeEvent(event);
    followEnd();
    adjusting_ = outer;
}

void HistoryView::followEnd() {
    if (atEnd_) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QSize HistoryView::sizeHint() const {
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    if (model())
        for (int c = 0; c < model()->columnCount(); ++c)
            width += horizontalHeader()->sectionSize(c);
    return {width, QTableView::sizeHint().height()};
}

void HistoryView::setColumnWidthRule(std::function<int(int)> width) {
    width_ = std::move(width);
    applyColumnWidths();
}

void HistoryView::setModel(QAbstractItemModel* model) {
    if (model == this->model()) return;
    disconnect(resetConnection_);
    QTableView::setModel(model);
    if (model)
        resetConnection_ =
            connect(model, &QAbstractItemModel::modelReset, this, &HistoryView::applyColumnWidths);
    applyColumnWidths();
}

void HistoryView::applyColumnWidths() {
    if (!width_ || !model()) return;
    QHeaderView* header = horizontalHeader();
    for (int c = 0; c < model()->columnCount(); ++c) {
        const int w = width_(c);
        header->setSectionHidden(c, w <= 0);
        if (w > 0) header->resizeSection(c, w);
    }
}

int HistoryView::topRow() const { return verticalScrollBar()->value(); }

void HistoryView::showLastRows() {
    atEnd_ = true;
    // The range follows the rows only at the next layout; take it now.
    updateGeometries();
}

void HistoryView::wheelEvent(QWheelEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    const int delta = event->angleDelta().y();
    if (delta <= 0)
        bar->setValue(bar->value() + 1);
    else if (bar->value() > 0)
        bar->setValue(bar->value() - 1);
    event->accept();
}

void HistoryView::contextMenuEvent(QContextMenuEvent* event) {
    emit menuRequested(event->globalPos());
    event->accept();
}

}  // namespace varnet
