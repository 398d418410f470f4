#include "search/WorkInbox.h"

namespace varnet {

void WorkInbox::putFind(const SearchResult& find, FormulaShape shape,
                        const std::optional<FindScores>& scores) {
    std::lock_guard<std::mutex> lock(mutex_);
    finds_.add(find, shape, scores);
}

void WorkInbox::putTuned(int position, const Thresholds& t) {
    std::lock_guard<std::mutex> lock(mutex_);
    tuned_.push_back({position, t});
}

void WorkInbox::putPosition(int position) {
    std::lock_guard<std::mutex> lock(mutex_);
    position_ = position;
}

WorkInbox::Taken WorkInbox::take() {
    Taken taken;
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(taken.finds, finds_);
    taken.tuned.swap(tuned_);
    taken.position = position_;
    return taken;
}

}  // namespace varnet
