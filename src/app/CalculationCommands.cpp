#include "app/CalculationCommands.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <optional>
#include <unordered_set>

#include "analysis/DetailListWindow.h"
#include "analysis/ParameterWindow.h"
#include "analysis/QueryWindow.h"
#include "analysis/Replay.h"
#include "analysis/ResultSummary.h"
#include "analysis/ResultWindow.h"
#include "analysis/StepsWindow.h"
#include "base/NumericText.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "search/SortWindow.h"
#include "ui/Asker.h"
#include "ui/FlowLayout.h"
#include "ui/MainState.h"
#include "ui/ModelExport.h"
#include "ui/WorkRunner.h"

namespace varnet {

namespace {

const QString kCalcTitle = QStringLiteral("计算公式");
const QString kWaitTitle = QStringLiteral("查询等待确认");
const QString kReplayQuestion = QStringLiteral(
    "往期结果对照需要计算每一期的运算结果还要与开奖结果比较，所以运算比较复杂过程比较长，"
    "可能花费数十分钟，继续查询吗？");

}  // namespace

CalculationCommands::CalculationCommands(Host& host, Database& db, MainState& state,
                                         WorkRunner& runner, Exporter& exporter, Asker& asker,
                                         QWidget* window)
    : QObject(window),
      host_(host),
      db_(db),
      state_(state),
      runner_(runner),
      exporter_(exporter),
      asker_(asker),
      window_(window) {}

CalculationCommands::~CalculationCommands() = default;

QLayout* CalculationCommands::buildRow(QWidget* area) {
    auto* row = new FlowLayout;

    auto* targetBox = new QGroupBox(QStringLiteral("计算/验算选择"), area);
    targetBox->setObjectName(QStringLiteral("Option5"));
    auto* targetLayout = new QHBoxLayout(targetBox);
    nextDrawButton_ = new QRadioButton(QStringLiteral("计算下期结果"), targetBox);
    nextDrawButton_->setObjectName(QStringLiteral("Option5_0"));
    nextDrawButton_->setToolTip(QStringLiteral("现存历史号码的下一期"));
    nextDrawButton_->setChecked(true);
    givenIssueButton_ = new QRadioButton(QStringLiteral("验证历史结果"), targetBox);
    givenIssueButton_->setObjectName(QStringLiteral("Option5_1"));
    givenIssueButton_->setToolTip(QStringLiteral("验算指定期下期结果"));
    verificationBox_ = new QLineEdit(state_.verificationIssueText, targetBox);
    verificationBox_->setObjectName(QStringLiteral("Text3"));
    verificationBox_->setMaximumWidth(100);
    verificationBox_->installEventFilter(this);
    connect(verificationBox_, &QLineEdit::textChanged, this,
            [this](const QString& text) { state_.verificationIssueText = text; });
    targetLayout->addWidget(nextDrawButton_);
    targetLayout->addWidget(givenIssueButton_);
    targetLayout->addWidget(verificationBox_);
    row->addWidget(targetBox);

    auto* methodBox = new QGroupBox(QStringLiteral("计算方法"), area);
    methodBox->setObjectName(QStringLiteral("Option6"));
    auto* methodLayout = new QHBoxLayout(methodBox);
    bestButton_ = new QRadioButton(QStringLiteral("最优公式法"), methodBox);
    bestButton_->setObjectName(QStringLiteral("Option6_0"));
    selectedButton_ = new QRadioButton(QStringLiteral("计算选中公式"), methodBox);
    selectedButton_->setObjectName(QStringLiteral("Option6_1"));
    selectedButton_->setChecked(state_.computeSelected);
    bestButton_->setChecked(!state_.computeSelected);
    for (QRadioButton* b : {bestButton_, selectedButton_}) {
        connect(b, &QRadioButton::clicked, this, [this] {
            state_.computeSelected = selectedButton_->isChecked();
            host_.methodChosen(state_.computeSelected);
        });
        methodLayout->addWidget(b);
    }
    row->addWidget(methodBox);

    auto* calcButton = new QPushButton(QStringLiteral("计算公式(&C)"), area);
    calcButton->setObjectName(QStringLiteral("Command23"));
    connect(calcButton, &QPushButton::clicked, this,
            runner_.whenIdle([this] { computeFormulas(); }));
    auto* parameterButton = new QPushButton(QStringLiteral("公式参数对照说明(&I)"), area);
    parameterButton->setObjectName(QStringLiteral("Command4"));
    connect(parameterButton, &QPushButton::clicked, this, &CalculationCommands::showParameters);
    auto* replayButton = new QPushButton(QStringLiteral("公式往期位置值结果列表"), area);
    replayButton->setObjectName(QStringLiteral("Command12"));
    connect(replayButton, &QPushButton::clicked, this,
            runner_.whenIdle([this] { showPastResults(); }));
    row->addWidget(calcButton);
    row->addWidget(parameterButton);
    row->addWidget(replayButton);
    auto* searchButton = new QPushButton(QStringLiteral("公式搜索(&F)"), area);
    searchButton->setObjectName(QStringLiteral("cmdSearch"));
    connect(searchButton, &QPushButton::clicked, this,
            runner_.whenIdle([this] { host_.openSearch(); }));
    row->addWidget(searchButton);
    return row;
}

void CalculationCommands::computeFormulas() {
    CalcRequest request;
    request.currentPosition = state_.selectedPosition;
    request.kill = state_.kill;
    request.best = !state_.computeSelected;
    request.rule = host_.formulas().countRule();
    if (givenIssueButton_->isChecked()) {
        const auto issue = parseWholeInteger(verificationBox_->text().toStdString());
        if (!issue || *issue < INT32_MIN || *issue > INT32_MAX) {
            asker_.warn(window_, kCalcTitle,
                        QStringLiteral("“%1”不是一个期号：验证历史结果请在期号框中输入整数期号。"
                                       "没有计算。")
                            .arg(verificationBox_->text()));
            verificationBox_->setFocus();
            return;
        }
        request.issue = static_cast<std::int32_t>(*issue);
    }
    if (request.best) {
        if (!sort_) sort_ = new frmGsCsArr(state_.sort, state_.sortConfirmed, asker_, window_);
        sort_->exec();
        // Closed without ever being confirmed: nothing to rank by.
        if (!state_.sortConfirmed) return;
        request.sort = state_.sort;
    }
    // The worker reads its own copy of the flags; of every position, as the
    // report covers all ten.
    using Ids = std::unordered_set<std::int64_t>;
    auto selections = std::make_shared<std::array<std::optional<Ids>, kPositions + 1>>();
    for (int p = 1; p <= kPositions; ++p)
        if (const Ids* ids = host_.formulas().selectionOf(p, request.kill)) (*selections)[p] = *ids;
    request.selection = [selections](int p) -> const Ids* {
        if (p < 1 || p > kPositions || !(*selections)[p]) return nullptr;
        return &*(*selections)[p];
    };

    CalcResult result;
    const std::shared_ptr<const History> history = host_.currentHistory();
    const WorkOutcome outcome = runner_.run(
        [&](Progress& work) {
            result =
                varnet::calculate(db_, *history, request, [&work] { return work.cancelled(); });
        },
        true);
    if (!outcome.ran) return;
    if (outcome.failed) {
        result = CalcResult{};
        result.message = "计算失败：" + outcome.error;
    }
    if (!result.ok) {
        if (outcome.cancelled)
            asker_.inform(window_, kCalcTitle, qs(result.message));
        else
            asker_.warn(window_, kCalcTitle, qs(result.message));
        return;
    }

    detailVoters_.clear();
    for (const VotingFormula& v : result.voters)
        if (v.position == request.currentPosition) detailVoters_.push_back(v);
    if (!result_) {
        result_ = new frmErrarrLei(exporter_, window_);
        connect(result_, &frmErrarrLei::detailsRequested, this, &CalculationCommands::showDetails);
    }
    result_->fill(result, summarise(result, request.kill), request.kill, !request.best);
    result_->setBacktestSource(
        {&db_, &runner_, [this] { return host_.currentHistory(); }, &asker_, request});
    result_->show();
    result_->raise();
    result_->activateWindow();
}

void CalculationCommands::showDetails() {
    frmXxlb details(detailVoters_, host_.formulas().model()->chinese(), exporter_, result_);
    details.exec();
}

void CalculationCommands::showParameters() {
    if (!parameters_) parameters_ = new frmShuoming(window_);
    parameters_->refill(*host_.currentHistory());
    parameters_->show();
    parameters_->raise();
    parameters_->activateWindow();
}

void CalculationCommands::showSteps(const QString& code, const QString& chinese) {
    if (!steps_) steps_ = new frmGsbz(asker_, exporter_, window_);
    if (!steps_->showFormula(*host_.currentHistory(), code, chinese)) return;
    steps_->show();
    steps_->raise();
    steps_->activateWindow();
}

void CalculationCommands::showPastResults() {
    if (!asker_.confirm(window_, kWaitTitle, kReplayQuestion)) return;
    const int position = state_.selectedPosition;
    const bool kill = state_.kill;
    // The worker reads its own copy of the flags; none means all selected.
    using Ids = std::unordered_set<std::int64_t>;
    std::optional<Ids> ids;
    if (const Ids* s = host_.formulas().selectionOf(position, kill)) ids = *s;
    const std::shared_ptr<const History> history = host_.currentHistory();
    auto replay = std::make_shared<Replay>();
    const WorkOutcome outcome = runner_.run(
        [&](Progress& work) {
            const auto list = loadFormulaList(db_, position, kill, false);
            const auto selected = [&](const ListedFormula& f) {
                return !ids || ids->count(f.row.id) > 0;
            };
            work.setTotal(std::count_if(list.begin(), list.end(), selected));
            *replay = replayFormulas(*history, list, selected, [&work](int done) {
                work.step(done);
                return !work.cancelled();
            });
        },
        true);
    if (!outcome.ran) return;
    if (outcome.failed) {
        asker_.warn(window_, QStringLiteral("公式往期位置值结果列表"),
                    QStringLiteral("无法回放公式：") + qs(outcome.error));
        return;
    }
    if (outcome.cancelled) return;
    if (!query_) query_ = new frmLslb(exporter_, window_);
    query_->fill(std::move(replay), position);
    query_->show();
    query_->raise();
    query_->activateWindow();
}

bool CalculationCommands::eventFilter(QObject* watched, QEvent* event) {
    // Typing an issue to verify means verifying.
    if (watched == verificationBox_ && event->type() == QEvent::FocusIn)
        givenIssueButton_->setChecked(true);
    return QObject::eventFilter(watched, event);
}

}  // namespace varnet
