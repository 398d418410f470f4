#pragma once

#include <QLayout>
#include <QList>

namespace varnet {

// Lays its items out left to right and starts a new row when the next one
// does not fit, so a row of buttons stays whole on a narrow screen.
class FlowLayout : public QLayout {
  public:
    explicit FlowLayout(QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

  private:
    // Places the items within rect (or only measures) and returns the height used.
    int arrange(const QRect& rect, bool place) const;
    int gap() const;

    QList<QLayoutItem*> items_;
};

}  // namespace varnet
