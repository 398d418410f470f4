#include "history/HistoryPanel.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>

#include "base/NumericText.h"
#include "base/Paths.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "history/DrawEntry.h"
#include "history/HistoryModel.h"
#include "history/HistoryText.h"
#include "history/HistoryUpdate.h"
#include "history/HistoryView.h"
#include "history/NumberChartWindow.h"
#include "net/Fetcher.h"
#include "ui/Asker.h"
#include "ui/Launcher.h"
#include "ui/MainState.h"
#include "ui/WorkRunner.h"

namespace varnet {

namespace {

const QString kImportTitle = QStringLiteral("读入历史");
const QString kImportQuestion = QStringLiteral(
    "确实要读入历史号码吗？读入后将覆盖原来所输入/"
    "读入的历史号！点击'确认'读入,点击'取消'放弃该操作。"
    "确要读入请保证安装目录下存在历史号码的文本文件文件。读取时可能要花费一段时间,请耐心等候！");
const QString kInputErrorTitle = QStringLiteral("输入有误");
const QString kDeleteTitle = QStringLiteral("删除期数");

// The busy pointer for a command that runs on this thread.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

HistoryPanel::HistoryPanel(Host& host, Database& db, MainState& state, std::string dataFolder,
                           WorkRunner& runner, Fetcher& fetcher, Asker& asker, Launcher& launcher,
                           QWidget* parent)
    : QWidget(parent),
      host_(host),
      db_(db),
      state_(state),
      dataFolder_(std::move(dataFolder)),
      runner_(runner),
      fetcher_(fetcher),
      asker_(asker),
      launcher_(launcher),
      history_(std::make_shared<History>()) {
    model_ = new HistoryModel(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    view_ = new HistoryView(this);
    view_->setObjectName(QStringLiteral("historyGrid"));
    view_->setModel(model_);
    view_->setColumnWidthRule(&HistoryModel::columnWidth);
    connect(view_, &HistoryView::menuRequested, this,
            [this](const QPoint& at) { menu_->popup(at); });
    layout->addWidget(view_, 1);
    buildMenu();

    // Without a parent until the window places it under the grids, so that
    // it comes last in the window's tab order.
    entry_ = new DrawEntry;
    entry_->setObjectName(QStringLiteral("drawEntry"));
    connect(entry_, &DrawEntry::drawComplete, this, idle(&HistoryPanel::storeEnteredDraw));
    connect(entry_, &DrawEntry::lastBoxEdited, view_, &HistoryView::showLastRows);
    connect(entry_, &DrawEntry::issueTextChanged, this,
            [this](const QString& text) { state_.entryIssueText = text; });

    // One deferred refresh after the first manual entry of the run.
    deferredTimer_ = new QTimer(this);
    deferredTimer_->setObjectName(QStringLiteral("Timer2"));
    deferredTimer_->setInterval(500);
    connect(deferredTimer_, &QTimer::timeout, this, idle(&HistoryPanel::deferredRefresh));
    deferredTimer_->start();
}

HistoryPanel::~HistoryPanel() {
    if (entry_ && !entry_->parent()) delete entry_.data();
}

std::function<void()> HistoryPanel::idle(void (HistoryPanel::*command)()) {
    return runner_.whenIdle([this, command] { (this->*command)(); });
}

void HistoryPanel::addButtons(QLayout* row) {
    auto* readButton = new QPushButton(QStringLiteral("读取历史号码文本(&R)"));
    readButton->setObjectName(QStringLiteral("cmdRead"));
    connect(readButton, &QPushButton::clicked, this, idle(&HistoryPanel::importHistory));
    auto* exportButton = new QPushButton(QStringLiteral("历史号码导出文本文件(&X)"));
    exportButton->setObjectName(QStringLiteral("cmdExport"));
    connect(exportButton, &QPushButton::clicked, this, idle(&HistoryPanel::exportHistory));
    auto* deleteButton = new QPushButton(QStringLiteral("删除最后历史(&D)"));
    deleteButton->setObjectName(QStringLiteral("cmdDelLast"));
    connect(deleteButton, &QPushButton::clicked, this, idle(&HistoryPanel::deleteLastDraw));
    row->addWidget(readButton);
    row->addWidget(exportButton);
    row->addWidget(deleteButton);
    auto* webButton = new QPushButton(QStringLiteral("开奖历史号在线更新(&O)"));
    webButton->setObjectName(QStringLiteral("cmdWebUpdate"));
    webButton->setToolTip(QStringLiteral("从官方服务器更新历史号码"));
    connect(webButton, &QPushButton::clicked, this, idle(&HistoryPanel::updateHistoryOnline));
    row->addWidget(webButton);
    auto* workbookButton = new QPushButton(QStringLiteral("导出列表到Excel"));
    workbookButton->setObjectName(QStringLiteral("cmdDcexl"));
    connect(workbookButton, &QPushButton::clicked, this,
            runner_.whenIdle([this] { host_.exportHistoryList(); }));
    row->addWidget(workbookButton);
}

void HistoryPanel::addBelowGrid(QWidget* bar) { layout()->addWidget(bar); }

void HistoryPanel::buildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("mnuLishi"));
    QAction* exportAction = menu_->addAction(QStringLiteral("导出历史号码(&O)"));
    exportAction->setObjectName(QStringLiteral("mnuDcls"));
    connect(exportAction, &QAction::triggered, this,
            runner_.whenIdle([this] { host_.exportHistoryList(); }));
    connect(menu_->addAction(QStringLiteral("删除所有历史(&A）")), &QAction::triggered, this,
            idle(&HistoryPanel::deleteAllDraws));
    connect(menu_->addAction(QStringLiteral("删除到选定期(&D)")), &QAction::triggered, this,
            idle(&HistoryPanel::deleteDownToIssue));
    connect(menu_->addAction(QStringLiteral("删除最后指定数量期历史(&E)")), &QAction::triggered,
            this, idle(&HistoryPanel::deleteLastDraws));
    menu_->addSeparator();
    NumberChartWindow::addMenuEntry(menu_, view_, *model_, [this] { return state_.issueCount; });
    // The number column under the pointer when the menu opened (-1: none).
    auto clicked = std::make_shared<int>(-1);
    connect(view_, &HistoryView::menuRequested, menu_, [this, clicked](const QPoint& at) {
        *clicked = view_->indexAt(view_->viewport()->mapFromGlobal(at)).column();
    });
    QAction* trend = menu_->addAction(QStringLiteral("号码走势图(&T)"));
    trend->setObjectName(QStringLiteral("mnuTrend"));
    connect(trend, &QAction::triggered, this, [this, clicked] {
        const auto isPosition = [](int column) { return column >= 1 && column <= kPositions; };
        int position = model_->selectedPosition();
        if (isPosition(*clicked))
            position = *clicked;
        else if (isPosition(view_->currentIndex().column()))
            position = view_->currentIndex().column();
        emit trendRequested(position);
    });
}

void HistoryPanel::AddHaoma() {
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
    if (recovered && !runner_.busy()) host_.verifyFormulas();
}

void HistoryPanel::retryHistory() {
    QTimer::singleShot(3000, this, [this] {
        if (!historyReadFailed_) return;
        runner_.whenIdle([this] { AddHaoma(); }, [this] { retryHistory(); })();
    });
}

void HistoryPanel::showHistory(std::shared_ptr<const History> history) {
    history_ = std::move(history);
    model_->setHistory(history_);
    view_->showLastRows();
    QihaoXianshi();
}

void HistoryPanel::followHistoryChange(const std::function<void(History&)>& change, bool fill) {
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
        host_.refillFormulas();
    else
        host_.verifyFormulas();
}

void HistoryPanel::QihaoXianshi() {
    if (history_->empty()) return;
    const qint64 last = history_->issue(history_->size() - 1);
    host_.lastIssueShown(last);
    entry_->setIssueText(QString::number(last + 1));
}

void HistoryPanel::refreshAfterHistoryChange() {
    AddHaoma();
    host_.refillFormulas();
}

// ---- manual entry ----

void HistoryPanel::storeEnteredDraw() {
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
        host_.verifyFormulas();
    }
    entry_->focusFirstBox();
    view_->showLastRows();
}

void HistoryPanel::deferredRefresh() {
    if (!refreshPending_) return;
    refreshAfterHistoryChange();
    deferredTimer_->stop();
}

// ---- import and export ----

void HistoryPanel::importHistory() {
    if (!asker_.confirm(this, kImportTitle, kImportQuestion)) return;
    const QString file = chooseTextFile(
        asker_, this, qs(joinPath(dataFolder_, HistoryText::kFolder)), kImportTitle,
        QStringLiteral("只能读入扩展名为 txt 的历史号码文本文件，历史号码没有改变。"));
    if (file.isEmpty()) return;

    HistoryCommands::ImportResult result;
    const std::string path = file.toStdString();
    const HistoryText::Carry carry = state_.carry;
    // The worker has the database to itself until it ends.
    const bool ran = runner_
                         .run(
                             [&](Progress& work) {
                                 result = HistoryCommands(db_).importFile(
                                     path, carry, [&](long long d, long long t) {
                                         work.step(d);
                                         work.setTotal(t);
                                         return !work.cancelled();
                                     });
                             },
                             true)
                         .ran;
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

void HistoryPanel::exportHistory() {
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
    const std::string path = joinPath(joinPath(dataFolder_, HistoryText::kFolder), name);
    if (!confirmReplacing(asker_, this, QStringLiteral("导出历史"), qs(path))) return;
    const auto result = HistoryCommands::exportFile(*history_, path);
    if (reportFailure(QStringLiteral("导出历史"), result.ok, result.message)) return;
    if (!launcher_.open(QUrl::fromLocalFile(qs(path))))
        asker_.inform(
            this, QStringLiteral("导出历史"),
            QStringLiteral("历史号码已导出到 %1，但无法用文本编辑器打开它。").arg(qs(path)));
}

// ---- deletion ----

void HistoryPanel::deleteLastDraw() {
    const auto result = HistoryCommands(db_).deleteLast();
    reportFailure(QStringLiteral("删除历史"), result.ok, result.message);
    // Deletions take rows from the end of the issue order. The listed
    // formulas keep their flags.
    followHistoryChange([&](History& h) { h.truncate(h.size() - result.rows); }, false);
    entry_->focusFirstBox();
}

void HistoryPanel::deleteAllDraws() {
    if (!confirmDeletion(HistoryCommands(db_).spanAll())) return;
    BusyCursor busy;
    const auto result = HistoryCommands(db_).deleteAll();
    reportFailure(QStringLiteral("删除历史"), result.ok, result.message);
    refreshAfterHistoryChange();
}

void HistoryPanel::deleteDownToIssue() {
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

void HistoryPanel::deleteLastDraws() {
    const auto answer = asker_.askText(
        this, kDeleteTitle,
        QStringLiteral(
            "请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"),
        QStringLiteral("1"));
    if (!answer || answer->trimmed().isEmpty()) return;
    const auto n = wholeAnswer(answer);
    if (!n || *n <= 0) {
        asker_.warn(
            this, kInputErrorTitle,
            QStringLiteral("“%1”不是期数，请输入一个正整数。历史号码没有改变。").arg(*answer));
        return;
    }
    deleteAfterQuestion(HistoryCommands(db_).spanLastN(*n),
                        [this, count = *n] { return HistoryCommands(db_).deleteLastN(count); });
}

void HistoryPanel::deleteAfterQuestion(const HistoryCommands::Span& span,
                                       const std::function<HistoryCommands::Result()>& remove) {
    if (!confirmDeletion(span)) return;
    HistoryCommands::Result result;
    // The compaction after it takes a while on a large file.
    if (!runner_.run([&](Progress&) { result = remove(); }, false).ran) return;
    reportFailure(QStringLiteral("删除历史"), result.ok, result.message);
    followHistoryChange([&](History& h) { h.truncate(h.size() - result.rows); });
}

bool HistoryPanel::confirmDeletion(const HistoryCommands::Span& span) {
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

void HistoryPanel::updateHistoryOnline() {
    const QString title = QString::fromUtf8(HistoryUpdate::kTitle);
    const std::string site = host_.historySite();
    if (site.empty()) {
        asker_.warn(this, title,
                    QStringLiteral("还没有设置开奖网站的地址，请先在“软件设置”菜单的“%1”中设置。"
                                   "历史号码没有改变。")
                        .arg(QString::fromUtf8(kSiteEntry)));
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
        Fetcher& none = fetcher_;
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
    Fetcher& fetcher = fetcher_;
    fetcher.reset();
    runner_.setCancelHook([&fetcher] { fetcher.cancel(); });
    const WorkOutcome outcome = runner_.run(
        [&](Progress& work) {
            result = HistoryUpdate(db_, fetcher)
                         .run(
                             site, days, today,
                             [&work](long long done, long long total) {
                                 work.setTotal(total);
                                 work.step(done);
                                 return !work.cancelled();
                             },
                             {}, old);
        },
        true);
    runner_.setCancelHook(nullptr);
    fetcher.reset();
    if (!outcome.ran) return;
    if (outcome.failed) {
        result = HistoryUpdate::Result{};
        result.message = "在线更新失败，历史号码没有改变：" + outcome.error;
    }

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

bool HistoryPanel::reportFailure(const QString& title, bool ok, const std::string& message) {
    if (ok) return false;
    asker_.warn(this, title, qs(message));
    return true;
}
}  // namespace varnet
