#pragma once

#include <QTableView>
#include <functional>

namespace varnet {

// The view of the history grid and the formula list. A fill shows the last
// rows as a full page; the wheel moves one row per step.
class HistoryView : public QTableView {
    Q_OBJECT
  public:
    explicit HistoryView(QWidget* parent = nullptr);

    // Scrolls so that the last row sits at the bottom of the view, and keeps
    // it there while the view is laid out or resized (a fill may come before
    // the window is shown), until the user scrolls.
    void showLastRows();
    // The scroll position: the first row shown in full.
    int topRow() const;
    // Room for every column and the vertical scroll bar.
    QSize sizeHint() const override;

    // Column widths in pixels, applied again whenever the model is reset.
    void setColumnWidthRule(std::function<int(int)> width);
    void setModel(QAbstractItemModel* model) override;

  signals:
    void menuRequested(const QPoint& globalPos);

  protected:
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void followEnd();
    void applyColumnWidths();

    std::function<int(int)> width_;
    bool atEnd_ = false;      // follow the end until the user scrolls
    bool adjusting_ = false;  // scroll changes of our own or of the layout
    QMetaObject::Connection resetConnection_;
};

}  // namespace varnet
