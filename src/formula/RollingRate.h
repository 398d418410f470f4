#pragma once

#include <cstdint>
#include <vector>

namespace varnet {

// One point of a formula's rolling hit rate: the history row the window ends
// at and the share of hits among its rows, in percent.
struct RatePoint {
    int row = 0;
    double percent = 0.0;
};

// The rolling hit rate of per-row marks (PerDrawColumn: 0 none, 1 hit,
// 2 miss). Unmarked rows (the first two, which have no number aimed at
// them) do not count. Each window holds `window` marked rows; there is a
// point for every marked row from the window-th on, none when fewer rows are
// marked or `window` is not positive.
std::vector<RatePoint> rollingHitRate(const std::vector<std::uint8_t>& marks, int window);

// The window a rate chart uses for a retrieval count (0: all draws) over
// `markedRows` marked rows: the retrieval count, a fixed 100 for all draws,
// and never more than the rows there are.
int rollingWindow(int retrieval, int markedRows);
constexpr int kAllDrawsWindow = 100;

}  // namespace varnet
