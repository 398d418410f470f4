#pragma once

#include <QDialog>
#include <array>

#include "engine/ScoreStat.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace varnet {

class Asker;

// "公式排序设置": three sort levels over the formula statistics and the
// number of numbers to keep, for the best-formula calculation. "确定(&O)"
// stores the choice and hides the window; closing it otherwise leaves the
// settings as they were. Each level shows the direction it sorts in.
class frmGsCsArr : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kLevels = 3;
    static constexpr int kOptions = 5;

    frmGsCsArr(SortSettings& settings, bool& confirmed, Asker& asker, QWidget* parent = nullptr);

    QRadioButton* option(int level, int option) const { return options_[level][option]; }
    QLabel* directionLabel(int level) const { return directions_[level]; }
    QLineEdit* limitBox() const { return limit_; }
    QPushButton* okButton() const { return ok_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Stores the shown choice; false, with a message and nothing stored,
    // when the limit is not a whole number from 0 to 32767.
    bool confirm();
    // The window shows the settings in effect.
    void showSettings();
    int chosen(int level) const;
    void showDirection(int level);

    SortSettings& settings_;
    bool& confirmed_;
    Asker& asker_;
    std::array<std::array<QRadioButton*, kOptions>, kLevels> options_{};
    std::array<QButtonGroup*, kLevels> groups_{};
    std::array<QLabel*, kLevels> directions_{};
    QLineEdit* limit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace varnet
