#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "engine/Scoring.h"

namespace varnet {

// Hit flags of the counted rows packed 64 to a word: bit i of word w is
// counted row 64 * w + i (the first counted row is bit 0 of word 0). Bits
// past the last counted row must be zero.

// Longest and last runs of hits and misses of `rows` counted rows.
void runsFromHitBits(const std::uint64_t* words, int rows, Score& score);

// The runs of a stream of hit words that reach across word ends, fed one
// word at a time: a few bit counts a word and no branches, inline so that
// the search kernel keeps it beside its vector work. insideRuns() then adds
// the runs that lie inside single words.
struct EdgeRuns {
    int curHit = 0, curMiss = 0;  // the runs reaching the top of the last word
    int maxHit = 0, maxMiss = 0;

    // One word of `bits` (1..64) rows; bits past them are zero.
    void add(std::uint64_t hit, int bits) {
        const std::uint64_t valid = bits >= 64 ? ~0ULL : (1ULL << bits) - 1;
        const std::uint64_t miss = ~hit & valid;
        // The runs at the low end continue those carried in.
        maxHit = std::max(maxHit, curHit + std::countr_one(hit));
        maxMiss = std::max(maxMiss, curMiss + std::countr_one(miss));
        const int shift = 64 - bits;
        curHit = miss == 0 ? curHit + bits : std::countl_one(hit << shift);
        curMiss = hit == 0 ? curMiss + bits : std::countl_one(miss << shift);
    }
};

// Completes `edges` with the runs inside the words and writes the four runs.
void insideRuns(const std::uint64_t* words, int rows, const EdgeRuns& edges, Score& score);

// Last runs only: what the qualification looks at first.
void lastRunsFromHitBits(const std::uint64_t* words, int rows, Score& score);

// Hits (weighted j * j for counted row j = 1, 2, ... when `weighted`) and
// the weight total; also the plain hits and the counted rows.
void hitSumsFromHitBits(const std::uint64_t* words, int rows, bool weighted, Score& score);

}  // namespace varnet
