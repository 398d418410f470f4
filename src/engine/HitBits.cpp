#include "engine/HitBits.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// Shifts that test a word for `length` (1..32) set bits in a row:
// x &= x >> shift for each (0 leaves x as it is), then any bit left marks
// such a run.
struct RunTest {
    std::uint64_t shift[6] = {};
    explicit RunTest(int length) {
        int have = 1, steps = 0;
        while (2 * have <= length) shift[steps++] = have, have *= 2;
        if (have < length) shift[steps++] = length - have;
    }
    bool holds(std::uint64_t x) const {
        for (int i = 0; i < 6; ++i) x &= x >> shift[i];
        return x != 0;
    }
};

// The longest run of set bits inside one word, by binary lifting: r[a]
// marks where 2^a set bits in a row start, and the length is built from the
// largest steps down.
int longestInside(std::uint64_t x) {
    if (x == ~0ULL) return 64;
    std::uint64_t r[6];
    r[0] = x;
    for (int a = 1; a < 6; ++a) r[a] = r[a - 1] & (r[a - 1] >> (1 << (a - 1)));
    std::uint64_t starts = ~0ULL;
    int length = 0;
    for (int a = 5; a >= 0; --a) {
        const std::uint64_t z = starts & (r[a] >> length);
        if (z) {
            starts = z;
            length += 1 << a;
        }
    }
    return length;
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

#if defined(__x86_64__) && defined(__GNUC__)
// The same eight words at a time. The middle test only rules words out, so
// the words it leaves are checked in order.
__attribute__((target("avx512f"))) int firstWithRun512(const std::uint64_t* words, int count,
                                                       bool invert, int length) {
    const std::uint64_t flipBits = invert ? ~0ULL : 0;
    const __m512i flip = _mm512_set1_epi64(static_cast<long long>(flipBits));
    const bool long_ = length > 32;
    const __m512i middle = _mm512_set1_epi64(
        static_cast<long long>(long_ ? (~0ULL >> (64 - (2 * length - 64))) << (64 - length) : 0));
    const RunTest t(long_ ? 1 : length);
    __m512i shift[6];
    for (int i = 0; i < 6; ++i) shift[i] = _mm512_set1_epi64(static_cast<long long>(t.shift[i]));
    for (int w = 0; w < count; w += 8) {
        const __mmask8 lanes =
            count - w >= 8 ? 0xFF : static_cast<__mmask8>((1u << (count - w)) - 1);
        __m512i x = _mm512_xor_si512(_mm512_maskz_loadu_epi64(lanes, words + w), flip);
        __mmask8 found;
        if (long_) {
            found = _mm512_cmpeq_epi64_mask(_mm512_and_si512(x, middle), middle);
        } else {
            for (int i = 0; i < 6; ++i)
                x = _mm512_and_si512(x, _mm512_maskz_srlv_epi64(0xFF, x, shift[i]));
            found = _mm512_test_epi64_mask(x, x);
        }
        for (unsigned m = found & lanes; m; m &= m - 1) {
            const int i = std::countr_zero(m);
            if (hasRun(words[w + i] ^ flipBits, length)) return w + i;
        }
    }
    return -1;
}

const bool kHasAvx512 = __builtin_cpu_supports("avx512f");
#endif

// Raises `longest` to the longest run inside any of the words.
void longestInsideAll(const std::uint64_t* words, int count, bool invert, int& longest) {
    int from = 0;
    while (longest < 64) {
#if defined(__x86_64__) && defined(__GNUC__)
        const int w = kHasAvx512 ? firstWithRun512(words + from, count - from, invert, longest + 1)
                                 : firstWithRun(words + from, count - from, invert, longest + 1);
#else
        const int w = firstWithRun(words + from, count - from, invert, longest + 1);
#endif
        if (w < 0) return;
        from += w;
        longest = std::max(longest, longestInside(invert ? ~words[from] : words[from]));
        ++from;
    }
}

}  // namespace

void insideRuns(const std::uint64_t* words, int rows, const EdgeRuns& edges, Score& s) {
    // Runs inside single words matter only when longer than those found so
    // far, which rules out nearly every word at once.
    int maxHit = edges.maxHit, maxMiss = edges.maxMiss;
    const int full = rows / 64;
    longestInsideAll(words, full, false, maxHit);
    longestInsideAll(words, full, true, maxMiss);
    if (const int bits = rows - 64 * full; bits > 0) {
        const std::uint64_t valid = validBits(bits);
        maxHit = std::max(maxHit, longestInside(words[full] & valid));
        maxMiss = std::max(maxMiss, longestInside(~words[full] & valid));
    }
    s.longestHit = maxHit;
    s.longestMiss = maxMiss;
    s.lastHit = edges.curHit;
    s.lastMiss = edges.curMiss;
}

void runsFromHitBits(const std::uint64_t* words, int rows, Score& s) {
    EdgeRuns edges;
    for (int w = 0; 64 * w < rows; ++w) edges.add(words[w], std::min(64, rows - 64 * w));
    insideRuns(words, rows, edges, s);
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
    for (int w = 0; w < nWords; ++w) hits += std::popcount(words[w]);
    s.plainHits = hits;
    s.counted = rows;
    if (!weighted) {
        s.hits = hits;
        s.total = rows;
        return;
    }
    hits = 0;
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
