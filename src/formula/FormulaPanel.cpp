#include "formula/FormulaPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_set>

#include "base/History.h"
#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "db/Database.h"
#include "formula/FilterWindow.h"
#include "formula/FormulaCommands.h"
#include "formula/FormulaListModel.h"
#include "formula/RateChartWindow.h"
#include "formula/RollingRate.h"
#include "history/HistoryModel.h"
#include "history/HistoryView.h"
#include "ui/Asker.h"
#include "ui/FlowLayout.h"
#include "ui/Launcher.h"
#include "ui/MainState.h"
#include "ui/ModelExport.h"
#include "ui/PositionKindSelector.h"
#include "ui/WorkRunner.h"

namespace varnet {

namespace {

const QString kVerifyTitle = QStringLiteral("公式验算");
const QString kDeleteTitle = QStringLiteral("删除公式");
const QString kClearTitle = QStringLiteral("清空所有公式");
const QString kSelectTooltip = QStringLiteral("执行公式列表中序号为蓝色的公式");
const QString kExportTitle = QStringLiteral("导出");

const QString kRateChartTitle = QStringLiteral("滚动正确率");

// The list's first columns only, for the workbook.
class FirstColumns : public QIdentityProxyModel {
  public:
    FirstColumns(int count, QObject* parent) : QIdentityProxyModel(parent), count_(count) {}
    int columnCount(const QModelIndex& parent = {}) const override {
        return std::min(count_, QIdentityProxyModel::columnCount(parent));
    }

  private:
    int count_;
};

}  // namespace

// What a verification on the worker produced.
struct FormulaPanel::Verified {
    int position = 1;
    bool kill = true;
    bool perDraw = false;
    std::vector<ListedFormula> list;
    std::vector<Score> scores;
    std::vector<PerDrawColumn> columns;
    bool cancelled = false;
    std::string error;
};

FormulaPanel::FormulaPanel(Database& db, MainState& state, std::string dataFolder, Host& host,
                           Exporter& exporter, Asker& asker, Launcher& launcher,
                           HistoryModel& historyModel, QWidget* parent)
    : QWidget(parent),
      db_(db),
      state_(state),
      dataFolder_(std::move(dataFolder)),
      host_(host),
      exporter_(exporter),
      asker_(asker),
      launcher_(launcher),
      historyModel_(historyModel),
      selection_(state.selectedFormulas, state.calcValues),
      textCommands_(db, state, dataFolder_, exporter, asker, launcher, this) {
    buildPanel();
    syncChoices();
}

FormulaPanel::~FormulaPanel() = default;

void FormulaPanel::buildPanel() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* choices = new QHBoxLayout;
    choices_ = new PositionKindSelector(this);
    // A click on the position already checked lists it anew too.
    connect(choices_, &PositionKindSelector::positionClicked, this,
            [this](int p) { idle([this, p] { selectPosition(p); }, [this] { syncChoices(); })(); });
    connect(choices_, &PositionKindSelector::kindChanged, this,
            [this](bool on) { idle([this, on] { setKill(on); }, [this] { syncChoices(); })(); });
    choices->addWidget(choices_->positionBox(), 1);
    choices->addWidget(choices_->kindBox());
    layout->addLayout(choices);

    formTabs_ = new QTabBar(this);
    formTabs_->setObjectName(QStringLiteral("TabStrip1"));
    formTabs_->addTab(QStringLiteral("公式中文显示"));
    formTabs_->addTab(QStringLiteral("公式英文显示"));
    connect(formTabs_, &QTabBar::currentChanged, this, [this](int tab) {
        // The list is filled anew, which selects every formula.
        model_->setChinese(tab == 0);
        model_->selectAll();
        listView_->showLastRows();
    });
    layout->addWidget(formTabs_);

    model_ = new FormulaListModel(state_, this);
    listView_ = new HistoryView(this);
    listView_->setObjectName(QStringLiteral("formulaList"));
    listView_->setModel(model_);
    listView_->setColumnWidthRule(&FormulaListModel::columnWidth);
    listView_->setToolTip(
        QStringLiteral("双击参数列可以以该参数次序排序，单击鼠标右键可以打开此表功能扩展菜单"));
    connect(listView_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == FormulaListModel::Formula) model_->toggleRow(index.row());
        if (index.column() == FormulaListModel::CalcValue) model_->markSameValue(index.row());
    });
    connect(listView_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { model_->sortByColumn(index.column()); });
    connect(listView_->horizontalHeader(), &QHeaderView::sectionDoubleClicked, model_,
            &FormulaListModel::sortByColumn);
    connect(listView_, &HistoryView::menuRequested, this, &FormulaPanel::showManageMenu);
    layout->addWidget(listView_, 1);

    perDrawBox_ = new QCheckBox(
        QStringLiteral("历史列表显示公式各期验算结果(时间较长，请耐性等待...)"), this);
    perDrawBox_->setObjectName(QStringLiteral("chkPerDraw"));
    connect(perDrawBox_, &QCheckBox::clicked, this, [this](bool on) {
        idle([this, on] { setPerDrawDisplay(on); },
             [this, on] {
                 const QSignalBlocker block(perDrawBox_);
                 perDrawBox_->setChecked(!on);
             })();
    });
    layout->addWidget(perDrawBox_);

    // Wraps, so that the half stays narrow enough for a laptop screen.
    auto* selectionRow = new FlowLayout;
    auto* selectAllButton = new QPushButton(QStringLiteral("选中所有公式"), this);
    selectAllButton->setObjectName(QStringLiteral("cmdSelectAll"));
    selectAllButton->setToolTip(kSelectTooltip);
    connect(selectAllButton, &QPushButton::clicked, this, &FormulaPanel::selectAll);
    auto* invertButton = new QPushButton(QStringLiteral("反选所有公式"), this);
    invertButton->setObjectName(QStringLiteral("cmdInvert"));
    invertButton->setToolTip(kSelectTooltip);
    connect(invertButton, &QPushButton::clicked, this, &FormulaPanel::invertSelection);
    auto* clearButton = new QPushButton(QStringLiteral("清空所有公式"), this);
    clearButton->setObjectName(QStringLiteral("cmdClearAll"));
    connect(clearButton, &QPushButton::clicked, this, idle([this] { clearAllFormulas(); }));
    auto* filterButton = new QPushButton(QStringLiteral("公式过滤设置"), this);
    filterButton->setObjectName(QStringLiteral("cmdFilter"));
    connect(filterButton, &QPushButton::clicked, this, idle([this] { showFilter(); }));
    selectionRow->addWidget(selectAllButton);
    selectionRow->addWidget(invertButton);
    selectionRow->addWidget(clearButton);
    selectionRow->addWidget(filterButton);
    auto* listedTextButton = new QPushButton(QStringLiteral("所选类公式中文导出"), this);
    listedTextButton->setObjectName(QStringLiteral("Command20"));
    connect(listedTextButton, &QPushButton::clicked, this, idle([this] { exportListedText(); }));
    auto* everyTextButton = new QPushButton(QStringLiteral("所有类公式中文导出"), this);
    everyTextButton->setObjectName(QStringLiteral("Command11"));
    connect(everyTextButton, &QPushButton::clicked, this, idle([this] { exportEveryText(); }));
    selectionRow->addWidget(listedTextButton);
    selectionRow->addWidget(everyTextButton);
    layout->addLayout(selectionRow);

    auto* entryRow = new QHBoxLayout;
    input_ = new QLineEdit(this);
    input_->setObjectName(QStringLiteral("txtIpt"));
    connect(input_, &QLineEdit::returnPressed, this, idle([this] { addFormula(); }));
    auto* addButton = new QPushButton(QStringLiteral("添加所输公式(&A)"), this);
    addButton->setObjectName(QStringLiteral("cmdAdd"));
    connect(addButton, &QPushButton::clicked, this, idle([this] { addFormula(); }));
    auto* readButton = new QPushButton(QStringLiteral("读取公式文本(&N)"), this);
    readButton->setObjectName(QStringLiteral("cmdReadFormula"));
    connect(readButton, &QPushButton::clicked, this, idle([this] { importFormulas(); }));
    entryRow->addWidget(input_, 1);
    entryRow->addWidget(addButton);
    entryRow->addWidget(readButton);
    auto* onlineButton = new QPushButton(QStringLiteral("公式在线更新（&W)"), this);
    onlineButton->setObjectName(QStringLiteral("cmdFormulaUpdate"));
    connect(onlineButton, &QPushButton::clicked, this, &FormulaPanel::onlineUpdateRequested);
    entryRow->addWidget(onlineButton);
    layout->addLayout(entryRow);

    manageMenu_ = new QMenu(QStringLiteral("管理"), this);
    manageMenu_->setObjectName(QStringLiteral("mnuGl"));
    QAction* workbookAction = manageMenu_->addAction(QStringLiteral("导出到EXCEL表格(&E)"));
    workbookAction->setObjectName(QStringLiteral("mnuExl"));
    auto* workbookColumns = new FirstColumns(FormulaListModel::Idx + 1, this);
    workbookColumns->setSourceModel(model_);
    workbookColumns_ = workbookColumns;
    connect(workbookAction, &QAction::triggered, this, [this] {
        exporter_.exportGrid(this, kExportTitle, *workbookColumns_, ExportNames::kFormulas);
    });
    stepsAction_ = manageMenu_->addAction(QStringLiteral("查询该公式历史计算式(&U)"));
    connect(stepsAction_, &QAction::triggered, this, [this] {
        if (menuRow_ < 0 || menuRow_ >= model_->size()) return;
        const FormulaRow& row = model_->list()[model_->listIndex(menuRow_)].row;
        emit stepsRequested(qs(row.code), qs(row.chinese));
    });
    deleteOneAction_ = manageMenu_->addAction(QStringLiteral("删除该公式(&D)"));
    connect(deleteOneAction_, &QAction::triggered, this, idle([this] { deleteFormula(menuRow_); }));
    connect(manageMenu_->addAction(QStringLiteral("删除选中所有公式(&C)")), &QAction::triggered,
            this, idle([this] { deleteSelected(); }));
    deleteLastAction_ = manageMenu_->addAction(QStringLiteral("删除最后公式(&E)"));
    connect(deleteLastAction_, &QAction::triggered, this,
            idle([this] { deleteLastFormula(menuRow_); }));
    connect(manageMenu_->addAction(QStringLiteral("删除未选中公式(&X)")), &QAction::triggered, this,
            idle([this] { deleteUnselected(); }));
    manageMenu_->addSeparator();
    rateChartAction_ = manageMenu_->addAction(QStringLiteral("该公式滚动正确率图(&R)"));
    rateChartAction_->setObjectName(QStringLiteral("mnuRateChart"));
    connect(rateChartAction_, &QAction::triggered, this, idle([this] { showRateChart(menuRow_); }));

    // Lives under the history grid; blocks start at 1, 501, 1001, ...
    columnBar_ = new QScrollBar(Qt::Horizontal, this);
    columnBar_->setObjectName(QStringLiteral("formulaColumnBar"));
    columnBar_->setRange(1, 1);
    columnBar_->setSingleStep(kBlock);
    columnBar_->setPageStep(kBlock);
    columnBar_->setTracking(false);  // one block verification per drag
    columnBar_->setToolTip(QStringLiteral("历史列表公式列：每段500个公式"));
    columnBar_->hide();
    connect(columnBar_, &QScrollBar::valueChanged, this,
            [this](int first) { idle([this, first] { showBlock(first); })(); });
}

void FormulaPanel::syncChoices() {
    const QSignalBlocker block(choices_);
    choices_->setPosition(state_.selectedPosition);
    choices_->setKill(state_.kill);
}

std::function<void()> FormulaPanel::idle(std::function<void()> command,
                                         std::function<void()> refused) {
    return [this, command = std::move(command), refused = std::move(refused)] {
        host_.runner().whenIdle(command, refused)();
    };
}

const std::unordered_set<std::int64_t>* FormulaPanel::selectionOf(int position, bool kill) const {
    if (selection_.isListed(position, kill)) return &state_.selectedFormulas;
    if (position < 1 || position > kPositions) return nullptr;
    const auto& left = state_.leftSelections[position];
    if (left && left->kill == kill) return &left->ids;
    return nullptr;
}

CountRule FormulaPanel::countRule() const {
    CountRule rule;
    rule.retrieval = state_.issueCount;
    rule.excludeCurrent = state_.excludeCurrent;
    rule.weighted = state_.weighted;
    rule.search = false;
    return rule;
}

// ---- verification ----

void FormulaPanel::Yansuan() {
    Carry keep;
    keep.fill = false;
    verify(keep);
}

void FormulaPanel::refresh() {
    Carry all;
    all.flags = Carry::Flags::All;
    verify(all);
}

void FormulaPanel::selectPosition(int position) {
    if (position < 1 || position > kPositions) {
        syncChoices();
        return;
    }
    state_.selectedPosition = position;
    syncChoices();
    historyModel_.setSelectedPosition(position);
    refresh();
}

void FormulaPanel::setKill(bool kill) {
    // The list, the calculation and the deletions all act on one kind: the
    // one chosen is listed at once.
    if (kill == state_.kill && selection_.listed() && selection_.listedKill() == kill) {
        syncChoices();
        return;
    }
    state_.kill = kill;
    syncChoices();
    refresh();
}

void FormulaPanel::verify(const Carry& carry) {
    Verified v;
    v.position = state_.selectedPosition;
    v.kill = state_.kill;
    v.perDraw = perDrawBox_->isChecked();
    const int first = columnBar_->value() - 1;
    const CountRule rule = countRule();
    const bool onCurrent = state_.resultColumn == ResultColumn::Canshu;
    const std::shared_ptr<const History> history = host_.currentHistory();
    const WorkOutcome outcome = host_.runner().run(
        [&](Progress& work) {
            v.list = loadFormulaList(db_, v.position, v.kill);
            work.setTotal(static_cast<long long>(v.list.size()));
            v.scores = scoreFormulaList(
                *history, v.list, v.position, rule,
                [&](int done) {
                    work.step(done);
                    return !work.cancelled();
                },
                &v.cancelled);
            if (v.perDraw && !v.cancelled)
                v.columns = perDrawBlock(*history, v.list, first, kBlock, v.position, onCurrent);
        },
        true);
    if (!outcome.ran) return;
    if (outcome.failed) v.error = outcome.error;
    apply(v, carry);
}

void FormulaPanel::apply(Verified& v, const Carry& carry) {
    if (!v.error.empty()) {
        // Say it once, then read again until it works: an empty list must not
        // pass for a table without formulas.
        if (!readFailed_)
            asker_.warn(this, kVerifyTitle,
                        QStringLiteral("无法读取公式表，公式列表没有改变：") + qs(v.error) +
                            QStringLiteral("\n稍后会自动重新读取。"));
        readFailed_ = true;
        retryRead(carry);
        return;
    }
    readFailed_ = false;
    if (auto left = selection_.fill(v.list, v.position, v.kill, carry, model_->list()))
        state_.leftSelections[left->position] =
            MainState::PositionSelection{left->kill, std::move(left->ids)};
    // A read-only data file (the start-up said so) shows the scores without
    // keeping them, rather than warning at every verification.
    if (!v.cancelled && db_.writable()) {
        try {
            if (const int changed = storeFormulaScores(db_, v.position, v.list, v.scores)) {
                // Another program changed the table while it was verified:
                // verify what it holds now, once.
                if (!carry.again) {
                    Carry again = carry;
                    again.again = true;
                    verify(again);
                    return;
                }
                asker_.warn(this, kVerifyTitle,
                            QStringLiteral("公式表在验算时被另一个程序改变，有 %1 条公式的验算"
                                           "结果没有保存，请再验算一次。")
                                .arg(changed));
            }
        } catch (const std::exception& e) {
            asker_.warn(this, kVerifyTitle,
                        QStringLiteral("验算结果无法保存到公式表：") + qs(e.what()));
        }
    }
    model_->setList(std::move(v.list), v.position, state_.weighted);
    selection_.setListed(v.position, v.kill);
    // A cancelled verification shows the list without new scores.
    if (!v.cancelled) model_->setScores(std::move(v.scores));
    fitWideColumns();
    if (carry.fill) listView_->showLastRows();
    updateColumnBar();
    if (v.perDraw && !v.cancelled)
        historyModel_.setFormulaColumns(std::move(v.columns),
                                        blockMoved_ ? HistoryModel::FormulaHeader::Block
                                                    : HistoryModel::FormulaHeader::Numbered);
    else
        historyModel_.clearFormulaColumns();
}

void FormulaPanel::retryRead(const Carry& carry) {
    QTimer::singleShot(kRetryMs, this, [this, carry] {
        if (!readFailed_) return;
        idle([this, carry] { verify(carry); }, [this, carry] { retryRead(carry); })();
    });
}

void FormulaPanel::fitWideColumns() {
    // Serial numbers past four digits and weighted sums of long histories
    // need more than the usual widths.
    const QFontMetrics metrics = listView_->fontMetrics();
    const int numberWidth = metrics.horizontalAdvance(QString::number(model_->size())) + 8;
    listView_->setColumnWidth(
        FormulaListModel::Number,
        std::max(FormulaListModel::columnWidth(FormulaListModel::Number), numberWidth));
    Score widest;
    for (int i = 0; i < model_->size(); ++i)
        if (const Score* s = model_->score(i)) widest.total = std::max(widest.total, s->total);
    widest.hits = widest.total;
    widest.rate = 100.0f;
    const int rateWidth = metrics.horizontalAdvance(qs(rateText(widest))) + 12;
    listView_->setColumnWidth(
        FormulaListModel::Rate,
        std::max(FormulaListModel::columnWidth(FormulaListModel::Rate), rateWidth));
}

void FormulaPanel::updateColumnBar() {
    const int n = model_->size();
    const int maximum = (std::max(0, n - 1) / kBlock) * kBlock + 1;
    const QSignalBlocker block(columnBar_);
    columnBar_->setRange(1, maximum);
}

void FormulaPanel::setPerDrawDisplay(bool on) {
    {
        const QSignalBlocker block(perDrawBox_);
        perDrawBox_->setChecked(on);
    }
    blockMoved_ = false;
    {
        const QSignalBlocker block(columnBar_);
        columnBar_->setValue(1);
    }
    columnBar_->setVisible(on);
    Yansuan();
}

void FormulaPanel::showBlock(int first) {
    if (!perDrawBox_->isChecked() || !selection_.listed()) return;
    blockMoved_ = true;
    const auto list = model_->sharedList();
    const int begin = std::clamp(first - 1, 0, std::max(0, model_->size() - 1));
    const int position = selection_.listedPosition();
    const CountRule rule = countRule();
    const bool onCurrent = state_.resultColumn == ResultColumn::Canshu;
    const std::shared_ptr<const History> history = host_.currentHistory();
    std::vector<Score> scores;
    std::vector<PerDrawColumn> columns;
    bool cancelled = false;
    const WorkOutcome outcome = host_.runner().run(
        [&](Progress& work) {
            const int end = std::min<int>(static_cast<int>(list->size()), begin + kBlock);
            const std::vector<ListedFormula> block(list->begin() + begin, list->begin() + end);
            work.setTotal(static_cast<long long>(block.size()));
            scores = scoreFormulaList(
                *history, block, position, rule,
                [&](int done) {
                    work.step(done);
                    return !work.cancelled();
                },
                &cancelled);
            if (!cancelled)
                columns = perDrawBlock(*history, *list, begin, kBlock, position, onCurrent);
        },
        true);
    if (!outcome.ran) return;
    if (outcome.failed) {
        asker_.warn(this, kVerifyTitle, QStringLiteral("无法验算这些公式：") + qs(outcome.error));
        return;
    }
    if (cancelled) return;
    // Shown, not stored: the stored scores are those of the whole list.
    model_->setBlockScores(begin, scores);
    historyModel_.setFormulaColumns(std::move(columns), HistoryModel::FormulaHeader::Block);
}

bool FormulaPanel::perDrawShown() const { return perDrawBox_->isChecked(); }

// ---- text exports ----

void FormulaPanel::exportListedText() {
    textCommands_.exportListed(*model_, [this] { formTabs_->setCurrentIndex(0); });
}

void FormulaPanel::exportEveryText() {
    textCommands_.exportEvery(*host_.currentHistory(), countRule(),
                              [this] { formTabs_->setCurrentIndex(0); });
}

// ---- selection ----

void FormulaPanel::selectAll() { model_->selectAll(); }

void FormulaPanel::invertSelection() { model_->invertSelection(); }

void FormulaPanel::showFilter() {
    if (!filter_) {
        filter_ = new frmGSGuolv(*model_, asker_, window());
        filter_->setWindowModality(Qt::ApplicationModal);
    }
    filter_->show();
    filter_->raise();
    filter_->activateWindow();
}

// ---- entry and import ----

void FormulaPanel::addFormula() {
    const std::string text = input_->text().toStdString();
    if (input_->text().trimmed().isEmpty()) {
        asker_.warn(this, qs(FormulaCommands::kEmptyEntryTitle),
                    qs(FormulaCommands::kEmptyEntryText));
        input_->setFocus();
        return;
    }
    const auto result = FormulaCommands(db_).add(text, state_.selectedPosition, state_.kill);
    if (!result.ok) {
        asker_.warn(this, qs(result.title), qs(result.message));
        input_->setFocus();
        return;
    }
    state_.kill = result.kill;
    syncChoices();
    input_->clear();
    refresh();
}

void FormulaPanel::importFormulas() {
    const auto result = textCommands_.import(host_.runner());
    if (!result) return;
    state_.kill = result->kill;
    syncChoices();
    if (result->appended > 0) input_->clear();
    refresh();
    textCommands_.offerReport(*result);
}

// ---- deletion ----

void FormulaPanel::showManageMenu(const QPoint& globalPos) {
    const QModelIndex at = listView_->indexAt(listView_->viewport()->mapFromGlobal(globalPos));
    menuRow_ = at.isValid() ? at.row() : -1;
    // The single-formula entries need a formula under the pointer.
    stepsAction_->setEnabled(menuRow_ >= 0);
    deleteOneAction_->setEnabled(menuRow_ >= 0);
    deleteLastAction_->setEnabled(menuRow_ >= 0);
    rateChartAction_->setEnabled(menuRow_ >= 0);
    manageMenu_->popup(globalPos);
}

FormulaPanel::Carry FormulaPanel::priorWithout(const std::vector<int>& deletedIndexes,
                                               Carry::Flags flags) const {
    std::vector<bool> selected(model_->list().size());
    for (std::size_t i = 0; i < selected.size(); ++i)
        selected[i] = model_->isSelected(static_cast<int>(i));
    Carry carry;
    static_cast<FormulaSelection::Carry&>(carry) =
        selection_.priorWithout(model_->list(), selected, deletedIndexes, flags);
    return carry;
}

void FormulaPanel::deleteIdxs(const std::vector<int>& idxs, const Carry& carry) {
    if (!idxs.empty()) {
        FormulaCommands::Result result;
        const int position = selection_.listedPosition();
        const WorkOutcome outcome = host_.runner().run(
            [&](Progress&) { result = FormulaCommands(db_).deleteFormulas(position, idxs); },
            false);
        if (!outcome.ran) return;
        if (outcome.failed) {
            result.ok = false;
            result.message = "删除失败，公式没有改变：" + outcome.error;
        }
        if (!result.ok) {
            asker_.warn(this, kDeleteTitle, qs(result.message));
            return;
        }
    }
    verify(carry);
}

void FormulaPanel::deleteFormula(int row) {
    if (row < 0 || row >= model_->size()) return;
    const int i = model_->listIndex(row);
    const auto idx = model_->list()[i].row.idx;
    if (!idx) return;
    deleteIdxs({*idx}, priorWithout({i}, Carry::Flags::ByContent));
}

void FormulaPanel::deleteLastFormula(int row) {
    if (row < 0 || row >= model_->size()) return;
    const int i = model_->listIndex(row);
    const auto idx = model_->list()[i].row.idx;
    if (!idx) return;
    // The flags stay where they are, row by row.
    deleteIdxs({*idx}, priorWithout({i}, Carry::Flags::ByPosition));
}

void FormulaPanel::deleteSelected() {
    deleteBySelection(true, QStringLiteral("确实要删除选中的所有公式(公式列表序号蓝色表示)吗?"));
}

void FormulaPanel::deleteUnselected() {
    deleteBySelection(false, QStringLiteral("确实要删除选未中的所有公式(公式列表序号灰色表示)吗?"));
}

void FormulaPanel::deleteBySelection(bool selected, const QString& question) {
    if (!asker_.confirm(this, kDeleteTitle, question)) return;
    std::vector<int> idxs, indexes;
    for (int i = 0; i < model_->size(); ++i)
        if (model_->isSelected(i) == selected && model_->list()[i].row.idx) {
            idxs.push_back(*model_->list()[i].row.idx);
            indexes.push_back(i);
        }
    deleteIdxs(idxs, priorWithout(indexes, Carry::Flags::All));
}

void FormulaPanel::clearAllFormulas() {
    if (!asker_.confirm(this, kClearTitle,
                        QStringLiteral("清空所有公式后将无法恢复，是否清空所有类别的公式？")))
        return;
    FormulaCommands::Result result;
    const WorkOutcome outcome =
        host_.runner().run([&](Progress&) { result = FormulaCommands(db_).clearAll(); }, false);
    if (!outcome.ran) return;
    if (outcome.failed) {
        result.ok = false;
        result.message = "清空失败，公式没有改变：" + outcome.error;
    }
    if (!result.ok) {
        asker_.warn(this, kClearTitle, qs(result.message));
        return;
    }
    // Row ids of emptied tables come back for new formulas.
    for (auto& left : state_.leftSelections) left.reset();
    refresh();
}

// ---- charts ----

void FormulaPanel::showRateChart(int row) {
    if (row < 0 || row >= model_->size()) return;
    const int i = model_->listIndex(row);
    const ListedFormula& f = model_->list()[i];
    if (!f.program) {
        asker_.warn(this, kRateChartTitle,
                    QStringLiteral("该公式无法解析，不能作图：") + qs(f.parseError));
        return;
    }
    const std::shared_ptr<const History> history = host_.currentHistory();
    const auto block =
        perDrawBlock(*history, model_->list(), i, 1, selection_.listedPosition(), false);
    if (block.empty() || !block[0].valid) {
        asker_.warn(this, kRateChartTitle,
                    QStringLiteral("该公式在历史号码上无法计算（除数为零或数值越界），不能作图。"));
        return;
    }
    const auto& marks = block[0].marks;
    const int marked = static_cast<int>(
        std::count_if(marks.begin(), marks.end(), [](auto m) { return m != PerDrawColumn::None; }));
    RateChartWindow::Data data;
    data.window = rollingWindow(state_.issueCount, marked);
    if (data.window <= 0) {
        asker_.warn(this, kRateChartTitle,
                    QStringLiteral("历史号码不足三期，没有可验算的期，不能作图。"));
        return;
    }
    data.formula = qs(model_->chinese() ? f.row.chinese : f.row.code);
    data.positionName = qs(ParameterNames::positionName(selection_.listedPosition()));
    data.kill = f.row.kill;
    data.retrieval = state_.issueCount;
    data.markedRows = marked;
    data.firstIssue = history->issue(0);
    data.lastIssue = history->issue(history->size() - 1);
    data.points = rollingHitRate(marks, data.window);
    if (!rateChart_) rateChart_ = new RateChartWindow(window());
    rateChart_->showData(data);
    rateChart_->show();
    rateChart_->raise();
    rateChart_->activateWindow();
}

}  // namespace varnet
