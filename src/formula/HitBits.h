#pragma once

#include <cstdint>

#include "formula/Scoring.h"

namespace varnet {

// Hit flags of the counted rows packed 64 to a word: bit i of word w is
// counted row 64 * w + i (the first counted row is bit 0 of word 0). Bits
// past the last counted row must be zero.

// Longest and last runs of hits and misses of `rows` counted rows.
void runsFromHitBits(const std::uint64_t* words, int rows, Score& score);

// Last runs only: what the qualification looks at first.
void lastRunsFromHitBits(const std::uint64_t* words, int rows, Score& score);

// Hits (weighted j * j for counted row j = 1, 2, ... when `weighted`) and
// the weight total.
void hitSumsFromHitBits(const std::uint64_t* words, int rows, bool weighted, Score& score);

}  // namespace varnet
