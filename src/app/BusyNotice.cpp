#include "app/BusyNotice.h"

#include <QApplication>
#include <QMetaObject>
#include <QProgressDialog>
#include <QThread>

namespace varnet {

BusyNotice::BusyNotice(int seconds) : seconds_(seconds) {}

BusyNotice::~BusyNotice() { delete box_; }

template <class F>
void BusyNotice::onGuiThread(F f) {
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, f, Qt::QueuedConnection);
}

BusyWait BusyNotice::wait() {
    BusyWait w;
    w.seconds = seconds_;
    w.waiting = [this] {
        cancelled_ = false;
        onGuiThread([this] { show(); });
    };
    w.cancelled = [this] {
        // A wait on the window thread keeps the box answering.
        if (QThread::currentThread() == thread()) QApplication::processEvents();
        return cancelled_.load();
    };
    w.ended = [this] { onGuiThread([this] { hide(); }); };
    return w;
}

void BusyNotice::show() {
    if (!box_) {
        box_ = new QProgressDialog(QStringLiteral("数据文件正被另一个程序使用，等待中…"),
                                   QStringLiteral("取消"), 0, 0);
        box_->setObjectName(QStringLiteral("busyNotice"));
        box_->setWindowTitle(QStringLiteral("Varnet"));
        box_->setWindowModality(Qt::ApplicationModal);
        box_->setAutoReset(false);
        box_->setAutoClose(false);
        box_->setMinimumDuration(0);
        QObject::connect(box_, &QProgressDialog::canceled, this, [this] { cancelled_ = true; });
    }
    box_->setLabelText(
        QStringLiteral("数据文件正被另一个程序使用，等待中…（最多等 %1 秒）").arg(seconds_));
    box_->show();
}

void BusyNotice::hide() {
    if (box_) box_->hide();
}

}  // namespace varnet
