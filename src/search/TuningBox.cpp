#include "search/TuningBox.h"

#include <QGridLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include "base/ParameterNames.h"
#include "search/DisplayBox.h"

namespace varnet {

TuningBox::TuningBox(QWidget* parent) : QGroupBox(QStringLiteral("公式参数智能设置"), parent) {
    auto* layout = new QGridLayout(this);
    current_ = new QPushButton(QStringLiteral("当前公式类在指定范围内检索最优参数设置"), this);
    current_->setObjectName(QStringLiteral("cmdTuneCurrent"));
    all_ = new QPushButton(QStringLiteral("所有公式类在指定范围内检索最优参数设置并保存"), this);
    all_->setObjectName(QStringLiteral("cmdTuneAll"));
    samples_ = new QSlider(Qt::Horizontal, this);
    samples_->setObjectName(QStringLiteral("sampleSlider"));
    samples_->setRange(20, 1000);
    samples_->setSingleStep(20);
    samples_->setPageStep(100);
    sampleBox_ = new DisplayBox(this, QStringLiteral("sampleBox"));
    sampleBox_->setText(QStringLiteral("20"));
    sampleBox_->setMaximumWidth(50);
    connect(samples_, &QSlider::valueChanged, this,
            [this](int v) { sampleBox_->setText(QString::number(v)); });
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("tuneProgress"));
    progress_->hide();
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("cmdTuneCancel"));
    cancel_->hide();
    layout->addWidget(current_, 0, 0, 1, 2);
    layout->addWidget(all_, 1, 0, 1, 2);
    layout->addWidget(samples_, 2, 0);
    layout->addWidget(sampleBox_, 2, 1);
    layout->addWidget(progress_, 3, 0);
    layout->addWidget(cancel_, 3, 1);
}

int TuningBox::samples() const { return samples_->value(); }

void TuningBox::showProgress(int steps) {
    progress_->setRange(0, steps);
    progress_->setValue(0);
    progress_->show();
    cancel_->show();
}

void TuningBox::setProgress(int done) { progress_->setValue(done); }

void TuningBox::hideProgress() {
    progress_->hide();
    cancel_->hide();
}

QString TuningBox::allTunedText(int done, bool kill) {
    // The positions are done and stored in order.
    const QString kind = kill ? QStringLiteral("杀") : QStringLiteral("生");
    if (done == 10)
        return QStringLiteral("参数检索完毕，十个位数的%1码参数已更改并保存。").arg(kind);
    if (done == 0) return QStringLiteral("参数检索已取消，没有参数被更改。");
    QStringList names;
    for (int p = 1; p <= done; ++p)
        names << QString::fromStdString(ParameterNames::positionName(p));
    return QStringLiteral("参数检索已取消。%1位的%2码参数已更改并保存，其余位数的参数没有改变。")
        .arg(names.join(QStringLiteral("、")), kind);
}

}  // namespace varnet
