#pragma once

#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "engine/Thresholds.h"
#include "search/FoundList.h"

namespace varnet {

// What a search, scheme or tuning on a worker hands to the window: the finds
// not shown yet, the tuned positions not stored yet and the scheme position
// last started. The worker puts, the window takes; both under one lock.
class WorkInbox {
  public:
    struct Taken {
        FoundList finds;
        std::vector<std::pair<int, Thresholds>> tuned;
        int position = 0;  // the scheme position last started (0: none)
    };

    void putFind(const SearchResult& find, FormulaShape shape,
                 const std::optional<FindScores>& scores);
    void putTuned(int position, const Thresholds& t);
    void putPosition(int position);
    // Everything put since the last take; the position stays.
    Taken take();

  private:
    std::mutex mutex_;
    FoundList finds_;
    std::vector<std::pair<int, Thresholds>> tuned_;
    int position_ = 0;
};

}  // namespace varnet
