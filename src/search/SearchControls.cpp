#include "search/SearchControls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "base/NumericText.h"
#include "engine/Significance.h"
#include "search/DisplayBox.h"
#include "search/HoldOut.h"

namespace varnet {

SearchControls::SearchControls(QWidget* window) : QObject(window) {
    layout_ = new QVBoxLayout;
    auto* row = new QHBoxLayout;
    start_ = new QPushButton(QStringLiteral("开始搜索(&F)"), window);
    start_->setObjectName(QStringLiteral("cmdStart"));
    pause_ = new QPushButton(QStringLiteral("暂停搜索(&E)"), window);
    pause_->setObjectName(QStringLiteral("cmdPause"));
    limitCheck_ = new QCheckBox(QStringLiteral("自动中止"), window);
    limitCheck_->setObjectName(QStringLiteral("chkLimit"));
    limitBox_ = new QLineEdit(QStringLiteral("50"), window);
    limitBox_->setObjectName(QStringLiteral("limitBox"));
    limitBox_->setFixedWidth(
        limitBox_->fontMetrics().horizontalAdvance(QStringLiteral("999999999")) + 16);
    row->addWidget(start_);
    row->addWidget(pause_);
    row->addWidget(limitCheck_);
    row->addWidget(limitBox_);
    row->addWidget(new QLabel(QStringLiteral("条"), window));
    row->addSpacing(12);
    auto* holdOutLabel = new QLabel(QStringLiteral("留出期数"), window);
    holdOutBox_ = new QSpinBox(window);
    holdOutBox_->setObjectName(QStringLiteral("holdOutBox"));
    holdOutBox_->setRange(0, 10000000);
    holdOutBox_->setSpecialValueText(QStringLiteral("不留出"));
    const QString holdOutTip = QStringLiteral(
        "留出最后若干期不参与搜索：公式只在这之前的期数上挑选，再看它们在留出期中的命中率。"
        "0 = 不留出。");
    holdOutLabel->setToolTip(holdOutTip);
    holdOutBox_->setToolTip(holdOutTip);
    row->addWidget(holdOutLabel);
    row->addWidget(holdOutBox_);
    row->addStretch(1);
    layout_->addLayout(row);

    auto* counters = new QGridLayout;
    counters->addWidget(new QLabel(QStringLiteral("当前验证公式数"), window), 0, 0);
    verifiedBox_ = new DisplayBox(window, QStringLiteral("verifiedBox"));
    counters->addWidget(verifiedBox_, 0, 1);
    counters->addWidget(new QLabel(QStringLiteral("检索合格公式数               合格"), window), 1,
                        0);
    qualifiedBox_ = new DisplayBox(window, QStringLiteral("qualifiedBox"));
    qualifiedBox_->setText(QStringLiteral("0"));
    counters->addWidget(qualifiedBox_, 1, 1);
    layout_->addLayout(counters);
    holdOutSummary_ = new QLabel(window);
    holdOutSummary_->setObjectName(QStringLiteral("holdOutSummary"));
    holdOutSummary_->setWordWrap(true);
    holdOutSummary_->setToolTip(QStringLiteral(
        "机会合格数：同样的候选公式在留出期之前的各期打乱先后次序后（号码的出现频率不变，"
        "期与期之间的规律被打乱）合格的个数，即单凭机会能得到的合格数。\n"
        "留出期平均正确率：合格公式在留出期中命中率的平均值 ± 标准误，对照机会基线。"
        "合格公式之间常常相似、同时命中，并不独立，所以标准误按留出期各期的命中比例"
        "（该期命中的合格公式所占的比例）在各期之间的波动计算，而不把公式当作相互独立。\n"
        "显著性：单凭机会，留出期平均正确率高出机会基线这么多的单侧概率"
        "（按各期命中比例的均值作正态近似）。"));
    holdOutSummary_->hide();
    layout_->addWidget(holdOutSummary_);
    currentBox_ = new DisplayBox(window, QStringLiteral("currentBox"));
    layout_->addWidget(currentBox_);
}

std::optional<long long> SearchControls::limit() const {
    if (!limitCheck_->isChecked()) return std::nullopt;
    return std::llround(std::max(0.0, numericValue(limitBox_->text().toStdString())));
}

void SearchControls::setLimit(long long finds) { limitBox_->setText(QString::number(finds)); }

int SearchControls::holdOut() const { return holdOutBox_->value(); }

void SearchControls::focusHoldOut() { holdOutBox_->setFocus(); }

void SearchControls::setVerified(long long count) { verifiedBox_->setText(QString::number(count)); }

void SearchControls::setQualified(long long count) {
    qualifiedBox_->setText(QString::number(count));
}

void SearchControls::showCurrent(const QString& chinese) {
    currentBox_->setText(chinese);
    currentBox_->setCursorPosition(0);
}

void SearchControls::showHoldOutStarted(int holdOut) {
    holdOutSummary_->setVisible(holdOut > 0);
    holdOutSummary_->setText(QStringLiteral("留出最后 %1 期：搜索中……").arg(holdOut));
}

void SearchControls::hideHoldOut() { holdOutSummary_->hide(); }

void SearchControls::showHoldOut(const HoldOutReport& r, bool kill) {
    const QString mean = r.mean.finds > 0 ? QStringLiteral("%1% ± %2%")
                                                .arg(r.mean.mean, 0, 'f', 2)
                                                .arg(r.mean.standardError, 0, 'f', 2)
                                          : QStringLiteral("—");
    holdOutSummary_->setText(
        QStringLiteral("留出最后 %1 期 · 试验 %2 个 · 合格 %3 个 · 机会合格 %4 个"
                       "\n留出期平均正确率 %5（机会基线 %6）· 显著性 %7")
            .arg(r.holdOut)
            .arg(r.tried)
            .arg(r.finds)
            .arg(r.chanceFinds)
            .arg(mean, QString::fromStdString(baselineText(kill)),
                 r.mean.finds > 0 ? QString::fromStdString(pValueText(r.mean.pValue))
                                  : QStringLiteral("—")));
}

void SearchControls::noteHoldOutNotStored(const QString& why) {
    holdOutSummary_->setText(holdOutSummary_->text() +
                             QStringLiteral("\n这次留出检验的摘要没有保存到数据文件：") + why);
}

}  // namespace varnet
