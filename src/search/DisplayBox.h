#pragma once

#include <QLineEdit>

namespace varnet {

// A read-only box the search window shows a figure in.
class DisplayBox : public QLineEdit {
  public:
    DisplayBox(QWidget* parent, const QString& name) : QLineEdit(parent) {
        setObjectName(name);
        setReadOnly(true);
    }
};

}  // namespace varnet
