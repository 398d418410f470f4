#include "search/SchemePlanBox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

#include "base/NumericText.h"
#include "base/ParameterNames.h"
#include "search/SearchSettings.h"
#include "ui/Asker.h"

namespace varnet {

namespace {

QString positionName(int p) { return QString::fromStdString(ParameterNames::positionName(p)); }

}  // namespace

SchemePlanBox::SchemePlanBox(QWidget* parent)
    : QGroupBox(QStringLiteral("公式自动搜索方案设置"), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* planGrid = new QGridLayout;
    for (int p = 1; p <= 10; ++p) {
        auto* label = new QLabel(positionName(p), this);
        label->setObjectName(QStringLiteral("planLabel%1").arg(p));
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("plan%1").arg(p));
        // A plan of up to nine digits shows whole.
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("999999999")) + 16);
        connect(box, &QLineEdit::editingFinished, this, &SchemePlanBox::recomputeTotal);
        auto* existing = new QLabel(this);
        existing->setObjectName(QStringLiteral("existing%1").arg(p));
        existing->setMinimumWidth(40);
        planGrid->addWidget(label, p - 1, 0);
        planGrid->addWidget(box, p - 1, 1);
        planGrid->addWidget(existing, p - 1, 2);
        labels_[p - 1] = label;
        boxes_[p - 1] = box;
        existingLabels_[p - 1] = existing;
    }
    layout->addLayout(planGrid);
    addMode_ = new QRadioButton(QStringLiteral("公式新增数量"), this);
    addMode_->setObjectName(QStringLiteral("optAddMode"));
    addMode_->setChecked(true);
    holdMode_ = new QRadioButton(QStringLiteral("公式保有数量"), this);
    holdMode_->setObjectName(QStringLiteral("optHoldMode"));
    connect(addMode_, &QRadioButton::clicked, this, [this] { chooseMode(false); });
    connect(holdMode_, &QRadioButton::clicked, this, [this] { chooseMode(true); });
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(addMode_);
    modeRow->addWidget(holdMode_);
    layout->addLayout(modeRow);
    autoReplace_ = new QCheckBox(QStringLiteral("搜索完毕公式自动更新到数据库"), this);
    autoReplace_->setObjectName(QStringLiteral("chkAutoReplace"));
    autoReplace_->setChecked(true);
    autoAppend_ = new QCheckBox(QStringLiteral("搜索完毕公式自动追加到数据库"), this);
    autoAppend_->setObjectName(QStringLiteral("chkAutoAppend"));
    connect(autoReplace_, &QCheckBox::clicked, this, [this] { chooseAutoSave(autoReplace_); });
    connect(autoAppend_, &QCheckBox::clicked, this, [this] { chooseAutoSave(autoAppend_); });
    layout->addWidget(autoReplace_);
    layout->addWidget(autoAppend_);
    auto* totalRow = new QHBoxLayout;
    totalRow->addWidget(new QLabel(QStringLiteral("公式总保有量"), this));
    total_ = new QLabel(this);
    total_->setObjectName(QStringLiteral("totalLabel"));
    totalRow->addWidget(total_, 1);
    layout->addLayout(totalRow);
    auto* buttons = new QGridLayout;
    load_ = new QPushButton(QStringLiteral("调用设置"), this);
    load_->setObjectName(QStringLiteral("cmdLoadPlan"));
    save_ = new QPushButton(QStringLiteral("保存设置"), this);
    save_->setObjectName(QStringLiteral("cmdSavePlan"));
    start_ = new QPushButton(QStringLiteral("确定搜索方案开始搜索"), this);
    start_->setObjectName(QStringLiteral("cmdScheme"));
    pause_ = new QPushButton(QStringLiteral("暂停"), this);
    pause_->setObjectName(QStringLiteral("cmdSchemePause"));
    continue_ = new QPushButton(QStringLiteral("继续"), this);
    continue_->setObjectName(QStringLiteral("cmdSchemeContinue"));
    buttons->addWidget(load_, 0, 0);
    buttons->addWidget(save_, 0, 1);
    buttons->addWidget(start_, 1, 0, 1, 2);
    buttons->addWidget(pause_, 2, 0);
    buttons->addWidget(continue_, 2, 1);
    layout->addLayout(buttons);
}

void SchemePlanBox::setExisting(const std::array<int, 10>& counts) {
    existing_ = counts;
    for (int p = 1; p <= 10; ++p)
        existingLabels_[p - 1]->setText(QString::number(existing_[p - 1]));
    recomputeTotal();
}

void SchemePlanBox::showExistingTotal() {
    long long total = 0;
    for (int n : existing_) total += n;
    total_->setText(QString::number(total));
}

bool SchemePlanBox::read(std::array<std::optional<int>, 10>& plan, Asker& asker, QWidget* parent,
                         const QString& title) {
    for (int p = 1; p <= 10; ++p) {
        const QString text = boxes_[p - 1]->text();
        plan[p - 1].reset();
        if (text.trimmed().isEmpty()) continue;
        const auto n = parseWholeInteger(text.toStdString());
        if (!n || *n < 0 || *n > INT32_MAX) {
            asker.warn(
                parent, title,
                QStringLiteral("%1位的计划数量“%2”不是不小于0的整数。").arg(positionName(p), text));
            boxes_[p - 1]->setFocus();
            return false;
        }
        plan[p - 1] = static_cast<int>(*n);
    }
    return true;
}

void SchemePlanBox::load(SearchSettings& stored, bool kill) {
    for (int p = 1; p <= 10; ++p) boxes_[p - 1]->setText(QString::number(stored.plan(p, kill)));
    recomputeTotal();
}

void SchemePlanBox::save(SearchSettings& stored, bool kill,
                         const std::array<std::optional<int>, 10>& plan) {
    for (int p = 1; p <= 10; ++p) stored.setPlan(p, kill, plan[p - 1].value_or(0));
}

bool SchemePlanBox::hold() const { return holdMode_->isChecked(); }
bool SchemePlanBox::autoAppend() const { return autoAppend_->isChecked(); }
bool SchemePlanBox::autoReplace() const { return autoReplace_->isChecked(); }

void SchemePlanBox::markPosition(int p) {
    for (int i = 1; i <= 10; ++i) {
        if (i < p)
            labels_[i - 1]->setStyleSheet(QStringLiteral("color: blue"));
        else if (i == p)
            labels_[i - 1]->setStyleSheet(QStringLiteral("color: red"));
    }
}

void SchemePlanBox::markAllDone() {
    for (QLabel* l : labels_) l->setStyleSheet(QStringLiteral("color: blue"));
}

void SchemePlanBox::clearMarks() {
    for (QLabel* l : labels_) l->setStyleSheet(QString());
}

void SchemePlanBox::chooseMode(bool hold) {
    autoAppend_->setChecked(hold);
    autoReplace_->setChecked(!hold);
    recomputeTotal();
}

void SchemePlanBox::chooseAutoSave(QCheckBox* clicked) {
    (clicked == autoAppend_ ? autoReplace_ : autoAppend_)->setChecked(false);
    recomputeTotal();
}

void SchemePlanBox::recomputeTotal() {
    const bool hold = holdMode_->isChecked();
    long long planned = 0, existing = 0;
    for (int p = 1; p <= 10; ++p) {
        const long long plan = std::llround(
            std::clamp(numericValue(boxes_[p - 1]->text().toStdString()), -1e12, 1e12));
        existing += existing_[p - 1];
        if (!hold)
            planned += plan;
        else if (existing_[p - 1] < plan)
            planned += plan - existing_[p - 1];
    }
    total_->setText(QString::number(autoAppend_->isChecked() ? planned + existing : planned));
}

}  // namespace varnet
