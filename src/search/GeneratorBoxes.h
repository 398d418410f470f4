#pragma once

#include <QObject>

#include "engine/Generator.h"

class QGroupBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QWidget;

namespace varnet {

// How the search makes its candidates: "公式形式" (prefix or suffix),
// "公式元数" (the operand count) and "公式末尾偏移常数" (a fixed or random
// constant). It builds the three boxes; the window lays them out.
class GeneratorBoxes : public QObject {
    Q_OBJECT
  public:
    explicit GeneratorBoxes(QWidget* parent);

    QGroupBox* shapeBox() const { return shapeBox_; }
    QGroupBox* operandBox() const { return operandBox_; }
    QGroupBox* constantBox() const { return constantBox_; }

    int operands() const;
    // Shows a stored count: no operandsChanged.
    void showOperands(int operands);
    GeneratorSettings settings(int position, bool kill) const;

  signals:
    // The user moved the slider or typed a count.
    void operandsChanged(int operands);

  private:
    QGroupBox* shapeBox_;
    QGroupBox* operandBox_;
    QGroupBox* constantBox_;
    QRadioButton* prefix_;
    QRadioButton* suffix_;
    QSlider* operandSlider_;
    QLineEdit* operandText_;
    QRadioButton* fixed_;
    QRadioButton* random_;
    QLineEdit* constant_;
    bool loading_ = false;
};

}  // namespace varnet
