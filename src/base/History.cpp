#include "base/History.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace varnet {

namespace {
constexpr int kDay = 128;
constexpr int kMonth = 129;
constexpr int kYear = 130;
}  // namespace

void HistoryColumn::push_back(std::int32_t v) {
    if (width_ == 1 && (v < INT8_MIN || v > INT8_MAX))
        widen(v < INT16_MIN || v > INT16_MAX ? 4 : 2);
    if (width_ == 2 && (v < INT16_MIN || v > INT16_MAX)) widen(4);
    switch (width_) {
        case 1:
            narrow_.push_back(static_cast<std::int8_t>(v));
            break;
        case 2:
            middle_.push_back(static_cast<std::int16_t>(v));
            break;
        default:
            wide_.push_back(v);
    }
    ++size_;
}

void HistoryColumn::append(const std::int32_t* values, int count, int stride) {
    if (count <= 0) return;
    std::int32_t lo = values[0], hi = values[0];
    for (int i = 1; i < count; ++i) {
        lo = std::min(lo, values[static_cast<std::size_t>(i) * stride]);
        hi = std::max(hi, values[static_cast<std::size_t>(i) * stride]);
    }
    const int need = lo >= INT8_MIN && hi <= INT8_MAX     ? 1
                     : lo >= INT16_MIN && hi <= INT16_MAX ? 2
                                                          : 4;
    if (need > width_) widen(need);
    auto fill = [&](auto& v) {
        using T = typename std::decay_t<decltype(v)>::value_type;
        const std::size_t at = v.size();
        v.resize(at + count);
        for (int i = 0; i < count; ++i)
            v[at + i] = static_cast<T>(values[static_cast<std::size_t>(i) * stride]);
    };
    switch (width_) {
        case 1:
            fill(narrow_);
            break;
        case 2:
            fill(middle_);
            break;
        default:
            fill(wide_);
    }
    size_ += count;
}

void HistoryColumn::widen(int width) {
    std::vector<std::int32_t> all;
    all.reserve(size_);
    for (int r = 0; r < size_; ++r) all.push_back((*this)[r]);
    narrow_ = {};
    middle_ = {};
    wide_ = {};
    width_ = width;
    if (width == 2) {
        middle_.reserve(std::max(reserved_, size_));
        middle_.assign(all.begin(), all.end());
    } else {
        wide_.reserve(std::max(reserved_, size_));
        wide_ = std::move(all);
    }
}

void HistoryColumn::reserve(int rows) {
    reserved_ = rows;
    switch (width_) {
        case 1:
            narrow_.reserve(rows);
            break;
        case 2:
            middle_.reserve(rows);
            break;
        default:
            wide_.reserve(rows);
    }
}

void HistoryColumn::resize(int rows) {
    if (rows >= size_) return;
    narrow_.resize(std::min<std::size_t>(narrow_.size(), rows));
    middle_.resize(std::min<std::size_t>(middle_.size(), rows));
    wide_.resize(std::min<std::size_t>(wide_.size(), rows));
    size_ = rows;
}

void HistoryColumn::clear() { *this = HistoryColumn(); }

void HistoryColumn::load(int from, int len, double* out) const {
    switch (width_) {
        case 1:
            for (int i = 0; i < len; ++i) out[i] = narrow_[from + i];
            break;
        case 2:
            for (int i = 0; i < len; ++i) out[i] = middle_[from + i];
            break;
        default:
            for (int i = 0; i < len; ++i) out[i] = wide_[from + i];
    }
}

const void* HistoryColumn::bytes() const {
    switch (width_) {
        case 1:
            return narrow_.data();
        case 2:
            return middle_.data();
        default:
            return wide_.data();
    }
}

void HistoryColumn::assignBytes(int width, const void* data, int count) {
    clear();
    width_ = width;
    size_ = count;
    const auto* b = static_cast<const char*>(data);
    switch (width) {
        case 1:
            narrow_.resize(count);
            std::memcpy(narrow_.data(), b, count);
            break;
        case 2:
            middle_.resize(count);
            std::memcpy(middle_.data(), b, static_cast<std::size_t>(count) * 2);
            break;
        default:
            width_ = 4;
            wide_.resize(count);
            std::memcpy(wide_.data(), b, static_cast<std::size_t>(count) * 4);
    }
}

History::History() = default;

History History::sortedByIssue() const {
    std::vector<int> order(size());
    for (int i = 0; i < size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return issue(a) < issue(b); });
    History sorted;
    sorted.reserve(size());
    for (int i : order) sorted.append(issue(i), params(i));
    return sorted;
}

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

void History::append(const std::int32_t* issues, const ParamValues* params, int count) {
    if (count <= 0) return;
    issues_.insert(issues_.end(), issues, issues + count);
    for (int k = 0; k < kParamCount; ++k)
        columns_[k].append(params[0].data() + k, count, kParamCount);
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
