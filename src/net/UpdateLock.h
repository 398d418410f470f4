#pragma once

#include <atomic>

namespace varnet {

// One online update at a time in this process: a second press while the
// first still downloads would write the same draws or formulas twice.
class UpdateLock {
  public:
    UpdateLock() : owned_(!flag().exchange(true)) {}
    ~UpdateLock() {
        if (owned_) flag() = false;
    }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    bool acquired() const { return owned_; }
    static constexpr const char* kBusyText = "另一个在线更新正在进行，请等它结束。";

  private:
    static std::atomic<bool>& flag() {
        static std::atomic<bool> running{false};
        return running;
    }
    bool owned_;
};

}  // namespace varnet
