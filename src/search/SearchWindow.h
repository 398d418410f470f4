#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/Scoring.h"
#include "search/FindsModel.h"
#include "search/SchemeSearch.h"
#include "search/HoldOut.h"
#include "search/SearchRun.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableView;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSettings;
class QSlider;
class QTimer;

namespace varnet {

class Asker;
class Database;
class Exporter;
class History;

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
    };

    frmGSGL(Database& db, QSettings& store, Host& host, Exporter& exporter, Asker& asker,
            QWidget* parent = nullptr);
    ~frmGSGL() override;

    bool searching() const { return worker_.has_value(); }
    // The finds not saved yet.
    std::vector<SearchResult> batch() const;
    FindsModel* resultModel() const { return results_; }

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
    void countExisting();
    void selectPosition(int p);
    void selectKind(bool kill);
    void showStored();
    void chooseMode(bool hold);
    void chooseAutoSave(QCheckBox* clicked);
    void recomputeTotal();
    void showExistingTotal();
    // The threshold boxes as numbers; nothing, with a message naming the
    // first box that is not a number.
    std::optional<Thresholds> readThresholds(const QString& title);
    // The planned counts (nothing: position skipped); false, with a
    // message, when a box holds text that is not a whole number.
    bool readPlan(std::array<std::optional<int>, 10>& plan, const QString& title);
    GeneratorSettings generatorSettings() const;

    // Runs `job` on a worker; `done` runs on this thread once it ended.
    void launch(Work kind, std::function<void()> job, std::function<void()> done);
    void poll();
    void finished();
    void stopWork();
    void takeFinds();
    // On the worker: hands a find to the window (single search and scheme alike).
    // A hold-out of `holdOut` draws leaves enough to search in, or the user
    // is told so (under `title`) and nothing starts.
    bool holdOutFitsOrSays(int draws, int holdOut, const QString& title);
    void queueFind(const SearchResult& find, FormulaShape shape,
                   const std::optional<FindScores>& scores);
    std::size_t batchSize() const { return results_->finds().size() - batchStart_; }
    void runScheme();
    void markSchemePosition(int p);
    void schemeEnded(bool cancelled);
    // Asks before a replacement, naming per position the stored formulas of
    // each kind it deletes.
    bool confirmReplace(const std::vector<int>& positions, bool atSchemeStart);
    void showHoldOut(const HoldOutReport& report);

    Database& db_;
    QSettings& store_;
    Host& host_;
    Exporter& exporter_;
    Asker& asker_;

    std::array<QRadioButton*, 10> positionButtons_{};
    QRadioButton* killButton_ = nullptr;
    QRadioButton* keepButton_ = nullptr;
    QRadioButton* prefixButton_ = nullptr;
    QRadioButton* suffixButton_ = nullptr;
    QSlider* operandSlider_ = nullptr;
    QLineEdit* operandBox_ = nullptr;
    QRadioButton* fixedButton_ = nullptr;
    QRadioButton* randomButton_ = nullptr;
    QLineEdit* constantBox_ = nullptr;
    std::array<QLineEdit*, 10> thresholdBoxes_{};
    std::array<QLineEdit*, 5> statBoxes_{};
    QLineEdit* statSignificance_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QCheckBox* limitCheck_ = nullptr;
    QLineEdit* limitBox_ = nullptr;
    QLineEdit* verifiedBox_ = nullptr;
    QLineEdit* qualifiedBox_ = nullptr;
    QLineEdit* currentBox_ = nullptr;
    QSpinBox* holdOutBox_ = nullptr;
    QLabel* holdOutSummary_ = nullptr;
    QTableView* resultView_ = nullptr;
    FindsModel* results_ = nullptr;
    std::array<QLabel*, 10> planLabels_{};
    std::array<QLineEdit*, 10> planBoxes_{};
    std::array<QLabel*, 10> existingLabels_{};
    QRadioButton* addModeButton_ = nullptr;
    QRadioButton* holdModeButton_ = nullptr;
    QCheckBox* autoReplace_ = nullptr;
    QCheckBox* autoAppend_ = nullptr;
    QLabel* totalLabel_ = nullptr;
    QPushButton* schemeStartButton_ = nullptr;
    QPushButton* schemePauseButton_ = nullptr;
    QPushButton* schemeContinueButton_ = nullptr;
    QSlider* sampleSlider_ = nullptr;
    QLineEdit* sampleBox_ = nullptr;
    QProgressBar* tuneProgress_ = nullptr;
    QPushButton* tuneCancel_ = nullptr;
    std::vector<QWidget*> idleOnly_;  // commands that wait while work runs

    int position_ = 1;
    bool kill_ = true;
    bool runKill_ = true;  // the kind the running search scores
    std::array<int, 10> existing_{};
    bool loading_ = false;

    // The batch: the finds since the last save or scheme start, the list's
    // rows from this one on.
    std::size_t batchStart_ = 0;
    bool schemeBatch_ = false;

    // The work on the worker thread and what it hands over.
    Work work_ = Work::None;
    std::optional<std::thread> worker_;
    std::function<void()> done_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> ended_{false};
    SearchWatch watch_;
    std::atomic<int> tuned_{0};
    std::vector<std::pair<int, Thresholds>> tunedPending_;  // under pendingMutex_
    TuningResult tuning_;
    bool tuneKill_ = true;  // the kind the all-positions tuning stores
    std::mutex pendingMutex_;
    FoundList pending_;                  // under pendingMutex_
    int pendingPosition_ = 0;            // under pendingMutex_: scheme position started
    long long verifiedBase_ = 0;
    QTimer* pollTimer_ = nullptr;

    // The scheme in progress: its request, the position it works on and
    // what that position found so far, so that "继续" resumes there.
    SchemeRequest scheme_;
    SchemeProgress schemeAt_;
    bool schemePaused_ = false;
    bool schemeReplaceAsked_ = false;  // the automatic replacement was confirmed
    std::optional<SchemeReport> schemeReport_;
};

}  // namespace varnet
