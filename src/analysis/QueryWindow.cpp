#include "analysis/QueryWindow.h"

#include <QBrush>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "analysis/Exports.h"
#include "analysis/Replay.h"
#include "base/Draw.h"
#include "base/ParameterNames.h"
#include "ui/CellModel.h"
#include "ui/ModelExport.h"

namespace varnet {

namespace {

const QColor kPlacedBlue(0, 0, 255);
const QString kExportTitle = QStringLiteral("导出");
constexpr int kErrorColumnTwips = 1600;

int fixedColumnTwips(int c) {
    static constexpr int widths[7] = {1100, 900, 900, 700, 700, 600, 700};
    if (c < 7) return widths[c];
    return c < 17 ? 600 : 700;
}

QStringList fixedHeaders() {
    QStringList h{QStringLiteral("期号"),  QStringLiteral("开奖结果"), QStringLiteral("排位名次"),
                  QStringLiteral("Err值"), QStringLiteral("总位次"),   QStringLiteral("位次"),
                  QStringLiteral("位码数")};
    for (int r = 1; r <= 10; ++r) h << QStringLiteral("排列%1").arg(r);
    for (int r = 1; r <= 10; ++r) h << QStringLiteral("Err值%1").arg(r);
    return h;
}

}  // namespace

// One fill: the rows for the compared position and the error values the
// columns after the fixed ones stand for.
struct frmLslb::Shown {
    std::shared_ptr<const Replay> replay;  // the rows point into its draws
    std::vector<QueryRow> rows;
    std::int32_t smallest = 0;

    QVariant cell(int r, int c, int role) const {
        const QueryRow& row = rows[r];
        const bool placed = row.place > 0 && (c == 6 + row.place || c == 16 + row.place);
        switch (role) {
            case Qt::DisplayRole:
                if (c >= kFixedColumns)
                    return QString::fromLatin1(
                        numbersWithError(*row.ranking, smallest + (c - kFixedColumns)));
                if (c >= 17) return row.ranking->rankedErrors[c - 17];
                if (c >= 7) return int(row.ranking->ranked[c - 7]);
                switch (c) {
                    case 0:
                        return row.issue;
                    case 1:
                        return row.drawn;
                    case 2:
                        return row.place ? QVariant(row.place) : QVariant();
                    case 3:
                        return row.place ? QVariant(row.error) : QVariant();
                    case 4:
                        return row.levels;
                    case 5:
                        return row.level;
                    default:
                        return row.onLevel;
                }
            case Qt::BackgroundRole:
                return placed ? QVariant(QBrush(kPlacedBlue)) : QVariant();
            case Qt::ForegroundRole:
                // Black on that blue cannot be read.
                return placed ? QVariant(QBrush(Qt::white)) : QVariant();
            case Qt::TextAlignmentRole:
                return int((c >= kFixedColumns ? Qt::AlignLeft : Qt::AlignHCenter) |
                           Qt::AlignVCenter);
            default:
                return {};
        }
    }
};

frmLslb::frmLslb(Exporter& exporter, QWidget* parent)
    : QWidget(parent, Qt::Window), exporter_(exporter) {
    setObjectName(QStringLiteral("frmLslb"));
    setWindowTitle(QStringLiteral("历史开奖列表"));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* frame = new QGroupBox(QStringLiteral("名次"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* frameLayout = new QHBoxLayout(frame);
    for (int p = 1; p <= kPositions; ++p) {
        auto* option =
            new QRadioButton(QString::fromStdString(ParameterNames::positionName(p)), frame);
        option->setObjectName(QStringLiteral("Option2_%1").arg(p));
        // A choice only; the grid changes with "查询该位该类对应号历史排序结果".
        connect(option, &QRadioButton::toggled, this, [this, p](bool on) {
            if (on) compared_ = p;
        });
        options_[p - 1] = option;
        frameLayout->addWidget(option);
    }
    top->addWidget(frame);
    auto* query = new QPushButton(QStringLiteral("查询该位该类对应号历史排序结果"), this);
    query->setObjectName(QStringLiteral("Command2"));
    connect(query, &QPushButton::clicked, this, &frmLslb::refill);
    auto* exportButton = new QPushButton(QStringLiteral("查询结果导出(&O)"), this);
    exportButton->setObjectName(QStringLiteral("Command1"));
    connect(exportButton, &QPushButton::clicked, this,
            [this] { exporter_.exportGrid(this, kExportTitle, *model_, ExportNames::kQuery); });
    top->addWidget(query);
    top->addWidget(exportButton);
    top->addStretch(1);
    layout->addLayout(top);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("lblNote"));
    layout->addWidget(note_);

    model_ = new CellModel(this);
    grid_ = longGrid(model_, this);
    // The error-value columns take the default width.
    grid_->horizontalHeader()->setDefaultSectionSize(twipsToPixels(kErrorColumnTwips));
    grid_->setToolTip(QStringLiteral("双击列表导出到 %1").arg(ExportNames::kQueryGrid));
    connect(grid_, &QTableView::doubleClicked, this,
            [this] { exporter_.exportGrid(this, kExportTitle, *model_, ExportNames::kQueryGrid); });
    layout->addWidget(grid_, 1);
    resize(1100, 700);
}

frmLslb::~frmLslb() = default;

void frmLslb::fill(std::shared_ptr<const Replay> replay, int comparedPosition) {
    replay_ = std::move(replay);
    compared_ = std::clamp(comparedPosition, 1, kPositions);
    options_[compared_ - 1]->setChecked(true);
    QString note = QStringLiteral("参与排序的公式%1条").arg(replay_->formulas);
    if (replay_->invalid > 0)
        note += QStringLiteral("，另有%1条所选公式无效（不能在每期历史上计算），未参与排序")
                    .arg(replay_->invalid);
    note_->setText(note + QStringLiteral("。"));
    refill();
}

void frmLslb::refill() {
    // The grid may be being written to a workbook.
    if (!replay_ || exporter_.busy()) return;
    auto shown = std::make_shared<Shown>();
    shown->replay = replay_;
    shown->rows = queryRows(*replay_, compared_);
    QStringList headers = fixedHeaders();
    if (!shown->rows.empty()) {
        const auto [smallest, largest] = errorRange(*replay_);
        shown->smallest = smallest;
        for (std::int32_t e = smallest; e <= largest; ++e) headers << QStringLiteral("%1次").arg(e);
    }
    model_->reset(static_cast<int>(shown->rows.size()), headers,
                  [shown](int r, int c, int role) { return shown->cell(r, c, role); });
    const QFontMetrics metrics = grid_->horizontalHeader()->fontMetrics();
    for (int c = 0; c < kFixedColumns; ++c)
        grid_->setColumnWidth(c, std::max(twipsToPixels(fixedColumnTwips(c)),
                                          metrics.horizontalAdvance(headers[c]) + 12));
}

}  // namespace varnet
