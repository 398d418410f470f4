#include "history/History.h"

#include <algorithm>

namespace varnet {

namespace {
constexpr int kDay = 128;
constexpr int kMonth = 129;
constexpr int kYear = 130;
}  // namespace

History::History() = default;

void History::reserve(int rows) {
    issues_.reserve(rows);
    for (auto& c : columns_) c.reserve(rows);
}

void History::clear() {
    issues_.clear();
    for (auto& c : columns_) c.clear();
}

void History::append(std::int32_t issue, const ParamValues& params) {
    issues_.push_back(issue);
    for (int k = 0; k < kParamCount; ++k) columns_[k].push_back(params[k]);
}

void History::truncate(int rows) {
    if (rows < 0 || rows >= size()) return;
    issues_.resize(rows);
    for (auto& c : columns_) c.resize(rows);
}

Numbers History::numbers(int row) const {
    Numbers n{};
    for (int p = 1; p <= kPositions; ++p) n[p - 1] = number(row, p);
    return n;
}

Draw History::draw(int row) const {
    Draw d;
    d.issue = issue(row);
    d.numbers = numbers(row);
    d.day = param(row, kDay);
    d.month = param(row, kMonth);
    d.year = param(row, kYear);
    return d;
}

ParamValues History::params(int row) const {
    ParamValues v{};
    for (int k = 0; k < kParamCount; ++k) v[k] = columns_[k][row];
    return v;
}

int History::findIssue(std::int32_t issue) const {
    // Rows are sorted by issue: the last row with this issue ends the equal range.
    auto it = std::upper_bound(issues_.begin(), issues_.end(), issue);
    if (it == issues_.begin() || *(it - 1) != issue) return -1;
    return static_cast<int>(it - issues_.begin()) - 1;
}

}  // namespace varnet
