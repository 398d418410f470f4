#include "analysis/StepsWindow.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include "analysis/Exports.h"
#include "ui/Asker.h"
#include "ui/CellModel.h"
#include "ui/ModelExport.h"

namespace varnet {

namespace {

constexpr int kWidths[4] = {1000, 3200, 12000, 1600};

}  // namespace

frmGsbz::frmGsbz(Asker& asker, Exporter& exporter, QWidget* parent)
    : QWidget(parent, Qt::Window), asker_(asker) {
    setObjectName(QStringLiteral("frmGsbz"));
    setWindowTitle(QStringLiteral("公式计算步骤"));
    model_ = new CellModel(this);
    grid_ = longGrid(model_, this);
    // Cells only: the scroll bars and the header are other widgets.
    connect(grid_, &QTableView::clicked, this, [this, &exporter] {
        exporter.exportGrid(this, QStringLiteral("导出"), *model_, ExportNames::kSteps);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    resize(1000, 600);
}

frmGsbz::~frmGsbz() = default;

bool frmGsbz::showFormula(const History& history, const QString& code, const QString& chinese) {
    std::string error;
    std::vector<StepRow> rows;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        rows = formulaSteps(history, code.toStdString(), &error);
        QApplication::restoreOverrideCursor();
    }
    if (!error.empty()) {
        asker_.warn(this, windowTitle(),
                    QStringLiteral("无法计算公式 %1：%2").arg(code, QString::fromStdString(error)));
        return false;
    }
    rows_ = std::move(rows);
    model_->reset(
        static_cast<int>(rows_.size()),
        {QStringLiteral("期号"), QStringLiteral("当期号码"), chinese,
         QStringLiteral("计算值(算下期)")},
        [this](int r, int c, int role) -> QVariant {
            if (role == Qt::TextAlignmentRole)
                return int((c == 0 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
            if (role != Qt::DisplayRole) return {};
            const StepRow& row = rows_[r];
            switch (c) {
                case 0:
                    return row.issue;
                case 1:
                    return QString::fromStdString(row.numbers);
                case 2:
                    return QString::fromStdString(row.terms);
                default:
                    return QString::fromStdString(row.value);
            }
        });
    for (int c = 0; c < 4; ++c) grid_->setColumnWidth(c, twipsToPixels(kWidths[c]));
    grid_->scrollToBottom();
    return true;
}

}  // namespace varnet
