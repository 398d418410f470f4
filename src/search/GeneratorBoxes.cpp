#include "search/GeneratorBoxes.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "base/NumericText.h"
#include "search/SearchSettings.h"

namespace varnet {

GeneratorBoxes::GeneratorBoxes(QWidget* parent) : QObject(parent) {
    shapeBox_ = new QGroupBox(QStringLiteral("公式形式"), parent);
    auto* shapeLayout = new QHBoxLayout(shapeBox_);
    prefix_ = new QRadioButton(QStringLiteral("[Xxx类]A+B"), shapeBox_);
    prefix_->setObjectName(QStringLiteral("optPrefix"));
    prefix_->setChecked(true);
    suffix_ = new QRadioButton(QStringLiteral("A+B=下期杀xx"), shapeBox_);
    suffix_->setObjectName(QStringLiteral("optSuffix"));
    shapeLayout->addWidget(prefix_);
    shapeLayout->addWidget(suffix_);

    operandBox_ = new QGroupBox(QStringLiteral("公式元数"), parent);
    auto* operandLayout = new QHBoxLayout(operandBox_);
    operandLayout->addWidget(new QLabel(QStringLiteral("公式运算元数"), operandBox_));
    operandSlider_ = new QSlider(Qt::Horizontal, operandBox_);
    operandSlider_->setObjectName(QStringLiteral("operandSlider"));
    operandSlider_->setMinimumWidth(100);  // squeezed to a dot by the boxes beside it
    operandSlider_->setRange(2, 24);
    operandSlider_->setValue(SearchSettings::kDefaultOperands);
    operandText_ = new QLineEdit(QString::number(SearchSettings::kDefaultOperands), operandBox_);
    operandText_->setObjectName(QStringLiteral("operandBox"));
    operandText_->setMaximumWidth(40);
    operandLayout->addWidget(operandSlider_, 1);
    operandLayout->addWidget(operandText_);
    connect(operandSlider_, &QSlider::valueChanged, this, [this](int v) {
        operandText_->setText(QString::number(v));
        if (!loading_) emit operandsChanged(v);
    });
    connect(operandText_, &QLineEdit::editingFinished, this, [this] {
        const auto n = parseWholeInteger(operandText_->text().toStdString());
        if (n && *n >= 2 && *n <= 24)
            operandSlider_->setValue(static_cast<int>(*n));
        else
            operandText_->setText(QString::number(operandSlider_->value()));
    });

    constantBox_ = new QGroupBox(QStringLiteral("公式末尾偏移常数"), parent);
    auto* constantLayout = new QHBoxLayout(constantBox_);
    fixed_ = new QRadioButton(QStringLiteral("指定"), constantBox_);
    fixed_->setObjectName(QStringLiteral("optFixed"));
    fixed_->setChecked(true);
    random_ = new QRadioButton(QStringLiteral("随机"), constantBox_);
    random_->setObjectName(QStringLiteral("optRandom"));
    constant_ = new QLineEdit(QStringLiteral("0"), constantBox_);
    constant_->setObjectName(QStringLiteral("constantBox"));
    constant_->setMaximumWidth(60);
    constantLayout->addWidget(fixed_);
    constantLayout->addWidget(random_);
    constantLayout->addWidget(constant_);
}

int GeneratorBoxes::operands() const { return operandSlider_->value(); }

void GeneratorBoxes::showOperands(int operands) {
    loading_ = true;
    operandSlider_->setValue(operands);
    operandText_->setText(QString::number(operandSlider_->value()));
    loading_ = false;
}

GeneratorSettings GeneratorBoxes::settings(int position, bool kill) const {
    GeneratorSettings g;
    g.operands = operandSlider_->value();
    g.position = position;
    g.kill = kill;
    g.shape = prefix_->isChecked() ? FormulaShape::Prefix : FormulaShape::Suffix;
    if (fixed_->isChecked())
        g.constant = specifiedConstant(constant_->text().toStdString()).value_or(0);
    return g;
}

}  // namespace varnet
