#include "analysis/BacktestWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "engine/Significance.h"
#include "ui/CellModel.h"

namespace varnet {

BacktestWindow::BacktestWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmBacktest"));
    setWindowTitle(QStringLiteral("方法回测"));
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lblBacktest"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    model_ = new CellModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("gridBacktest"));
    table_->setModel(model_);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
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
    layout->addWidget(chart_, 1);
    resize(820, 720);
}

void BacktestWindow::fill(BacktestResult result, const QString& method) {
    result_ = std::move(result);
    const auto* positions = &result_.positions;
    model_->reset(static_cast<int>(positions->size()),
                  {QStringLiteral("位置"), QStringLiteral("回测期数"), QStringLiteral("命中次数"),
                   QStringLiteral("机会期望"), QStringLiteral("p值")},
                  [positions](int r, int c, int role) -> QVariant {
                      const BacktestPosition& p = (*positions)[r];
                      if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
                      if (role == Qt::ToolTipRole && c == 4)
                          return QStringLiteral(
                                     "单凭机会（每期命中的机会为该期保留个数 / 10）命中不少于 %1 "
                                     "次的概率")
                              .arg(p.successes);
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
                          default:
                              return QString::fromStdString(pValueText(p.pValue));
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
                       "只算到它之前），看该期号码是否在保留的号码里。p值小说明命中多于机会所给；"
                       "从许多方法里挑出的一个小 p 值常常只是运气。")
            .arg(method, first, last)
            .arg(result_.issues.size()));
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
        hits.append(QPointF(static_cast<double>(t + 1), p.cumulative[t]));
        chance.append(QPointF(static_cast<double>(t + 1), p.cumulativeExpected[t]));
    }
    chart_->line()->replace(hits);
    chart_->chance()->replace(chance);
    chart_->xAxis()->setRange(0, std::max(1, p.draws));
    chart_->fitCount(std::max(p.expected, static_cast<double>(p.successes)));
    chart_->chart()->setTitle(QStringLiteral("第%1位：命中 %2 次，机会期望 %3 次，p值 %4")
                                  .arg(p.position)
                                  .arg(p.successes)
                                  .arg(QString::number(p.expected, 'f', 1),
                                       QString::fromStdString(pValueText(p.pValue))));
}

}  // namespace varnet
