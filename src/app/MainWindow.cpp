#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>

#include "analysis/Exports.h"
#include "analysis/TrendWindow.h"
#include "app/ProgramFiles.h"
#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "db/Database.h"
#include "db/HoldOutTable.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaUpdate.h"
#include "history/DrawEntry.h"
#include "history/HistoryModel.h"
#include "history/HistoryUpdate.h"
#include "net/QtFetcher.h"
#include "ui/Asker.h"
#include "ui/FlowLayout.h"
#include "ui/Launcher.h"
#include "ui/WindowGeometry.h"

namespace varnet {

namespace {

const QString kWaitTitle = QStringLiteral("查询等待确认");
const QString kPerDrawExportQuestion = QStringLiteral(
    "将本表导出到EXCEL，因为公式每一期验证数据较多可能需要数分钟，确认需要执行并等待吗？");
const QString kExportTitle = QStringLiteral("导出");

}  // namespace

MainWindow::MainWindow(Database& db, std::string dataFolder, AppSettings& settings,
                       Launcher& launcher, Asker& asker, QWidget* parent)
    : QMainWindow(parent),
      db_(db),
      dataFolder_(std::move(dataFolder)),
      settings_(settings),
      launcher_(launcher),
      asker_(asker),
      fetcher_(std::make_unique<QtFetcher>()) {
    setWindowTitle(QStringLiteral("Varnet"));
    loadSettings();
    buildWindow();
    state_.entryIssueText = history_->entry()->issueText();

    history_->AddHaoma();
    history_->model()->setSelectedPosition(state_.selectedPosition);
    panel_->refresh();
    // Wide enough for both grids' columns without a horizontal scroll bar
    // (the splitter hands out a few pixels less than its parts ask for);
    // a smaller screen or the size the user left it at wins when shown.
    setObjectName(QStringLiteral("frmMain"));
    resize(sizeHint().width() + 16, 640);
    WindowGeometry::follow(this, settings_.store());
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

    // The history half; the splitter below takes it.
    history_ =
        new HistoryPanel(*this, db_, state_, dataFolder_, runner_, *fetcher_, asker_, launcher_);
    connect(history_, &HistoryPanel::trendRequested, this, [this](int position) {
        auto* trend = findChild<TrendWindow*>(QString(), Qt::FindDirectChildrenOnly);
        if (!trend) trend = new TrendWindow(*this, dataFolder_, this);
        trend->showTrend(history_->history(), paramIndex(0, position), trend->lastBox()->value());
        trend->show();
        trend->raise();
        trend->activateWindow();
    });
    // History commands, then settings and documents; the rows wrap on a
    // narrow screen.
    auto* historyRow = new FlowLayout;
    history_->addButtons(historyRow);
    // Settings and documents follow on the same rows.
    auto* settingsRow = historyRow;
    auto* settingsButton = new QPushButton(QStringLiteral("软件设置(&T)"));
    settingsButton->setObjectName(QStringLiteral("cmdSetting"));
    settingsMenu_ =
        new SettingsMenu(*this, state_, settings_, asker_, launcher_, dataFolder_, this);
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
    calculation_ = new CalculationCommands(*this, db_, state_, runner_, *this, asker_, this);
    area->addLayout(calculation_->buildRow(commandArea_));

    // The history grid beside the formula half.
    auto* splitter = new QSplitter(Qt::Horizontal, commandArea_);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    splitter->addWidget(history_);
    panel_ = new FormulaPanel(db_, state_, dataFolder_, *this, *this, asker_, launcher_,
                              *history_->model(), splitter);
    panel_->setObjectName(QStringLiteral("formulaPanel"));
    history_->addBelowGrid(panel_->formulaColumnBar());
    splitter->addWidget(panel_);
    connect(panel_, &FormulaPanel::stepsRequested, this,
            [this](const QString& code, const QString& chinese) {
                runner_.whenIdle([&] { calculation_->showSteps(code, chinese); })();
            });
    connect(panel_, &FormulaPanel::onlineUpdateRequested, this,
            runner_.whenIdle([this] { updateFormulasOnline(); }));
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    area->addWidget(splitter, 1);
    area->addWidget(history_->entry());

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
    connect(button, &QPushButton::clicked, this,
            [this, address] { settingsMenu_->openAddress(address); });
    return button;
}
void MainWindow::lastIssueShown(qint64 issue) {
    calculation_->verificationBox()->setText(QString::number(issue));
}

std::string MainWindow::historySite() const {
    return settings_.address(QLatin1String(HistoryUpdate::kSiteKey)).toStdString();
}

// ---- online updates ----

void MainWindow::updateFormulasOnline() {
    const QString title = QString::fromUtf8(FormulaUpdate::kTitle);
    const std::string url = settings_.address(QLatin1String(FormulaUpdate::kUrlKey)).toStdString();
    if (url.empty()) {
        asker_.warn(this, title,
                    QStringLiteral("还没有设置公式文件的地址，请先在“软件设置”菜单的“%1”中设置。"
                                   "公式没有改变。")
                        .arg(QString::fromUtf8(SettingsMenu::kFormulaFileEntry)));
        return;
    }
    if (!asker_.confirm(this, title, QString::fromUtf8(FormulaUpdate::kQuestion))) return;

    const int position = state_.selectedPosition;
    const bool kill = state_.kill;
    FormulaUpdate::Result result;
    Fetcher& fetcher = *fetcher_;
    fetcher.reset();
    runner_.setCancelHook([&fetcher] { fetcher.cancel(); });
    const WorkOutcome outcome = runner_.run(
        [&](Progress&) {
            Fetcher::Limits limits;
            limits.maxBytes = FormulaUpdate::kMaximumBytes;
            result = FormulaUpdate(db_, fetcher).run(url, dataFolder_, position, kill, limits);
        },
        true);
    runner_.setCancelHook(nullptr);
    fetcher.reset();
    if (!outcome.ran) return;
    if (outcome.failed) {
        result = FormulaUpdate::Result{};
        result.message = "在线更新失败，公式没有改变：" + outcome.error;
    }

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

// ---- search ----

void MainWindow::openSearch() {
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

void MainWindow::storeHoldOut(HoldOutRecord record, std::function<void(const std::string&)> done) {
    runner_.queueWrite([this, record = std::move(record), done = std::move(done)] {
        std::string error;
        const WorkOutcome ran = runner_.run(
            [&](Progress&) {
                try {
                    HoldOutTable(db_).store(record);
                } catch (const DbError& e) {
                    error = e.what();
                }
            },
            false);
        if (ran.failed) error = ran.error;
        done(error);
    });
}

void MainWindow::formulasSaved(const std::vector<int>& positions) {
    // Rewritten tables have new row ids: their old flags mean nothing.
    for (int p : positions) state_.leftSelections[p].reset();
    panel_->refresh();
}

// ---- workbooks ----

void MainWindow::exportHistoryList() {
    const bool perDraw = panel_->perDrawShown();
    if (perDraw && !asker_.confirm(this, kWaitTitle, kPerDrawExportQuestion)) return;
    const std::vector<PerDrawColumn>* columns =
        perDraw ? &history_->model()->formulaColumns() : nullptr;
    std::vector<std::string> names;
    if (columns) {
        const auto& list = panel_->model()->list();
        for (const PerDrawColumn& c : *columns) {
            // Columns of a verification that failed after a history change
            // belong to the old rows; the grid shows them blank past those.
            if (static_cast<int>(c.numbers.size()) != history_->history()->size() ||
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
    const std::shared_ptr<const History> history = history_->history();
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
            result = write(path, [&work](int done) {
                work.step(done);
                return !work.cancelled();
            });
        },
        true);
    if (!outcome.ran) return false;
    if (outcome.failed) {
        result = WorkbookResult{};
        result.message = "无法写入 " + path + "：" + outcome.error;
    }
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
