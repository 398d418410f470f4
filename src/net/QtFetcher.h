#pragma once

#include <atomic>
#include <mutex>

#include "net/Fetcher.h"

class QNetworkReply;

namespace varnet {

// Fetcher over Qt Network. get() runs a local event loop, so it works on any
// thread that may block (a worker thread, or the command line's main thread);
// a QCoreApplication must exist.
class QtFetcher : public Fetcher {
  public:
    Result get(const std::string& url, const Limits& limits) override;
    void cancel() override;
    void reset() override;

  private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    QNetworkReply* running_ = nullptr;  // guarded by mutex_
};

}  // namespace varnet
