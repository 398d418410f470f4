#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>

#include "db/Database.h"

class QProgressDialog;

namespace varnet {

// The window's side of a wait for another program that holds the data file:
// a box "数据文件正被另一个程序使用，等待中…" with a cancel button while the
// wait lasts, from whichever thread waits.
class BusyNotice : public QObject {
  public:
    explicit BusyNotice(int seconds);
    ~BusyNotice() override;

    // The wait that connections take, with this box attached.
    BusyWait wait();

  private:
    void show();
    void hide();
    // Runs `f` on the window thread, at once when already there.
    template <class F>
    void onGuiThread(F f);

    int seconds_;
    QPointer<QProgressDialog> box_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace varnet
