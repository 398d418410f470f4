#pragma once

#include <QTableView>
#include <functional>

namespace varnet {

// The history grid's view. After a refresh of a long history the last draw
// becomes the top visible row, so the scroll range reaches past the usual
// end; the wheel moves one row per step.
class HistoryView : public QTableView {
    Q_OBJECT
  public:
    // The grid scrolls its last row to the top once it has more rows than
    // this, counting its header row as the original grid did.
    static constexpr int kScrollRows = 29;

    explicit HistoryView(QWidget* parent = nullptr);

    // Scrolls the last row to the top when the grid is long enough.
    void showLastRowOnTop();
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
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void alignTopRow();
    void applyColumnWidths();

    std::function<int(int)> width_;
    QMetaObject::Connection resetConnection_;
};

}  // namespace varnet
