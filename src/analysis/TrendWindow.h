#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "analysis/Trend.h"

class QComboBox;
class QLabel;
class QSpinBox;
class QTableView;

namespace varnet {

class Exporter;
class TrendModel;

// "号码走势图": one parameter over the last draws, a row per draw with the
// drawn value as a ball joined to the next by a line and every other value's
// omission in grey, then the figures per value with their chances.
class TrendWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kFixedColumns = 2;  // issue, value
    static constexpr int kSummaryRows = 6;

    TrendWindow(Exporter& exporter, std::string dataFolder, QWidget* parent = nullptr);
    ~TrendWindow() override;

    // The trend of parameter `param` (1..132) over the last `last` draws (0: all).
    void showTrend(std::shared_ptr<const History> history, int param, int last);

    const Trend& trend() const { return *trend_; }
    QTableView* grid() const { return grid_; }
    QComboBox* parameterBox() const { return params_; }
    QSpinBox* lastBox() const { return last_; }
    QLabel* note() const { return note_; }

    // The rows in view as a PNG in the data folder; its path, empty on failure.
    QString savePicture();
    // Every row to a workbook in the data folder.
    void exportWorkbook();

  private:
    void recompute();

    Exporter& exporter_;
    std::string dataFolder_;
    std::shared_ptr<const History> history_;
    std::shared_ptr<const Trend> trend_;
    TrendModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QComboBox* params_ = nullptr;
    QSpinBox* last_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace varnet
