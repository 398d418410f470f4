#include "search/ThresholdsBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "engine/ScoreStat.h"
#include "ui/Asker.h"

namespace varnet {

namespace {

QString boundName(int box) {
    return box % 2 == 0 ? QStringLiteral("下限") : QStringLiteral("上限");
}

QString statName(int box) { return QString::fromUtf8(captionOf(kScoreStats[box / 2])); }

// A box that must hold a number, and nothing else.
std::optional<double> strictNumber(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace

ThresholdsBox::ThresholdsBox(QWidget* parent) : QGroupBox(QStringLiteral("公式参数"), parent) {
    auto* grid = new QGridLayout(this);
    for (int s = 0; s < 5; ++s) {
        grid->addWidget(new QLabel(QString::fromUtf8(captionOf(kScoreStats[s])), this), s, 0);
        for (int b = 0; b < 2; ++b) {
            auto* box = new QLineEdit(this);
            box->setObjectName(QStringLiteral("threshold%1").arg(2 * s + b));
            // Wide enough for a tuned rate with all its digits; narrower, the
            // box scrolls to its end and hides the leading ones.
            const int wide =
                box->fontMetrics().horizontalAdvance(QStringLiteral("99.9999999")) + 16;
            box->setMinimumWidth(wide);
            box->setMaximumWidth(std::max(80, wide));
            boxes_[2 * s + b] = box;
            grid->addWidget(box, s, 1 + 2 * b);
        }
        grid->addWidget(new QLabel(QStringLiteral("到"), this), s, 2);
    }
    save_ = new QPushButton(QStringLiteral("保存当前种类参数设置"), this);
    save_->setObjectName(QStringLiteral("cmdSaveThresholds"));
    grid->addWidget(save_, 5, 0, 1, 4);
}

std::array<std::string, 10> ThresholdsBox::texts() const {
    std::array<std::string, 10> texts;
    for (int i = 0; i < 10; ++i) texts[i] = boxes_[i]->text().toStdString();
    return texts;
}

void ThresholdsBox::show(const Thresholds& t) {
    for (int i = 0; i < 10; ++i) showBound(i, t.th[i]);
}

void ThresholdsBox::showBound(int box, double value) {
    // The shortest text that reads back as the same single-precision value
    // ("93.6", not "93.5999985"), shown from its start: a box scrolled to the
    // cursor at the end hides the leading digits of a long value.
    boxes_[box]->setText(QString::fromStdString(singleText(value)));
    boxes_[box]->setCursorPosition(0);
}

void ThresholdsBox::focusBox(int box) { boxes_[box]->setFocus(); }

std::optional<std::pair<int, QString>> ThresholdsBox::fault(const Thresholds& t) const {
    const auto f = checkThresholds(t);
    if (!f) return std::nullopt;
    const QString name = statName(f->box);
    if (f->kind == ThresholdFault::RateOutOfRange)
        return std::pair{f->box, QStringLiteral("%1的%2“%3”不在0到100之间，")
                                     .arg(name, boundName(f->box), boxes_[f->box]->text())};
    return std::pair{f->box, QStringLiteral("%1的下限“%2”大于上限“%3”，")
                                 .arg(name, boxes_[f->box]->text(), boxes_[f->box + 1]->text())};
}

std::optional<Thresholds> ThresholdsBox::read(Asker& asker, QWidget* parent, const QString& title) {
    Thresholds t;
    for (int i = 0; i < 10; ++i) {
        const auto v = strictNumber(boxes_[i]->text());
        if (!v) {
            asker.warn(parent, title,
                       QStringLiteral("%1的%2“%3”不是数字，参数没有保存。")
                           .arg(statName(i), boundName(i), boxes_[i]->text()));
            boxes_[i]->setFocus();
            return std::nullopt;
        }
        t.th[i] = *v;
    }
    if (const auto f = fault(t)) {
        asker.warn(parent, title, f->second + QStringLiteral("参数没有保存。"));
        boxes_[f->first]->setFocus();
        return std::nullopt;
    }
    return t;
}

}  // namespace varnet
