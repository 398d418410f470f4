#include "analysis/TrendWindow.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "base/Workbook.h"
#include "engine/Significance.h"
#include "ui/ModelExport.h"

namespace varnet {

namespace {

const char* const kSummaryNames[TrendWindow::kSummaryRows] = {"出现次数", "期望次数", "平均遗漏",
                                                              "最大遗漏", "当前遗漏", "最大连出"};
const QColor kBall(214, 48, 49);
const QColor kHot(255, 200, 200);
const QColor kCold(200, 220, 255);
constexpr std::uint32_t kBallFill = 0xD63031, kHotFill = 0xFFC8C8, kColdFill = 0xC8DCFF;
const QString kTitle = QStringLiteral("号码走势图");

QString number(double v) { return QString::number(v, 'f', 2); }

// The text of a cell, for the grid and the workbook alike.
QString cellText(const Trend& t, int row, int column) {
    if (row < t.rows()) {
        if (column == 0) return QString::number(t.issue(row));
        if (column == 1) return QString::number(t.value(row));
        const int c = column - TrendWindow::kFixedColumns;
        return c == t.drawnColumn(row) ? QString::number(t.value(row))
                                       : QString::number(t.omission(row, c));
    }
    const int s = row - t.rows();
    if (column == 0) return QString::fromUtf8(kSummaryNames[s]);
    if (column == 1) return {};
    const TrendColumn& c = t.column(column - TrendWindow::kFixedColumns);
    switch (s) {
        case 0:
            return QString::number(c.appearances);
        case 1:
            return number(c.expected);
        case 2:
            return number(c.meanOmission);
        case 3:
            return QString::number(c.longestOmission);
        case 4:
            return QString::number(c.currentOmission);
        default:
            return QString::number(c.longestRepeat);
    }
}

int heatOf(const Trend& t, int row, int column) {
    if (row != t.rows() || column < TrendWindow::kFixedColumns) return 0;
    return t.column(column - TrendWindow::kFixedColumns).heat;
}

QString chanceTip(const Trend& t, int row, int column) {
    if (row < t.rows() || column < TrendWindow::kFixedColumns) return {};
    const TrendColumn& c = t.column(column - TrendWindow::kFixedColumns);
    const QString basis =
        QStringLiteral("该值每期概率 %1；").arg(QString::fromStdString(pValueText(c.probability))) +
        QString::fromStdString(t.basis());
    const QString p = QString::fromStdString(pValueText(c.probability));
    switch (row - t.rows()) {
        case 0: {
            QString tip =
                QStringLiteral(
                    "%1 期中出现 %2 次，机会期望 %3 次（每期概率 %4）。\n"
                    "双侧二项检验：凭机会偏离至少这么多的概率 %5")
                    .arg(t.rows())
                    .arg(c.appearances)
                    .arg(number(c.expected), p, QString::fromStdString(pValueText(c.countChance)));
            if (c.heat)
                tip += c.heat > 0 ? QStringLiteral("\n热：出现次数明显偏多（概率 < 1%）")
                                  : QStringLiteral("\n冷：出现次数明显偏少（概率 < 1%）");
            return tip + '\n' + basis;
        }
        case 3:
            return QStringLiteral("凭机会在这 %1 期中出现至少 %2 期遗漏的概率：%3\n%4")
                .arg(t.rows())
                .arg(c.longestOmission)
                .arg(QString::fromStdString(pValueText(c.longestChance)), basis);
        case 4:
            return QStringLiteral("凭机会连续 %1 期不出现的概率：%2\n%3")
                .arg(c.currentOmission)
                .arg(QString::fromStdString(pValueText(c.currentChance)), basis);
        default:
            return {};
    }
}

}  // namespace

class TrendModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTrend(std::shared_ptr<const Trend> trend) {
        beginResetModel();
        trend_ = std::move(trend);
        endResetModel();
    }
    const Trend* trend() const { return trend_.get(); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !trend_ ? 0 : trend_->rows() + TrendWindow::kSummaryRows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !trend_ ? 0 : trend_->columnCount() + TrendWindow::kFixedColumns;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!trend_ || !index.isValid()) return {};
        const int r = index.row(), c = index.column();
        switch (role) {
            case Qt::DisplayRole:
                return cellText(*trend_, r, c);
            case Qt::ToolTipRole:
                return chanceTip(*trend_, r, c);
            case Qt::TextAlignmentRole:
                return int(Qt::AlignCenter);
            case Qt::ForegroundRole:
                if (r < trend_->rows() && c >= TrendWindow::kFixedColumns)
                    return QColor(150, 150, 150);
                return {};
            case Qt::BackgroundRole: {
                const int heat = heatOf(*trend_, r, c);
                if (heat) return heat > 0 ? kHot : kCold;
                if (r >= trend_->rows()) return QColor(240, 240, 232);
                return {};
            }
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o != Qt::Horizontal || role != Qt::DisplayRole || !trend_) return {};
        if (section == 0) return QStringLiteral("期号");
        if (section == 1) return QString::fromStdString(ParameterNames::chinese(trend_->param()));
        return QString::number(trend_->column(section - TrendWindow::kFixedColumns).value);
    }

  private:
    std::shared_ptr<const Trend> trend_;
};

namespace {

// Leaves the drawn cells to the view, which paints the balls over the line.
class OmissionDelegate : public QStyledItemDelegate {
  public:
    OmissionDelegate(const TrendModel& model, QObject* parent)
        : QStyledItemDelegate(parent), model_(model) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const Trend* t = model_.trend();
        if (t && index.row() < t->rows() &&
            index.column() == t->drawnColumn(index.row()) + TrendWindow::kFixedColumns)
            return;
        QStyledItemDelegate::paint(painter, option, index);
    }

  private:
    const TrendModel& model_;
};

// Draws the line through the drawn values of the rows in view, then the balls.
class TrendView : public QTableView {
  public:
    TrendView(const TrendModel& model, QWidget* parent) : QTableView(parent), model_(model) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QTableView::paintEvent(event);
        const Trend* t = model_.trend();
        if (!t || t->rows() == 0) return;
        const int height = viewport()->height();
        int top = rowAt(0), bottom = rowAt(height - 1);
        if (top < 0) return;
        if (bottom < 0) bottom = t->rows() - 1;
        top = std::max(0, top - 1);
        bottom = std::min(t->rows() - 1, bottom + 1);
        if (top > bottom) return;
        QPolygonF line;
        for (int r = top; r <= bottom; ++r) {
            const int column = t->drawnColumn(r) + TrendWindow::kFixedColumns;
            line << QPointF(columnViewportPosition(column) + columnWidth(column) / 2.0,
                            rowViewportPosition(r) + rowHeight(r) / 2.0);
        }
        QPainter p(viewport());
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kBall, 1.5));
        p.drawPolyline(line);
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        for (int r = top; r <= bottom; ++r) {
            const QPointF centre = line[r - top];
            const double radius = std::min(rowHeight(r), 28) / 2.0 - 1.5;
            p.setPen(Qt::NoPen);
            p.setBrush(kBall);
            const QString text = QString::number(t->value(r));
            const double w = std::max(2 * radius, p.fontMetrics().horizontalAdvance(text) + 6.0);
            p.drawRoundedRect(QRectF(centre.x() - w / 2, centre.y() - radius, w, 2 * radius),
                              radius, radius);
            p.setPen(Qt::white);
            p.drawText(QRectF(centre.x() - w / 2, centre.y() - radius, w, 2 * radius),
                       Qt::AlignCenter, text);
        }
    }

  private:
    const TrendModel& model_;
};

}  // namespace

TrendWindow::TrendWindow(Exporter& exporter, std::string dataFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), exporter_(exporter), dataFolder_(std::move(dataFolder)) {
    setObjectName(QStringLiteral("trendWindow"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("参数："), this));
    params_ = new QComboBox(this);
    params_->setObjectName(QStringLiteral("trendParam"));
    for (int k = 1; k <= kParamCount; ++k)
        if (Trend::hasTrend(k))
            params_->addItem(QStringLiteral("%1（%2）")
                                 .arg(QString::fromStdString(ParameterNames::chinese(k)),
                                      QString::fromStdString(ParameterNames::code(k))),
                             k);
    top->addWidget(params_);
    top->addWidget(new QLabel(QStringLiteral("最近期数："), this));
    last_ = new QSpinBox(this);
    last_->setObjectName(QStringLiteral("trendLast"));
    last_->setRange(0, INT_MAX);
    last_->setSpecialValueText(QStringLiteral("全部"));
    last_->setValue(100);
    top->addWidget(last_);
    auto* picture = new QPushButton(QStringLiteral("保存图片(&P)"), this);
    picture->setObjectName(QStringLiteral("trendPicture"));
    auto* workbook = new QPushButton(QStringLiteral("导出到Excel(&X)"), this);
    workbook->setObjectName(QStringLiteral("trendWorkbook"));
    top->addWidget(picture);
    top->addWidget(workbook);
    top->addStretch(1);
    layout->addLayout(top);

    model_ = new TrendModel(this);
    grid_ = new TrendView(*model_, this);
    grid_->setObjectName(QStringLiteral("trendGrid"));
    grid_->setModel(model_);
    grid_->setItemDelegate(new OmissionDelegate(*model_, grid_));
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(24);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(grid_, 1);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("trendNote"));
    note_->setWordWrap(true);
    layout->addWidget(note_);

    connect(params_, &QComboBox::activated, this, [this] { recompute(); });
    connect(last_, &QSpinBox::editingFinished, this, [this] { recompute(); });
    connect(picture, &QPushButton::clicked, this, [this] { savePicture(); });
    connect(workbook, &QPushButton::clicked, this, [this] { exportWorkbook(); });
    resize(900, 700);
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::showTrend(std::shared_ptr<const History> history, int param, int last) {
    history_ = std::move(history);
    const int at = params_->findData(Trend::hasTrend(param) ? param : 1);
    params_->setCurrentIndex(at);
    last_->setValue(std::max(0, last));
    recompute();
}

void TrendWindow::recompute() {
    if (!history_) return;
    const int param = params_->currentData().toInt();
    trend_ = std::make_shared<const Trend>(Trend::compute(*history_, param, last_->value()));
    model_->setTrend(trend_);
    grid_->setColumnWidth(0, 90);
    grid_->setColumnWidth(1, 72);
    // Wide enough for the ball and the widest figure of the column.
    const QFontMetrics metrics(grid_->font());
    const auto width = [&](const QString& text) { return metrics.horizontalAdvance(text) + 12; };
    for (int c = 0; c < trend_->columnCount(); ++c) {
        const TrendColumn& s = trend_->column(c);
        int w = std::max(40, width(QString::number(s.value)) + 4);
        w = std::max(w, width(QString::number(s.longestOmission)));
        for (int row = 0; row < kSummaryRows; ++row)
            w = std::max(w, width(cellText(*trend_, trend_->rows() + row, c + kFixedColumns)));
        grid_->setColumnWidth(c + kFixedColumns, w);
    }
    grid_->scrollToBottom();
    QString text = QStringLiteral(
                       "%1：最近 %2 期（历史共 %3 期）。灰字为遗漏期数；"
                       "红底为热、蓝底为冷（出现次数凭机会偏离的双侧概率 < 1%）；"
                       "机会数字在底部格子的提示中。")
                       .arg(QString::fromStdString(ParameterNames::chinese(param)))
                       .arg(trend_->rows())
                       .arg(history_->size());
    if (trend_->rows() == 0) text = QStringLiteral("没有历史号码，无法画走势图。");
    note_->setText(text);
}

QString TrendWindow::savePicture() {
    if (!trend_) return {};
    const QString path =
        QDir(QString::fromStdString(dataFolder_))
            .filePath(QStringLiteral("号码走势图_%1.png")
                          .arg(QString::fromStdString(ParameterNames::code(trend_->param()))));
    if (!grid_->grab().save(path, "PNG")) {
        note_->setText(QStringLiteral("无法保存图片：") + path);
        return {};
    }
    note_->setText(QStringLiteral("图片已保存：") + path);
    return path;
}

void TrendWindow::exportWorkbook() {
    if (!trend_) return;
    // The trend is never changed once made: the worker writes from it while
    // the window may show another.
    std::shared_ptr<const Trend> t = trend_;
    const int rows = t->rows() + kSummaryRows + 1, columns = t->columnCount() + kFixedColumns;
    const std::string file = "号码走势图_" + ParameterNames::code(t->param()) + ".xlsx";
    exporter_.exportFile(
        this, kTitle, file, rows,
        [t, rows, columns](const std::string& path, const std::function<bool(int)>& progress) {
            return writeWorkbook(
                path, rows, columns,
                [&t](int r, int c) {
                    WorkbookCell cell;
                    if (r == 0) {
                        cell.text = c == 0   ? "期号"
                                    : c == 1 ? ParameterNames::chinese(t->param())
                                             : std::to_string(t->column(c - kFixedColumns).value);
                        return cell;
                    }
                    cell.text = cellText(*t, r - 1, c).toStdString();
                    if (r - 1 < t->rows() && c == t->drawnColumn(r - 1) + kFixedColumns)
                        cell.fill = kBallFill;
                    if (const int heat = heatOf(*t, r - 1, c))
                        cell.fill = heat > 0 ? kHotFill : kColdFill;
                    return cell;
                },
                progress);
        });
}

}  // namespace varnet
