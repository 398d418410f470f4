#pragma once

#include <QWidget>
#include <vector>

#include "analysis/FormulaSteps.h"

class QTableView;

namespace varnet {

class Asker;
class CellModel;
class Exporter;
class History;

// "公式计算步骤": one formula worked out on every stored draw, term by term
// where it is a sum of terms.
class frmGsbz : public QWidget {
    Q_OBJECT
  public:
    // A click on the grid writes it to a workbook.
    frmGsbz(Asker& asker, Exporter& exporter, QWidget* parent = nullptr);
    ~frmGsbz() override;

    // Works the formula out over the history and shows it; false, with the
    // reason in a message and the window unchanged, when it cannot.
    bool showFormula(const History& history, const QString& code, const QString& chinese);

    QTableView* grid() const { return grid_; }

  private:
    Asker& asker_;
    std::vector<StepRow> rows_;
    CellModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
};

}  // namespace varnet
