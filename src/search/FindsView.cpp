#include "search/FindsView.h"

#include <QHeaderView>
#include <algorithm>

#include "search/FindsModel.h"

namespace varnet {

FindsView::FindsView(FindsModel* model, QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("resultList"));
    setModel(model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(FindsModel::Formula, QHeaderView::Stretch);
    // The figures keep the width of their widest text; the formula takes the rest.
    const char* const widest[] = {"", "100.0000%", "100.00% (10000/10000)", "<1e-300"};
    for (int c = FindsModel::Rate; c < FindsModel::ColumnCount; ++c) {
        horizontalHeader()->setSectionResizeMode(c, QHeaderView::Fixed);
        const int text = fontMetrics().horizontalAdvance(QString::fromLatin1(widest[c]));
        const int header = horizontalHeader()->fontMetrics().horizontalAdvance(
            model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        setColumnWidth(c, std::max(text, header) + 16);
    }
    // The formulas keep about half of it on a 1280-pixel screen.
    setMinimumWidth(560);
}

}  // namespace varnet
