#include "app/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>
#include <unordered_set>

#include "base/Paths.h"
#include "analysis/DetailListWindow.h"
#include "analysis/Exports.h"
#include "analysis/ParameterWindow.h"
#include "analysis/QueryWindow.h"
#include "analysis/Replay.h"
#include "analysis/ResultSummary.h"
#include "analysis/ResultWindow.h"
#include "analysis/StepsWindow.h"
#include "app/BuildInfo.h"
#include "app/DataFolder.h"
#include "app/ProgramFiles.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaUpdate.h"
#include "history/DrawEntry.h"
#include "history/HistoryCommands.h"
#include "history/HistoryUpdate.h"
#include "base/NumericText.h"
#include "base/ParameterNames.h"
#include "net/QtFetcher.h"
#include "search/SortWindow.h"
#include "ui/Asker.h"
#include "ui/FlowLayout.h"
#include "history/HistoryModel.h"
#include "history/HistoryView.h"
#include "ui/Launcher.h"
#include "history/NumberChartWindow.h"
#include "ui/WindowGeometry.h"

namespace varnet {

namespace {

const QString kImportTitle = QStringLiteral("读入历史");
const QString kImportQuestion = QStringLiteral(
    "确实要读入历史号码吗？读入后将覆盖原来所输入/"
    "读入的历史号！点击'确认'读入,点击'取消'放弃该操作。"
    "确要读入请保证安装目录下存在历史号码的文本文件文件。读取时可能要花费一段时间,请耐心等候！");
const QString kDaysTitle = QStringLiteral("设置天数");
const QString kDaysPrompt = QStringLiteral("请输入需要统计的历史号码的天数（2~10中的任意自然数）");
const QString kDaysError = QStringLiteral(
    "为了保证时效性和提高计算效率，软件只能统计10天以内的数据，请输入2到10中的自然数。");
const QString kInputErrorTitle = QStringLiteral("输入有误");
const QString kDeleteTitle = QStringLiteral("删除期数");
const QString kCalcTitle = QStringLiteral("计算公式");
const QString kWaitTitle = QStringLiteral("查询等待确认");
const QString kReplayQuestion = QStringLiteral(
    "往期结果对照需要计算每一期的运算结果还要与开奖结果比较，所以运算比较复杂过程比较长，"
    "可能花费数十分钟，继续查询吗？");
const QString kPerDrawExportQuestion = QStringLiteral(
    "将本表导出到EXCEL，因为公式每一期验证数据较多可能需要数分钟，确认需要执行并等待吗？");
const QString kExportTitle = QStringLiteral("导出");
const QString kSiteEntry = QStringLiteral("开奖网站地址设置...");
const QString kFormulaFileEntry = QStringLiteral("公式文件地址设置...");

QString qs(const std::string& s) { return QString::fromStdString(s); }

QString aboutText(const std::string& dataFolder) {
    return QStringLiteral("Varnet %1\n北京赛车历史号码与公式分析\n\n许可证：%2\n数据文件夹：%3")
        .arg(QString::fromUtf8(build::kVersion), QString::fromUtf8(build::kLicense),
             QDir::toNativeSeparators(qs(dataFolder)));
}

// The busy pointer for a command that runs on this thread.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// An answer to a number question: a whole number in 32-bit range, else nothing.
std::optional<std::int32_t> wholeAnswer(const std::optional<QString>& answer) {
    if (!answer) return std::nullopt;
    const auto n = parseWholeInteger(answer->toStdString());
    if (!n || *n < INT32_MIN || *n > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*n);
}

}  // namespace

QString MainWindow::otherProgramUrlKey(int i) { return QStringLiteral("OtherSoft%1Url").arg(i); }
QString MainWindow::otherProgramNameKey(int i) { return QStringLiteral("OtherSoft%1Name").arg(i); }

MainWindow::MainWindow(Database& db, std::string dataFolder, AppSettings& settings,
                       Launcher& launcher, Asker& asker, QWidget* parent)
    : QMainWindow(parent),
      db_(db),
      dataFolder_(std::move(dataFolder)),
      settings_(settings),
      launcher_(launcher),
      asker_(asker),
      history_(std::make_shared<History>()),
      fetcher_(std::make_unique<QtFetcher>()) {
    setWindowTitle(QStringLiteral("Varnet"));
    loadSettings();
    buildWindow();
    syncSettingsChecks();
    state_.entryIssueText = entry_->issueText();

    AddHaoma();
    model_->setSelectedPosition(state_.selectedPosition);
    panel_->refresh();
    // Wide enough for both grids' columns without a horizontal scroll bar
    // (the splitter hands out a few pixels less than its parts ask for);
    // a smaller screen or the size the user left it at wins when shown.
    setObjectName(QStringLiteral("frmMain"));
    resize(sizeHint().width() + 16, 640);
    WindowGeometry::follow(this, settings_.store());

    // One deferred refresh after the first manual entry of the run.
    deferredTimer_ = new QTimer(this);
    deferredTimer_->setObjectName(QStringLiteral("Timer2"));
    deferredTimer_->setInterval(500);
    connect(deferredTimer_, &QTimer::timeout, this, &MainWindow::deferredRefresh);
    deferredTimer_->start();
}

MainWindow::~MainWindow() = default;

void MainWindow::loadSettings() {
    const AppSettings::Values v = settings_.load();
    state_.days = v.days;
    state_.computeSelected = v.computeSelected;
    state_.resultColumn = v.showOnCurrent ? ResultColumn::Canshu : ResultColumn::PreCanshu;
    state_.excludeCurrent = v.excludeCurrent;
    state_.weighted = v.weighted;
    state_.issueCountIndex = v.issueCountIndex;
    state_.issueCount = v.issueCount();
    state_.selectedPosition = 1;
    state_.kill = true;
}

void MainWindow::buildWindow() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    commandArea_ = new QWidget(central);
    auto* area = new QVBoxLayout(commandArea_);
    area->setContentsMargins(0, 0, 0, 0);

    // History commands, then settings and documents; the rows wrap on a
    // narrow screen.
    auto* historyRow = new FlowLayout;
    auto* readButton = new QPushButton(QStringLiteral("读取历史号码文本(&R)"));
    readButton->setObjectName(QStringLiteral("cmdRead"));
    connect(readButton, &QPushButton::clicked, this, &MainWindow::importHistory);
    auto* exportButton = new QPushButton(QStringLiteral("历史号码导出文本文件(&X)"));
    exportButton->setObjectName(QStringLiteral("cmdExport"));
    connect(exportButton, &QPushButton::clicked, this, &MainWindow::exportHistory);
    auto* deleteButton = new QPushButton(QStringLiteral("删除最后历史(&D)"));
    deleteButton->setObjectName(QStringLiteral("cmdDelLast"));
    connect(deleteButton, &QPushButton::clicked, this, &MainWindow::deleteLastDraw);
    historyRow->addWidget(readButton);
    historyRow->addWidget(exportButton);
    historyRow->addWidget(deleteButton);
    auto* webButton = new QPushButton(QStringLiteral("开奖历史号在线更新(&O)"));
    webButton->setObjectName(QStringLiteral("cmdWebUpdate"));
    webButton->setToolTip(QStringLiteral("从官方服务器更新历史号码"));
    connect(webButton, &QPushButton::clicked, this, &MainWindow::updateHistoryOnline);
    historyRow->addWidget(webButton);
    auto* workbookButton = new QPushButton(QStringLiteral("导出列表到Excel"));
    workbookButton->setObjectName(QStringLiteral("cmdDcexl"));
    connect(workbookButton, &QPushButton::clicked, this, &MainWindow::exportHistoryList);
    historyRow->addWidget(workbookButton);
    // Settings and documents follow on the same rows.
    auto* settingsRow = historyRow;
    auto* settingsButton = new QPushButton(QStringLiteral("软件设置(&T)"));
    settingsButton->setObjectName(QStringLiteral("cmdSetting"));
    settingsMenu_ = buildSettingsMenu();
    connect(settingsButton, &QPushButton::clicked, this, [this, settingsButton] {
        settingsMenu_->popup(settingsButton->mapToGlobal(QPoint(0, settingsButton->height())));
    });
    auto* guideButton = new QPushButton(QStringLiteral("使用说明文档下载(&L)"));
    guideButton->setObjectName(QStringLiteral("cmdGuide"));
    connect(guideButton, &QPushButton::clicked, this, &MainWindow::openGuide);
    settingsRow->addWidget(settingsButton);
    settingsRow->addWidget(guideButton);
    settingsRow->addWidget(
        addressButton(QStringLiteral("幻灯图示说明下载(&P)"), QLatin1String(kSlidesUrlKey)));
    settingsRow->addWidget(
        addressButton(QStringLiteral("演示说明录像下载(&M)"), QLatin1String(kVideoUrlKey)));
    area->addLayout(historyRow);
    area->addLayout(buildCalculationRow());

    // The history grid; the formula half of the window joins this splitter.
    auto* splitter = new QSplitter(Qt::Horizontal, commandArea_);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    model_ = new HistoryModel(this);
    auto* historySide = new QWidget(splitter);
    auto* historyLayout = new QVBoxLayout(historySide);
    historyLayout->setContentsMargins(0, 0, 0, 0);
    historyLayout->setSpacing(0);
    view_ = new HistoryView(historySide);
    view_->setObjectName(QStringLiteral("historyGrid"));
    view_->setModel(model_);
    view_->setColumnWidthRule(&HistoryModel::columnWidth);
    connect(view_, &HistoryView::menuRequested, this,
            [this](const QPoint& at) { historyMenu_->popup(at); });
    historyLayout->addWidget(view_, 1);
    splitter->addWidget(historySide);
    panel_ = new FormulaPanel(db_, state_, dataFolder_, *this, *this, asker_, launcher_, *model_,
                              splitter);
    panel_->setObjectName(QStringLiteral("formulaPanel"));
    historyLayout->addWidget(panel_->formulaColumnBar());
    splitter->addWidget(panel_);
    connect(panel_, &FormulaPanel::stepsRequested, this, &MainWindow::showSteps);
    connect(panel_, &FormulaPanel::onlineUpdateRequested, this, &MainWindow::updateFormulasOnline);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    area->addWidget(splitter, 1);
    buildHistoryMenu();

    entry_ = new DrawEntry(commandArea_);
    entry_->setObjectName(QStringLiteral("drawEntry"));
    connect(entry_, &DrawEntry::drawComplete, this, &MainWindow::storeEnteredDraw);
    connect(entry_, &DrawEntry::lastBoxEdited, view_, &HistoryView::showLastRows);
    connect(entry_, &DrawEntry::issueTextChanged, this,
            [this](const QString& text) { state_.entryIssueText = text; });
    area->addWidget(entry_);

    outer->addWidget(commandArea_, 1);

    auto* progressRow = new QHBoxLayout;
    progress_ = new QProgressBar(central);
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->hide();
    cancelButton_ = new QPushButton(QStringLiteral("取消"), central);
    cancelButton_->setObjectName(QStringLiteral("cmdCancel"));
    cancelButton_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, [this] { runner_.cancel(); });
    // Work that runs long disables the commands and shows its progress.
    connect(&runner_, &WorkRunner::longWorkShown, this, [this](bool cancellable) {
        commandArea_->setEnabled(false);
        progress_->setRange(0, 0);
        progress_->show();
        cancelButton_->setVisible(cancellable);
    });
    connect(&runner_, &WorkRunner::progressed, this, [this](long long done, long long total) {
        progress_->setRange(0, 1000);
        progress_->setValue(static_cast<int>(done * 1000 / total));
    });
    connect(&runner_, &WorkRunner::longWorkEnded, this, [this] {
        progress_->hide();
        cancelButton_->hide();
        commandArea_->setEnabled(true);
    });
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(cancelButton_);
    outer->addLayout(progressRow);

    setCentralWidget(central);
}

QPushButton* MainWindow::addressButton(const QString& caption, const QString& key) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QStringLiteral("cmd") + key);
    const QString address = settings_.address(key);
    button->setVisible(!address.isEmpty());
    connect(button, &QPushButton::clicked, this, [this, address] { openAddress(address); });
    return button;
}

QLayout* MainWindow::buildCalculationRow() {
    auto* row = new FlowLayout;

    auto* targetBox = new QGroupBox(QStringLiteral("计算/验算选择"), commandArea_);
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

    auto* methodBox = new QGroupBox(QStringLiteral("计算方法"), commandArea_);
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
            settings_.setComputeSelected(state_.computeSelected);
        });
        methodLayout->addWidget(b);
    }
    row->addWidget(methodBox);

    auto* calcButton = new QPushButton(QStringLiteral("计算公式(&C)"), commandArea_);
    calcButton->setObjectName(QStringLiteral("Command23"));
    connect(calcButton, &QPushButton::clicked, this, &MainWindow::computeFormulas);
    auto* parameterButton = new QPushButton(QStringLiteral("公式参数对照说明(&I)"), commandArea_);
    parameterButton->setObjectName(QStringLiteral("Command4"));
    connect(parameterButton, &QPushButton::clicked, this, &MainWindow::showParameters);
    auto* replayButton = new QPushButton(QStringLiteral("公式往期位置值结果列表"), commandArea_);
    replayButton->setObjectName(QStringLiteral("Command12"));
    connect(replayButton, &QPushButton::clicked, this, &MainWindow::showPastResults);
    row->addWidget(calcButton);
    row->addWidget(parameterButton);
    row->addWidget(replayButton);
    auto* searchButton = new QPushButton(QStringLiteral("公式搜索(&F)"), commandArea_);
    searchButton->setObjectName(QStringLiteral("cmdSearch"));
    connect(searchButton, &QPushButton::clicked, this, &MainWindow::openSearch);
    row->addWidget(searchButton);
    return row;
}

QMenu* MainWindow::buildSettingsMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuSetting"));

    auto* displayGroup = new QActionGroup(menu);
    showNextAction_ = menu->addAction(QStringLiteral("历史列表公式验算结果显示在下期(&N)"));
    showCurrentAction_ = menu->addAction(QStringLiteral("历史列表公式验算结果显示在当期(&T)"));
    for (QAction* a : {showNextAction_, showCurrentAction_}) {
        a->setCheckable(true);
        displayGroup->addAction(a);
    }
    connect(showNextAction_, &QAction::triggered, this, [this] { chooseDisplay(false); });
    connect(showCurrentAction_, &QAction::triggered, this, [this] { chooseDisplay(true); });
    menu->addSeparator();

    QMenu* countMenu = menu->addMenu(QStringLiteral("检索期数设置(&Q)"));
    countMenu->setObjectName(QStringLiteral("mnuJsqs"));
    excludeCurrentAction_ = countMenu->addAction(QStringLiteral("检索期数前溯不含当前期"));
    excludeCurrentAction_->setCheckable(true);
    connect(excludeCurrentAction_, &QAction::triggered, this, [this](bool on) {
        state_.excludeCurrent = on;
        settings_.setExcludeCurrent(on);
    });
    auto* countGroup = new QActionGroup(countMenu);
    for (int i = 0; i < AppSettings::kIssueCountEntries; ++i) {
        QAction* a = countMenu->addAction(QString::fromUtf8(AppSettings::issueCountCaption(i)));
        a->setCheckable(true);
        countGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { chooseIssueCount(i); });
        issueCountActions_[i] = a;
    }
    countMenu->addSeparator();

    weightedAction_ = menu->addAction(QStringLiteral("正确率使用期数加权算法(&A)"));
    weightedAction_->setCheckable(true);
    connect(weightedAction_, &QAction::triggered, this, [this](bool on) {
        state_.weighted = on;
        settings_.setWeighted(on);
    });
    connect(menu->addAction(QStringLiteral("历史号码更新检索天数设置(&D)")), &QAction::triggered,
            this, &MainWindow::setDaysToSearch);
    connect(menu->addAction(kSiteEntry), &QAction::triggered, this,
            &MainWindow::setHistorySiteAddress);
    connect(menu->addAction(kFormulaFileEntry), &QAction::triggered, this,
            &MainWindow::setFormulaFileAddress);
    connect(menu->addAction(QStringLiteral("恢复默认设置(&R)")), &QAction::triggered, this,
            &MainWindow::restoreDefaults);

    QMenu* others = menu->addMenu(QStringLiteral("其他软件下载(&S)"));
    others->setObjectName(QStringLiteral("mnuSoft"));
    bool anyOther = false;
    for (int i = 1; i <= kOtherPrograms; ++i) {
        const QString address = settings_.address(otherProgramUrlKey(i));
        const QString name =
            settings_.text(otherProgramNameKey(i), QStringLiteral("其他软件%1").arg(i)).trimmed();
        QAction* a = others->addAction(name);
        a->setVisible(!address.isEmpty());
        anyOther = anyOther || !address.isEmpty();
        connect(a, &QAction::triggered, this, [this, address] { openAddress(address); });
    }
    others->menuAction()->setVisible(anyOther);

    menu->addSeparator();
    QAction* about = menu->addAction(QStringLiteral("关于 Varnet(&V)"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this,
            [this] { asker_.inform(this, QStringLiteral("关于 Varnet"), aboutText(dataFolder_)); });
    return menu;
}

void MainWindow::buildHistoryMenu() {
    historyMenu_ = new QMenu(this);
    historyMenu_->setObjectName(QStringLiteral("mnuLishi"));
    QAction* exportAction = historyMenu_->addAction(QStringLiteral("导出历史号码(&O)"));
    exportAction->setObjectName(QStringLiteral("mnuDcls"));
    connect(exportAction, &QAction::triggered, this, &MainWindow::exportHistoryList);
    connect(historyMenu_->addAction(QStringLiteral("删除所有历史(&A）")), &QAction::triggered, this,
            &MainWindow::deleteAllDraws);
    connect(historyMenu_->addAction(QStringLiteral("删除到选定期(&D)")), &QAction::triggered, this,
            &MainWindow::deleteDownToIssue);
    connect(historyMenu_->addAction(QStringLiteral("删除最后指定数量期历史(&E)")),
            &QAction::triggered, this, &MainWindow::deleteLastDraws);
    historyMenu_->addSeparator();
    NumberChartWindow::addMenuEntry(historyMenu_, view_, *model_,
                                    [this] { return state_.issueCount; });
}

void MainWindow::syncSettingsChecks() {
    const bool onCurrent = state_.resultColumn == ResultColumn::Canshu;
    showCurrentAction_->setChecked(onCurrent);
    showNextAction_->setChecked(!onCurrent);
    excludeCurrentAction_->setChecked(state_.excludeCurrent);
    weightedAction_->setChecked(state_.weighted);
    for (int i = 0; i < AppSettings::kIssueCountEntries; ++i)
        issueCountActions_[i]->setChecked(i == state_.issueCountIndex);
}

// ---- the history grid ----

void MainWindow::AddHaoma() {
    std::shared_ptr<History> fresh;
    try {
        fresh = std::make_shared<History>(HistoryTable(db_).load());
    } catch (const DbError& e) {
        // Say it once and read again until it works; what is shown stays
        // rather than an empty grid passing for an empty history.
        if (!historyReadFailed_)
            asker_.warn(this, QStringLiteral("读取历史号码"),
                        QStringLiteral("无法读取历史号码：") + QString::fromUtf8(e.what()) +
                            QStringLiteral("\n稍后会自动重新读取。"));
        historyReadFailed_ = true;
        retryHistory();
        if (!history_) showHistory(std::make_shared<History>());
        return;
    }
    const bool recovered = std::exchange(historyReadFailed_, false);
    showHistory(std::move(fresh));
    // The formulas were scored on the history that could not be read.
    if (recovered && !runner_.busy()) panel_->Yansuan();
}

void MainWindow::retryHistory() {
    QTimer::singleShot(3000, this, [this] {
        if (!historyReadFailed_) return;
        if (runner_.busy())
            retryHistory();
        else
            AddHaoma();
    });
}

void MainWindow::showHistory(std::shared_ptr<const History> history) {
    history_ = std::move(history);
    model_->setHistory(history_);
    view_->showLastRows();
    QihaoXianshi();
}

void MainWindow::followHistoryChange(const std::function<void(History&)>& change, bool fill) {
    auto next = std::make_shared<History>(*history_);
    change(*next);
    int stored = -1;
    try {
        stored = HistoryTable(db_).count();
    } catch (const DbError&) {
    }
    if (stored == next->size())
        showHistory(std::move(next));
    else
        AddHaoma();
    if (fill)
        panel_->refresh();
    else
        verifyListedFormulas();
}

void MainWindow::QihaoXianshi() {
    if (history_->empty()) return;
    const qint64 last = history_->issue(history_->size() - 1);
    verificationBox_->setText(QString::number(last));
    entry_->setIssueText(QString::number(last + 1));
}

void MainWindow::refreshAfterHistoryChange() {
    AddHaoma();
    panel_->refresh();
}

void MainWindow::verifyListedFormulas() { panel_->Yansuan(); }

void MainWindow::selectPosition(int position) { panel_->selectPosition(position); }

// ---- manual entry ----

void MainWindow::storeEnteredDraw() {
    if (runner_.busy()) return;
    Draw draw;
    draw.issue = toInt32(numericValue(entry_->issueText().toStdString())).value_or(0);
    draw.numbers = entry_->numbers();
    if (state_.dateFromImport) {
        draw.day = state_.carry.day;
        draw.month = state_.carry.month;
        draw.year = state_.carry.year;
    } else {
        const QDate today = today_();
        draw.day = today.day();
        draw.month = today.month();
        draw.year = today.year();
    }
    ParamValues params{};
    const auto result = HistoryCommands(db_).addDraw(draw, &params);
    if (!result.ok) {
        asker_.warn(this, kInputErrorTitle, qs(result.message));
        return;
    }
    refreshPending_ = true;
    // The listed formulas are verified with their flags; only the deferred
    // refresh fills the list anew.
    if (history_->empty() || draw.issue > history_->issue(history_->size() - 1)) {
        followHistoryChange([&](History& h) { h.append(draw.issue, params); }, false);
    } else {
        AddHaoma();  // an issue before the last: it goes in between
        verifyListedFormulas();
    }
    entry_->focusFirstBox();
    view_->showLastRows();
}

void MainWindow::deferredRefresh() {
    if (!refreshPending_ || runner_.busy()) return;
    refreshAfterHistoryChange();
    deferredTimer_->stop();
}

// ---- import and export ----

void MainWindow::importHistory() {
    if (runner_.busy()) return;
    if (!asker_.confirm(this, kImportTitle, kImportQuestion)) return;
    const QString file = chooseTextFile(
        asker_, this, qs(joinPath(dataFolder_, HistoryText::kFolder)), kImportTitle,
        QStringLiteral("只能读入扩展名为 txt 的历史号码文本文件，历史号码没有改变。"));
    if (file.isEmpty()) return;

    HistoryCommands::ImportResult result;
    const std::string path = file.toStdString();
    const HistoryText::Carry carry = state_.carry;
    // The worker has the database to itself until it ends.
    const bool ran = runner_.run(
        [&](Progress& work) {
            result = HistoryCommands(db_).importFile(path, carry, [&](long long d, long long t) {
                work.step(d);
                work.setTotal(t);
                return !work.cancelled();
            });
        },
        true).ran;
    if (!ran) return;
    if (!result.ok) {
        tellNotDone(asker_, this, kImportTitle, result.cancelled, qs(result.message));
        return;
    }
    state_.carry = result.carry;
    state_.dateFromImport = true;
    refreshAfterHistoryChange();
    if (!result.message.empty()) asker_.inform(this, kImportTitle, qs(result.message));
}

void MainWindow::exportHistory() {
    if (runner_.busy()) return;
    // The issue box is free text: a path in it must not lead the file out of
    // the history folder.
    const QString issue = state_.verificationIssueText;
    if (issue.contains(QLatin1Char('/')) || issue.contains(QLatin1Char('\\'))) {
        asker_.warn(this, QStringLiteral("导出历史"),
                    QStringLiteral("期号“%1”不能用作文件名，历史号码没有导出。").arg(issue));
        return;
    }
    const std::string name =
        HistoryText::exportFileName(state_.verificationIssueText.toStdString());
    const std::string path =
        joinPath(joinPath(dataFolder_, HistoryText::kFolder), name);
    if (!confirmReplacing(asker_, this, QStringLiteral("导出历史"), qs(path))) return;
    const auto result = HistoryCommands::exportFile(*history_, path);
    if (reportFailure(QStringLiteral("导出历史"), result.ok, result.message)) return;
    if (!launcher_.open(QUrl::fromLocalFile(qs(path))))
        asker_.inform(
            this, QStringLiteral("导出历史"),
            QStringLiteral("历史号码已导出到 %1，但无法用文本编辑器打开它。").arg(qs(path)));
}

// ---- deletion ----

void MainWindow::deleteLastDraw() {
    if (runner_.busy()) return;
    const auto result = HistoryCommands(db_).deleteLast();
    reportFailure(QStringLiteral("删除历史"), result.ok, result.message);
    // Deletions take rows from the end of the issue order. The listed
    // formulas keep their flags.
    followHistoryChange([&](History& h) { h.truncate(h.size() - result.rows); }, false);
    entry_->focusFirstBox();
}

void MainWindow::deleteAllDraws() {
    if (runner_.busy()) return;
    if (!confirmDeletion(HistoryCommands(db_).spanAll())) return;
    BusyCursor busy;
    const auto result = HistoryCommands(db_).deleteAll();
    reportFailure(QStringLiteral("删除历史"), result.ok, result.message);
    refreshAfterHistoryChange();
}

void MainWindow::deleteDownToIssue() {
    if (runner_.busy()) return;
    const QString proposal =
        history_->empty() ? QString()
                          : QString::number(qint64(history_->issue(history_->size() - 1)) - 1);
    const auto answer = asker_.askText(
        this, kDeleteTitle, QStringLiteral("请输入需要删除到的期数(保留到该期），例如‘545550’"),
        proposal);
    if (!answer || answer->trimmed().isEmpty()) return;
    const auto issue = wholeAnswer(answer);
    if (!issue) {
        asker_.warn(this, kInputErrorTitle,
                    QStringLiteral("“%1”不是期号，请输入要保留到的那一期的期号（整数）。"
                                   "历史号码没有改变。")
                        .arg(*answer));
        return;
    }
    deleteAfterQuestion(HistoryCommands(db_).spanDownTo(*issue),
                        [this, t = *issue] { return HistoryCommands(db_).deleteDownTo(t); });
}

void MainWindow::deleteLastDraws() {
    if (runner_.busy()) return;
    const auto answer = asker_.askText(
        this, kDeleteTitle,
        QStringLiteral(
            "请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"),
        QStringLiteral("1"));
    if (!answer || answer->trimmed().isEmpty()) return;
    const auto n = wholeAnswer(answer);
    if (!n || *n <= 0) {
        asker_.warn(this, kInputErrorTitle,
                    QStringLiteral("“%1”不是期数，请输入一个正整数。历史号码没有改变。")
                        .arg(*answer));
        return;
    }
    deleteAfterQuestion(HistoryCommands(db_).spanLastN(*n),
                        [this, count = *n] { return HistoryCommands(db_).deleteLastN(count); });
}

void MainWindow::deleteAfterQuestion(const HistoryCommands::Span& span,
                                     const std::function<HistoryCommands::Result()>& remove) {
    if (!confirmDeletion(span)) return;
    HistoryCommands::Result result;
    // The compaction after it takes a while on a large file.
    if (!runner_.run([&](Progress&) { result = remove(); }, false).ran) return;
    reportFailure(QStringLiteral("删除历史"), result.ok, result.message);
    followHistoryChange([&](History& h) { h.truncate(h.size() - result.rows); });
}

bool MainWindow::confirmDeletion(const HistoryCommands::Span& span) {
    if (reportFailure(QStringLiteral("删除历史"), span.ok, span.message)) return false;
    if (span.rows == 0) return true;  // nothing goes: nothing to ask
    const QString issues = span.first == span.last
                               ? QString::number(span.first)
                               : QStringLiteral("%1–%2").arg(span.first).arg(span.last);
    return asker_.confirm(
        this, QStringLiteral("删除历史"),
        QStringLiteral("将删除 %1 期历史号码（第 %2 期），删除后不能恢复。确定要删除吗？")
            .arg(span.rows)
            .arg(issues));
}

// ---- settings ----

void MainWindow::chooseDisplay(bool onCurrent) {
    state_.resultColumn = onCurrent ? ResultColumn::Canshu : ResultColumn::PreCanshu;
    settings_.setShowOnCurrent(onCurrent);
    syncSettingsChecks();
}

void MainWindow::chooseIssueCount(int index) {
    if (index == 10) {
        const int proposal = state_.issueCount != 0 ? state_.issueCount : history_->size();
        const auto answer =
            asker_.askText(this, QStringLiteral("期数检索"), QStringLiteral("设置检索的最近期数"),
                           QString::number(proposal));
        if (!answer) {
            syncSettingsChecks();  // cancelled: the previous entry stays checked
            return;
        }
        const auto count = wholeAnswer(answer);
        if (!count || *count < 0) {
            asker_.warn(
                this, kInputErrorTitle,
                QStringLiteral("请输入一个不小于0的整数（0表示所有期），检索期数没有改变。"));
            syncSettingsChecks();
            return;
        }
        state_.issueCount = *count;
        // 0 (all issues) is kept too, so the next start uses what is shown now.
        settings_.setOwnIssueCount(*count);
    } else {
        state_.issueCount = AppSettings::issueCountFor(index, 0);
    }
    state_.issueCountIndex = index;
    settings_.setIssueCountIndex(index);
    syncSettingsChecks();
    verifyListedFormulas();
}

void MainWindow::setDaysToSearch() {
    state_.days = settings_.days();
    for (;;) {
        const auto answer =
            asker_.askText(this, kDaysTitle, kDaysPrompt, QString::number(state_.days));
        if (!answer || answer->trimmed().isEmpty()) return;
        if (const auto days = AppSettings::acceptDays(*answer)) {
            state_.days = *days;
            settings_.setDays(*days);
            return;
        }
        asker_.warn(this, kInputErrorTitle, kDaysError);
    }
}

void MainWindow::restoreDefaults() {
    // The days held now stay until the next start, which reads the stored 6.
    settings_.restoreDefaults();
    state_.resultColumn = ResultColumn::PreCanshu;
    state_.excludeCurrent = true;
    state_.weighted = true;
    state_.issueCountIndex = 3;
    state_.issueCount = AppSettings::issueCountFor(3, 0);
    syncSettingsChecks();
}

void MainWindow::setHistorySiteAddress() {
    askAddress(QStringLiteral("开奖网站地址"), QLatin1String(HistoryUpdate::kSiteKey),
               QStringLiteral("请输入开奖网站的地址（以 http:// 或 https:// 开头，"
                              "每天的页面为该地址加 /draw-pk10-年月日.html）；清空则不再设置"));
}

void MainWindow::setFormulaFileAddress() {
    askAddress(QStringLiteral("公式文件地址"), QLatin1String(FormulaUpdate::kUrlKey),
               QStringLiteral("请输入公式文件的完整地址（以 http:// 或 https:// 开头）；"
                              "清空则不再设置"));
}

void MainWindow::askAddress(const QString& title, const QString& key, const QString& prompt) {
    const auto answer = asker_.askText(this, title, prompt, settings_.address(key));
    if (!answer) return;
    const QString text = answer->trimmed();
    if (!text.isEmpty()) {
        const QUrl url(text, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
            url.host().isEmpty()) {
            asker_.warn(this, kInputErrorTitle,
                        QStringLiteral("“%1”不是以 http:// 或 https:// 开头的网址，地址没有改变。")
                            .arg(text));
            return;
        }
    }
    settings_.setText(key, text);
}

// ---- online updates ----

void MainWindow::updateHistoryOnline() {
    if (runner_.busy()) return;
    const QString title = QString::fromUtf8(HistoryUpdate::kTitle);
    const std::string site =
        settings_.address(QLatin1String(HistoryUpdate::kSiteKey)).toStdString();
    if (site.empty()) {
        asker_.warn(this, title,
                    QStringLiteral("还没有设置开奖网站的地址，请先在“软件设置”菜单的“%1”中设置。"
                                   "历史号码没有改变。")
                        .arg(kSiteEntry));
        return;
    }
    if (!asker_.confirm(this, title, QString::fromUtf8(HistoryUpdate::kQuestion))) return;

    const QDate now = today_();
    const HistoryUpdate::Date today{std::chrono::year{now.year()},
                                    std::chrono::month{static_cast<unsigned>(now.month())},
                                    std::chrono::day{static_cast<unsigned>(now.day())}};
    const int days = state_.days;
    // Said before anything is read: the replacement would take every stored draw.
    auto old = HistoryUpdate::OldDraws::Keep;
    try {
        Fetcher& none = *fetcher_;
        const auto p = HistoryUpdate(db_, none).preview(days, today);
        if (p.outsideWindow) {
            const int window = std::clamp(days, 1, HistoryUpdate::kMaxDays);
            const int choice = asker_.choose(
                this, title,
                QStringLiteral(
                    "历史号码中最早的一期已超出更新天数（%1 天），其中 %2 期早于最近 %1 天。\n"
                    "按更新规则将删除全部 %3 期历史号码（第 %4 期至第 %5 期），"
                    "再从开奖网站读入最近 %1 天的号码；只有每一天的页面都读取成功时才会删除。\n\n"
                    "保留：保留原有的历史号码，只添加新的开奖号码。\n"
                    "替换：按更新规则删除全部历史号码后重新读入。\n"
                    "取消：不更新。")
                    .arg(window)
                    .arg(p.olderThanWindow)
                    .arg(p.stored)
                    .arg(p.firstIssue)
                    .arg(p.lastIssue),
                {QStringLiteral("保留"), QStringLiteral("替换"), QStringLiteral("取消")}, 0, 2);
            if (choice == 2) return;
            if (choice == 1) old = HistoryUpdate::OldDraws::Replace;
        }
    } catch (const DbError& e) {
        asker_.warn(this, title, QStringLiteral("无法读取历史号码：%1").arg(qs(e.what())));
        return;
    }
    HistoryUpdate::Result result;
    Fetcher& fetcher = *fetcher_;
    fetcher.reset();
    runner_.setCancelHook([&fetcher] { fetcher.cancel(); });
    const bool ran = runner_.run(
        [&](Progress& work) {
            try {
                result = HistoryUpdate(db_, fetcher)
                             .run(
                                 site, days, today,
                                 [&work](long long done, long long total) {
                                     work.setTotal(total);
                                     work.step(done);
                                     return !work.cancelled();
                                 },
                                 {}, old);
            } catch (const std::exception& e) {
                result = HistoryUpdate::Result{};
                result.message = std::string("在线更新失败，历史号码没有改变：") + e.what();
            }
        },
        true).ran;
    runner_.setCancelHook(nullptr);
    fetcher.reset();
    if (!ran) return;

    if (result.ok && (result.added > 0 || result.deleted > 0)) {
        if (result.added > 0) {
            // The appended draws come after every stored one: the last row
            // is the last of them, whose date and numbers the entry carries on.
            try {
                if (const auto last = HistoryTable(db_).lastDraw()) {
                    state_.carry.day = last->day;
                    state_.carry.month = last->month;
                    state_.carry.year = last->year;
                    state_.carry.numbers = last->numbers;
                    state_.dateFromImport = true;
                }
            } catch (const DbError&) {
            }
        }
        refreshPending_ = false;
        refreshAfterHistoryChange();
    }
    if (result.ok && result.daysFailed() == 0)
        asker_.inform(this, title, qs(result.message));
    else
        tellNotDone(asker_, this, title, result.cancelled, qs(result.message));
}

void MainWindow::updateFormulasOnline() {
    if (runner_.busy()) return;
    const QString title = QString::fromUtf8(FormulaUpdate::kTitle);
    const std::string url = settings_.address(QLatin1String(FormulaUpdate::kUrlKey)).toStdString();
    if (url.empty()) {
        asker_.warn(this, title,
                    QStringLiteral("还没有设置公式文件的地址，请先在“软件设置”菜单的“%1”中设置。"
                                   "公式没有改变。")
                        .arg(kFormulaFileEntry));
        return;
    }
    if (!asker_.confirm(this, title, QString::fromUtf8(FormulaUpdate::kQuestion))) return;

    const int position = state_.selectedPosition;
    const bool kill = state_.kill;
    FormulaUpdate::Result result;
    Fetcher& fetcher = *fetcher_;
    fetcher.reset();
    runner_.setCancelHook([&fetcher] { fetcher.cancel(); });
    const bool ran = runner_.run(
        [&](Progress&) {
            Fetcher::Limits limits;
            limits.maxBytes = FormulaUpdate::kMaximumBytes;
            try {
                result = FormulaUpdate(db_, fetcher).run(url, dataFolder_, position, kill, limits);
            } catch (const std::exception& e) {
                result = FormulaUpdate::Result{};
                result.message = std::string("在线更新失败，公式没有改变：") + e.what();
            }
        },
        true).ran;
    runner_.setCancelHook(nullptr);
    fetcher.reset();
    if (!ran) return;

    if (!result.ok) {
        tellNotDone(asker_, this, title, result.cancelled, qs(result.message));
        return;
    }
    // Every table was rewritten: the flags kept for the positions mean nothing now.
    for (auto& s : state_.leftSelections) s.reset();
    // The list shows formulas that came: the current position when it got
    // some, else the first that did; the file's last kind unless it has none there.
    int shownPosition = state_.selectedPosition;
    bool shownKill = result.kill;
    const FormulaUpdate::Result::Stored* shown = nullptr;
    for (const auto& s : result.stored)
        if (s.position == shownPosition) shown = &s;
    if (!shown && !result.stored.empty()) shown = &result.stored.front();
    if (shown) {
        shownPosition = shown->position;
        if ((shownKill ? shown->kill : shown->keep) == 0) shownKill = !shownKill;
    }
    state_.kill = shownKill;
    if (shownPosition != state_.selectedPosition) {
        panel_->selectPosition(shownPosition);
    } else {
        panel_->setKill(shownKill);
        panel_->refresh();
    }
    asker_.inform(
        this, title,
        qs(result.message) + QStringLiteral("\n列表显示：%1名 %2")
                                 .arg(qs(ParameterNames::positionName(shownPosition)),
                                      shownKill ? QStringLiteral("杀") : QStringLiteral("生")));
}

// ---- documents ----

void MainWindow::openGuide() {
    const QString guide =
        ProgramFiles::find(QCoreApplication::applicationDirPath(), QString::fromUtf8(kGuideFile));
    if (guide.isEmpty()) {
        asker_.warn(this, QStringLiteral("使用说明"),
                    QStringLiteral("找不到使用说明文档 %1。").arg(QString::fromUtf8(kGuideFile)));
        return;
    }
    if (!launcher_.open(QUrl::fromLocalFile(guide)))
        asker_.warn(this, QStringLiteral("使用说明"), QStringLiteral("无法打开 %1。").arg(guide));
}

void MainWindow::openAddress(const QString& address) {
    if (address.isEmpty()) return;
    if (!launcher_.open(QUrl::fromUserInput(address)))
        asker_.warn(this, QStringLiteral("打开"), QStringLiteral("无法打开 %1。").arg(address));
}

bool MainWindow::reportFailure(const QString& title, bool ok, const std::string& message) {
    if (ok) return false;
    asker_.warn(this, title, qs(message));
    return true;
}

// ---- next-draw calculation and its views ----

void MainWindow::computeFormulas() {
    if (runner_.busy()) return;
    CalcRequest request;
    request.currentPosition = state_.selectedPosition;
    request.kill = state_.kill;
    request.best = !state_.computeSelected;
    request.rule = panel_->countRule();
    if (givenIssueButton_->isChecked()) {
        const auto issue = parseWholeInteger(verificationBox_->text().toStdString());
        if (!issue || *issue < INT32_MIN || *issue > INT32_MAX) {
            asker_.warn(this, kCalcTitle,
                        QStringLiteral("“%1”不是一个期号：验证历史结果请在期号框中输入整数期号。"
                                       "没有计算。")
                            .arg(verificationBox_->text()));
            verificationBox_->setFocus();
            return;
        }
        request.issue = static_cast<std::int32_t>(*issue);
    }
    if (request.best) {
        if (!sort_) sort_ = new frmGsCsArr(state_.sort, state_.sortConfirmed, asker_, this);
        sort_->exec();
        // Closed without ever being confirmed: nothing to rank by.
        if (!state_.sortConfirmed) return;
        request.sort = state_.sort;
    }
    // The worker reads its own copy of the flags.
    using Ids = std::unordered_set<std::int64_t>;
    auto selections = std::make_shared<std::array<std::optional<Ids>, kPositions + 1>>();
    for (int p = 1; p <= request.currentPosition; ++p)
        if (const Ids* ids = panel_->selectionOf(p, request.kill)) (*selections)[p] = *ids;
    request.selection = [selections](int p) -> const Ids* {
        if (p < 1 || p > kPositions || !(*selections)[p]) return nullptr;
        return &*(*selections)[p];
    };

    CalcResult result;
    const std::shared_ptr<const History> history = history_;
    const WorkOutcome outcome = runner_.run(
        [&](Progress& work) {
            try {
                result =
                    varnet::calculate(db_, *history, request, [&work] { return work.cancelled(); });
            } catch (const std::exception& e) {
                result = CalcResult{};
                result.message = std::string("计算失败：") + e.what();
            }
        },
        true);
    if (!outcome.ran) return;
    if (!result.ok) {
        if (outcome.cancelled)
            asker_.inform(this, kCalcTitle, qs(result.message));
        else
            asker_.warn(this, kCalcTitle, qs(result.message));
        return;
    }

    detailVoters_.clear();
    for (const VotingFormula& v : result.voters)
        if (v.position == request.currentPosition) detailVoters_.push_back(v);
    if (!result_) {
        result_ = new frmErrarrLei(*this, this);
        connect(result_, &frmErrarrLei::detailsRequested, this, &MainWindow::showDetails);
    }
    result_->fill(result, summarise(result, request.kill), request.kill, !request.best);
    result_->setBacktestSource({&db_, &runner_, [this] { return currentHistory(); }, &asker_, request});
    result_->show();
    result_->raise();
    result_->activateWindow();
}

void MainWindow::showDetails() {
    frmXxlb details(detailVoters_, panel_->model()->chinese(), *this, result_);
    details.exec();
}

void MainWindow::showParameters() {
    if (!parameters_) parameters_ = new frmShuoming(this);
    parameters_->refill(*history_);
    parameters_->show();
    parameters_->raise();
    parameters_->activateWindow();
}

void MainWindow::showSteps(const QString& code, const QString& chinese) {
    if (runner_.busy()) return;
    if (!steps_) steps_ = new frmGsbz(asker_, *this, this);
    if (!steps_->showFormula(*history_, code, chinese)) return;
    steps_->show();
    steps_->raise();
    steps_->activateWindow();
}

void MainWindow::showPastResults() {
    if (runner_.busy()) return;
    if (!asker_.confirm(this, kWaitTitle, kReplayQuestion)) return;
    const int position = state_.selectedPosition;
    const bool kill = state_.kill;
    // The worker reads its own copy of the flags; none means all selected.
    using Ids = std::unordered_set<std::int64_t>;
    std::optional<Ids> ids;
    if (const Ids* s = panel_->selectionOf(position, kill)) ids = *s;
    const std::shared_ptr<const History> history = history_;
    auto replay = std::make_shared<Replay>();
    std::string error;
    bool cancelled = false;
    const bool ran = runner_.run(
        [&](Progress& work) {
            try {
                const auto list = loadFormulaList(db_, position, kill, false);
                const auto selected = [&](const ListedFormula& f) {
                    return !ids || ids->count(f.row.id) > 0;
                };
                work.setTotal(std::count_if(list.begin(), list.end(), selected));
                *replay = replayFormulas(*history, list, selected, [&work](int done) {
                    work.step(done);
                    return !work.cancelled();
                });
                cancelled = work.cancelled();
            } catch (const std::exception& e) {
                error = e.what();
            }
        },
        true).ran;
    if (!ran || cancelled) return;
    if (!error.empty()) {
        asker_.warn(this, QStringLiteral("公式往期位置值结果列表"),
                    QStringLiteral("无法回放公式：") + qs(error));
        return;
    }
    if (!query_) query_ = new frmLslb(*this, this);
    query_->fill(std::move(replay), position);
    query_->show();
    query_->raise();
    query_->activateWindow();
}

// ---- search ----

void MainWindow::openSearch() {
    if (runner_.busy()) return;
    // Kept for the run: its results and settings stay between openings.
    if (!search_) search_ = new frmGSGL(db_, settings_.store(), *this, *this, asker_, this);
    search_->setWindowModality(Qt::ApplicationModal);
    search_->show();
    search_->raise();
    search_->activateWindow();
}

CountRule MainWindow::searchCountRule() const {
    CountRule rule;
    rule.retrieval = state_.issueCount;
    rule.weighted = state_.weighted;
    rule.search = true;
    return rule;
}

void MainWindow::saveFormulas(std::vector<SearchResult> batch, bool replace,
                              std::function<void(const BatchSaveResult&)> done) {
    runner_.queueWrite([this, batch = std::move(batch), replace, done = std::move(done)] {
        BatchSaveResult saved;
        // On the worker: a big replacement is followed by a compaction.
        runner_.run([&](Progress&) { saved = saveBatch(db_, batch, replace); }, false).ran;
        if (saved.ok) formulasSaved(saved.positions);
        done(saved);
    });
}

void MainWindow::formulasSaved(const std::vector<int>& positions) {
    // Rewritten tables have new row ids: their old flags mean nothing.
    for (int p : positions) state_.leftSelections[p].reset();
    panel_->refresh();
}

// ---- workbooks ----

void MainWindow::exportHistoryList() {
    if (runner_.busy()) return;
    const bool perDraw = panel_->perDrawShown();
    if (perDraw && !asker_.confirm(this, kWaitTitle, kPerDrawExportQuestion)) return;
    const std::vector<PerDrawColumn>* columns = perDraw ? &model_->formulaColumns() : nullptr;
    std::vector<std::string> names;
    if (columns) {
        const auto& list = panel_->model()->list();
        for (const PerDrawColumn& c : *columns) {
            // Columns of a verification that failed after a history change
            // belong to the old rows; the grid shows them blank past those.
            if (static_cast<int>(c.numbers.size()) != history_->size() ||
                c.marks.size() != c.numbers.size()) {
                asker_.warn(this, kExportTitle,
                            QStringLiteral("历史列表的公式列是按较早的历史号码验算的，"
                                           "请重新验算后再导出。没有导出。"));
                return;
            }
            const bool known = c.listNumber >= 1 && c.listNumber <= static_cast<int>(list.size());
            names.push_back(known ? list[c.listNumber - 1].row.chinese : std::string());
        }
    }
    const std::shared_ptr<const History> history = history_;
    exportFile(this, kExportTitle, ExportNames::kHistory, history->size() + 1,
               [&](const std::string& path, const std::function<bool(int)>& progress) {
                   return exportHistoryWorkbook(path, *history, columns, names, progress);
               });
}

bool MainWindow::exportFile(QWidget* from, const QString& title, const std::string& file,
                            long long total, const Exporter::Write& write) {
    if (runner_.busy()) return false;
    const std::string path = joinPath(dataFolder_, file);
    if (!confirmReplacing(asker_, from, title, qs(path))) return false;
    WorkbookResult result;
    const WorkOutcome outcome = runner_.run(
        [&](Progress& work) {
            work.setTotal(total);
            try {
                result = write(path, [&work](int done) {
                    work.step(done);
                    return !work.cancelled();
                });
            } catch (const std::exception& e) {
                result = WorkbookResult{};
                result.message = "无法写入 " + path + "：" + e.what();
            }
        },
        true);
    if (!outcome.ran) return false;
    if (!result.ok) {
        if (outcome.cancelled)
            asker_.inform(from, title, qs(result.message));
        else
            asker_.warn(from, title, qs(result.message));
        return false;
    }
    if (!launcher_.open(QUrl::fromLocalFile(qs(path))))
        asker_.inform(from, title, QStringLiteral("已导出到 %1，但无法打开它。").arg(qs(path)));
    return true;
}

// ---- long operations ----

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Typing an issue to verify means verifying.
    if (watched == verificationBox_ && event->type() == QEvent::FocusIn)
        givenIssueButton_->setChecked(true);
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (runner_.busy()) {
        // The worker still holds the database; let it stop first.
        runner_.cancel();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

}  // namespace varnet
