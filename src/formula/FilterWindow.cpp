#include "formula/FilterWindow.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "base/NumericText.h"
#include "engine/ScoreStat.h"
#include "formula/FormulaListModel.h"
#include "ui/Asker.h"

namespace varnet {

namespace {

constexpr int kStatistics = static_cast<int>(kScoreStats.size());
constexpr double kSlack = 0.0001;

// Statistic s (0 rate, 1..4 the runs) of a score.
double statistic(const Score& score, int s) { return valueOf(score, kScoreStats[s]); }

// A single-precision value as its shortest decimal text (90.5, 97.25).
QString singleText(float v) { return QString::number(static_cast<double>(v), 'g', 7); }

}  // namespace

frmGSGuolv::frmGSGuolv(FormulaListModel& model, Asker& asker, QWidget* parent)
    : QDialog(parent), model_(model), asker_(asker) {
    setObjectName(QStringLiteral("frmGSGuolv"));
    setWindowTitle(QStringLiteral("公式过滤设置窗口"));
    setModal(true);

    auto* frame = new QGroupBox(QStringLiteral("公式参数"), this);
    auto* grid = new QGridLayout(frame);
    for (int s = 0; s < kStatistics; ++s) {
        grid->addWidget(new QLabel(QString::fromUtf8(captionOf(kScoreStats[s]))), s, 0);
        for (int side = 0; side < 2; ++side) {
            const int i = 2 * s + side;
            auto* box = new QLineEdit(frame);
            box->setObjectName(QStringLiteral("txtCs%1").arg(i));
            box->installEventFilter(this);
            boxes_[i] = box;
            grid->addWidget(box, s, side == 0 ? 1 : 3);
        }
        grid->addWidget(new QLabel(QStringLiteral("到")), s, 2);
    }
    okButton_ = new QPushButton(QStringLiteral("确定(&K)"), this);
    okButton_->setObjectName(QStringLiteral("cmdOK"));
    connect(okButton_, &QPushButton::clicked, this, [this] { applyFilter(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(okButton_, 0, Qt::AlignRight);
}

void frmGSGuolv::showEvent(QShowEvent* event) {
    // Every opening starts from the present selection.
    showRanges();
    QDialog::showEvent(event);
}

bool frmGSGuolv::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            // After the click that gave the focus has placed the caret.
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
    return QDialog::eventFilter(watched, event);
}

void frmGSGuolv::showRanges() {
    double lo[kStatistics] = {100, 32767, 32767, 32767, 32767};
    double hi[kStatistics] = {0, 0, 0, 0, 0};
    for (int i = 0; i < model_.size(); ++i) {
        const Score* score = model_.score(i);
        if (!model_.isSelected(i) || !score || !score->valid) continue;
        for (int s = 0; s < kStatistics; ++s) {
            lo[s] = std::min(lo[s], statistic(*score, s));
            hi[s] = std::max(hi[s], statistic(*score, s));
        }
    }
    boxes_[0]->setText(singleText(static_cast<float>(lo[0])));
    boxes_[1]->setText(singleText(static_cast<float>(hi[0])));
    for (int s = 1; s < kStatistics; ++s) {
        boxes_[2 * s]->setText(QString::number(static_cast<int>(lo[s])));
        boxes_[2 * s + 1]->setText(QString::number(static_cast<int>(hi[s])));
    }
}

int frmGSGuolv::applyFilter() {
    double lo[kStatistics], hi[kStatistics];
    for (int s = 0; s < kStatistics; ++s) {
        lo[s] = numericValue(boxes_[2 * s]->text().toStdString());
        hi[s] = numericValue(boxes_[2 * s + 1]->text().toStdString());
    }
    // The rate is a single; so are its bounds.
    lo[0] = static_cast<float>(lo[0]);
    hi[0] = static_cast<float>(hi[0]);

    int kept = 0;
    for (int i = 0; i < model_.size(); ++i) {
        if (!model_.isSelected(i)) continue;
        const Score* score = model_.score(i);
        bool pass = score && score->valid;
        for (int s = 0; pass && s < kStatistics; ++s) {
            const double v = statistic(*score, s);
            pass = lo[s] - kSlack <= v && v <= hi[s] + kSlack;
        }
        if (pass)
            ++kept;
        else
            model_.setSelected(i, false);
    }
    model_.repaintSelection();
    hide();
    asker_.inform(parentWidget(), QStringLiteral("公式过滤结果"),
                  QStringLiteral("过滤后公式剩余%1条").arg(kept));
    return kept;
}

}  // namespace varnet
