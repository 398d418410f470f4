#pragma once

#include <QDate>
#include <QMainWindow>
#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/Calculation.h"
#include "app/AppSettings.h"
#include "ui/MainState.h"
#include "ui/WorkRunner.h"
#include "formula/FormulaPanel.h"
#include "base/History.h"
#include "history/HistoryCommands.h"
#include "search/SearchWindow.h"
#include "ui/ModelExport.h"

class QAction;
class QActionGroup;
class QMenu;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace varnet {

class Asker;
class Database;
class DrawEntry;
class Fetcher;
class HistoryModel;
class HistoryView;
class Launcher;
class frmErrarrLei;
class frmGsCsArr;
class frmGsbz;
class frmLslb;
class frmShuoming;

// The main window: owns the shared state, shows the history grid with the
// manual entry beside the formula panel, and offers the history, settings
// and document commands.
class MainWindow : public QMainWindow,
                   private FormulaPanel::Host,
                   private Exporter,
                   private frmGSGL::Host {
    Q_OBJECT
  public:
    // Settings keys of the addresses behind the document buttons and the
    // other-programs menu; an empty address hides its entry.
    static constexpr const char* kSlidesUrlKey = "SlideDocUrl";
    static constexpr const char* kVideoUrlKey = "VideoDocUrl";
    static constexpr int kOtherPrograms = 3;
    static QString otherProgramUrlKey(int i);   // "OtherSoft1Url" ..
    static QString otherProgramNameKey(int i);  // "OtherSoft1Name" ..
    static constexpr const char* kGuideFile = "使用说明.html";

    MainWindow(Database& db, std::string dataFolder, AppSettings& settings, Launcher& launcher,
               Asker& asker, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Reloads the history from the database into the grid, shows its end and
    // proposes the next issue.
    void AddHaoma();
    // Sets the verification issue to the greatest stored issue and the entry
    // issue box to the one after it; an empty history changes neither.
    void QihaoXianshi();

    const MainState& state() const { return state_; }
    const History& history() const { return *history_; }
    HistoryModel* historyModel() const { return model_; }
    HistoryView* historyView() const { return view_; }
    DrawEntry* drawEntry() const { return entry_; }
    QMenu* settingsMenu() const { return settingsMenu_; }
    QMenu* historyMenu() const { return historyMenu_; }
    FormulaPanel* formulaPanel() const { return panel_; }
    QLineEdit* verificationBox() const { return verificationBox_; }
    // The secondary windows, once they have been opened.
    frmErrarrLei* resultWindow() const { return result_; }
    frmGsCsArr* sortWindow() const { return sort_; }
    frmShuoming* parameterWindow() const { return parameters_; }
    frmGsbz* stepsWindow() const { return steps_; }
    frmLslb* queryWindow() const { return query_; }
    frmGSGL* searchWindow() const { return search_; }

    // Lists a position's formulas, all selected, and returns once they are
    // verified and shown.
    void selectPosition(int position);

    // The commands.
    void importHistory();
    void exportHistory();
    void deleteLastDraw();
    void deleteAllDraws();
    void deleteDownToIssue();
    void deleteLastDraws();
    void setDaysToSearch();
    void restoreDefaults();
    void openGuide();
    // "计算公式(&C)": the votes of positions 1..current for the next draw or
    // a stored one, shown in the result window.
    void computeFormulas();
    void showParameters();
    void showSteps(const QString& code, const QString& chinese);
    void showDetails();
    // "公式往期位置值结果列表": the listed formulas replayed over every draw,
    // shown in the history query window.
    void showPastResults();
    // "导出列表到Excel": the history grid, with the per-draw formula columns
    // when they are shown, to a workbook.
    void exportHistoryList();
    // "公式搜索(&F)": the search window, modal.
    void openSearch();
    // "开奖历史号在线更新(&O)": the day pages of the results site up to today.
    void updateHistoryOnline();
    // "公式在线更新（&W)": every formula replaced by the published file.
    void updateFormulasOnline();
    // The settings menu's address entries.
    void setHistorySiteAddress();
    void setFormulaFileAddress();

    // Where "today" comes from (the manual entry's date, the last day page
    // of an online update); tests give a fixed day.
    void setClock(std::function<QDate()> today) { today_ = std::move(today); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<QDate()> today_ = [] { return QDate::currentDate(); };

    void loadSettings();
    void buildWindow();
    QMenu* buildSettingsMenu();
    void buildHistoryMenu();
    QPushButton* addressButton(const QString& caption, const QString& key);
    QLayout* buildCalculationRow();

    void storeEnteredDraw();
    void deferredRefresh();
    void refreshAfterHistoryChange();
    // Shows a history in the grid, shows its end and proposes the next issue.
    void showHistory(std::shared_ptr<const History> history);
    // After a change whose effect on the rows is known, the history in memory
    // follows it instead of reading every row again; when the row count then
    // disagrees with the file (another program wrote to it), everything is
    // read again. Then the formula list is filled anew (`fill`) or its
    // formulas are verified with their flags.
    void followHistoryChange(const std::function<void(History&)>& change, bool fill = true);
    // `Yansuan` of the listed formulas, keeping their selection.
    void verifyListedFormulas();

    // FormulaPanel::Host
    std::shared_ptr<const History> currentHistory() const override { return history_; }
    WorkRunner& runner() override { return runner_; }
    bool busy() const override { return runner_.busy(); }
    // Exporter
    bool exportFile(QWidget* from, const QString& title, const std::string& file, long long total,
                    const Exporter::Write& write) override;
    // frmGSGL::Host
    CountRule searchCountRule() const override;
    QString entryIssueText() const override { return state_.entryIssueText; }
    void saveFormulas(std::vector<SearchResult> batch, bool replace,
                      std::function<void(const BatchSaveResult&)> done) override;
    // The formula tables of these positions were rewritten: list and verify
    // again.
    void formulasSaved(const std::vector<int>& positions);

    void chooseDisplay(bool onCurrent);
    void chooseIssueCount(int index);
    void syncSettingsChecks();
    void openAddress(const QString& address);
    bool reportFailure(const QString& title, bool ok, const std::string& message);
    // Asks before a deletion, naming how many draws and which issues go.
    // Asks about the draws of `span`, then removes them on the worker.
    void deleteAfterQuestion(const HistoryCommands::Span& span,
                             const std::function<HistoryCommands::Result()>& remove);
    bool confirmDeletion(const HistoryCommands::Span& span);
    void askAddress(const QString& title, const QString& key, const QString& what);


    Database& db_;
    std::string dataFolder_;
    AppSettings& settings_;
    Launcher& launcher_;
    Asker& asker_;

    MainState state_;
    std::shared_ptr<const History> history_;
    bool historyReadFailed_ = false;  // read again until it works
    void retryHistory();

    HistoryModel* model_ = nullptr;
    HistoryView* view_ = nullptr;
    FormulaPanel* panel_ = nullptr;
    DrawEntry* entry_ = nullptr;
    QWidget* commandArea_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    QMenu* historyMenu_ = nullptr;
    QAction* showNextAction_ = nullptr;
    QAction* showCurrentAction_ = nullptr;
    QAction* excludeCurrentAction_ = nullptr;
    QAction* weightedAction_ = nullptr;
    std::array<QAction*, AppSettings::kIssueCountEntries> issueCountActions_{};
    QRadioButton* nextDrawButton_ = nullptr;
    QRadioButton* givenIssueButton_ = nullptr;
    QRadioButton* bestButton_ = nullptr;
    QRadioButton* selectedButton_ = nullptr;
    QLineEdit* verificationBox_ = nullptr;

    frmErrarrLei* result_ = nullptr;
    frmGsCsArr* sort_ = nullptr;
    frmShuoming* parameters_ = nullptr;
    frmGsbz* steps_ = nullptr;
    frmLslb* query_ = nullptr;
    frmGSGL* search_ = nullptr;
    // The voters of the current position in the last selected-formula
    // calculation, for the detail list.
    std::vector<VotingFormula> detailVoters_;

    // Downloads for the online updates; the cancel button stops the one under way.
    std::unique_ptr<Fetcher> fetcher_;

    QTimer* deferredTimer_ = nullptr;
    bool refreshPending_ = false;
    // Runs every job off the window's thread; saves from the search window
    // wait in its queue for the work under way (a verification, or an
    // earlier save with its refresh).
    WorkRunner runner_;
};

}  // namespace varnet
