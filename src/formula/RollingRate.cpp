#include "formula/RollingRate.h"

#include <algorithm>

namespace varnet {

std::vector<RatePoint> rollingHitRate(const std::vector<std::uint8_t>& marks, int window) {
    std::vector<RatePoint> points;
    if (window <= 0) return points;
    // The rows of the marked draws and whether each was a hit, in order; the
    // window slides over these, so gaps of unmarked rows do not shrink it.
    std::vector<int> rows;
    std::vector<std::uint8_t> hit;
    for (int r = 0; r < static_cast<int>(marks.size()); ++r) {
        if (marks[r] != 1 && marks[r] != 2) continue;
        rows.push_back(r);
        hit.push_back(marks[r] == 1 ? 1 : 0);
    }
    const int n = static_cast<int>(rows.size());
    if (n < window) return points;
    points.reserve(n - window + 1);
    int hits = 0;
    for (int i = 0; i < n; ++i) {
        hits += hit[i];
        if (i >= window) hits -= hit[i - window];
        if (i >= window - 1) points.push_back({rows[i], 100.0 * hits / window});
    }
    return points;
}

int rollingWindow(int retrieval, int markedRows) {
    const int wanted = retrieval > 0 ? retrieval : kAllDrawsWindow;
    return std::max(0, std::min(wanted, markedRows));
}

}  // namespace varnet
