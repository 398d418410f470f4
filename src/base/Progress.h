#pragma once

#include <atomic>
#include <functional>

namespace varnet {

// What logic that reports through a callback takes: (done, total); false
// asks it to stop. Progress::reporter() makes one.
using ProgressCallback = std::function<bool(long long done, long long total)>;

// How far a long job has come, and whether it should stop. The job writes,
// another thread reads; nothing here blocks. Logic takes a Progress* (null:
// nobody watches) and checks `cancelled()` at its own safe points.
class Progress {
  public:
    // Sets where the job stands; answers whether it should go on.
    bool report(long long done, long long total) {
        total_ = total;
        done_ = done;
        return !cancelled();
    }
    bool step(long long done) {
        done_ = done;
        return !cancelled();
    }
    void setTotal(long long total) { total_ = total; }
    long long done() const { return done_; }
    long long total() const { return total_; }

    void requestCancel() { cancel_ = true; }
    bool cancelled() const { return cancel_; }
    // For code that polls a flag of its own.
    const std::atomic<bool>* cancelFlag() const { return &cancel_; }

    // The same as callbacks, for code that reports through one.
    ProgressCallback reporter() {
        return [this](long long done, long long total) { return report(done, total); };
    }
    std::function<bool(int)> stepper() {
        return [this](int done) { return step(done); };
    }

  private:
    std::atomic<long long> done_{0};
    std::atomic<long long> total_{0};
    std::atomic<bool> cancel_{false};
};

// Reports to `p` when there is one.
inline bool reportTo(Progress* p, long long done, long long total) {
    return p ? p->report(done, total) : true;
}

}  // namespace varnet
