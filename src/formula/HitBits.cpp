#include "formula/HitBits.h"

#include <algorithm>
#include <array>
#include <bit>

namespace varnet {

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
#define VARNET_BITS __attribute__((target_clones("avx2", "default")))
#else
#define VARNET_BITS
#endif

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

namespace {

// Shifts that test a word for `length` set bits in a row: x &= x >> shift
// for each, then any bit left marks such a run.
struct RunTest {
    int steps = 0;
    int shift[7] = {};
    explicit RunTest(int length) {
        int have = 1;
        while (2 * have <= length) shift[steps++] = have, have *= 2;
        if (have < length) shift[steps++] = length - have;
    }
    bool holds(std::uint64_t x) const {
        for (int i = 0; i < steps; ++i) x &= x >> shift[i];
        return x != 0;
    }
};

// The longest run of set bits inside one word.
int longestInside(std::uint64_t x) {
    int n = 0;
    while (x) x &= x << 1, ++n;
    return n;
}

// First of words[0..count) (each inverted when `invert`) holding `length`
// set bits in a row, or -1. Past 32 such a run covers the middle bits
// 64 - length .. length - 1, a test of one mask per word.
VARNET_BITS int firstWithRun(const std::uint64_t* words, int count, bool invert, int length) {
    const std::uint64_t flip = invert ? ~0ULL : 0;
    if (length > 32) {
        const std::uint64_t middle = (~0ULL >> (64 - (2 * length - 64))) << (64 - length);
        for (int w = 0; w < count; ++w) {
            const std::uint64_t x = words[w] ^ flip;
            if ((x & middle) == middle && hasRun(x, length)) return w;
        }
        return -1;
    }
    const RunTest test(length);
    for (int w = 0; w < count; ++w)
        if (test.holds(words[w] ^ flip)) return w;
    return -1;
}

// Raises `longest` to the longest run inside any of the words.
void longestInsideAll(const std::uint64_t* words, int count, bool invert, int& longest) {
    int from = 0;
    while (longest < 64) {
        const int w = firstWithRun(words + from, count - from, invert, longest + 1);
        if (w < 0) return;
        from += w;
        longest = std::max(longest, longestInside(invert ? ~words[from] : words[from]));
        ++from;
    }
}

}  // namespace

void runsFromHitBits(const std::uint64_t* words, int rows, Score& s) {
    // First the runs that reach across words, word by word without branches;
    // cur*: the run reaching the top of the last word seen (one is zero).
    int curHit = 0, curMiss = 0, maxHit = 0, maxMiss = 0;
    const int full = rows / 64;
    auto step = [&](std::uint64_t hit, std::uint64_t miss, int bits) {
        maxHit = std::max(maxHit, curHit + std::countr_one(hit));
        maxMiss = std::max(maxMiss, curMiss + std::countr_one(miss));
        curHit = miss == 0 ? curHit + bits : topRun(hit, bits);
        curMiss = hit == 0 ? curMiss + bits : topRun(miss, bits);
    };
    for (int w = 0; w < full; ++w) step(words[w], ~words[w], 64);
    std::uint64_t last[2] = {0, 0};
    if (const int bits = rows - 64 * full; bits > 0) {
        const std::uint64_t valid = validBits(bits);
        last[0] = words[full] & valid;
        last[1] = ~words[full] & valid;
        step(last[0], last[1], bits);
    }
    // Then runs inside single words, which matter only when longer; the
    // lengths found so far rule out nearly every word at once.
    longestInsideAll(words, full, false, maxHit);
    longestInsideAll(words, full, true, maxMiss);
    if (rows > 64 * full) {
        maxHit = std::max(maxHit, longestInside(last[0]));
        maxMiss = std::max(maxMiss, longestInside(last[1]));
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
