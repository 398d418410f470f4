#include "ui/HistoryView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QWheelEvent>

namespace varnet {

HistoryView::HistoryView(QWidget* parent) : QTableView(parent) {
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void HistoryView::updateGeometries() {
    // Per-item scrolling: the value is the top row, so allow every row on top
    // and keep the top row when the base class would pull it back.
    const int top = verticalScrollBar()->value();
    QTableView::updateGeometries();
    if (!model()) return;
    const int last = qMax(0, model()->rowCount() - 1);
    verticalScrollBar()->setRange(0, last);
    verticalScrollBar()->setValue(qMin(top, last));
    alignTopRow();
}

void HistoryView::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    alignTopRow();
}

void HistoryView::alignTopRow() {
    // At the end of the range the base class aligns the last row with the
    // bottom edge; the scroll value here always names the top row.
    QHeaderView* header = verticalHeader();
    const int wanted = header->sectionPosition(verticalScrollBar()->value());
    if (wanted >= 0 && header->offset() != wanted) {
        header->setOffset(wanted);
        viewport()->update();
    }
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

void HistoryView::showLastRowOnTop() {
    if (!model()) return;
    const int rows = model()->rowCount();
    if (rows + 1 <= kScrollRows) return;
    updateGeometries();
    verticalScrollBar()->setValue(rows - 1);
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
