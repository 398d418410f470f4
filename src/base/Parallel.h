#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace varnet {

// Runs fn(begin, end) over [0, count) in chunks on every core; returns when
// all are done. Chunks are handed out as workers free up, so uneven work
// still keeps every core busy.
inline void parallelFor(int count, int chunk, const std::function<void(int, int)>& fn,
                        int threads = 0) {
    if (count <= 0) return;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    chunk = std::max(1, chunk);
    threads = std::min(threads, (count + chunk - 1) / chunk);
    std::atomic<int> next{0};
    auto work = [&] {
        for (;;) {
            const int begin = next.fetch_add(chunk);
            if (begin >= count) return;
            fn(begin, std::min(count, begin + chunk));
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();
}

}  // namespace varnet
