#include "analysis/DetailListWindow.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "analysis/Exports.h"
#include "base/ParameterNames.h"
#include "ui/CellModel.h"
#include "ui/ModelExport.h"

namespace varnet {

namespace {

constexpr int kWidths[5] = {600, 8000, 600, 600, 600};

}  // namespace

frmXxlb::frmXxlb(std::vector<VotingFormula> voters, bool chinese, Exporter& exporter,
                 QWidget* parent)
    : QDialog(parent), voters_(std::move(voters)) {
    setObjectName(QStringLiteral("frmXxlb"));
    setWindowTitle(QStringLiteral("详细结果列表"));
    setModal(true);

    model_ = new CellModel(this);
    model_->reset(
        static_cast<int>(voters_.size()),
        {QStringLiteral("序号"), QStringLiteral("公式"), QStringLiteral("类型"),
         QStringLiteral("生杀"), QStringLiteral("结果")},
        [this, chinese](int r, int c, int role) -> QVariant {
            if (role == Qt::TextAlignmentRole)
                return int((c == 1 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
            if (role != Qt::DisplayRole) return {};
            const VotingFormula& f = voters_[r];
            switch (c) {
                case 0:
                    return r + 1;
                case 1:
                    return QString::fromStdString(chinese ? f.chinese : f.code);
                case 2:
                    return QString::fromStdString(ParameterNames::positionName(f.position));
                case 3:
                    return f.kill ? QStringLiteral("杀") : QStringLiteral("生");
                default:
                    return f.number;
            }
        });
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("MSFlexGrid1"));
    grid_->setModel(model_);
    grid_->verticalHeader()->hide();
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < 5; ++c) grid_->setColumnWidth(c, twipsToPixels(kWidths[c]));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    export_ = new QPushButton(QStringLiteral("导出数据(&E)"), this);
    export_->setObjectName(QStringLiteral("Command1"));
    connect(export_, &QPushButton::clicked, this, [this, &exporter] {
        exporter.exportGrid(this, QStringLiteral("导出"), *model_, ExportNames::kFormulas);
    });
    layout->addWidget(export_, 0, Qt::AlignRight);
    resize(twipsToPixels(10400) + 40, 480);
}

frmXxlb::~frmXxlb() = default;

}  // namespace varnet
