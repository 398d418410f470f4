#pragma once

#include <QObject>
#include <array>

class QGroupBox;
class QRadioButton;
class QWidget;

namespace varnet {

// The position and kind choice that the formula half and the search window
// share: "位数选择" with the ten positions in two rows and "生杀" with "杀"
// and "生". It builds the two boxes; the window lays them out.
class PositionKindSelector : public QObject {
    Q_OBJECT
  public:
    explicit PositionKindSelector(QWidget* parent);

    QGroupBox* positionBox() const { return positionBox_; }
    QGroupBox* kindBox() const { return kindBox_; }
    QRadioButton* positionButton(int position) const { return positions_[position - 1]; }
    QRadioButton* killButton() const { return kill_; }
    QRadioButton* keepButton() const { return keep_; }

    int position() const;
    bool kill() const;
    // Check a choice without the clicked signals (toggled still fires).
    void setPosition(int position);
    void setKill(bool kill);

  signals:
    // A click, also on the position already checked.
    void positionClicked(int position);
    void kindClicked(bool kill);
    // The kind changed, by a click or by setKill.
    void kindChanged(bool kill);

  private:
    QGroupBox* positionBox_;
    QGroupBox* kindBox_;
    std::array<QRadioButton*, 10> positions_{};
    QRadioButton* kill_;
    QRadioButton* keep_;
};

}  // namespace varnet
