#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "history/Draw.h"

namespace varnet {

// The stored draw history in memory: the rows of the history table in
// ascending issue order (ties in stored order), one array per parameter
// column so that formulas can run over whole columns.
class History {
public:
    History();

    int size() const { return static_cast<int>(issues_.size()); }
    bool empty() const { return issues_.empty(); }
    void reserve(int rows);
    void clear();
    void append(std::int32_t issue, const ParamValues& params);
    // Keeps the first `rows` rows.
    void truncate(int rows);

    std::int32_t issue(int row) const { return issues_[row]; }
    // Parameter k (1..132) of a row.
    std::int32_t param(int row, int k) const { return columns_[k - 1][row]; }
    // The number that finished at position 1..10.
    int number(int row, int position) const { return columns_[position - 1][row]; }
    Numbers numbers(int row) const;
    Draw draw(int row) const;
    ParamValues params(int row) const;

    const std::vector<std::int32_t>& issues() const { return issues_; }
    const std::vector<std::int32_t>& column(int k) const { return columns_[k - 1]; }

    // Row of the last draw with this issue, or -1.
    int findIssue(std::int32_t issue) const;

private:
    std::vector<std::int32_t> issues_;
    std::array<std::vector<std::int32_t>, kParamCount> columns_;
};

}  // namespace varnet
