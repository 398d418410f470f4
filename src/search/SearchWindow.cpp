#include "search/SearchWindow.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

#include "base/History.h"
#include "base/ParameterNames.h"
#include "db/FormulaTable.h"
#include "engine/Significance.h"
#include "search/CandidateStatsBox.h"
#include "search/GeneratorBoxes.h"
#include "search/ResultList.h"
#include "search/SchemePlanBox.h"
#include "search/SearchControls.h"
#include "search/SearchSettings.h"
#include "search/ThresholdsBox.h"
#include "search/TuningBox.h"
#include "ui/Asker.h"
#include "ui/PositionKindSelector.h"

namespace varnet {

namespace {

const QString kSavedTitle = QStringLiteral("追加公式");
const QString kSettingsTitle = QStringLiteral("公式参数");
const QString kPlanTitle = QStringLiteral("公式自动搜索方案设置");
const QString kTuneAllTitle = QStringLiteral("更新参数默认设置");
const QString kTuneTitle = QStringLiteral("公式参数智能设置");
const QString kTuneAllQuestion = QStringLiteral(
    "此操作将耗时一分钟到数分钟自动搜索分析各类公式并分析其参数值，归纳出相对参数较高的数值为设置"
    "软件各类公式搜索的默认值，操作后各类公式搜索默认值将改变，是否确认更改搜索默认值？");

QString positionName(int p) { return qs(ParameterNames::positionName(p)); }

// A single search's find as the list keeps it.
FindScores scoresOf(const HoldOutFind& f, bool kill, bool heldOut) {
    const Score& s = f.find.score;
    return {s.rate,
            chanceViewOf(s, kill).pValue,
            heldOut,
            f.heldOut.valid,
            static_cast<std::int32_t>(f.heldOut.plainHits),
            static_cast<std::int32_t>(f.heldOut.counted)};
}

}  // namespace

frmGSGL::frmGSGL(Database& db, QSettings& store, Host& host, Exporter& exporter, Asker& asker,
                 QWidget* parent)
    : QDialog(parent), db_(db), store_(store), host_(host), exporter_(exporter), asker_(asker) {
    setObjectName(QStringLiteral("frmGSGL"));
    setWindowTitle(QStringLiteral("公式搜索设置以及搜索结果"));
    build();
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(100);
    connect(pollTimer_, &QTimer::timeout, this, &frmGSGL::poll);

    countExisting();
    plan_->showExistingTotal();
    position_ = 1;
    kill_ = true;
    showStored();
    // Enter in a box is no click on a button.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
}

frmGSGL::~frmGSGL() {
    ending_ = true;
    runner_.cancel();
    runner_.wait();
}

void frmGSGL::build() {
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    outer->addLayout(left);

    // Position, kind and the candidates' form.
    selector_ = new PositionKindSelector(this);
    selector_->setPosition(1);
    selector_->setKill(true);
    connect(selector_, &PositionKindSelector::positionClicked, this,
            [this](int p) { selectPosition(p); });
    connect(selector_, &PositionKindSelector::kindClicked, this,
            [this](bool kill) { selectKind(kill); });
    left->addWidget(selector_->positionBox());
    generator_ = new GeneratorBoxes(this);
    connect(generator_, &GeneratorBoxes::operandsChanged, this,
            [this](int v) { SearchSettings(store_).setOperands(position_, v); });
    auto* row = new QHBoxLayout;
    row->addWidget(selector_->kindBox());
    row->addWidget(generator_->shapeBox());
    left->addLayout(row);
    row = new QHBoxLayout;
    row->addWidget(generator_->operandBox(), 1);
    row->addWidget(generator_->constantBox());
    left->addLayout(row);

    // Thresholds and the statistics of the candidate shown.
    row = new QHBoxLayout;
    thresholds_ = new ThresholdsBox(this);
    connect(thresholds_->saveButton(), &QPushButton::clicked, this, &frmGSGL::saveThresholds);
    row->addWidget(thresholds_);
    stats_ = new CandidateStatsBox(this);
    row->addWidget(stats_);
    left->addLayout(row);

    tuning_ = new TuningBox(this);
    connect(tuning_->currentButton(), &QPushButton::clicked, this,
            runner_.whenIdle([this] { tuneCurrent(); }));
    connect(tuning_->allButton(), &QPushButton::clicked, this,
            runner_.whenIdle([this] { tuneAll(); }));
    connect(tuning_->cancelButton(), &QPushButton::clicked, this, [this] { runner_.cancel(); });
    left->addWidget(tuning_);
    left->addStretch(1);

    outer->addLayout(buildSearchColumn(), 1);

    plan_ = new SchemePlanBox(this);
    connect(plan_->loadButton(), &QPushButton::clicked, this, &frmGSGL::loadPlan);
    connect(plan_->saveButton(), &QPushButton::clicked, this, &frmGSGL::savePlan);
    connect(plan_->startButton(), &QPushButton::clicked, this,
            runner_.whenIdle([this] { startScheme(); }));
    connect(plan_->pauseButton(), &QPushButton::clicked, this, &frmGSGL::pauseScheme);
    connect(plan_->continueButton(), &QPushButton::clicked, this,
            runner_.whenIdle([this] { continueScheme(); }));
    right->addWidget(plan_);
    right->addStretch(1);
    outer->addLayout(right);

    idleOnly_ = {controls_->startButton(), plan_->startButton(), plan_->continueButton(),
                 tuning_->currentButton(), tuning_->allButton()};
    // The position and kind a search works on stay put while it runs.
    for (int p = 1; p <= 10; ++p) idleOnly_.push_back(selector_->positionButton(p));
    idleOnly_.push_back(selector_->killButton());
    idleOnly_.push_back(selector_->keepButton());
}

// The search, its displays, the result list and its commands.
QLayout* frmGSGL::buildSearchColumn() {
    controls_ = new SearchControls(this);
    connect(controls_->startButton(), &QPushButton::clicked, this,
            runner_.whenIdle([this] { startSearch(); }));
    connect(controls_->pauseButton(), &QPushButton::clicked, this, &frmGSGL::pauseSearch);
    QVBoxLayout* middle = controls_->layout();

    results_ = new ResultList(this, middle);
    connect(results_->appendButton(), &QPushButton::clicked, this, [this] { saveResults(false); });
    connect(results_->replaceButton(), &QPushButton::clicked, this, [this] { saveResults(true); });
    connect(results_->exportButton(), &QPushButton::clicked, this, &frmGSGL::exportResults);
    return middle;
}

// ---- settings ----

void frmGSGL::countExisting() {
    std::array<int, 10> counts{};
    for (int p = 1; p <= 10; ++p) counts[p - 1] = FormulaTable(db_, p).count();
    plan_->setExisting(counts);
}

void frmGSGL::selectPosition(int p) {
    position_ = p;
    selector_->setPosition(p);
    showStored();
}

void frmGSGL::selectKind(bool kill) {
    kill_ = kill;
    selector_->setKill(kill);
    showStored();
}

void frmGSGL::showStored() {
    SearchSettings stored(store_);
    thresholds_->show(stored.thresholds(position_, kill_));
    // Showing the stored count is no change of it.
    generator_->showOperands(stored.operands(position_));
}

void frmGSGL::saveThresholds() {
    const auto t = thresholds_->read(asker_, this, kSettingsTitle);
    if (!t) return;
    SearchSettings stored(store_);
    stored.setThresholdsAndOperands(position_, kill_, *t, generator_->operands());
}

void frmGSGL::savePlan() {
    std::array<std::optional<int>, 10> plan;
    if (!plan_->read(plan, asker_, this, kPlanTitle)) return;
    SearchSettings stored(store_);
    plan_->save(stored, kill_, plan);
}

void frmGSGL::loadPlan() {
    SearchSettings stored(store_);
    plan_->load(stored, kill_);
}

GeneratorSettings frmGSGL::generatorSettings() const {
    return generator_->settings(position_, kill_);
}

// ---- work on the worker thread ----

void frmGSGL::launch(Work kind, std::function<void(Progress&)> job,
                     std::function<void(const WorkOutcome&)> done) {
    work_ = kind;
    for (QWidget* w : idleOnly_) w->setEnabled(false);
    runner_.start(
        [job = std::move(job)](Progress& progress) {
            // Below the window's thread, so the window answers at once; the
            // threads the search starts inherit this.
            setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
            job(progress);
        },
        [this, done = std::move(done)](const WorkOutcome& outcome) {
            if (!ending_) finished(outcome, done);
        });
    pollTimer_->start();
}

void frmGSGL::poll() {
    takeFinds();
    // A tuning counts its samples from 0 and leaves the current formula as it is.
    const bool tuning = work_ == Work::Tune || work_ == Work::TuneAll;
    if (work_ == Work::Single || work_ == Work::Scheme || tuning) {
        controls_->setVerified((tuning ? 0 : verifiedBase_) + watch_.evaluated.load());
        SearchFind latest;
        {
            std::lock_guard<std::mutex> lock(watch_.mutex);
            if (watch_.fresh) latest = watch_.latest;
            watch_.fresh = false;
        }
        if (!latest.candidate.code.empty()) {
            if (!tuning) controls_->showCurrent(qs(latest.candidate.chinese));
            stats_->show(latest.score, tuning ? tuneKill_ : runKill_);
        }
    }
    if (work_ == Work::TuneAll) tuning_->setProgress(tuned_.load());
}

void frmGSGL::finished(const WorkOutcome& outcome,
                       const std::function<void(const WorkOutcome&)>& done) {
    poll();  // the figures as the job left them
    pollTimer_->stop();
    const Work was = work_;
    work_ = Work::None;
    // The last counts and finds.
    if (was == Work::Single || was == Work::Scheme) {
        verifiedBase_ += watch_.evaluated.exchange(0);
        controls_->setVerified(verifiedBase_);
    }
    takeFinds();
    for (QWidget* w : idleOnly_) w->setEnabled(true);
    tuning_->hideProgress();
    if (outcome.failed)
        asker_.warn(this, windowTitle(), qs(outcome.error));
    else if (done)
        done(outcome);
}

void frmGSGL::takeFinds() {
    auto [finds, tuned, started] = inbox_.take();
    if (!finds.empty()) {
        if (schemeBatch_) {
            for (std::size_t i = 0; i < finds.size(); ++i) {
                if (finds.position(i) != schemeAt_.position) markSchemePosition(finds.position(i));
                schemeAt_.started(finds.position(i));
                ++schemeAt_.found;
            }
        }
        results_->append(finds);
    }
    if (work_ == Work::Scheme && started > schemeAt_.position) markSchemePosition(started);
    controls_->setQualified(schemeBatch_ ? schemeAt_.found
                                         : static_cast<long long>(results_->batchSize()));
    // Each tuned position is stored as soon as it is done.
    for (const auto& [p, t] : tuned) {
        SearchSettings stored(store_);
        stored.setThresholdsAndOperands(p, tuneKill_, t, stored.operands(p));
        selectPosition(p);
    }
}

std::vector<SearchResult> frmGSGL::batch() const { return results_->batch(); }

FindsModel* frmGSGL::resultModel() const { return results_->model(); }

void frmGSGL::stopWork() {
    if (!runner_.busy()) return;
    runner_.cancel();
    runner_.wait();
    // A scheme stopped by closing is not resumed.
    schemePaused_ = false;
}

void frmGSGL::showEvent(QShowEvent* event) {
    // The formulas may have changed while the window was closed.
    if (!runner_.busy() && !event->spontaneous()) {
        countExisting();
        plan_->showExistingTotal();
    }
    QDialog::showEvent(event);
}

void frmGSGL::closeEvent(QCloseEvent* event) {
    stopWork();
    QDialog::closeEvent(event);
}

void frmGSGL::reject() {
    stopWork();
    QDialog::reject();
}

// ---- single search ----

bool frmGSGL::holdOutFitsOrSays(int draws, int holdOut, const QString& title) {
    if (holdOut <= 0 || holdOutFits(draws, holdOut)) return true;
    asker_.warn(this, title,
                QStringLiteral("留出期数 %1 太大：历史共 %2 期，留出后不足 3 期可供搜索。"
                               "没有开始搜索。")
                    .arg(holdOut)
                    .arg(draws));
    controls_->focusHoldOut();
    return false;
}

void frmGSGL::startSearch() {
    SearchRequest r;
    r.generator = generatorSettings();
    r.rule = host_.searchCountRule();
    r.thresholds = thresholdsFromTexts(thresholds_->texts());
    if (const auto fault = thresholds_->fault(r.thresholds)) {
        asker_.warn(this, QStringLiteral("公式搜索"),
                    fault->second + QStringLiteral("搜索没有开始。"));
        thresholds_->focusBox(fault->first);
        return;
    }
    r.candidates = LLONG_MAX / 2;
    r.seed = clockSeed();
    r.watch = &watch_;
    const std::optional<long long> limit = controls_->limit();
    // After a scheme the finds join the same batch, saved as a single
    // search's; a paused scheme can still go on ("继续").
    schemeBatch_ = false;
    verifiedBase_ = 0;
    watch_.evaluated = 0;
    controls_->setVerified(0);
    const long long before = static_cast<long long>(results_->batchSize());
    if (limit && before >= *limit) return;  // the batch is already full
    auto history = host_.currentHistory();
    const int holdOut = controls_->holdOut();
    if (!holdOutFitsOrSays(history->size(), holdOut, QStringLiteral("公式搜索"))) return;
    runKill_ = r.generator.kill;
    controls_->showHoldOutStarted(holdOut);
    auto report = std::make_shared<HoldOutReport>();
    launch(
        Work::Single,
        [this, r, limit, before, history, holdOut, report](Progress& progress) {
            long long found = before;
            *report = runHoldOutSearch(
                *history, r, holdOut,
                [&](const HoldOutFind& f) {
                    inbox_.putFind({r.generator.position, r.generator.kill, f.find.candidate.code,
                                    f.find.candidate.chinese},
                                   r.generator.shape, scoresOf(f, r.generator.kill, holdOut > 0));
                    return !limit || ++found < *limit;
                },
                progress.cancelFlag());
        },
        [this, report, history, position = r.generator.position](const WorkOutcome&) {
            if (report->holdOut <= 0) return;
            controls_->showHoldOut(*report, runKill_);
            QPointer<frmGSGL> self(this);
            host_.storeHoldOut(holdOutRecord(*report, *history, position, runKill_),
                               [self](const std::string& error) {
                                   if (self && !error.empty())
                                       self->controls_->noteHoldOutNotStored(qs(error));
                               });
        });
}

void frmGSGL::pauseSearch() {
    if (work_ == Work::Single) runner_.cancel();
}

// ---- scheme ----

void frmGSGL::startScheme() {
    std::array<std::optional<int>, 10> plan;
    if (!plan_->read(plan, asker_, this, kPlanTitle)) return;
    auto history = host_.currentHistory();
    const int holdOut = controls_->holdOut();
    if (!holdOutFitsOrSays(history->size(), holdOut, kPlanTitle)) return;
    countExisting();
    const std::array<int, 10>& existing = plan_->existing();
    // The replacement at the end deletes stored formulas: asked now, while
    // the user is here, and a Cancel leaves the scheme unstarted.
    bool replaceAsked = false;
    if (plan_->autoReplace() && !plan_->autoAppend()) {
        std::vector<int> written;
        for (int p = 1; p <= 10; ++p)
            if (plan[p - 1] && *plan[p - 1] - (plan_->hold() ? existing[p - 1] : 0) > 0)
                written.push_back(p);
        if (!confirmReplace(written, true)) return;
        replaceAsked = true;
    }
    schemeReplaceAsked_ = replaceAsked;
    SearchSettings stored(store_);
    scheme_ = SchemeRequest{};
    scheme_.kill = kill_;
    scheme_.hold = plan_->hold();
    for (int p = 1; p <= 10; ++p) {
        SchemePosition& sp = scheme_.positions[p - 1];
        sp.planned = plan[p - 1];
        sp.operands = stored.operands(p);
        sp.thresholds = stored.thresholds(p, kill_);
        scheme_.existing[p - 1] = existing[p - 1];
    }
    const GeneratorSettings g = generatorSettings();
    scheme_.shape = g.shape;
    scheme_.constant = g.constant;
    scheme_.rule = host_.searchCountRule();
    scheme_.holdOut = holdOut;
    scheme_.watch = &watch_;
    results_->startBatch();
    schemeBatch_ = true;
    schemeAt_ = SchemeProgress{};
    inbox_.putPosition(0);
    plan_->clearMarks();
    runKill_ = scheme_.kill;
    controls_->hideHoldOut();  // the hold-out shows beside each find
    runScheme();
}

void frmGSGL::runScheme() {
    // A resumed scheme starts where it stopped: earlier positions are done
    // and the current one looks only for what it still lacks.
    SchemeRequest r = resumeScheme(scheme_, schemeAt_);
    r.seed = clockSeed();
    schemeBatch_ = true;
    runKill_ = r.kill;
    schemePaused_ = false;
    auto history = host_.currentHistory();
    auto cancelled = std::make_shared<bool>(false);
    launch(
        Work::Scheme,
        [this, r, history, cancelled](Progress& progress) {
            const SchemeReport report = varnet::runScheme(
                *history, r,
                [this, shape = r.shape, holdOut = r.holdOut](const SearchResult& found,
                                                             const HoldOutFind& f) {
                    inbox_.putFind(found, shape, scoresOf(f, found.kill, holdOut > 0));
                },
                [this](int p) { inbox_.putPosition(p); }, progress.cancelFlag());
            *cancelled = report.cancelled;
        },
        [this, cancelled](const WorkOutcome&) { schemeEnded(*cancelled); });
}

void frmGSGL::markSchemePosition(int p) {
    plan_->markPosition(p);
    schemeAt_.started(p);
    controls_->setLimit(schemeTarget(scheme_, p));
    selectPosition(p);
}

void frmGSGL::schemeEnded(bool cancelled) {
    if (cancelled) {
        schemePaused_ = true;
        return;
    }
    plan_->markAllDone();
    schemeAt_.started(11);
    if (plan_->autoAppend())
        saveResults(false);
    else if (plan_->autoReplace())
        saveResults(true, schemeReplaceAsked_);  // checked later: asked now
}

void frmGSGL::pauseScheme() {
    if (work_ == Work::Scheme) runner_.cancel();
}

void frmGSGL::continueScheme() {
    if (!schemePaused_) return;
    runScheme();
}

// ---- saving and export ----

bool frmGSGL::confirmReplace(const std::vector<int>& positions, bool atSchemeStart) {
    if (positions.empty()) return true;  // nothing stored is deleted
    QString counts;
    for (int p : positions) {
        FormulaTable table(db_, p);
        counts += QStringLiteral("%1位：杀 %2 条，生 %3 条\n")
                      .arg(positionName(p))
                      .arg(table.count(true))
                      .arg(table.count(false));
    }
    const QString text =
        atSchemeStart ? QStringLiteral(
                            "本方案搜索完毕后将自动更新到数据库：以下位置现有的公式（杀和生）"
                            "将全部删除，换成搜索到的公式。\n%1\n确定开始搜索吗？"
                            "（取消则不开始搜索，不删除任何公式。）")
                            .arg(counts)
                      : QStringLiteral(
                            "公式更新到数据库将删除以下位置现有的全部公式（杀和生），"
                            "换成搜索到的公式。\n%1\n确定删除并更新吗？")
                            .arg(counts);
    return asker_.confirm(this, QStringLiteral("更新公式"), text);
}

void frmGSGL::saveResults(bool replace, bool asked) {
    takeFinds();
    const std::vector<SearchResult> batch = results_->batch();
    if (replace && !asked && !confirmReplace(results_->batchPositions(), false)) return;
    const bool single = !schemeBatch_ && !batch.empty();
    const int last = batch.empty() ? 0 : batch.back().position;
    // The batch leaves the window now (finds arriving meanwhile start the
    // next one); a failed save takes it back.
    const auto start = results_->startBatch();
    // A scheme keeps its position and count: "继续" goes on from there.
    controls_->setQualified(schemeBatch_ ? schemeAt_.found : 0);
    QPointer<frmGSGL> self(this);
    host_.saveFormulas(batch, replace, [self, start, single, last](const BatchSaveResult& saved) {
        if (!self) return;
        if (!saved.ok) {
            self->results_->takeBack(start);
            self->asker_.warn(self, kSavedTitle, qs(saved.message));
            return;
        }
        if (single && !self->runner_.busy()) self->selectPosition(last);
        self->countExisting();
        self->asker_.inform(self, kSavedTitle, QStringLiteral("公式追加完毕！"));
    });
}

void frmGSGL::exportResults() {
    takeFinds();
    results_->exportText(host_.entryIssueText(), exporter_, asker_, this);
}

// ---- tuning ----

void frmGSGL::tuneCurrent() {
    const Thresholds base = thresholdsFromTexts(thresholds_->texts());
    const GeneratorSettings g = generatorSettings();
    const int samples = tuning_->samples();
    const CountRule rule = host_.searchCountRule();
    auto history = host_.currentHistory();
    controls_->setVerified(0);
    watch_.evaluated = 0;
    tuneKill_ = kill_;
    tuning_->showProgress(0);
    launch(
        Work::Tune,
        [this, history, g, rule, samples, base](Progress& progress) {
            tuningResult_ = tunePosition(*history, g, rule, samples, clockSeed(), base,
                                         progress.cancelFlag(), &watch_);
        },
        [this](const WorkOutcome& outcome) {
            controls_->setVerified(static_cast<long long>(tuningResult_.samples.size()));
            if (outcome.cancelled || tuningResult_.samples.empty()) {
                asker_.inform(this, kTuneTitle, QStringLiteral("参数检索已取消，参数框没有改变。"));
                return;
            }
            for (int i : {0, 3, 4, 7, 8}) thresholds_->showBound(i, tuningResult_.proposal.th[i]);
            asker_.inform(this, kTuneTitle,
                          QStringLiteral("参数检索完毕：验证了%1个公式，检索出的参数已填入参数框，"
                                         "按“保存当前种类参数设置”保存。")
                              .arg(tuningResult_.samples.size()));
        });
}

void frmGSGL::tuneAll() {
    if (!asker_.confirm(this, kTuneAllTitle, kTuneAllQuestion)) return;
    SearchSettings stored(store_);
    std::array<GeneratorSettings, 10> generators;
    std::array<Thresholds, 10> bases;
    for (int p = 1; p <= 10; ++p) {
        generators[p - 1] = generatorSettings();
        generators[p - 1].position = p;
        generators[p - 1].operands = stored.operands(p);
        bases[p - 1] = stored.thresholds(p, kill_);
    }
    const int samples = tuning_->samples();
    const CountRule rule = host_.searchCountRule();
    auto history = host_.currentHistory();
    tuneKill_ = kill_;
    tuned_ = 0;
    watch_.evaluated = 0;
    tuning_->showProgress(10);
    launch(
        Work::TuneAll,
        [this, history, generators, bases, samples, rule](Progress& progress) {
            for (int p = 1; p <= 10 && !progress.cancelled(); ++p) {
                watch_.evaluated = 0;  // each position counts its own samples
                const TuningResult t =
                    tunePosition(*history, generators[p - 1], rule, samples, clockSeed(),
                                 bases[p - 1], progress.cancelFlag(), &watch_);
                // A position cut short is not stored.
                if (progress.cancelled()) break;
                inbox_.putTuned(p, t.proposal);
                ++tuned_;
            }
        },
        [this](const WorkOutcome&) {
            asker_.inform(this, kTuneAllTitle, TuningBox::allTunedText(tuned_, tuneKill_));
        });
}

}  // namespace varnet
