#pragma once

#include <QAbstractTableModel>

#include "search/FoundList.h"

namespace varnet {

// The search window's result list: every find since the window opened (the
// batch is the tail not saved yet). Rows are only ever appended, many at a
// time. Column 0 is the Chinese form, the others the find's figures, each
// formatted only when shown.
class FindsModel : public QAbstractTableModel {
  public:
    enum Column { Formula, Rate, HeldOut, Significance, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(finds_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void append(const FoundList& finds);
    const FoundList& finds() const { return finds_; }
    static const QString& significanceTip();

  private:
    FoundList finds_;
};

}  // namespace varnet
