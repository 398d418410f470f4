#pragma once

#include <QGroupBox>
#include <array>

class QLineEdit;

namespace varnet {

struct Score;

// "当前公式参数值": the five statistics and the significance of the
// candidate the search or the tuning looks at.
class CandidateStatsBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit CandidateStatsBox(QWidget* parent);

    // `kill`: the kind the candidate is scored as.
    void show(const Score& score, bool kill);

  private:
    std::array<QLineEdit*, 5> stats_{};
    QLineEdit* significance_ = nullptr;
};

}  // namespace varnet
