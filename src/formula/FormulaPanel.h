#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "formula/FormulaSelection.h"
#include "formula/FormulaTextCommands.h"
#include "formula/Verification.h"

class QAbstractItemModel;
class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTabBar;

namespace varnet {

class Asker;
class Database;
class Exporter;
class FormulaListModel;
class History;
class HistoryModel;
class HistoryView;
class Launcher;
class PositionKindSelector;
class RateChartWindow;
class frmGSGuolv;
struct MainState;
class WorkRunner;

// The formula half of the main window: position selector, kill/keep pair,
// the formula list with its selection, verification, entry, import,
// deletion and the filter window. Verification (`Yansuan`) runs on a worker
// through the host and is applied here, on the window's thread.
class FormulaPanel : public QWidget {
    Q_OBJECT
  public:
    // What the panel needs from the window that holds it.
    class Host {
      public:
        virtual ~Host() = default;
        virtual std::shared_ptr<const History> currentHistory() const = 0;
        // The window's one runner of work off its thread.
        virtual WorkRunner& runner() = 0;
    };

    // Formulas per block of the history grid's per-draw columns.
    static constexpr int kBlock = 500;

    FormulaPanel(Database& db, MainState& state, std::string dataFolder, Host& host,
                 Exporter& exporter, Asker& asker, Launcher& launcher, HistoryModel& historyModel,
                 QWidget* parent = nullptr);
    ~FormulaPanel() override;

    // Verifies the formulas of the selected position and kind and shows
    // them; returns once the result is applied. Flags of formulas that stay
    // listed are kept.
    void Yansuan();
    // The refresh after a change of the history or the formulas: the list
    // filled anew with every formula selected, then verified.
    void refresh();
    // Lists a position with every formula selected and verifies it.
    void selectPosition(int position);
    // Lists the kind's formulas of the current position, all selected.
    void setKill(bool kill);

    void addFormula();
    void importFormulas();
    // The "管理" deletions; `row` is a row of the list view.
    void deleteFormula(int row);
    void deleteLastFormula(int row);
    void deleteSelected();
    void deleteUnselected();
    void clearAllFormulas();
    // The rolling hit rate of the formula in view row `row` over the
    // history, in the chart window.
    void showRateChart(int row);

    void selectAll();
    void invertSelection();
    void showFilter();
    void setPerDrawDisplay(bool on);
    // `YansuanA`: verifies the block of formulas from list position `first`
    // (1-based) and shows it in the history grid; nothing is stored.
    void showBlock(int first);
    bool perDrawShown() const;

    // The formula text file in Chinese form: the listed formulas
    // ("所选类公式中文导出") or every formula of every table ("所有类公式中文导出").
    void exportListedText();
    void exportEveryText();

    // The selection a calculation uses for a position and kind: the listed
    // flags, the flags the position had when the list left it, or nothing
    // when every formula of the position counts as selected.
    const std::unordered_set<std::int64_t>* selectionOf(int position, bool kill) const;
    // The verification options as counting rules.
    CountRule countRule() const;

    FormulaListModel* model() const { return model_; }
    HistoryView* listView() const { return listView_; }
    QMenu* manageMenu() const { return manageMenu_; }
    // The history grid's formula-column scroll bar; the window places it.
    QScrollBar* formulaColumnBar() const { return columnBar_; }
    QLineEdit* input() const { return input_; }
    frmGSGuolv* filterWindow() const { return filter_; }
    RateChartWindow* rateChart() const { return rateChart_; }

  signals:
    // "查询该公式历史计算式(&U)" on a formula of the list.
    void stepsRequested(const QString& code, const QString& chinese);
    // "公式在线更新（&W)": the window that holds the panel runs the download.
    void onlineUpdateRequested();

  private:
    // How selection flags reach the freshly loaded list, and how it is shown.
    struct Carry : FormulaSelection::Carry {
        // A fill shows the last rows; a verification leaves the scrolling.
        bool fill = true;
        // Verifying again because another program changed the table.
        bool again = false;
    };
    struct Verified;

    void buildPanel();
    void verify(const Carry& carry);
    void apply(Verified& v, const Carry& carry);
    void retryRead(const Carry& carry);
    Carry priorWithout(const std::vector<int>& deletedIndexes, Carry::Flags flags) const;
    void deleteIdxs(const std::vector<int>& idxs, const Carry& carry);
    void deleteBySelection(bool selected, const QString& question);
    void syncChoices();
    // `command` that does nothing while a job runs; `refused` runs then.
    std::function<void()> idle(std::function<void()> command, std::function<void()> refused = {});
    void updateColumnBar();
    void fitWideColumns();
    void showManageMenu(const QPoint& globalPos);

    Database& db_;
    MainState& state_;
    std::string dataFolder_;
    Host& host_;
    Exporter& exporter_;
    Asker& asker_;
    Launcher& launcher_;
    HistoryModel& historyModel_;

    FormulaListModel* model_ = nullptr;
    HistoryView* listView_ = nullptr;
    PositionKindSelector* choices_ = nullptr;
    QTabBar* formTabs_ = nullptr;
    QCheckBox* perDrawBox_ = nullptr;
    QLineEdit* input_ = nullptr;
    QMenu* manageMenu_ = nullptr;
    QAction* stepsAction_ = nullptr;
    QAction* deleteOneAction_ = nullptr;
    QAction* deleteLastAction_ = nullptr;
    QAction* rateChartAction_ = nullptr;
    // The workbook holds the list's own columns, not the chance columns.
    QAbstractItemModel* workbookColumns_ = nullptr;
    QScrollBar* columnBar_ = nullptr;
    frmGSGuolv* filter_ = nullptr;
    RateChartWindow* rateChart_ = nullptr;

    // What the list shows now, and its flags.
    FormulaSelection selection_;
    FormulaTextCommands textCommands_;
    int menuRow_ = -1;  // the row last right-clicked
    bool blockMoved_ = false;
    // The last reading of the formula table failed; it is read again.
    bool readFailed_ = false;
    static constexpr int kRetryMs = 3000;
};

}  // namespace varnet
