#include "ui/PositionKindSelector.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

#include "base/ParameterNames.h"

namespace varnet {

PositionKindSelector::PositionKindSelector(QWidget* parent) : QObject(parent) {
    positionBox_ = new QGroupBox(QStringLiteral("位数选择"), parent);
    auto* grid = new QGridLayout(positionBox_);
    for (int p = 1; p <= 10; ++p) {
        auto* b =
            new QRadioButton(QString::fromStdString(ParameterNames::positionName(p)), positionBox_);
        b->setObjectName(QStringLiteral("optPosition%1").arg(p));
        grid->addWidget(b, (p - 1) / 5, (p - 1) % 5);
        connect(b, &QRadioButton::clicked, this, [this, p] { emit positionClicked(p); });
        positions_[p - 1] = b;
    }
    kindBox_ = new QGroupBox(QStringLiteral("生杀"), parent);
    auto* row = new QHBoxLayout(kindBox_);
    kill_ = new QRadioButton(QStringLiteral("杀"), kindBox_);
    kill_->setObjectName(QStringLiteral("optKill"));
    keep_ = new QRadioButton(QStringLiteral("生"), kindBox_);
    keep_->setObjectName(QStringLiteral("optKeep"));
    row->addWidget(kill_);
    row->addWidget(keep_);
    connect(kill_, &QRadioButton::clicked, this, [this] { emit kindClicked(true); });
    connect(keep_, &QRadioButton::clicked, this, [this] { emit kindClicked(false); });
    connect(kill_, &QRadioButton::toggled, this, [this](bool on) { emit kindChanged(on); });
}

int PositionKindSelector::position() const {
    for (int p = 1; p <= 10; ++p)
        if (positions_[p - 1]->isChecked()) return p;
    return 1;
}

bool PositionKindSelector::kill() const { return !keep_->isChecked(); }

void PositionKindSelector::setPosition(int position) {
    if (position >= 1 && position <= 10) positions_[position - 1]->setChecked(true);
}

void PositionKindSelector::setKill(bool kill) { (kill ? kill_ : keep_)->setChecked(true); }

}  // namespace varnet
