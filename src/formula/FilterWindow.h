#pragma once

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;

namespace varnet {

class Asker;
class FormulaListModel;

// "公式过滤设置窗口": shows the range of each statistic over the selected
// formulas and deselects every formula outside the ranges the user narrows
// them to. Boxes txtCs0..txtCs9 hold (lower, upper) for rate, longest miss
// run, longest hit run, last miss run and last hit run.
class frmGSGuolv : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kBoxes = 10;

    frmGSGuolv(FormulaListModel& model, Asker& asker, QWidget* parent = nullptr);

    QLineEdit* box(int i) const { return boxes_[i]; }
    QPushButton* okButton() const { return okButton_; }

    // Fills the boxes with the ranges over the selected formulas.
    void showRanges();
    // Clears the flags of formulas outside the boxes' ranges, hides the
    // window and reports how many stay selected; returns that number.
    int applyFilter();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    FormulaListModel& model_;
    Asker& asker_;
    std::array<QLineEdit*, kBoxes> boxes_{};
    QPushButton* okButton_ = nullptr;
};

}  // namespace varnet
