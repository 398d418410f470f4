#include "analysis/ResultWindow.h"

#include <QBrush>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include "analysis/Backtest.h"
#include "analysis/BacktestWindow.h"
#include "analysis/Exports.h"
#include "analysis/Report.h"
#include "analysis/VoteChartWindow.h"
#include "base/History.h"
#include "base/NumericText.h"
#include "base/Paths.h"
#include "ui/Asker.h"
#include "ui/CellModel.h"
#include "ui/ModelExport.h"

namespace varnet {

namespace {

constexpr int kListWidths[6] = {600, 600, 1000, 1000, 1000, 1000};
constexpr int kCountWidths[3] = {1200, 1200, 8000};
const QColor kFilteredGreen(0, 255, 0);
const QColor kGrey(128, 128, 128);
const QColor kDrawnYellow(255, 236, 140);

QStringList listHeaders(bool resorted) {
    const QString note = resorted ? QStringLiteral("（公式错误值）") : QString();
    return {QStringLiteral("排序序号"),         QStringLiteral("号码"),
            QStringLiteral("杀留Err值") + note, QStringLiteral("杀码Err值") + note,
            QStringLiteral("留码Err值") + note, QStringLiteral("保留/滤杀")};
}

QTableView* makeGrid(QWidget* parent, const QString& name, CellModel* model) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->verticalHeader()->hide();
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    return grid;
}

// Twips widths, widened where a header needs more room.
void setWidths(QTableView* grid, const int* twips, int columns) {
    const QFontMetrics metrics = grid->horizontalHeader()->fontMetrics();
    for (int c = 0; c < columns; ++c) {
        const QString header = grid->model()->headerData(c, Qt::Horizontal).toString();
        grid->setColumnWidth(
            c, std::max(twipsToPixels(twips[c]), metrics.horizontalAdvance(header) + 12));
    }
}

}  // namespace

frmErrarrLei::frmErrarrLei(Exporter& exporter, QWidget* parent)
    : QWidget(parent, Qt::Window), exporter_(exporter) {
    setObjectName(QStringLiteral("frmErrarrLei"));
    setWindowTitle(QStringLiteral("杀留值排序(鼠标双击列表反向排序)"));

    auto* layout = new QVBoxLayout(this);
    note_ = new QLabel(QStringLiteral("计算结果"), this);
    note_->setObjectName(QStringLiteral("Label2"));
    layout->addWidget(note_);
    drawn_ = new QLabel(this);
    drawn_->setObjectName(QStringLiteral("lblDrawn"));
    drawn_->setTextFormat(Qt::PlainText);
    drawn_->hide();
    layout->addWidget(drawn_);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("TabStrip1"));
    tabs_->setExpanding(false);
    layout->addWidget(tabs_);
    pages_ = new QStackedWidget(this);
    layout->addWidget(pages_, 1);
    connect(tabs_, &QTabBar::currentChanged, pages_, &QStackedWidget::setCurrentIndex);

    auto* bottom = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("各位最可能排列结果"), this);
    label->setObjectName(QStringLiteral("Label1"));
    arrangement_ = new QLineEdit(this);
    arrangement_->setObjectName(QStringLiteral("Text1"));
    arrangement_->setReadOnly(true);
    details_ = new QPushButton(QStringLiteral("详细结果列表(&D)"), this);
    details_->setObjectName(QStringLiteral("Command2"));
    details_->hide();
    connect(details_, &QPushButton::clicked, this, &frmErrarrLei::detailsRequested);
    bottom->addWidget(label);
    bottom->addWidget(arrangement_, 1);
    bottom->addWidget(details_);
    auto* exportButton = new QPushButton(QStringLiteral("导出列表(&E)"), this);
    exportButton->setObjectName(QStringLiteral("Command1"));
    connect(exportButton, &QPushButton::clicked, this, &frmErrarrLei::exportList);
    bottom->addWidget(exportButton);
    layout->addLayout(bottom);

    auto* checks = new QHBoxLayout;
    voteChartButton_ = new QPushButton(QStringLiteral("票数图表(&V)"), this);
    voteChartButton_->setObjectName(QStringLiteral("cmdVoteChart"));
    voteChartButton_->setToolTip(QStringLiteral("各位号码 1 至 10 在本次计算中得到的票数"));
    connect(voteChartButton_, &QPushButton::clicked, this, &frmErrarrLei::showVoteChart);
    backtestButton_ = new QPushButton(QStringLiteral("方法回测(&B)"), this);
    backtestButton_->setObjectName(QStringLiteral("cmdBacktest"));
    backtestButton_->setToolTip(
        QStringLiteral("对最近若干期逐期用它之前的开奖号码重做本次计算（公式成绩也只算到它之前），"
                       "看保留的号码命中多少次，与单凭机会比较"));
    backtestButton_->hide();
    connect(backtestButton_, &QPushButton::clicked, this, [this] {
        if (source_.runner) source_.runner->whenIdle([this] { runBacktest(); })();
    });
    reportButton_ = new QPushButton(QStringLiteral("检验报告(&R)"), this);
    reportButton_->setObjectName(QStringLiteral("cmdReport"));
    reportButton_->setToolTip(
        QStringLiteral("把十个位置的公式 p 值分布、本方法在公式录入之后各期的回测和最近一次"
                       "留出检验搜索写成一个网页（%1），在浏览器中打开")
            .arg(QString::fromUtf8(kReportFileName)));
    reportButton_->hide();
    connect(reportButton_, &QPushButton::clicked, this, [this] {
        if (source_.runner) source_.runner->whenIdle([this] { writeReport(); })();
    });
    checks->addStretch(1);
    checks->addWidget(voteChartButton_);
    checks->addWidget(backtestButton_);
    checks->addWidget(reportButton_);
    layout->addLayout(checks);
    resize(760, 740);
}

frmErrarrLei::~frmErrarrLei() = default;

frmErrarrLei::Panel& frmErrarrLei::panel(int index) {
    while (static_cast<int>(panels_.size()) <= index) {
        const int p = static_cast<int>(panels_.size()) + 1;
        Panel made;
        made.page = new QWidget(pages_);
        auto* layout = new QVBoxLayout(made.page);
        layout->setContentsMargins(0, 4, 0, 0);

        auto* listFrame = new QGroupBox(QStringLiteral("该类公式计算综合结果"), made.page);
        listFrame->setObjectName(QStringLiteral("Frame2_%1").arg(p));
        auto* listLayout = new QVBoxLayout(listFrame);
        made.listModel = new CellModel(made.page);
        made.list = makeGrid(listFrame, QStringLiteral("MSFlexGrid1_%1").arg(p), made.listModel);
        made.list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        listLayout->addWidget(made.list);
        made.examined = new QLabel(listFrame);
        made.examined->setObjectName(QStringLiteral("lblExamined_%1").arg(p));
        listLayout->addWidget(made.examined);
        layout->addWidget(listFrame);

        auto* countFrame = new QGroupBox(QStringLiteral("公式总计算结果情况统计"), made.page);
        countFrame->setObjectName(QStringLiteral("Frame3_%1").arg(p));
        auto* countLayout = new QVBoxLayout(countFrame);
        made.countModel = new CellModel(made.page);
        made.counts =
            makeGrid(countFrame, QStringLiteral("MSFlexGrid3_%1").arg(p), made.countModel);
        countLayout->addWidget(made.counts);
        layout->addWidget(countFrame, 1);

        const int index0 = p - 1;
        auto sortBy = [this, index0](int column) { resortList(index0 + 1, column); };
        connect(made.list, &QTableView::clicked, this,
                [sortBy](const QModelIndex& at) { sortBy(at.column()); });
        connect(made.list->horizontalHeader(), &QHeaderView::sectionClicked, this, sortBy);
        pages_->addWidget(made.page);
        panels_.push_back(made);
    }
    return panels_[index];
}

QTableView* frmErrarrLei::numberList(int position) const {
    return position >= 1 && position <= shown_ ? panels_[position - 1].list : nullptr;
}

QTableView* frmErrarrLei::countSummary(int position) const {
    return position >= 1 && position <= shown_ ? panels_[position - 1].counts : nullptr;
}

QLabel* frmErrarrLei::examinedLabel(int position) const {
    return position >= 1 && position <= shown_ ? panels_[position - 1].examined : nullptr;
}

void frmErrarrLei::fill(const CalcResult& result, const ResultSummary& summary, bool kill,
                        bool details) {
    kill_ = kill;
    lastVotes_ = result.positions.empty() ? PositionVotes{} : result.positions.back();
    lastPositions_ = result.positions;
    lastTarget_ = result.targetIssue;
    if (voteChart_) voteChart_->fill(lastPositions_, kill_, lastTarget_);
    {
        const QSignalBlocker block(tabs_);
        while (tabs_->count() > 0) tabs_->removeTab(0);
    }
    shown_ = static_cast<int>(summary.positions.size());
    for (int i = 0; i < shown_; ++i) {
        Panel& p = panel(i);
        p.summary = summary.positions[i];
        const int position = p.summary.position;
        p.drawn = result.drawn && position >= 1 && position <= 10 ? (*result.drawn)[position] : 0;
        // The fill shows the ranking order, so clicks start from it again.
        p.reversed = false;
        showList(p, false);
        showCounts(p);
        const PositionVotes* votes =
            i < static_cast<int>(result.positions.size()) ? &result.positions[i] : nullptr;
        const QString kind = kill ? QStringLiteral("杀码") : QStringLiteral("生码");
        if (p.summary.noFormulas)
            p.examined->setText(
                QStringLiteral("本位没有%1公式：不排列号码，各位最可能排列结果中记作“-”。")
                    .arg(kind));
        else
            p.examined->setText(
                votes ? QStringLiteral("本位计算公式%1条，其中无效公式%2条（不能在每期历史上计算）"
                                       "未参与计算。")
                            .arg(votes->examined)
                            .arg(votes->invalid)
                      : QString());
        tabs_->addTab(p.summary.noFormulas
                          ? QStringLiteral("第%1（无%2公式）").arg(position).arg(kind)
                          : QStringLiteral("第%1").arg(position));
    }
    tabs_->setCurrentIndex(0);
    pages_->setCurrentIndex(0);
    note_->setText(QString::fromStdString(resultNote(result.targetIssue)));
    if (result.drawn) {
        QStringList numbers;
        for (int p = 1; p <= 10; ++p)
            numbers << QStringLiteral("%1").arg((*result.drawn)[p], 2, 10, QLatin1Char('0'));
        drawn_->setText(
            QStringLiteral("第%1期实际开奖号码：%2（各位列表中该位开出的号码以黄底粗体标出）")
                .arg(result.targetIssue)
                .arg(numbers.join(QLatin1Char(' '))));
    }
    drawn_->setVisible(result.drawn.has_value());
    arrangement_->setText(QString::fromStdString(summary.arrangement));
    details_->setVisible(details);
}

void frmErrarrLei::setBacktestSource(BacktestSource source) {
    source_ = std::move(source);
    source_.request.issue.reset();  // the check walks over the stored draws
    const bool runs = source_.db && source_.runner && source_.history && source_.asker;
    backtestButton_->setVisible(runs);
    reportButton_->setVisible(runs);
}

void frmErrarrLei::writeReport() {
    if (!source_.db || !source_.runner || !source_.asker || !source_.history) return;
    const QString title = QStringLiteral("检验报告");
    const std::shared_ptr<const History> history = source_.history();
    const int most = maxBacktestDraws(*history);
    if (most < 1) {
        source_.asker->warn(
            this, title,
            QStringLiteral(
                "历史号码少于三期，无法写检验报告：回测的每个期号前面都要有两期开奖号码。"));
        return;
    }
    const int draws = std::min(kReportDraws, most);
    const CalcRequest request = source_.request;
    Database& db = *source_.db;
    exporter_.exportFile(
        this, title, kReportFileName, kPositions + draws,
        [&, history](const std::string& path, const std::function<bool(int)>& progress) {
            WorkbookResult out;
            const ReportData data = gatherReport(db, *history, request, draws,
                                                 [&](int done, int) { return progress(done); });
            if (!data.ok) {
                out.message = data.message;
                return out;
            }
            // Written beside and renamed over: nothing half-written under the name.
            if (!writeReplacing(path, reportHtml(data))) {
                out.message = "无法写入 " + path + "，没有写检验报告。";
                return out;
            }
            out.ok = true;
            return out;
        });
}

void frmErrarrLei::runBacktest() {
    if (!source_.db || !source_.runner || !source_.asker) return;
    Asker& asker = *source_.asker;
    const QString title = QStringLiteral("方法回测");
    const std::shared_ptr<const History> history = source_.history();
    const int most = maxBacktestDraws(*history);
    if (most < 1) {
        asker.warn(
            this, title,
            QStringLiteral("历史号码少于三期，无法回测：每个回测的期号前面都要有两期开奖号码。"));
        return;
    }
    const auto answer =
        asker.askText(this, title, QStringLiteral("回测最近多少期（1 至 %1）：").arg(most),
                      QString::number(std::min(100, most)));
    if (!answer) return;
    const auto draws = parseWholeInteger(answer->trimmed().toStdString());
    if (!draws || *draws < 1 || *draws > most) {
        asker.warn(
            this, title,
            QStringLiteral("“%1”不是 1 至 %2 之间的整数期数，没有回测。").arg(*answer).arg(most));
        return;
    }
    const CalcRequest request = source_.request;
    Database& db = *source_.db;
    BacktestResult result;
    const WorkOutcome outcome = source_.runner->run(
        [&](Progress& work) {
            work.setTotal(*draws);
            result =
                backtest(db, *history, request, static_cast<int>(*draws), [&work](int done, int) {
                    work.step(done);
                    return !work.cancelled();
                });
        },
        true);
    if (!outcome.ran) return;
    const std::string error = outcome.failed ? "回测失败：" + outcome.error : std::string();
    if (!error.empty() || !result.ok) {
        tellNotDone(asker, this, title, result.cancelled,
                    QString::fromStdString(error.empty() ? result.message : error));
        return;
    }
    if (!backtest_) backtest_ = new BacktestWindow(this);
    const QString method =
        QStringLiteral("%1，%2，第 1 至 %3 位")
            .arg(request.best
                     ? QStringLiteral("最优公式法（保留 %1 个）").arg(request.sort.keepLimit)
                     : QStringLiteral("选定公式法"),
                 request.kill ? QStringLiteral("杀码") : QStringLiteral("留码"))
            .arg(request.currentPosition);
    backtest_->fill(std::move(result), method);
    backtest_->show();
    backtest_->raise();
    backtest_->activateWindow();
}

void frmErrarrLei::showVoteChart() {
    if (!voteChart_) voteChart_ = new VoteChartWindow(this);
    voteChart_->fill(lastPositions_, kill_, lastTarget_);
    voteChart_->chartPosition(tabs_->currentIndex() + 1);
    voteChart_->show();
    voteChart_->raise();
    voteChart_->activateWindow();
}

void frmErrarrLei::exportList() {
    const PositionVotes votes = lastVotes_;
    exporter_.exportFile(this, QStringLiteral("导出"), ExportNames::kResult, 0,
                         [&votes](const std::string& path, const std::function<bool(int)>&) {
                             return exportResultWorkbook(path, votes);
                         });
}

void frmErrarrLei::resortList(int position, int column) {
    if (position < 1 || position > shown_) return;
    Panel& p = panels_[position - 1];
    // Every click reverses the list, whichever column it lands on.
    p.reversed = !p.reversed;
    p.summary.rows = resort(p.summary.rows, column, p.reversed, kill_);
    showList(p, true);
}

void frmErrarrLei::showList(Panel& panel, bool resorted) {
    const std::vector<PositionSummary::Row>* rows = &panel.summary.rows;
    const int drawn = panel.drawn;
    const std::int32_t issue = lastTarget_;
    panel.listModel->reset(
        static_cast<int>(rows->size()), listHeaders(resorted),
        [rows, drawn, issue](int r, int c, int role) -> QVariant {
            const PositionSummary::Row& row = (*rows)[r];
            const bool isDrawn = drawn != 0 && row.number == drawn;
            switch (role) {
                case Qt::DisplayRole:
                    switch (c) {
                        case 0:
                            return r + 1;
                        case 1:
                            return row.number;
                        case 2:
                            return static_cast<qlonglong>(row.total);
                        case 3:
                            return static_cast<qlonglong>(row.kill);
                        case 4:
                            return static_cast<qlonglong>(row.keep);
                        default:
                            return row.keepMark ? QStringLiteral("保留") : QStringLiteral("滤杀");
                    }
                case Qt::ForegroundRole:
                    return QBrush(row.keepMark ? QColor(Qt::black) : kFilteredGreen);
                case Qt::BackgroundRole:
                    if (c == 1 && row.grey) return QBrush(kGrey);
                    if (isDrawn) return QBrush(kDrawnYellow);
                    return {};
                case Qt::FontRole:
                    if (isDrawn) {
                        QFont bold;
                        bold.setBold(true);
                        return bold;
                    }
                    return {};
                case Qt::ToolTipRole:
                    if (!isDrawn) return {};
                    // Kill: right when the drawn number was not filtered out;
                    // keep: right when it was kept.
                    return QStringLiteral("第%1期该位开出 %2，本次计算判为“%3”：%4")
                        .arg(issue)
                        .arg(row.number)
                        .arg(row.keepMark ? QStringLiteral("保留") : QStringLiteral("滤杀"))
                        .arg(row.keepMark ? QStringLiteral("判断正确")
                                          : QStringLiteral("判断错误"));
                case Qt::TextAlignmentRole:
                    return int(Qt::AlignCenter);
                default:
                    return {};
            }
        });
    setWidths(panel.list, kListWidths, 6);
    // As tall as its rows; the count summary takes the rest of the height.
    QTableView* list = panel.list;
    list->setFixedHeight(list->horizontalHeader()->sizeHint().height() +
                         list->verticalHeader()->defaultSectionSize() *
                             static_cast<int>(rows->size()) +
                         2 * list->frameWidth() + 2);
}

void frmErrarrLei::showCounts(Panel& panel) {
    const std::vector<PositionSummary::CountRow>* rows = &panel.summary.counts;
    panel.countModel->reset(
        static_cast<int>(rows->size()),
        {QStringLiteral("杀留次数"), QStringLiteral("个数"), QStringLiteral("项目")},
        [rows](int r, int c, int role) -> QVariant {
            const PositionSummary::CountRow& row = (*rows)[r];
            if (role == Qt::TextAlignmentRole)
                return int((c == 2 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
            if (role != Qt::DisplayRole) return {};
            if (c == 0) return static_cast<qlonglong>(row.count);
            if (c == 1) return row.numbers;
            return QString::fromStdString(row.list);
        });
    setWidths(panel.counts, kCountWidths, 3);
}

}  // namespace varnet
