#pragma once

#include <QTableView>

namespace varnet {

class FindsModel;

// The search's result list: one row per find, the formula taking the width
// the figures leave.
class FindsView : public QTableView {
    Q_OBJECT
  public:
    FindsView(FindsModel* model, QWidget* parent);
};

}  // namespace varnet
