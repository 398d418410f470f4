#pragma once

#include <QWidget>

class QLabel;
class QTableView;

namespace varnet {

class CellModel;
class History;

// "参数对照（将要开奖期的上上期的开奖作为参数计算）": every parameter of the
// draw whose values the next-draw calculation reads (the second-to-last).
// A click on a cell puts its text on the clipboard.
class frmShuoming : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRows = 24;
    static constexpr int kColumns = 12;

    explicit frmShuoming(QWidget* parent = nullptr);
    ~frmShuoming() override;

    // Reads the values of the history's second-to-last draw; with fewer than
    // two draws the value cells stay empty and a note says why.
    void refill(const History& history);

    QTableView* grid() const { return grid_; }
    QLabel* noteLabel() const { return note_; }
    QString cellText(int row, int column) const;

  private:
    void fitColumns();

    CellModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QLabel* note_ = nullptr;
    // The values shown: [row][column], empty where the cell has none.
    QString cells_[kRows][kColumns];
};

}  // namespace varnet
