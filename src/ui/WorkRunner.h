#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "base/Progress.h"

class QThread;
class QTimer;

namespace varnet {

// How a job on the worker ended.
struct WorkOutcome {
    bool ran = false;     // false: another job was running, nothing was started
    bool failed = false;  // the job threw; `error` says what
    std::string error;
    bool cancelled = false;
};

// The one way a window runs work off its thread. It owns the busy state, the
// progress and cancel of the job, turns an exception in the job into a
// message, and queues writes that arrive while a job runs, so that the
// database connection (opened without SQLite's mutex) is only ever used by
// one thread at a time. Windows show its signals; they keep no busy flag of
// their own.
class WorkRunner : public QObject {
    Q_OBJECT
  public:
    explicit WorkRunner(QObject* parent = nullptr);
    ~WorkRunner() override;

    // Runs `job` on a worker and returns once it has ended; the window keeps
    // painting meanwhile, and clicks wait. Work that takes more than a moment
    // is announced by `longWorkShown`. Nothing runs while another job does.
    WorkOutcome run(const std::function<void(Progress&)>& job, bool cancellable);

    // Starts `job` on a worker and returns at once; `done` runs on this
    // thread when it has ended. False, without starting, while busy.
    bool start(std::function<void(Progress&)> job, std::function<void(const WorkOutcome&)> done);
    // Waits for a started job to end (on close).
    void wait();

    bool busy() const { return busy_; }
    // Asks the running job to stop; `hook` is also called (e.g. to abort a
    // download the job waits on).
    void cancel();
    void setCancelHook(std::function<void()> hook) { cancelHook_ = std::move(hook); }

    // Runs `write` on this thread now when idle, else once the running job
    // and its caller are done. Writes run in the order they came.
    void queueWrite(std::function<void()> write);

    // `command` wrapped so that it does nothing while a job runs (a menu
    // entry or a shortcut can still fire then): the one busy guard. When it
    // is refused, `refused` runs instead (e.g. to put a clicked choice back).
    std::function<void()> whenIdle(std::function<void()> command,
                                   std::function<void()> refused = {}) {
        return [this, command = std::move(command), refused = std::move(refused)] {
            if (!busy_)
                command();
            else if (refused)
                refused();
        };
    }
    bool writesPending() const { return !writes_.empty(); }

  signals:
    // A job has run long enough to show a progress bar (and a cancel button
    // when it can be cancelled).
    void longWorkShown(bool cancellable);
    void progressed(long long done, long long total);
    void longWorkEnded();

  private:
    void runWrites();
    void finishStarted();

    bool busy_ = false;
    bool writing_ = false;
    std::unique_ptr<Progress> progress_;
    std::function<void()> cancelHook_;
    std::deque<std::function<void()>> writes_;
    // A started job.
    QThread* thread_ = nullptr;
    QTimer* poll_ = nullptr;
    WorkOutcome startedOutcome_;
    std::function<void(const WorkOutcome&)> startedDone_;
};

}  // namespace varnet
