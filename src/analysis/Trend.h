#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/History.h"

namespace varnet {

// One value of a parameter in the trend: its figures over the window.
struct TrendColumn {
    std::int32_t value = 0;
    double probability = 0.0;  // of the value in one random draw
    int appearances = 0;
    double expected = 0.0;      // window draws x probability
    double meanOmission = 0.0;  // (draws - appearances) / (appearances + 1)
    int longestOmission = 0;
    double longestChance = 1.0;  // a run of misses at least that long, by chance
    int currentOmission = 0;
    double currentChance = 1.0;
    int longestRepeat = 0;     // most draws in a row with the value
    double countChance = 1.0;  // two-sided binomial chance of the appearances
    // +1 hot, -1 cold: the appearances stray from chance with countChance < 1 %.
    int heat = 0;
};

// The trend (走势图) of one parameter over the last draws of the history:
// per draw the value drawn and every value's omission (draws since it last
// came, counted over the whole history, 0 where it comes), and per value
// the summary above. Omissions and runs of repeats are not cut at the
// window's first row: they reach back into the draws before it.
class Trend {
  public:
    // Parameters with a trend: every one but the issue and date ones.
    static bool hasTrend(int param);
    // "走势图" for one of them, as `param` 1..132; `last` draws (0: all).
    static Trend compute(const History& history, int param, int last);

    // The chance of each value in one random draw: exact, from every order of
    // the ten numbers (relative to the previous draw's order for a parameter
    // that reads it). Sorted by value.
    struct Law {
        std::vector<std::int32_t> values;
        std::vector<double> probabilities;
        std::string basis;  // how it was found, for the window's tooltips
    };
    static const Law& lawOf(int param);

    int param() const { return param_; }
    int firstRow() const { return first_; }  // history row of the window's first draw
    int rows() const { return static_cast<int>(drawn_.size()); }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const TrendColumn& column(int c) const { return columns_[c]; }
    const std::vector<TrendColumn>& columns() const { return columns_; }
    const std::string& basis() const { return basis_; }
    std::int32_t issue(int row) const { return issues_[row]; }
    // The column of the value drawn in window row `row`.
    int drawnColumn(int row) const { return drawn_[row]; }
    std::int32_t value(int row) const { return columns_[drawn_[row]].value; }
    int omission(int row, int column) const;
    // Every column's omission in window rows [from, to), row by row into
    // `out(row, omissions)`: in one pass, for a writer of all rows.
    template <typename Out>
    void eachRow(int from, int to, Out out) const {
        std::vector<int> o(columns_.size());
        for (std::size_t c = 0; c < o.size(); ++c) o[c] = omission(from, static_cast<int>(c));
        for (int r = from; r < to; ++r) {
            if (r > from)
                for (int& x : o) ++x;
            o[drawn_[r]] = 0;
            out(r, o);
        }
    }

  private:
    int param_ = 0;
    int first_ = 0;
    std::string basis_;
    std::vector<TrendColumn> columns_;
    std::vector<std::int32_t> issues_;
    std::vector<std::uint16_t> drawn_;
    // Per column: the window rows where the value came, and the history row
    // where it last came before the window (-1: never).
    std::vector<std::vector<int>> hits_;
    std::vector<int> lastBefore_;
};

}  // namespace varnet
