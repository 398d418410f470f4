#pragma once

#include <cstdint>
#include <string>

namespace varnet {

// Downloads one address. An interface so that the windows, the command line
// and the tests can each supply their own.
class Fetcher {
  public:
    struct Limits {
        int timeoutMs = 20000;                    // for the whole request, redirects included
        std::int64_t maxBytes = 8 * 1024 * 1024;  // a longer body is abandoned
        int maxRedirects = 3;
    };

    struct Result {
        bool ok = false;
        std::string bytes;   // the body, when ok
        std::string reason;  // why not, in Chinese ("连接超时", "HTTP 404", ...)
        int httpStatus = 0;  // 0 when no answer came
        bool cancelled = false;
    };

    virtual ~Fetcher() = default;
    // GET `url` (http or https only); blocks the calling thread until done.
    virtual Result get(const std::string& url, const Limits& limits) = 0;
    // From any thread: abandons the running get() and refuses every later one
    // ("已取消") until reset(), so a cancelled series of downloads stops at once.
    virtual void cancel() = 0;
    virtual void reset() = 0;
};

}  // namespace varnet
