#include "ui/WorkRunner.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <exception>

namespace varnet {

namespace {

// Runs the job and turns what it throws into the outcome's message.
void runCaught(const std::function<void(Progress&)>& job, Progress& progress, WorkOutcome& out) {
    try {
        job(progress);
    } catch (const std::exception& e) {
        out.failed = true;
        out.error = e.what();
    } catch (...) {
        out.failed = true;
        out.error = "未知错误";
    }
    out.cancelled = progress.cancelled();
}

}  // namespace

WorkRunner::WorkRunner(QObject* parent) : QObject(parent) {}

WorkRunner::~WorkRunner() { wait(); }

WorkOutcome WorkRunner::run(const std::function<void(Progress&)>& job, bool cancellable) {
    WorkOutcome out;
    if (busy_) return out;
    busy_ = true;
    out.ran = true;
    progress_ = std::make_unique<Progress>();
    Progress& progress = *progress_;
    QApplication::setOverrideCursor(Qt::WaitCursor);

    QThread* worker = QThread::create([&] { runCaught(job, progress, out); });
    QEventLoop loop;
    bool done = false;
    connect(worker, &QThread::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (progress.total() > 0) emit progressed(progress.done(), progress.total());
    });
    worker->start();
    // Short work ends before anything is shown; clicks wait for it. Long
    // work gets the progress bar and, when it can stop, the cancel button.
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    bool shown = false;
    while (!done) {
        if (!shown) {
            emit longWorkShown(cancellable);
            poll.start(100);
            shown = true;
        }
        loop.exec();
    }
    worker->wait();
    delete worker;
    poll.stop();
    if (shown) emit longWorkEnded();
    QApplication::restoreOverrideCursor();
    busy_ = false;
    // Writes that waited run once the caller has applied this job's result.
    if (!writes_.empty()) QTimer::singleShot(0, this, [this] { runWrites(); });
    return out;
}

bool WorkRunner::start(std::function<void(Progress&)> job,
                       std::function<void(const WorkOutcome&)> done) {
    if (busy_) return false;
    busy_ = true;
    progress_ = std::make_unique<Progress>();
    startedOutcome_ = WorkOutcome{};
    startedOutcome_.ran = true;
    startedDone_ = std::move(done);
    Progress* progress = progress_.get();
    thread_ = QThread::create(
        [this, progress, job = std::move(job)] { runCaught(job, *progress, startedOutcome_); });
    if (!poll_) {
        poll_ = new QTimer(this);
        poll_->setInterval(100);
        connect(poll_, &QTimer::timeout, this, [this] {
            if (progress_ && progress_->total() > 0)
                emit progressed(progress_->done(), progress_->total());
        });
    }
    connect(
        thread_, &QThread::finished, this, [this] { finishStarted(); }, Qt::QueuedConnection);
    poll_->start();
    thread_->start();
    return true;
}

void WorkRunner::finishStarted() {
    if (!thread_) return;
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    poll_->stop();
    busy_ = false;
    const WorkOutcome out = startedOutcome_;
    auto done = std::move(startedDone_);
    startedDone_ = nullptr;
    if (done) done(out);
    if (!writes_.empty()) QTimer::singleShot(0, this, [this] { runWrites(); });
}

void WorkRunner::wait() {
    if (!thread_) return;
    thread_->wait();
    finishStarted();
}

void WorkRunner::cancel() {
    if (progress_ && busy_) progress_->requestCancel();
    if (cancelHook_) cancelHook_();
}

void WorkRunner::queueWrite(std::function<void()> write) {
    writes_.push_back(std::move(write));
    runWrites();
}

void WorkRunner::runWrites() {
    // One at a time: a write runs its own job through run(), which must not
    // start the next write from within.
    while (!busy_ && !writing_ && !writes_.empty()) {
        const auto write = std::move(writes_.front());
        writes_.pop_front();
        writing_ = true;
        write();
        writing_ = false;
    }
}

}  // namespace varnet
