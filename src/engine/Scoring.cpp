#include "engine/Scoring.h"

#include <algorithm>
#include <cstdio>

namespace varnet {

int firstCountedRow(int rows, const CountRule& rule) {
    // Rows 1 and 2 have no number two draws back, so row 3 (index 2) is the
    // earliest that can count.
    constexpr int kEarliest = 2;
    if (rows <= kEarliest) return rows;
    if (rule.retrieval <= 0) return kEarliest;
    const long long r = rule.retrieval;
    long long first;
    if (rule.search)
        first = rows - r - 1;  // the last N + 1 rows
    else
        first = rule.excludeCurrent ? rows - r : rows - r - 1;
    return static_cast<int>(std::max<long long>(first, kEarliest));
}

std::int64_t sumOfSquares(std::int64_t m) { return m * (m + 1) * (2 * m + 1) / 6; }

float rateOf(std::int64_t hits, std::int64_t total) {
    if (total <= 0) return 0.0f;
    return static_cast<float>(static_cast<double>(hits) / static_cast<double>(total) * 100.0);
}

std::string rateText(const Score& score) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%07.4f%% (%lld/%lld)", static_cast<double>(score.rate),
                  static_cast<long long>(score.hits), static_cast<long long>(score.total));
    return buf;
}

}  // namespace varnet
