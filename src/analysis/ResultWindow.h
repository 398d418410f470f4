#pragma once

#include <QWidget>
#include <deque>
#include <functional>
#include <memory>

#include "analysis/ResultSummary.h"
#include "ui/WorkRunner.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTableView;

namespace varnet {

class Asker;
class BacktestWindow;
class CellModel;
class Database;
class History;
class Exporter;
class VoteChartWindow;

// "杀留值排序(鼠标双击列表反向排序)": what a calculation counted. A tab per
// computed position with its number list and count summary, the note on the
// computed issue and the most likely arrangement. A click on a number list
// reverses that list's order and sorts it by the clicked column.
class frmErrarrLei : public QWidget {
    Q_OBJECT
  public:
    explicit frmErrarrLei(Exporter& exporter, QWidget* parent = nullptr);
    ~frmErrarrLei() override;

    // Shows a calculation: its votes as `summary` ranks them, and for a
    // stored issue the numbers drawn there, marked in each list. `details`
    // shows "详细结果列表(&D)" (a selected-formula calculation).
    void fill(const CalcResult& result, const ResultSummary& summary, bool kill, bool details);

    // A click on column `column` of position `position`'s number list.
    void resortList(int position, int column);

    QTabBar* tabs() const { return tabs_; }
    // Position 1..10 of the last fill.
    QTableView* numberList(int position) const;
    QTableView* countSummary(int position) const;
    QLabel* examinedLabel(int position) const;
    // "注:当前计算" + the issue the votes are for + "期结果…".
    QLabel* note() const { return note_; }
    // The numbers drawn at the issue verified (hidden for the next draw).
    QLabel* drawnLabel() const { return drawn_; }
    QLineEdit* arrangement() const { return arrangement_; }
    QPushButton* detailsButton() const { return details_; }
    // "方法回测" and "票数图表", and the windows they open once opened.
    QPushButton* backtestButton() const { return backtestButton_; }
    QPushButton* voteChartButton() const { return voteChartButton_; }
    BacktestWindow* backtestWindow() const { return backtest_; }
    VoteChartWindow* voteChartWindow() const { return voteChart_; }

    // What "方法回测" checks: the request of the calculation shown, run on
    // the host's current history through its worker routine.
    struct BacktestSource {
        Database* db = nullptr;
        WorkRunner* runner = nullptr;
        std::function<std::shared_ptr<const History>()> history;
        Asker* asker = nullptr;
        CalcRequest request;
    };
    void setBacktestSource(BacktestSource source);
    // Asks for the number of draws, checks the method over them on a worker
    // and shows the outcome.
    void runBacktest();
    // "检验报告": the report over the last kReportDraws draws (fewer when the
    // history holds fewer) for this calculation's kind and method, written
    // into the data folder on the worker and opened in the browser.
    QPushButton* reportButton() const { return reportButton_; }
    void writeReport();
    // The last calculation's votes as bars, a position at a time.
    void showVoteChart();
    // "导出列表(&E)": the counts of the last computed position to a workbook.
    void exportList();

  signals:
    void detailsRequested();

  private:
    struct Panel {
        QWidget* page = nullptr;
        QTableView* list = nullptr;
        QTableView* counts = nullptr;
        QLabel* examined = nullptr;
        CellModel* listModel = nullptr;
        CellModel* countModel = nullptr;
        PositionSummary summary;
        int drawn = 0;  // the number drawn at the issue verified, 0 for none
        bool reversed = false;
    };

    Panel& panel(int index);
    void showList(Panel& panel, bool resorted);
    void showCounts(Panel& panel);

    Exporter& exporter_;
    PositionVotes lastVotes_;  // the last computed position's counts
    std::vector<PositionVotes> lastPositions_;
    std::int32_t lastTarget_ = 0;
    BacktestSource source_;
    QPushButton* backtestButton_ = nullptr;
    QPushButton* voteChartButton_ = nullptr;
    QPushButton* reportButton_ = nullptr;
    BacktestWindow* backtest_ = nullptr;
    VoteChartWindow* voteChart_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* drawn_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLineEdit* arrangement_ = nullptr;
    QPushButton* details_ = nullptr;
    std::deque<Panel> panels_;  // the grids' models read their panel's rows in place
    int shown_ = 0;             // positions of the last fill
    bool kill_ = true;
};

}  // namespace varnet
