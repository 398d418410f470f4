#include "search/ResultList.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Paths.h"
#include "formula/FormulaExport.h"
#include "search/FindsModel.h"
#include "search/FindsView.h"
#include "ui/Asker.h"
#include "ui/ModelExport.h"

namespace varnet {

ResultList::ResultList(QWidget* window, QVBoxLayout* column) : QObject(window) {
    model_ = new FindsModel(window);
    view_ = new FindsView(model_, window);
    column->addWidget(view_, 1);

    auto* row = new QHBoxLayout;
    append_ = new QPushButton(QStringLiteral("公式追加到数据库(&A)"), window);
    append_->setObjectName(QStringLiteral("cmdAppend"));
    append_->setToolTip(QStringLiteral("保留软件现有公式然后将所有合格公式追加到软件数据库。"));
    replace_ = new QPushButton(QStringLiteral("公式更新到数据库(&N)"), window);
    replace_->setObjectName(QStringLiteral("cmdReplace"));
    replace_->setToolTip(QStringLiteral("删除软件现有公式然后将所有合格公式添加到软件数据库。"));
    export_ = new QPushButton(QStringLiteral("公式中文导出"), window);
    export_->setObjectName(QStringLiteral("cmdExport"));
    row->addWidget(append_);
    row->addWidget(replace_);
    row->addWidget(export_);
    column->addLayout(row);
}

void ResultList::append(const FoundList& finds) {
    model_->append(finds);
    view_->scrollToBottom();
}

std::vector<SearchResult> ResultList::batch() const {
    std::vector<SearchResult> batch;
    const FoundList& finds = model_->finds();
    batch.reserve(batchSize());
    for (std::size_t i = batchStart_; i < finds.size(); ++i) batch.push_back(finds.result(i));
    return batch;
}

std::size_t ResultList::batchSize() const { return model_->finds().size() - batchStart_; }

std::vector<int> ResultList::batchPositions() const {
    std::vector<int> positions;
    for (const SearchResult& r : batch())
        if (std::find(positions.begin(), positions.end(), r.position) == positions.end())
            positions.push_back(r.position);
    return positions;
}

std::size_t ResultList::startBatch() {
    const std::size_t start = batchStart_;
    batchStart_ = model_->finds().size();
    return start;
}

void ResultList::takeBack(std::size_t start) { batchStart_ = std::min(batchStart_, start); }

void ResultList::exportText(const QString& issue, Exporter& exporter, Asker& asker,
                            QWidget* parent) {
    const QString title = QStringLiteral("公式中文导出");
    if (issue.contains(QLatin1Char('/')) || issue.contains(QLatin1Char('\\'))) {
        asker.warn(
            parent, title,
            QStringLiteral("期号框中的“%1”含有 / 或 \\，不能用作文件名。没有导出。").arg(issue));
        return;
    }
    std::vector<ExportedFormula> formulas;
    const FoundList& lines = model_->finds();
    formulas.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) formulas.push_back({lines.chinese(i), 0});
    exporter.exportFile(parent, title, ExportNames::formulaText(issue.toStdString()), 0,
                        [&formulas](const std::string& path, const std::function<bool(int)>&) {
                            return writeFormulaText(path, formulas, FormulaPadding::Bare);
                        });
}

}  // namespace varnet
