#include "analysis/BacktestWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "engine/Significance.h"
#include "ui/CellModel.h"

namespace varnet {

namespace {

QString pText(double p) { return QString::fromStdString(pValueText(p)); }

}  // namespace

BacktestWindow::BacktestWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmBacktest"));
    setWindowTitle(QStringLiteral("方法回测"));
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lblBacktest"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    allDraws_ = new QCheckBox(
        QStringLiteral("检验全部期号（包括公式录入之前开出的，公式可能正是在这些期号上选出的）"),
        this);
    allDraws_->setObjectName(QStringLiteral("chkBacktestAllDraws"));
    layout->addWidget(allDraws_);
    connect(allDraws_, &QCheckBox::toggled, this, [this](bool all) {
        if (result_.positions.empty() || result_.allDraws == all) return;
        tallyBacktest(result_, all);
        refill();
    });

    notes_ = new QLabel(this);
    notes_->setObjectName(QStringLiteral("lblBacktestNotes"));
    notes_->setWordWrap(true);
    notes_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(notes_);

    model_ = new CellModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("gridBacktest"));
    table_->setModel(model_);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(table_);
    connect(table_, &QTableView::clicked, this,
            [this](const QModelIndex& at) { chartPosition(at.row() + 1); });

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("图表位置"), this));
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("cboBacktestPosition"));
    row->addWidget(choice_);
    row->addStretch(1);
    layout->addLayout(row);
    connect(choice_, &QComboBox::activated, this, [this](int i) { chartPosition(i + 1); });

    chart_ = new ChanceChart(ChanceChart::Shape::Line, this);
    chart_->line()->setName(QStringLiteral("累计命中次数"));
    chart_->chance()->setName(QStringLiteral("机会期望（累计保留个数 / 10）"));
    chart_->xAxis()->setTitleText(QStringLiteral("回测的第几期"));
    uncountedTop_ = new QLineSeries(this);
    uncounted_ = new QAreaSeries(uncountedTop_);
    uncounted_->setName(QStringLiteral("公式录入之前开出（不计入检验）"));
    uncounted_->setColor(QColor(128, 128, 128, 60));
    uncounted_->setBorderColor(QColor(128, 128, 128, 60));
    chart_->chart()->addSeries(uncounted_);
    uncounted_->attachAxis(chart_->xAxis());
    uncounted_->attachAxis(chart_->yAxis());
    layout->addWidget(chart_, 1);
    resize(1180, 760);
}

void BacktestWindow::fill(BacktestResult result, const QString& method) {
    result_ = std::move(result);
    method_ = method;
    {
        const QSignalBlocker block(allDraws_);
        allDraws_->setChecked(result_.allDraws);
    }
    refill();
}

void BacktestWindow::refill() {
    const auto* positions = &result_.positions;
    model_->reset(
        static_cast<int>(positions->size()),
        {QStringLiteral("位置"), QStringLiteral("回测期数"), QStringLiteral("命中次数"),
         QStringLiteral("机会期望"), QStringLiteral("p值"), QStringLiteral("校正p值"),
         QStringLiteral("有保留号码的期数"), QStringLiteral("所选号码命中"),
         QStringLiteral("机会期望"), QStringLiteral("p值"), QStringLiteral("校正p值"),
         QStringLiteral("开出号码平均名次"), QStringLiteral("p值"), QStringLiteral("校正p值")},
        [positions](int r, int c, int role) -> QVariant {
            const BacktestPosition& p = (*positions)[r];
            if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
            if (role == Qt::ToolTipRole) {
                switch (c) {
                    case 4:
                        return QStringLiteral(
                                   "单凭机会（每期命中的机会为该期保留个数 / 10）命中不少于 %1 "
                                   "次的概率")
                            .arg(p.successes);
                    case 5:
                    case 10:
                    case 13:
                        return QStringLiteral(
                            "Holm 校正：同时看十个位置时，至少一个位置单凭机会出现这样小的 p "
                            "值的概率不超过它");
                    case 7:
                        return QStringLiteral(
                            "开出的号码在结果窗口为该位选出的号码（保留个数 N）之中的期数；"
                            "单凭机会每期为 N / 10");
                    case 11:
                        return QStringLiteral(
                            "开出的号码在该位号码排序中的平均名次；单凭机会为 5.5，越小越好");
                    case 12:
                        return QStringLiteral(
                            "单凭机会（名次在 1 至 10 之间均匀）平均名次不大于它的确切概率");
                    default:
                        return {};
                }
            }
            if (role != Qt::DisplayRole) return {};
            switch (c) {
                case 0:
                    return QStringLiteral("第%1位").arg(p.position);
                case 1:
                    return p.draws;
                case 2:
                    return p.successes;
                case 3:
                    return QString::number(p.expected, 'f', 1);
                case 4:
                    return pText(p.pValue);
                case 5:
                    return pText(p.pHolm);
                case 6:
                    return p.keptDraws;
                case 7:
                    return p.claimedHits;
                case 8:
                    return QString::number(p.claimedExpected, 'f', 1);
                case 9:
                    return pText(p.claimedP);
                case 10:
                    return pText(p.claimedHolm);
                case 11:
                    return p.placed > 0 ? QString::number(p.meanPlace, 'f', 3)
                                        : QStringLiteral("-");
                case 12:
                    return pText(p.placeP);
                default:
                    return pText(p.placeHolm);
            }
        });
    // As tall as its rows: the chart takes the rest.
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           table_->verticalHeader()->defaultSectionSize() *
                               static_cast<int>(positions->size()) +
                           2 * table_->frameWidth() + 2);
    const QString first =
        result_.issues.empty() ? QString() : QString::number(result_.issues.front());
    const QString last =
        result_.issues.empty() ? QString() : QString::number(result_.issues.back());
    summary_->setText(
        QStringLiteral("%1：期号 %2 至 %3 共 %4 期，每期只用它之前的开奖号码计算（公式成绩也"
                       "只算到它之前），看该期号码是否在保留的号码里、是否在结果窗口选出的号码里、"
                       "在号码排序中排第几。%5p值小说明好于机会所给；"
                       "从许多方法里挑出的一个小 p 值常常只是运气，请看校正p值。")
            .arg(method_, first, last)
            .arg(result_.issues.size())
            .arg(result_.allDraws
                     ? QStringLiteral("检验了全部期号，其中公式录入之前开出的期号结果可能偏高。")
                     : QStringLiteral("只检验公式录入之后开出的期号（公式不可能是在这些期号上"
                                      "选出的）。")));
    QStringList notes;
    for (const auto& p : result_.positions)
        if (const std::string note = cleanDrawsNote(result_, p); !note.empty())
            notes << QString::fromStdString(note);
    notes_->setText(notes.join(QLatin1Char('\n')));
    notes_->setVisible(!notes.isEmpty());
    {
        const QSignalBlocker block(choice_);
        choice_->clear();
        for (const auto& p : result_.positions)
            choice_->addItem(QStringLiteral("第%1位").arg(p.position));
    }
    chartPosition(static_cast<int>(result_.positions.size()));
}

void BacktestWindow::chartPosition(int position) {
    if (position < 1 || position > static_cast<int>(result_.positions.size())) return;
    const BacktestPosition& p = result_.positions[position - 1];
    choice_->setCurrentIndex(position - 1);
    table_->selectRow(position - 1);
    QList<QPointF> hits{QPointF(0, 0)}, chance{QPointF(0, 0)};
    for (std::size_t t = 0; t < p.cumulative.size(); ++t) {
        const double x = static_cast<double>(t + 1);
        hits.append(QPointF(x, p.cumulative[t]));
        chance.append(QPointF(x, p.cumulativeExpected[t]));
    }
    chart_->line()->replace(hits);
    chart_->chance()->replace(chance);
    chart_->xAxis()->setRange(0, std::max<double>(1, static_cast<double>(p.cumulative.size())));
    chart_->fitCount(std::max(p.expected, static_cast<double>(p.successes)));
    // Shaded: the tested draws left out (before the formulas entered).
    QList<QPointF> top;
    if (!result_.allDraws && p.cleanDraws < static_cast<int>(p.clean.size())) {
        const double high = chart_->yAxis()->max();
        for (std::size_t t = 0; t < p.clean.size(); ++t) {
            const double y = p.clean[t] ? 0.0 : high;
            top.append(QPointF(static_cast<double>(t), y));
            top.append(QPointF(static_cast<double>(t + 1), y));
        }
    }
    uncountedTop_->replace(top);
    chart_->chart()->setTitle(
        p.draws == 0 ? QStringLiteral("第%1位：没有可检验的期号（都在公式录入之前或当天开出）")
                           .arg(p.position)
                     : QStringLiteral("第%1位：%2 期中命中 %3 次，机会期望 %4 次，p值 %5%6")
                           .arg(p.position)
                           .arg(p.draws)
                           .arg(p.successes)
                           .arg(QString::number(p.expected, 'f', 1), pText(p.pValue),
                                result_.allDraws && p.cleanDraws < p.draws
                                    ? QStringLiteral("（含公式录入之前的期号，可能偏高）")
                                    : QString()));
}

}  // namespace varnet
