#pragma once

#include <QGroupBox>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "engine/Thresholds.h"

class QLineEdit;
class QPushButton;

namespace varnet {

class Asker;

// "公式参数": the lower and upper bound of each of the five statistics, as
// typed, and the button that stores them.
class ThresholdsBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit ThresholdsBox(QWidget* parent);

    QPushButton* saveButton() const { return save_; }
    std::array<std::string, 10> texts() const;
    void show(const Thresholds& t);
    // One bound, shown from its start.
    void showBound(int box, double value);
    void focusBox(int box);

    // A bound that cannot stand, named by its box as typed ("…，"), and that box.
    std::optional<std::pair<int, QString>> fault(const Thresholds& t) const;
    // The boxes as numbers; nothing, with a message (under `title`) naming
    // the first box that is not a number or a bound that cannot stand.
    std::optional<Thresholds> read(Asker& asker, QWidget* parent, const QString& title);

  private:
    std::array<QLineEdit*, 10> boxes_{};
    QPushButton* save_ = nullptr;
};

}  // namespace varnet
