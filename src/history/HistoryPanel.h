#pragma once

#include <QDate>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "base/History.h"
#include "history/DrawEntry.h"
#include "history/HistoryCommands.h"

class QLayout;
class QMenu;
class QTimer;

namespace varnet {

class Asker;
class Database;
class Fetcher;
class HistoryModel;
class HistoryView;
class Launcher;
class WorkRunner;
struct MainState;

// The history half of the main window: the grid with its menu, the manual
// entry, and the history commands (import, export, deletions, the online
// update). It keeps the history in memory that the other parts read.
class HistoryPanel : public QWidget {
    Q_OBJECT
  public:
    // What the panel needs from the window around it.
    class Host {
      public:
        virtual ~Host() = default;
        // After a history change: the formula list filled anew, or its
        // formulas verified with their flags.
        virtual void refillFormulas() = 0;
        virtual void verifyFormulas() = 0;
        // The greatest stored issue, for the verification issue box.
        virtual void lastIssueShown(qint64 issue) = 0;
        // "导出列表到Excel" (button and grid menu).
        virtual void exportHistoryList() = 0;
        // The results site of the online update; empty when not set.
        virtual std::string historySite() const = 0;
    };

    // The settings menu entry that sets the results site.
    static constexpr const char* kSiteEntry = "开奖网站地址设置...";

    HistoryPanel(Host& host, Database& db, MainState& state, std::string dataFolder,
                 WorkRunner& runner, Fetcher& fetcher, Asker& asker, Launcher& launcher,
                 QWidget* parent = nullptr);
    ~HistoryPanel() override;

    // The command buttons, added to `row` (placed by the window).
    void addButtons(QLayout* row);
    // A bar shown under the grid (the formula columns' bar).
    void addBelowGrid(QWidget* bar);

    // Reloads the history from the database into the grid, shows its end and
    // proposes the next issue.
    void AddHaoma();
    // Sets the verification issue to the greatest stored issue and the entry
    // issue box to the one after it; an empty history changes neither.
    void QihaoXianshi();
    // After a change of the history: read again, then the formulas refilled.
    void refreshAfterHistoryChange();

    const std::shared_ptr<const History>& history() const { return history_; }
    HistoryModel* model() const { return model_; }
    HistoryView* view() const { return view_; }
    DrawEntry* entry() const { return entry_; }
    QMenu* menu() const { return menu_; }

    // The commands.
    void importHistory();
    void exportHistory();
    void deleteLastDraw();
    void deleteAllDraws();
    void deleteDownToIssue();
    void deleteLastDraws();
    // "开奖历史号在线更新(&O)": the day pages of the results site up to today.
    void updateHistoryOnline();

    // Where "today" comes from (the manual entry's date, the last day page
    // of an online update); tests give a fixed day.
    void setClock(std::function<QDate()> today) { today_ = std::move(today); }

  signals:
    // "号码走势图(&T)" in the grid's menu, on the position right-clicked or selected.
    void trendRequested(int position);

  private:
    void buildMenu();
    void storeEnteredDraw();
    void deferredRefresh();
    // Shows a history in the grid, shows its end and proposes the next issue.
    void showHistory(std::shared_ptr<const History> history);
    // After a change whose effect on the rows is known, the history in memory
    // follows it instead of reading every row again; when the row count then
    // disagrees with the file (another program wrote to it), everything is
    // read again. Then the formula list is filled anew (`fill`) or its
    // formulas are verified with their flags.
    void followHistoryChange(const std::function<void(History&)>& change, bool fill = true);
    void retryHistory();
    bool reportFailure(const QString& title, bool ok, const std::string& message);
    // Asks about the draws of `span`, then removes them on the worker.
    void deleteAfterQuestion(const HistoryCommands::Span& span,
                             const std::function<HistoryCommands::Result()>& remove);
    // Asks before a deletion, naming how many draws and which issues go.
    bool confirmDeletion(const HistoryCommands::Span& span);
    // `command` as a slot that does nothing while work runs.
    std::function<void()> idle(void (HistoryPanel::*command)());

    Host& host_;
    Database& db_;
    MainState& state_;
    std::string dataFolder_;
    WorkRunner& runner_;
    Fetcher& fetcher_;
    Asker& asker_;
    Launcher& launcher_;
    std::function<QDate()> today_ = [] { return QDate::currentDate(); };

    std::shared_ptr<const History> history_;
    bool historyReadFailed_ = false;  // read again until it works

    HistoryModel* model_ = nullptr;
    HistoryView* view_ = nullptr;
    QPointer<DrawEntry> entry_;  // owned by the window once placed
    QMenu* menu_ = nullptr;
    QTimer* deferredTimer_ = nullptr;
    bool refreshPending_ = false;
};

}  // namespace varnet
