#pragma once

#include <QWidget>
#include <array>
#include <memory>

class QLabel;
class QRadioButton;
class QTableView;

namespace varnet {

class CellModel;
class Exporter;
struct Replay;

// "历史开奖列表": every draw's ranking from a replay of the formulas, beside
// the number the following draw put at the compared position, where that
// number stood in the ranking, and the numbers of each error value.
class frmLslb : public QWidget {
    Q_OBJECT
  public:
    explicit frmLslb(Exporter& exporter, QWidget* parent = nullptr);
    ~frmLslb() override;

    // Shows a replay compared with the numbers drawn at `comparedPosition`.
    void fill(std::shared_ptr<const Replay> replay, int comparedPosition);
    // "查询该位该类对应号历史排序结果": the same replay against the chosen position.
    void refill();

    int comparedPosition() const { return compared_; }
    QTableView* grid() const { return grid_; }
    QRadioButton* option(int position) const { return options_[position - 1]; }
    QLabel* note() const { return note_; }

    // Grid columns before the error-value columns.
    static constexpr int kFixedColumns = 27;

  private:
    struct Shown;

    Exporter& exporter_;
    std::shared_ptr<const Replay> replay_;
    int compared_ = 1;
    CellModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QLabel* note_ = nullptr;
    std::array<QRadioButton*, 10> options_{};
};

}  // namespace varnet
