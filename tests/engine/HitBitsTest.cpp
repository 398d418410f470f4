#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/HitBits.h"

namespace varnet {
namespace {

// Bit by bit, the way the rules state it.
Score plain(const std::vector<bool>& hits, bool weighted) {
    Score s;
    int curHit = 0, curMiss = 0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const std::int64_t j = static_cast<std::int64_t>(i) + 1;
        const std::int64_t w = weighted ? j * j : 1;
        s.total += w;
        ++s.counted;
        if (hits[i]) {
            s.hits += w;
            ++s.plainHits;
            curMiss = 0;
            s.longestHit = std::max(s.longestHit, ++curHit);
        } else {
            curHit = 0;
            s.longestMiss = std::max(s.longestMiss, ++curMiss);
        }
    }
    s.lastHit = curHit;
    s.lastMiss = curMiss;
    return s;
}

// Streams with long and short runs, of every length around word ends: the
// packed-word statistics equal the bit-by-bit ones.
TEST(HitBits, EqualBitByBitCounting) {
    std::mt19937_64 rng(42);
    for (int n = 0; n < 3000; ++n) {
        const int rows = n < 300 ? n : static_cast<int>(rng() % 1000);
        // Hit chance and how long a state tends to last.
        const double p = (rng() % 101) / 100.0;
        const int stick = 1 + static_cast<int>(rng() % 90);
        std::vector<bool> hits(rows);
        bool state = rng() % 2;
        for (int i = 0; i < rows; ++i) {
            if (rng() % stick == 0) state = (rng() % 1000) < p * 1000;
            hits[i] = state;
        }
        std::vector<std::uint64_t> words((rows + 63) / 64 + 1, 0);
        for (int i = 0; i < rows; ++i)
            if (hits[i]) words[i / 64] |= 1ULL << (i % 64);
        for (bool weighted : {true, false}) {
            const Score want = plain(hits, weighted);
            Score got;
            hitSumsFromHitBits(words.data(), rows, weighted, got);
            runsFromHitBits(words.data(), rows, got);
            ASSERT_EQ(got, want) << rows << " rows, p " << p << " stick " << stick;
            Score last;
            lastRunsFromHitBits(words.data(), rows, last);
            ASSERT_EQ(last.lastHit, want.lastHit);
            ASSERT_EQ(last.lastMiss, want.lastMiss);
        }
    }
}

}  // namespace
}  // namespace varnet
