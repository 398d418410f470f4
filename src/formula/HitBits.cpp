#include "formula/HitBits.h"

#include <algorithm>
#include <array>
#include <bit>

namespace varnet {

namespace {

// True when x holds `length` (1..64) set bits in a row.
inline bool hasRun(std::uint64_t x, int length) {
    int have = 1;
    while (2 * have <= length) {
        x &= x >> have;
        have *= 2;
    }
    if (have < length) x &= x >> (length - have);
    return x != 0;
}

// True when x may hold `length` set bits in a row; exact for length <= 32.
// Past 32 such a run must cover the middle bits 64 - length .. length - 1,
// which rules out almost every word at the cost of one test.
inline bool mayHaveRun(std::uint64_t x, int length) {
    if (length > 32) {
        const std::uint64_t middle = (~0ULL >> (64 - (2 * length - 64))) << (64 - length);
        if ((x & middle) != middle) return false;
    }
    return hasRun(x, length);
}

inline std::uint64_t validBits(int bits) { return bits >= 64 ? ~0ULL : (1ULL << bits) - 1; }

// Length of the run that ends at the top valid bit of x (bits 0..bits-1).
inline int topRun(std::uint64_t x, int bits) {
    const std::uint64_t shifted = bits >= 64 ? x : x << (64 - bits);
    return std::countl_one(shifted);
}

struct ByteWeights {
    // For each byte value: set bits, sum of (i + 1) and of (i + 1)^2 over
    // its set bits i.
    std::array<std::uint8_t, 256> count{};
    std::array<std::uint16_t, 256> first{};
    std::array<std::uint16_t, 256> second{};
    ByteWeights() {
        for (int b = 0; b < 256; ++b)
            for (int i = 0; i < 8; ++i)
                if (b >> i & 1) {
                    count[b] += 1;
                    first[b] += i + 1;
                    second[b] += (i + 1) * (i + 1);
                }
    }
};

const ByteWeights& byteWeights() {
    static const ByteWeights w;
    return w;
}

}  // namespace

void runsFromHitBits(const std::uint64_t* words, int rows, Score& s) {
    int curHit = 0, curMiss = 0, maxHit = 0, maxMiss = 0;
    const int nWords = (rows + 63) / 64;
    for (int w = 0; w < nWords; ++w) {
        const int bits = std::min(64, rows - 64 * w);
        const std::uint64_t valid = validBits(bits);
        const std::uint64_t hit = words[w] & valid;
        const std::uint64_t miss = ~words[w] & valid;
        if (miss == 0) {
            curHit += bits;
            curMiss = 0;
            maxHit = std::max(maxHit, curHit);
            continue;
        }
        if (hit == 0) {
            curMiss += bits;
            curHit = 0;
            maxMiss = std::max(maxMiss, curMiss);
            continue;
        }
        // The run at the low end continues the one carried in.
        if (hit & 1) {
            curHit += std::countr_one(hit);
            maxHit = std::max(maxHit, curHit);
        } else {
            curMiss += std::countr_one(miss);
            maxMiss = std::max(maxMiss, curMiss);
        }
        // Runs inside the word matter only when longer than the longest so far.
        while (maxHit < bits && mayHaveRun(hit, maxHit + 1)) ++maxHit;
        while (maxMiss < bits && mayHaveRun(miss, maxMiss + 1)) ++maxMiss;
        // The run at the top end is carried on.
        if (hit >> (bits - 1) & 1) {
            curHit = topRun(hit, bits);
            curMiss = 0;
        } else {
            curMiss = topRun(miss, bits);
            curHit = 0;
        }
    }
    s.longestHit = maxHit;
    s.longestMiss = maxMiss;
    s.lastHit = curHit;
    s.lastMiss = curMiss;
}

void lastRunsFromHitBits(const std::uint64_t* words, int rows, Score& s) {
    s.lastHit = s.lastMiss = 0;
    if (rows <= 0) return;
    const int nWords = (rows + 63) / 64;
    const bool lastIsHit = words[nWords - 1] >> ((rows - 1) % 64) & 1;
    int run = 0;
    for (int w = nWords - 1; w >= 0; --w) {
        const int bits = std::min(64, rows - 64 * w);
        const std::uint64_t valid = validBits(bits);
        const std::uint64_t x = (lastIsHit ? words[w] : ~words[w]) & valid;
        const int r = topRun(x, bits);
        run += r;
        if (r < bits) break;
    }
    (lastIsHit ? s.lastHit : s.lastMiss) = run;
}

void hitSumsFromHitBits(const std::uint64_t* words, int rows, bool weighted, Score& s) {
    const int nWords = (rows + 63) / 64;
    std::int64_t hits = 0;
    if (!weighted) {
        for (int w = 0; w < nWords; ++w) hits += std::popcount(words[w]);
        s.hits = hits;
        s.total = rows;
        return;
    }
    // Counted row j = 8u + i + 1 for bit i of byte u weighs
    // (8u + i + 1)^2 = 64u^2 + 16u(i + 1) + (i + 1)^2.
    const ByteWeights& t = byteWeights();
    for (int w = 0; w < nWords; ++w) {
        std::uint64_t x = words[w];
        if (x == 0) continue;
        for (int q = 0; q < 8; ++q, x >>= 8) {
            const unsigned b = static_cast<unsigned>(x & 0xFF);
            if (b == 0) continue;
            const std::int64_t u = 8LL * w + q;
            hits += 64 * u * u * t.count[b] + 16 * u * t.first[b] + t.second[b];
        }
    }
    s.hits = hits;
    s.total = sumOfSquares(rows);
}

}  // namespace varnet
