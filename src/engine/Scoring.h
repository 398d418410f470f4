#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnet {

// Which history rows a score counts and how they weigh.
struct CountRule {
    // Verification: the last R draws (R + 1 without excludeCurrent).
    // Search: the last N + 1 draws. 0 means all draws. Never before the
    // third row, which is the first with a number two draws back.
    int retrieval = 0;
    bool excludeCurrent = true;  // verification only
    bool weighted = true;        // row j of the counted rows weighs j * j
    // Search rules: the value is reduced to a number before the two-draw lag
    // and the exclude flag is not applied.
    bool search = false;
};

// 0-based index of the first counted row of a history of `rows` rows;
// `rows` when no row counts.
int firstCountedRow(int rows, const CountRule& rule);

// Sum of j * j for j = 1..m (the weight total of m counted rows).
std::int64_t sumOfSquares(std::int64_t m);

// The score of one formula over the history.
struct Score {
    bool valid = true;
    std::string error;       // why an invalid formula could not be evaluated
    std::int64_t hits = 0;   // weighted count of hits
    std::int64_t total = 0;  // weighted count of counted rows
    // The same unweighted: the hits and the counted draws (what the chance
    // baseline and the significance are measured on).
    std::int64_t plainHits = 0;
    std::int64_t counted = 0;
    float rate = 0.0f;  // percent; 0 when no row counts
    int longestMiss = 0;
    int longestHit = 0;
    int lastMiss = 0;
    int lastHit = 0;
    // The number for the draw after the last stored one; none with fewer
    // than two draws or an invalid formula.
    std::optional<int> calcValue;

    bool operator==(const Score&) const = default;
};

// "93.6000% (468/500)", as the formula list shows it.
std::string rateText(const Score& score);

// Hit rate in percent, held as a single: hits / total * 100.
float rateOf(std::int64_t hits, std::int64_t total);

// The number of a value: ((x - 1) MOD 10) + 1 with the engine's MOD
// (operands rounded half to even, remainder with the sign of the dividend).
inline std::int64_t numberOf(std::int64_t roundedValue) { return (roundedValue - 1) % 10 + 1; }

}  // namespace varnet
