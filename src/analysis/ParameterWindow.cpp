#include "analysis/ParameterWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "base/History.h"
#include "base/ParameterNames.h"
#include "ui/CellModel.h"

namespace varnet {

namespace {

// Rows 1..12 hold letters A..L per position, rows 13..24 the whole-draw values.
const char* const kNames[frmShuoming::kRows] = {
    "号码",   "大小",   "单双",    "除5余数", "除3余数",  "五段段数(对应12345段)",
    "平方",   "互补数", "2指数方", "立方",    "邻号和",   "邻号差",
    "连顺号", "逆顺号", "连跳号",  "逆跳号",  "前期号",   "上期号",
    "本期号", "日期",   "月份",    "年份",    "最大振幅", "同上期个"};
const char* const kWholeDraw[12] = {"L1M", "L2M", "L3M", "L4M", "L5M", "L6M",
                                    "L7M", "L8M", "L9M", "L0M", "L1N", "L2N"};
constexpr int kPositionLetters = 12;

// The parameter shown in a cell, 0 for none.
int parameterAt(int row, int column) {
    std::string code;
    if (row < kPositionLetters && column >= 1 && column <= 10)
        code = {'L', static_cast<char>('0' + column % 10), static_cast<char>('A' + row)};
    else if (row >= kPositionLetters && column == 11)
        code = kWholeDraw[row - kPositionLetters];
    return code.empty() ? 0 : ParameterNames::indexOfCode(code);
}

}  // namespace

frmShuoming::frmShuoming(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmShuoming"));
    setWindowTitle(QStringLiteral("参数对照（将要开奖期的上上期的开奖作为参数计算）"));
    for (int r = 0; r < kRows; ++r) cells_[r][0] = QString::fromUtf8(kNames[r]);

    QStringList headers{QString()};
    for (int p = 1; p <= 10; ++p)
        headers << QString::fromStdString(ParameterNames::positionName(p));
    headers << QStringLiteral("总位");
    model_ = new CellModel(this);
    model_->reset(kRows, headers, [this](int r, int c, int role) -> QVariant {
        if (role == Qt::DisplayRole) return cells_[r][c];
        if (role == Qt::TextAlignmentRole)
            return int((c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
        return {};
    });

    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("MSFlexGrid1"));
    grid_->setModel(model_);
    grid_->verticalHeader()->hide();
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setColumnWidth(0, twipsToPixels(1600) + 40);
    for (int c = 1; c < kColumns; ++c) grid_->setColumnWidth(c, 56);
    grid_->setToolTip(QStringLiteral("单击单元格可复制其内容"));
    connect(grid_, &QTableView::clicked, this, [this](const QModelIndex& at) {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->clear();
        clipboard->setText(cellText(at.row(), at.column()));
    });
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("lblNote"));
    note_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(grid_);
    resize(twipsToPixels(1600) + 40 + 11 * 56 + 30, 620);
    fitColumns();
}

frmShuoming::~frmShuoming() = default;

QString frmShuoming::cellText(int row, int column) const {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns) return {};
    return cells_[row][column];
}

void frmShuoming::refill(const History& history) {
    const int source = history.size() - 2;
    for (int r = 0; r < kRows; ++r)
        for (int c = 1; c < kColumns; ++c) {
            const int k = parameterAt(r, c);
            cells_[r][c] =
                k > 0 && source >= 0 ? QString::number(history.param(source, k)) : QString();
        }
    note_->setVisible(source < 0);
    note_->setText(source < 0 ? QStringLiteral("历史号码少于两期，没有可对照的参数。") : QString());
    if (model_->rowCount() > 0)
        emit model_->dataChanged(model_->index(0, 0), model_->index(kRows - 1, kColumns - 1));
    fitColumns();
}

// Every column as wide as its widest text ("总位" holds issues and dates),
// and the window wide enough to show them all.
void frmShuoming::fitColumns() {
    grid_->resizeColumnsToContents();
    grid_->setColumnWidth(0, std::max(grid_->columnWidth(0), twipsToPixels(1600) + 40));
    int width = 2 * grid_->frameWidth() + grid_->verticalScrollBar()->sizeHint().width();
    for (int c = 1; c < kColumns; ++c)
        grid_->setColumnWidth(c, std::max(grid_->columnWidth(c), 56));
    for (int c = 0; c < kColumns; ++c) width += grid_->columnWidth(c);
    const QMargins margins = layout()->contentsMargins();
    width += margins.left() + margins.right();
    if (this->width() < width) resize(width, height());
}

}  // namespace varnet
