#pragma once

#include <QDialog>
#include <vector>

#include "analysis/Calculation.h"

class QPushButton;
class QTableView;

namespace varnet {

class CellModel;
class Exporter;

// "详细结果列表": the formulas that voted at one position of the last
// calculation, in list order, with the number each gave.
class frmXxlb : public QDialog {
    Q_OBJECT
  public:
    // `chinese`: the formulas in Chinese form (else the code form).
    // "导出数据(&E)" writes the grid to a workbook.
    frmXxlb(std::vector<VotingFormula> voters, bool chinese, Exporter& exporter,
            QWidget* parent = nullptr);
    ~frmXxlb() override;

    QTableView* grid() const { return grid_; }
    QPushButton* exportButton() const { return export_; }

  private:
    std::vector<VotingFormula> voters_;
    CellModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QPushButton* export_ = nullptr;
};

}  // namespace varnet
