#include "search/SearchWindow.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "base/Paths.h"
#include "formula/FormulaExport.h"
#include "db/FormulaTable.h"
#include "engine/Significance.h"
#include "base/History.h"
#include "base/NumericText.h"
#include "base/ParameterNames.h"
#include "search/SearchSettings.h"
#include "ui/Asker.h"
#include "ui/ModelExport.h"

namespace varnet {

namespace {

const char* const kStatNames[5] = {"正确率", "最大连错", "最大连对", "最后连错", "最后连对"};
const QString kSavedTitle = QStringLiteral("追加公式");
const QString kSettingsTitle = QStringLiteral("公式参数");
const QString kPlanTitle = QStringLiteral("公式自动搜索方案设置");
const QString kExportTitle = QStringLiteral("公式中文导出");
const QString kTuneAllTitle = QStringLiteral("更新参数默认设置");
const QString kTuneTitle = QStringLiteral("公式参数智能设置");
const QString kTuneAllQuestion = QStringLiteral(
    "此操作将耗时一分钟到数分钟自动搜索分析各类公式并分析其参数值，归纳出相对参数较高的数值为设置"
    "软件各类公式搜索的默认值，操作后各类公式搜索默认值将改变，是否确认更改搜索默认值？");

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The shortest text that reads back as the same single-precision value
// ("93.6", not "93.5999985").
QString floatText(double v) { return QString::fromStdString(singleText(v)); }

QString boundName(int box) {
    return box % 2 == 0 ? QStringLiteral("下限") : QStringLiteral("上限");
}

// A bound that cannot stand, named by its box as typed, and that box.
std::optional<std::pair<int, QString>> thresholdFault(const Thresholds& t,
                                                      const std::array<QLineEdit*, 10>& boxes) {
    const auto f = checkThresholds(t);
    if (!f) return std::nullopt;
    const QString name = QString::fromUtf8(kStatNames[f->box / 2]);
    if (f->kind == ThresholdFault::RateOutOfRange)
        return std::pair{f->box, QStringLiteral("%1的%2“%3”不在0到100之间，")
                                     .arg(name, boundName(f->box), boxes[f->box]->text())};
    return std::pair{f->box, QStringLiteral("%1的下限“%2”大于上限“%3”，")
                                 .arg(name, boxes[f->box]->text(), boxes[f->box + 1]->text())};
}

// Shown from its start: a box scrolled to the cursor at the end hides the
// leading digits of a long value.
void showValue(QLineEdit* box, const QString& text) {
    box->setText(text);
    box->setCursorPosition(0);
}

// A box that must hold a number, and nothing else.
std::optional<double> strictNumber(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

QString positionName(int p) { return qs(ParameterNames::positionName(p)); }

// The end of an all-positions tuning. The positions are done and stored in
// order, so those stored are the first `done`.
QString tunedAllText(int done, bool kill) {
    const QString kind = kill ? QStringLiteral("杀") : QStringLiteral("生");
    if (done == 10)
        return QStringLiteral("参数检索完毕，十个位数的%1码参数已更改并保存。").arg(kind);
    if (done == 0) return QStringLiteral("参数检索已取消，没有参数被更改。");
    QStringList names;
    for (int p = 1; p <= done; ++p) names << positionName(p);
    return QStringLiteral("参数检索已取消。%1位的%2码参数已更改并保存，其余位数的参数没有改变。")
        .arg(names.join(QStringLiteral("、")), kind);
}

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

QLineEdit* displayBox(QWidget* parent, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    return box;
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
    showExistingTotal();
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
    if (worker_) {
        cancel_ = true;
        worker_->join();
    }
}

void frmGSGL::build() {
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* middle = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    outer->addLayout(left);
    outer->addLayout(middle, 1);
    outer->addLayout(right);

    // Position and kind.
    auto* positionGroup = new QGroupBox(QStringLiteral("位数选择"), this);
    auto* positionGrid = new QGridLayout(positionGroup);
    for (int p = 1; p <= 10; ++p) {
        auto* b = new QRadioButton(positionName(p), positionGroup);
        b->setObjectName(QStringLiteral("optPosition%1").arg(p));
        positionGrid->addWidget(b, (p - 1) / 5, (p - 1) % 5);
        connect(b, &QRadioButton::clicked, this, [this, p] { selectPosition(p); });
        positionButtons_[p - 1] = b;
    }
    positionButtons_[0]->setChecked(true);
    left->addWidget(positionGroup);

    auto* row = new QHBoxLayout;
    auto* kindGroup = new QGroupBox(QStringLiteral("生杀"), this);
    auto* kindLayout = new QHBoxLayout(kindGroup);
    killButton_ = new QRadioButton(QStringLiteral("杀"), kindGroup);
    killButton_->setObjectName(QStringLiteral("optKill"));
    killButton_->setChecked(true);
    keepButton_ = new QRadioButton(QStringLiteral("生"), kindGroup);
    keepButton_->setObjectName(QStringLiteral("optKeep"));
    kindLayout->addWidget(killButton_);
    kindLayout->addWidget(keepButton_);
    connect(killButton_, &QRadioButton::clicked, this, [this] { selectKind(true); });
    connect(keepButton_, &QRadioButton::clicked, this, [this] { selectKind(false); });
    row->addWidget(kindGroup);

    auto* shapeGroup = new QGroupBox(QStringLiteral("公式形式"), this);
    auto* shapeLayout = new QHBoxLayout(shapeGroup);
    prefixButton_ = new QRadioButton(QStringLiteral("[Xxx类]A+B"), shapeGroup);
    prefixButton_->setObjectName(QStringLiteral("optPrefix"));
    prefixButton_->setChecked(true);
    suffixButton_ = new QRadioButton(QStringLiteral("A+B=下期杀xx"), shapeGroup);
    suffixButton_->setObjectName(QStringLiteral("optSuffix"));
    shapeLayout->addWidget(prefixButton_);
    shapeLayout->addWidget(suffixButton_);
    row->addWidget(shapeGroup);
    left->addLayout(row);

    // Operands and constant.
    row = new QHBoxLayout;
    auto* operandGroup = new QGroupBox(QStringLiteral("公式元数"), this);
    auto* operandLayout = new QHBoxLayout(operandGroup);
    operandLayout->addWidget(new QLabel(QStringLiteral("公式运算元数"), operandGroup));
    operandSlider_ = new QSlider(Qt::Horizontal, operandGroup);
    operandSlider_->setObjectName(QStringLiteral("operandSlider"));
    operandSlider_->setMinimumWidth(100);  // squeezed to a dot by the boxes beside it
    operandSlider_->setRange(2, 24);
    operandSlider_->setValue(SearchSettings::kDefaultOperands);
    operandBox_ = new QLineEdit(QString::number(SearchSettings::kDefaultOperands), operandGroup);
    operandBox_->setObjectName(QStringLiteral("operandBox"));
    operandBox_->setMaximumWidth(40);
    operandLayout->addWidget(operandSlider_, 1);
    operandLayout->addWidget(operandBox_);
    connect(operandSlider_, &QSlider::valueChanged, this, [this](int v) {
        operandBox_->setText(QString::number(v));
        if (!loading_) SearchSettings(store_).setOperands(position_, v);
    });
    connect(operandBox_, &QLineEdit::editingFinished, this, [this] {
        const auto n = parseWholeInteger(operandBox_->text().toStdString());
        if (n && *n >= 2 && *n <= 24)
            operandSlider_->setValue(static_cast<int>(*n));
        else
            operandBox_->setText(QString::number(operandSlider_->value()));
    });
    row->addWidget(operandGroup, 1);

    auto* constantGroup = new QGroupBox(QStringLiteral("公式末尾偏移常数"), this);
    auto* constantLayout = new QHBoxLayout(constantGroup);
    fixedButton_ = new QRadioButton(QStringLiteral("指定"), constantGroup);
    fixedButton_->setObjectName(QStringLiteral("optFixed"));
    fixedButton_->setChecked(true);
    randomButton_ = new QRadioButton(QStringLiteral("随机"), constantGroup);
    randomButton_->setObjectName(QStringLiteral("optRandom"));
    constantBox_ = new QLineEdit(QStringLiteral("0"), constantGroup);
    constantBox_->setObjectName(QStringLiteral("constantBox"));
    constantBox_->setMaximumWidth(60);
    constantLayout->addWidget(fixedButton_);
    constantLayout->addWidget(randomButton_);
    constantLayout->addWidget(constantBox_);
    row->addWidget(constantGroup);
    left->addLayout(row);

    // Thresholds and the statistics of the candidate shown.
    row = new QHBoxLayout;
    auto* thresholdGroup = new QGroupBox(QStringLiteral("公式参数"), this);
    auto* thresholdGrid = new QGridLayout(thresholdGroup);
    for (int s = 0; s < 5; ++s) {
        thresholdGrid->addWidget(new QLabel(QString::fromUtf8(kStatNames[s]), thresholdGroup), s,
                                 0);
        for (int b = 0; b < 2; ++b) {
            auto* box = new QLineEdit(thresholdGroup);
            box->setObjectName(QStringLiteral("threshold%1").arg(2 * s + b));
            // Wide enough for a tuned rate with all its digits; narrower, the
            // box scrolls to its end and hides the leading ones.
            const int wide =
                box->fontMetrics().horizontalAdvance(QStringLiteral("99.9999999")) + 16;
            box->setMinimumWidth(wide);
            box->setMaximumWidth(std::max(80, wide));
            thresholdBoxes_[2 * s + b] = box;
            thresholdGrid->addWidget(box, s, 1 + 2 * b);
        }
        thresholdGrid->addWidget(new QLabel(QStringLiteral("到"), thresholdGroup), s, 2);
    }
    auto* saveThresholdsButton = new QPushButton(QStringLiteral("保存当前种类参数设置"), this);
    saveThresholdsButton->setObjectName(QStringLiteral("cmdSaveThresholds"));
    connect(saveThresholdsButton, &QPushButton::clicked, this, &frmGSGL::saveThresholds);
    thresholdGrid->addWidget(saveThresholdsButton, 5, 0, 1, 4);
    row->addWidget(thresholdGroup);

    auto* statGroup = new QGroupBox(QStringLiteral("当前公式参数值"), this);
    auto* statLayout = new QVBoxLayout(statGroup);
    for (int s = 0; s < 5; ++s) {
        statBoxes_[s] = displayBox(statGroup, QStringLiteral("stat%1").arg(s));
        statBoxes_[s]->setMaximumWidth(90);
        statLayout->addWidget(statBoxes_[s]);
    }
    statSignificance_ = displayBox(statGroup, QStringLiteral("statSignificance"));
    statSignificance_->setMaximumWidth(90);
    statSignificance_->setToolTip(FindsModel::significanceTip());
    statLayout->addWidget(new QLabel(QStringLiteral("显著性"), statGroup));
    statLayout->addWidget(statSignificance_);
    row->addWidget(statGroup);
    left->addLayout(row);

    // Tuning.
    auto* tuneGroup = new QGroupBox(QStringLiteral("公式参数智能设置"), this);
    auto* tuneLayout = new QGridLayout(tuneGroup);
    auto* tuneCurrentButton =
        new QPushButton(QStringLiteral("当前公式类在指定范围内检索最优参数设置"), tuneGroup);
    tuneCurrentButton->setObjectName(QStringLiteral("cmdTuneCurrent"));
    connect(tuneCurrentButton, &QPushButton::clicked, this, &frmGSGL::tuneCurrent);
    auto* tuneAllButton =
        new QPushButton(QStringLiteral("所有公式类在指定范围内检索最优参数设置并保存"), tuneGroup);
    tuneAllButton->setObjectName(QStringLiteral("cmdTuneAll"));
    connect(tuneAllButton, &QPushButton::clicked, this, &frmGSGL::tuneAll);
    sampleSlider_ = new QSlider(Qt::Horizontal, tuneGroup);
    sampleSlider_->setObjectName(QStringLiteral("sampleSlider"));
    sampleSlider_->setRange(20, 1000);
    sampleSlider_->setSingleStep(20);
    sampleSlider_->setPageStep(100);
    sampleBox_ = displayBox(tuneGroup, QStringLiteral("sampleBox"));
    sampleBox_->setText(QStringLiteral("20"));
    sampleBox_->setMaximumWidth(50);
    connect(sampleSlider_, &QSlider::valueChanged, this,
            [this](int v) { sampleBox_->setText(QString::number(v)); });
    tuneProgress_ = new QProgressBar(tuneGroup);
    tuneProgress_->setObjectName(QStringLiteral("tuneProgress"));
    tuneProgress_->hide();
    tuneCancel_ = new QPushButton(QStringLiteral("取消"), tuneGroup);
    tuneCancel_->setObjectName(QStringLiteral("cmdTuneCancel"));
    tuneCancel_->hide();
    connect(tuneCancel_, &QPushButton::clicked, this, [this] { cancel_ = true; });
    tuneLayout->addWidget(tuneCurrentButton, 0, 0, 1, 2);
    tuneLayout->addWidget(tuneAllButton, 1, 0, 1, 2);
    tuneLayout->addWidget(sampleSlider_, 2, 0);
    tuneLayout->addWidget(sampleBox_, 2, 1);
    tuneLayout->addWidget(tuneProgress_, 3, 0);
    tuneLayout->addWidget(tuneCancel_, 3, 1);
    left->addWidget(tuneGroup);
    left->addStretch(1);

    // The search, its displays and the result list.
    row = new QHBoxLayout;
    startButton_ = new QPushButton(QStringLiteral("开始搜索(&F)"), this);
    startButton_->setObjectName(QStringLiteral("cmdStart"));
    connect(startButton_, &QPushButton::clicked, this, &frmGSGL::startSearch);
    pauseButton_ = new QPushButton(QStringLiteral("暂停搜索(&E)"), this);
    pauseButton_->setObjectName(QStringLiteral("cmdPause"));
    connect(pauseButton_, &QPushButton::clicked, this, &frmGSGL::pauseSearch);
    limitCheck_ = new QCheckBox(QStringLiteral("自动中止"), this);
    limitCheck_->setObjectName(QStringLiteral("chkLimit"));
    limitBox_ = new QLineEdit(QStringLiteral("50"), this);
    limitBox_->setObjectName(QStringLiteral("limitBox"));
    limitBox_->setFixedWidth(limitBox_->fontMetrics().horizontalAdvance(QStringLiteral("999999999")) + 16);
    row->addWidget(startButton_);
    row->addWidget(pauseButton_);
    row->addWidget(limitCheck_);
    row->addWidget(limitBox_);
    row->addWidget(new QLabel(QStringLiteral("条"), this));
    row->addSpacing(12);
    auto* holdOutLabel = new QLabel(QStringLiteral("留出期数"), this);
    holdOutBox_ = new QSpinBox(this);
    holdOutBox_->setObjectName(QStringLiteral("holdOutBox"));
    holdOutBox_->setRange(0, 10000000);
    holdOutBox_->setSpecialValueText(QStringLiteral("不留出"));
    const QString holdOutTip = QStringLiteral(
        "留出最后若干期不参与搜索：公式只在这之前的期数上挑选，再看它们在留出期中的命中率。"
        "0 = 不留出。");
    holdOutLabel->setToolTip(holdOutTip);
    holdOutBox_->setToolTip(holdOutTip);
    row->addWidget(holdOutLabel);
    row->addWidget(holdOutBox_);
    row->addStretch(1);
    middle->addLayout(row);

    auto* counters = new QGridLayout;
    counters->addWidget(new QLabel(QStringLiteral("当前验证公式数"), this), 0, 0);
    verifiedBox_ = displayBox(this, QStringLiteral("verifiedBox"));
    counters->addWidget(verifiedBox_, 0, 1);
    counters->addWidget(new QLabel(QStringLiteral("检索合格公式数               合格"), this), 1,
                        0);
    qualifiedBox_ = displayBox(this, QStringLiteral("qualifiedBox"));
    qualifiedBox_->setText(QStringLiteral("0"));
    counters->addWidget(qualifiedBox_, 1, 1);
    middle->addLayout(counters);
    holdOutSummary_ = new QLabel(this);
    holdOutSummary_->setObjectName(QStringLiteral("holdOutSummary"));
    holdOutSummary_->setWordWrap(true);
    holdOutSummary_->setToolTip(QStringLiteral(
        "机会合格数：同样的候选公式在留出期之前的各期打乱先后次序后（号码的出现频率不变，"
        "期与期之间的规律被打乱）合格的个数，即单凭机会能得到的合格数。\n"
        "留出期平均正确率：合格公式在留出期中命中率的平均值 ± 标准误，对照机会基线。\n"
        "显著性：所有合格公式在留出期中的命中次数合在一起的二项分布单侧尾概率；"
        "合格公式之间常常相似、同时命中，并不独立，所以它会夸大证据。"));
    holdOutSummary_->hide();
    middle->addWidget(holdOutSummary_);
    currentBox_ = displayBox(this, QStringLiteral("currentBox"));
    middle->addWidget(currentBox_);

    results_ = new FindsModel(this);
    resultView_ = new QTableView(this);
    resultView_->setObjectName(QStringLiteral("resultList"));
    resultView_->setModel(results_);
    resultView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultView_->setWordWrap(false);
    resultView_->verticalHeader()->hide();
    resultView_->verticalHeader()->setDefaultSectionSize(resultView_->fontMetrics().height() + 4);
    resultView_->horizontalHeader()->setSectionResizeMode(FindsModel::Formula,
                                                          QHeaderView::Stretch);
    // The figures keep the width of their widest text; the formula takes the rest.
    const char* const widest[] = {"", "100.0000%", "100.00% (10000/10000)", "<1e-300"};
    for (int c = FindsModel::Rate; c < FindsModel::ColumnCount; ++c) {
        resultView_->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Fixed);
        const int text = resultView_->fontMetrics().horizontalAdvance(QString::fromLatin1(widest[c]));
        const int header = resultView_->horizontalHeader()->fontMetrics().horizontalAdvance(
            results_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        resultView_->setColumnWidth(c, std::max(text, header) + 16);
    }
    // The formulas keep about half of it on a 1280-pixel screen.
    resultView_->setMinimumWidth(560);
    middle->addWidget(resultView_, 1);

    row = new QHBoxLayout;
    auto* appendButton = new QPushButton(QStringLiteral("公式追加到数据库(&A)"), this);
    appendButton->setObjectName(QStringLiteral("cmdAppend"));
    appendButton->setToolTip(
        QStringLiteral("保留软件现有公式然后将所有合格公式追加到软件数据库。"));
    connect(appendButton, &QPushButton::clicked, this, [this] { saveResults(false); });
    auto* replaceButton = new QPushButton(QStringLiteral("公式更新到数据库(&N)"), this);
    replaceButton->setObjectName(QStringLiteral("cmdReplace"));
    replaceButton->setToolTip(
        QStringLiteral("删除软件现有公式然后将所有合格公式添加到软件数据库。"));
    connect(replaceButton, &QPushButton::clicked, this, [this] { saveResults(true); });
    auto* exportButton = new QPushButton(QStringLiteral("公式中文导出"), this);
    exportButton->setObjectName(QStringLiteral("cmdExport"));
    connect(exportButton, &QPushButton::clicked, this, &frmGSGL::exportResults);
    row->addWidget(appendButton);
    row->addWidget(replaceButton);
    row->addWidget(exportButton);
    middle->addLayout(row);

    // The scheme.
    auto* schemeGroup = new QGroupBox(QStringLiteral("公式自动搜索方案设置"), this);
    auto* schemeLayout = new QVBoxLayout(schemeGroup);
    auto* planGrid = new QGridLayout;
    for (int p = 1; p <= 10; ++p) {
        auto* label = new QLabel(positionName(p), schemeGroup);
        label->setObjectName(QStringLiteral("planLabel%1").arg(p));
        auto* box = new QLineEdit(schemeGroup);
        box->setObjectName(QStringLiteral("plan%1").arg(p));
        // A plan of up to nine digits shows whole.
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("999999999")) + 16);
        connect(box, &QLineEdit::editingFinished, this, &frmGSGL::recomputeTotal);
        auto* existing = new QLabel(schemeGroup);
        existing->setObjectName(QStringLiteral("existing%1").arg(p));
        existing->setMinimumWidth(40);
        planGrid->addWidget(label, p - 1, 0);
        planGrid->addWidget(box, p - 1, 1);
        planGrid->addWidget(existing, p - 1, 2);
        planLabels_[p - 1] = label;
        planBoxes_[p - 1] = box;
        existingLabels_[p - 1] = existing;
    }
    schemeLayout->addLayout(planGrid);
    addModeButton_ = new QRadioButton(QStringLiteral("公式新增数量"), schemeGroup);
    addModeButton_->setObjectName(QStringLiteral("optAddMode"));
    addModeButton_->setChecked(true);
    holdModeButton_ = new QRadioButton(QStringLiteral("公式保有数量"), schemeGroup);
    holdModeButton_->setObjectName(QStringLiteral("optHoldMode"));
    connect(addModeButton_, &QRadioButton::clicked, this, [this] { chooseMode(false); });
    connect(holdModeButton_, &QRadioButton::clicked, this, [this] { chooseMode(true); });
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(addModeButton_);
    modeRow->addWidget(holdModeButton_);
    schemeLayout->addLayout(modeRow);
    autoReplace_ = new QCheckBox(QStringLiteral("搜索完毕公式自动更新到数据库"), schemeGroup);
    autoReplace_->setObjectName(QStringLiteral("chkAutoReplace"));
    autoReplace_->setChecked(true);
    autoAppend_ = new QCheckBox(QStringLiteral("搜索完毕公式自动追加到数据库"), schemeGroup);
    autoAppend_->setObjectName(QStringLiteral("chkAutoAppend"));
    connect(autoReplace_, &QCheckBox::clicked, this, [this] { chooseAutoSave(autoReplace_); });
    connect(autoAppend_, &QCheckBox::clicked, this, [this] { chooseAutoSave(autoAppend_); });
    schemeLayout->addWidget(autoReplace_);
    schemeLayout->addWidget(autoAppend_);
    auto* totalRow = new QHBoxLayout;
    totalRow->addWidget(new QLabel(QStringLiteral("公式总保有量"), schemeGroup));
    totalLabel_ = new QLabel(schemeGroup);
    totalLabel_->setObjectName(QStringLiteral("totalLabel"));
    totalRow->addWidget(totalLabel_, 1);
    schemeLayout->addLayout(totalRow);
    auto* planButtons = new QGridLayout;
    auto* loadPlanButton = new QPushButton(QStringLiteral("调用设置"), schemeGroup);
    loadPlanButton->setObjectName(QStringLiteral("cmdLoadPlan"));
    connect(loadPlanButton, &QPushButton::clicked, this, &frmGSGL::loadPlan);
    auto* savePlanButton = new QPushButton(QStringLiteral("保存设置"), schemeGroup);
    savePlanButton->setObjectName(QStringLiteral("cmdSavePlan"));
    connect(savePlanButton, &QPushButton::clicked, this, &frmGSGL::savePlan);
    schemeStartButton_ = new QPushButton(QStringLiteral("确定搜索方案开始搜索"), schemeGroup);
    schemeStartButton_->setObjectName(QStringLiteral("cmdScheme"));
    connect(schemeStartButton_, &QPushButton::clicked, this, &frmGSGL::startScheme);
    schemePauseButton_ = new QPushButton(QStringLiteral("暂停"), schemeGroup);
    schemePauseButton_->setObjectName(QStringLiteral("cmdSchemePause"));
    connect(schemePauseButton_, &QPushButton::clicked, this, &frmGSGL::pauseScheme);
    schemeContinueButton_ = new QPushButton(QStringLiteral("继续"), schemeGroup);
    schemeContinueButton_->setObjectName(QStringLiteral("cmdSchemeContinue"));
    connect(schemeContinueButton_, &QPushButton::clicked, this, &frmGSGL::continueScheme);
    planButtons->addWidget(loadPlanButton, 0, 0);
    planButtons->addWidget(savePlanButton, 0, 1);
    planButtons->addWidget(schemeStartButton_, 1, 0, 1, 2);
    planButtons->addWidget(schemePauseButton_, 2, 0);
    planButtons->addWidget(schemeContinueButton_, 2, 1);
    schemeLayout->addLayout(planButtons);
    right->addWidget(schemeGroup);
    right->addStretch(1);

    idleOnly_ = {startButton_, schemeStartButton_, schemeContinueButton_, tuneCurrentButton,
                 tuneAllButton};
    // The position and kind a search works on stay put while it runs.
    idleOnly_.insert(idleOnly_.end(), positionButtons_.begin(), positionButtons_.end());
    idleOnly_.push_back(killButton_);
    idleOnly_.push_back(keepButton_);
}

// ---- settings ----

void frmGSGL::countExisting() {
    for (int p = 1; p <= 10; ++p) {
        existing_[p - 1] = FormulaTable(db_, p).count();
        existingLabels_[p - 1]->setText(QString::number(existing_[p - 1]));
    }
    recomputeTotal();
}

void frmGSGL::showExistingTotal() {
    long long total = 0;
    for (int n : existing_) total += n;
    totalLabel_->setText(QString::number(total));
}

void frmGSGL::selectPosition(int p) {
    position_ = p;
    positionButtons_[p - 1]->setChecked(true);
    showStored();
}

void frmGSGL::selectKind(bool kill) {
    kill_ = kill;
    (kill ? killButton_ : keepButton_)->setChecked(true);
    showStored();
}

void frmGSGL::showStored() {
    SearchSettings stored(store_);
    const Thresholds t = stored.thresholds(position_, kill_);
    for (int i = 0; i < 10; ++i) showValue(thresholdBoxes_[i], floatText(t.th[i]));
    // Showing the stored count is no change of it.
    loading_ = true;
    operandSlider_->setValue(stored.operands(position_));
    operandBox_->setText(QString::number(operandSlider_->value()));
    loading_ = false;
}

std::optional<Thresholds> frmGSGL::readThresholds(const QString& title) {
    Thresholds t;
    for (int i = 0; i < 10; ++i) {
        const auto v = strictNumber(thresholdBoxes_[i]->text());
        if (!v) {
            asker_.warn(this, title,
                        QStringLiteral("%1的%2“%3”不是数字，参数没有保存。")
                            .arg(QString::fromUtf8(kStatNames[i / 2]),
                                 i % 2 == 0 ? QStringLiteral("下限") : QStringLiteral("上限"),
                                 thresholdBoxes_[i]->text()));
            thresholdBoxes_[i]->setFocus();
            return std::nullopt;
        }
        t.th[i] = *v;
    }
    if (const auto fault = thresholdFault(t, thresholdBoxes_)) {
        asker_.warn(this, title, fault->second + QStringLiteral("参数没有保存。"));
        thresholdBoxes_[fault->first]->setFocus();
        return std::nullopt;
    }
    return t;
}

void frmGSGL::saveThresholds() {
    const auto t = readThresholds(kSettingsTitle);
    if (!t) return;
    SearchSettings stored(store_);
    stored.setThresholdsAndOperands(position_, kill_, *t, operandSlider_->value());
}

bool frmGSGL::readPlan(std::array<std::optional<int>, 10>& plan, const QString& title) {
    for (int p = 1; p <= 10; ++p) {
        const QString text = planBoxes_[p - 1]->text();
        plan[p - 1].reset();
        if (text.trimmed().isEmpty()) continue;
        const auto n = parseWholeInteger(text.toStdString());
        if (!n || *n < 0 || *n > INT32_MAX) {
            asker_.warn(
                this, title,
                QStringLiteral("%1位的计划数量“%2”不是不小于0的整数。").arg(positionName(p), text));
            planBoxes_[p - 1]->setFocus();
            return false;
        }
        plan[p - 1] = static_cast<int>(*n);
    }
    return true;
}

void frmGSGL::savePlan() {
    std::array<std::optional<int>, 10> plan;
    if (!readPlan(plan, kPlanTitle)) return;
    SearchSettings stored(store_);
    for (int p = 1; p <= 10; ++p) stored.setPlan(p, kill_, plan[p - 1].value_or(0));
}

void frmGSGL::loadPlan() {
    SearchSettings stored(store_);
    for (int p = 1; p <= 10; ++p)
        planBoxes_[p - 1]->setText(QString::number(stored.plan(p, kill_)));
    recomputeTotal();
}

void frmGSGL::chooseMode(bool hold) {
    autoAppend_->setChecked(hold);
    autoReplace_->setChecked(!hold);
    recomputeTotal();
}

void frmGSGL::chooseAutoSave(QCheckBox* clicked) {
    (clicked == autoAppend_ ? autoReplace_ : autoAppend_)->setChecked(false);
    recomputeTotal();
}

void frmGSGL::recomputeTotal() {
    const bool hold = holdModeButton_->isChecked();
    long long planned = 0, existing = 0;
    for (int p = 1; p <= 10; ++p) {
        const long long plan = std::llround(
            std::clamp(numericValue(planBoxes_[p - 1]->text().toStdString()), -1e12, 1e12));
        existing += existing_[p - 1];
        if (!hold)
            planned += plan;
        else if (existing_[p - 1] < plan)
            planned += plan - existing_[p - 1];
    }
    totalLabel_->setText(QString::number(autoAppend_->isChecked() ? planned + existing : planned));
}

GeneratorSettings frmGSGL::generatorSettings() const {
    GeneratorSettings g;
    g.operands = operandSlider_->value();
    g.position = position_;
    g.kill = kill_;
    g.shape = prefixButton_->isChecked() ? FormulaShape::Prefix : FormulaShape::Suffix;
    if (fixedButton_->isChecked())
        g.constant = specifiedConstant(constantBox_->text().toStdString()).value_or(0);
    return g;
}

// ---- work on the worker thread ----

void frmGSGL::launch(Work kind, std::function<void()> job, std::function<void()> done) {
    work_ = kind;
    cancel_ = false;
    ended_ = false;
    done_ = std::move(done);
    for (QWidget* w : idleOnly_) w->setEnabled(false);
    worker_.emplace([this, job = std::move(job)] {
        // Below the window's thread, so the window answers at once; the
        // threads the search starts inherit this.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
        job();
        ended_ = true;
    });
    pollTimer_->start();
}

void frmGSGL::poll() {
    // Read first: the last counts below are then complete when it is set.
    const bool ended = ended_;
    takeFinds();
    // A tuning counts its samples from 0 and leaves the current formula as it is.
    const bool tuning = work_ == Work::Tune || work_ == Work::TuneAll;
    if (work_ == Work::Single || work_ == Work::Scheme || tuning) {
        verifiedBox_->setText(
            QString::number((tuning ? 0 : verifiedBase_) + watch_.evaluated.load()));
        SearchFind latest;
        {
            std::lock_guard<std::mutex> lock(watch_.mutex);
            if (watch_.fresh) latest = watch_.latest;
            watch_.fresh = false;
        }
        if (!latest.candidate.code.empty()) {
            if (!tuning) {
                currentBox_->setText(qs(latest.candidate.chinese));
                currentBox_->setCursorPosition(0);
            }
            const Score& s = latest.score;
            statBoxes_[0]->setText(floatText(s.rate));
            statBoxes_[1]->setText(QString::number(s.longestMiss));
            statBoxes_[2]->setText(QString::number(s.longestHit));
            statBoxes_[3]->setText(QString::number(s.lastMiss));
            statBoxes_[4]->setText(QString::number(s.lastHit));
            statSignificance_->setText(
                s.valid ? qs(pValueText(chanceViewOf(s, tuning ? tuneKill_ : runKill_).pValue))
                        : QString());
        }
    }
    if (work_ == Work::TuneAll) tuneProgress_->setValue(tuned_.load());
    if (ended) finished();
}

void frmGSGL::finished() {
    worker_->join();
    worker_.reset();
    pollTimer_->stop();
    const Work was = work_;
    work_ = Work::None;
    ended_ = false;
    // The last counts and finds.
    if (was == Work::Single || was == Work::Scheme) {
        verifiedBase_ += watch_.evaluated.exchange(0);
        verifiedBox_->setText(QString::number(verifiedBase_));
    }
    takeFinds();
    for (QWidget* w : idleOnly_) w->setEnabled(true);
    tuneProgress_->hide();
    tuneCancel_->hide();
    if (auto done = std::move(done_)) done();
}

void frmGSGL::takeFinds() {
    FoundList finds;
    std::vector<std::pair<int, Thresholds>> tuned;
    int started = 0;
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        std::swap(finds, pending_);
        tuned.swap(tunedPending_);
        started = pendingPosition_;
    }
    if (!finds.empty()) {
        if (schemeBatch_) {
            for (std::size_t i = 0; i < finds.size(); ++i) {
                if (finds.position(i) != schemeAt_.position) markSchemePosition(finds.position(i));
                schemeAt_.started(finds.position(i));
                ++schemeAt_.found;
            }
        }
        results_->append(finds);
        resultView_->scrollToBottom();
    }
    if (work_ == Work::Scheme && started > schemeAt_.position) markSchemePosition(started);
    qualifiedBox_->setText(
        QString::number(schemeBatch_ ? schemeAt_.found : static_cast<long long>(batchSize())));
    // Each tuned position is stored as soon as it is done.
    for (const auto& [p, t] : tuned) {
        SearchSettings stored(store_);
        stored.setThresholdsAndOperands(p, tuneKill_, t, stored.operands(p));
        selectPosition(p);
    }
}

void frmGSGL::queueFind(const SearchResult& find, FormulaShape shape,
                        const std::optional<FindScores>& scores) {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    pending_.add(find, shape, scores);
}

std::vector<SearchResult> frmGSGL::batch() const {
    std::vector<SearchResult> batch;
    const FoundList& finds = results_->finds();
    batch.reserve(batchSize());
    for (std::size_t i = batchStart_; i < finds.size(); ++i) batch.push_back(finds.result(i));
    return batch;
}

void frmGSGL::stopWork() {
    if (!worker_) return;
    cancel_ = true;
    finished();
    // A scheme stopped by closing is not resumed.
    schemePaused_ = false;
}

void frmGSGL::showEvent(QShowEvent* event) {
    // The formulas may have changed while the window was closed.
    if (!worker_ && !event->spontaneous()) {
        countExisting();
        showExistingTotal();
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
    holdOutBox_->setFocus();
    return false;
}

void frmGSGL::startSearch() {
    if (worker_) return;
    std::array<std::string, 10> texts;
    for (int i = 0; i < 10; ++i) texts[i] = thresholdBoxes_[i]->text().toStdString();
    SearchRequest r;
    r.generator = generatorSettings();
    r.rule = host_.searchCountRule();
    r.thresholds = thresholdsFromTexts(texts);
    if (const auto fault = thresholdFault(r.thresholds, thresholdBoxes_)) {
        asker_.warn(this, QStringLiteral("公式搜索"),
                    fault->second + QStringLiteral("搜索没有开始。"));
        thresholdBoxes_[fault->first]->setFocus();
        return;
    }
    r.candidates = LLONG_MAX / 2;
    r.seed = clockSeed();
    r.watch = &watch_;
    std::optional<long long> limit;
    if (limitCheck_->isChecked())
        limit = std::llround(std::max(0.0, numericValue(limitBox_->text().toStdString())));
    // After a scheme the finds join the same batch, saved as a single
    // search's; a paused scheme can still go on ("继续").
    schemeBatch_ = false;
    verifiedBase_ = 0;
    watch_.evaluated = 0;
    verifiedBox_->setText(QStringLiteral("0"));
    const long long before = static_cast<long long>(batchSize());
    if (limit && before >= *limit) return;  // the batch is already full
    auto history = host_.currentHistory();
    const int holdOut = holdOutBox_->value();
    if (!holdOutFitsOrSays(history->size(), holdOut, QStringLiteral("公式搜索"))) return;
    runKill_ = r.generator.kill;
    holdOutSummary_->setVisible(holdOut > 0);
    holdOutSummary_->setText(QStringLiteral("留出最后 %1 期：搜索中……").arg(holdOut));
    auto report = std::make_shared<HoldOutReport>();
    launch(
        Work::Single,
        [this, r, limit, before, history, holdOut, report] {
            long long found = before;
            *report = runHoldOutSearch(
                *history, r, holdOut,
                [&](const HoldOutFind& f) {
                    queueFind({r.generator.position, r.generator.kill, f.find.candidate.code,
                               f.find.candidate.chinese},
                              r.generator.shape, scoresOf(f, r.generator.kill, holdOut > 0));
                    return !limit || ++found < *limit;
                },
                &cancel_);
        },
        [this, report] {
            if (report->holdOut > 0) showHoldOut(*report);
        });
}

void frmGSGL::showHoldOut(const HoldOutReport& r) {
    const QString mean =
        r.mean.finds > 0
            ? QStringLiteral("%1% ± %2%").arg(r.mean.mean, 0, 'f', 2).arg(r.mean.standardError, 0,
                                                                             'f', 2)
            : QStringLiteral("—");
    holdOutSummary_->setText(
        QStringLiteral("留出最后 %1 期 · 试验 %2 个 · 合格 %3 个 · 机会合格 %4 个"
                       "\n留出期平均正确率 %5（机会基线 %6）· 显著性 %7")
            .arg(r.holdOut)
            .arg(r.tried)
            .arg(r.finds)
            .arg(r.chanceFinds)
            .arg(mean, qs(baselineText(runKill_)),
                 r.mean.finds > 0 ? qs(pValueText(r.mean.pValue)) : QStringLiteral("—")));
}

void frmGSGL::pauseSearch() {
    if (work_ == Work::Single) cancel_ = true;
}

// ---- scheme ----

void frmGSGL::startScheme() {
    if (worker_) return;
    std::array<std::optional<int>, 10> plan;
    if (!readPlan(plan, kPlanTitle)) return;
    auto history = host_.currentHistory();
    const int holdOut = holdOutBox_->value();
    if (!holdOutFitsOrSays(history->size(), holdOut, kPlanTitle)) return;
    countExisting();
    // The replacement at the end deletes stored formulas: asked now, while
    // the user is here, and a Cancel leaves the scheme unstarted.
    bool replaceAsked = false;
    if (autoReplace_->isChecked() && !autoAppend_->isChecked()) {
        std::vector<int> written;
        for (int p = 1; p <= 10; ++p)
            if (plan[p - 1] &&
                *plan[p - 1] - (holdModeButton_->isChecked() ? existing_[p - 1] : 0) > 0)
                written.push_back(p);
        if (!confirmReplace(written, true)) return;
        replaceAsked = true;
    }
    schemeReplaceAsked_ = replaceAsked;
    SearchSettings stored(store_);
    scheme_ = SchemeRequest{};
    scheme_.kill = kill_;
    scheme_.hold = holdModeButton_->isChecked();
    for (int p = 1; p <= 10; ++p) {
        SchemePosition& sp = scheme_.positions[p - 1];
        sp.planned = plan[p - 1];
        sp.operands = stored.operands(p);
        sp.thresholds = stored.thresholds(p, kill_);
        scheme_.existing[p - 1] = existing_[p - 1];
    }
    const GeneratorSettings g = generatorSettings();
    scheme_.shape = g.shape;
    scheme_.constant = g.constant;
    scheme_.rule = host_.searchCountRule();
    scheme_.holdOut = holdOut;
    scheme_.watch = &watch_;
    batchStart_ = results_->finds().size();
    schemeBatch_ = true;
    schemeAt_ = SchemeProgress{};
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        pendingPosition_ = 0;
    }
    for (QLabel* l : planLabels_) l->setStyleSheet(QString());
    runKill_ = scheme_.kill;
    holdOutSummary_->hide();  // the hold-out shows beside each find
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
        [this, r, history, cancelled] {
            const SchemeReport report = varnet::runScheme(
                *history, r,
                [this, shape = r.shape, holdOut = r.holdOut](const SearchResult& found,
                                                             const HoldOutFind& f) {
                    queueFind(found, shape, scoresOf(f, found.kill, holdOut > 0));
                },
                [this](int p) {
                    std::lock_guard<std::mutex> lock(pendingMutex_);
                    pendingPosition_ = p;
                },
                &cancel_);
            *cancelled = report.cancelled;
        },
        [this, cancelled] { schemeEnded(*cancelled); });
}

void frmGSGL::markSchemePosition(int p) {
    for (int i = 1; i <= 10; ++i) {
        if (i < p)
            planLabels_[i - 1]->setStyleSheet(QStringLiteral("color: blue"));
        else if (i == p)
            planLabels_[i - 1]->setStyleSheet(QStringLiteral("color: red"));
    }
    schemeAt_.started(p);
    limitBox_->setText(QString::number(schemeTarget(scheme_, p)));
    selectPosition(p);
}

void frmGSGL::schemeEnded(bool cancelled) {
    if (cancelled) {
        schemePaused_ = true;
        return;
    }
    for (QLabel* l : planLabels_) l->setStyleSheet(QStringLiteral("color: blue"));
    schemeAt_.started(11);
    if (autoAppend_->isChecked())
        saveResults(false);
    else if (autoReplace_->isChecked())
        saveResults(true, schemeReplaceAsked_);  // checked later: asked now
}

void frmGSGL::pauseScheme() {
    if (work_ == Work::Scheme) cancel_ = true;
}

void frmGSGL::continueScheme() {
    if (worker_ || !schemePaused_) return;
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
    const std::vector<SearchResult> batch = this->batch();
    if (replace && !asked) {
        std::vector<int> written;
        for (const SearchResult& r : batch)
            if (std::find(written.begin(), written.end(), r.position) == written.end())
                written.push_back(r.position);
        if (!confirmReplace(written, false)) return;
    }
    const bool single = !schemeBatch_ && !batch.empty();
    const int last = batch.empty() ? 0 : batch.back().position;
    // The batch leaves the window now (finds arriving meanwhile start the
    // next one); a failed save takes it back.
    const auto start = batchStart_;
    batchStart_ = results_->finds().size();
    // A scheme keeps its position and count: "继续" goes on from there.
    qualifiedBox_->setText(QString::number(schemeBatch_ ? schemeAt_.found : 0));
    QPointer<frmGSGL> self(this);
    host_.saveFormulas(batch, replace, [self, start, single, last](const BatchSaveResult& saved) {
        if (!self) return;
        if (!saved.ok) {
            self->batchStart_ = std::min(self->batchStart_, start);
            self->asker_.warn(self, kSavedTitle, qs(saved.message));
            return;
        }
        if (single && !self->worker_) self->selectPosition(last);
        self->countExisting();
        self->asker_.inform(self, kSavedTitle, QStringLiteral("公式追加完毕！"));
    });
}

void frmGSGL::exportResults() {
    takeFinds();
    const QString issue = host_.entryIssueText();
    if (issue.contains(QLatin1Char('/')) || issue.contains(QLatin1Char('\\'))) {
        asker_.warn(
            this, kExportTitle,
            QStringLiteral("期号框中的“%1”含有 / 或 \\，不能用作文件名。没有导出。").arg(issue));
        return;
    }
    std::vector<ExportedFormula> formulas;
    const FoundList& lines = results_->finds();
    formulas.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) formulas.push_back({lines.chinese(i), 0});
    exporter_.exportFile(this, kExportTitle, ExportNames::formulaText(issue.toStdString()), 0,
                         [&formulas](const std::string& path, const std::function<bool(int)>&) {
                             return writeFormulaText(path, formulas, FormulaPadding::Bare);
                         });
}

// ---- tuning ----

void frmGSGL::tuneCurrent() {
    if (worker_) return;
    std::array<std::string, 10> texts;
    for (int i = 0; i < 10; ++i) texts[i] = thresholdBoxes_[i]->text().toStdString();
    const Thresholds base = thresholdsFromTexts(texts);
    const GeneratorSettings g = generatorSettings();
    const int samples = sampleSlider_->value();
    const CountRule rule = host_.searchCountRule();
    auto history = host_.currentHistory();
    verifiedBox_->setText(QStringLiteral("0"));
    watch_.evaluated = 0;
    tuneKill_ = kill_;
    tuneProgress_->setRange(0, 0);
    tuneProgress_->show();
    tuneCancel_->show();
    launch(
        Work::Tune,
        [this, history, g, rule, samples, base] {
            tuning_ =
                tunePosition(*history, g, rule, samples, clockSeed(), base, &cancel_, &watch_);
        },
        [this] {
            verifiedBox_->setText(QString::number(tuning_.samples.size()));
            if (cancel_ || tuning_.samples.empty()) {
                asker_.inform(this, kTuneTitle, QStringLiteral("参数检索已取消，参数框没有改变。"));
                return;
            }
            for (int i : {0, 3, 4, 7, 8})
                showValue(thresholdBoxes_[i], floatText(tuning_.proposal.th[i]));
            asker_.inform(this, kTuneTitle,
                          QStringLiteral("参数检索完毕：验证了%1个公式，检索出的参数已填入参数框，"
                                         "按“保存当前种类参数设置”保存。")
                              .arg(tuning_.samples.size()));
        });
}

void frmGSGL::tuneAll() {
    if (worker_) return;
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
    const int samples = sampleSlider_->value();
    const CountRule rule = host_.searchCountRule();
    auto history = host_.currentHistory();
    tuneKill_ = kill_;
    tuned_ = 0;
    watch_.evaluated = 0;
    tuneProgress_->setRange(0, 10);
    tuneProgress_->setValue(0);
    tuneProgress_->show();
    tuneCancel_->show();
    launch(Work::TuneAll,
           [this, history, generators, bases, samples, rule] {
               for (int p = 1; p <= 10 && !cancel_; ++p) {
                   watch_.evaluated = 0;  // each position counts its own samples
                   const TuningResult t = tunePosition(*history, generators[p - 1], rule, samples,
                                                       clockSeed(), bases[p - 1], &cancel_, &watch_);
                   // A position cut short is not stored.
                   if (cancel_) break;
                   std::lock_guard<std::mutex> lock(pendingMutex_);
                   tunedPending_.push_back({p, t.proposal});
                   ++tuned_;
               }
           },
           [this] { asker_.inform(this, kTuneAllTitle, tunedAllText(tuned_, tuneKill_)); });
}

}  // namespace varnet
