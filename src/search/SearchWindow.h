#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Scoring.h"
#include "search/FindsModel.h"
#include "search/HoldOut.h"
#include "search/SchemeSearch.h"
#include "search/SearchRun.h"
#include "search/WorkInbox.h"
#include "ui/WorkRunner.h"

class QLayout;
class QSettings;
class QTimer;

namespace varnet {

class Asker;
class Database;
class Exporter;
class History;
class CandidateStatsBox;
class GeneratorBoxes;
class PositionKindSelector;
class ResultList;
class SchemePlanBox;
class SearchControls;
class ThresholdsBox;
class TuningBox;

// "公式搜索设置以及搜索结果": the search settings per position and kind, the
// single search and the scheme over ten positions (both on a worker thread),
// saving the finds, the Chinese text export and the threshold tuning.
class frmGSGL : public QDialog {
    Q_OBJECT
  public:
    // What the window needs from the main window.
    class Host {
      public:
        virtual ~Host() = default;
        virtual std::shared_ptr<const History> currentHistory() const = 0;
        // The verification options as the search counts rows.
        virtual CountRule searchCountRule() const = 0;
        virtual QString entryIssueText() const = 0;
        // Saves a batch (appended, or replacing its positions' formulas)
        // once nothing else writes or verifies: at once, or after the work
        // under way. Then lists and verifies again and calls `done`.
        virtual void saveFormulas(std::vector<SearchResult> batch, bool replace,
                                  std::function<void(const BatchSaveResult&)> done) = 0;
        // Stores a hold-out search's summary once nothing else writes; `done`
        // gets why it could not be stored, or an empty text.
        virtual void storeHoldOut(HoldOutRecord record,
                                  std::function<void(const std::string&)> done) = 0;
    };

    frmGSGL(Database& db, QSettings& store, Host& host, Exporter& exporter, Asker& asker,
            QWidget* parent = nullptr);
    ~frmGSGL() override;

    bool searching() const { return runner_.busy(); }
    // The finds not saved yet.
    std::vector<SearchResult> batch() const;
    FindsModel* resultModel() const;

    // The commands.
    void startSearch();
    void pauseSearch();
    void startScheme();
    void pauseScheme();
    void continueScheme();
    void saveThresholds();
    void savePlan();
    void loadPlan();
    void tuneCurrent();
    void tuneAll();
    // `asked`: the replacement was confirmed already (at the scheme's start).
    void saveResults(bool replace, bool asked = false);
    void exportResults();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    enum class Work { None, Single, Scheme, Tune, TuneAll };

    void build();
    QLayout* buildSearchColumn();
    void countExisting();
    void selectPosition(int p);
    void selectKind(bool kill);
    void showStored();
    GeneratorSettings generatorSettings() const;

    // Runs `job` through the runner, below this thread's priority; `done`
    // runs on this thread once it ended and the last figures are shown.
    void launch(Work kind, std::function<void(Progress&)> job,
                std::function<void(const WorkOutcome&)> done);
    void poll();
    void finished(const WorkOutcome& outcome, const std::function<void(const WorkOutcome&)>& done);
    void stopWork();
    void takeFinds();
    // A hold-out of `holdOut` draws leaves enough to search in, or the user
    // is told so (under `title`) and nothing starts.
    bool holdOutFitsOrSays(int draws, int holdOut, const QString& title);
    void runScheme();
    void markSchemePosition(int p);
    void schemeEnded(bool cancelled);
    // Asks before a replacement, naming per position the stored formulas of
    // each kind it deletes.
    bool confirmReplace(const std::vector<int>& positions, bool atSchemeStart);

    Database& db_;
    QSettings& store_;
    Host& host_;
    Exporter& exporter_;
    Asker& asker_;

    PositionKindSelector* selector_ = nullptr;
    GeneratorBoxes* generator_ = nullptr;
    ThresholdsBox* thresholds_ = nullptr;
    CandidateStatsBox* stats_ = nullptr;
    TuningBox* tuning_ = nullptr;
    SchemePlanBox* plan_ = nullptr;
    SearchControls* controls_ = nullptr;
    ResultList* results_ = nullptr;
    std::vector<QWidget*> idleOnly_;  // commands that wait while work runs

    int position_ = 1;
    bool kill_ = true;
    bool runKill_ = true;  // the kind the running search scores

    bool schemeBatch_ = false;  // the batch is a scheme's

    // The work on the worker thread and what it hands over.
    WorkRunner runner_;
    Work work_ = Work::None;
    bool ending_ = false;  // being destroyed: a job cut short reports nothing
    SearchWatch watch_;
    std::atomic<int> tuned_{0};
    TuningResult tuningResult_;
    bool tuneKill_ = true;  // the kind the all-positions tuning stores
    WorkInbox inbox_;
    long long verifiedBase_ = 0;
    QTimer* pollTimer_ = nullptr;

    // The scheme in progress: its request, the position it works on and
    // what that position found so far, so that "继续" resumes there.
    SchemeRequest scheme_;
    SchemeProgress schemeAt_;
    bool schemePaused_ = false;
    bool schemeReplaceAsked_ = false;  // the automatic replacement was confirmed
};

}  // namespace varnet
