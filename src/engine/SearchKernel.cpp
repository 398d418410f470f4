#include "engine/SearchKernel.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/Draw.h"
#include "base/History.h"
#include "engine/HitBits.h"

namespace varnet {

namespace {

constexpr int kBlock = 64;  // column padding: whole hit words

// 0 for 0, else 1..10: the number of a non-negative value.
inline std::uint8_t numberByte(std::int32_t v) {
    return v == 0 ? 0 : static_cast<std::uint8_t>((v - 1) % 10 + 1);
}

// The constant folded the same way: 0 stays 0, c >= 1 becomes 1..10, so that
// the byte sum plus it is zero only when the whole sum is.
inline int constantByte(int c) { return c == 0 ? 0 : (c - 1) % 10 + 1; }

SearchKernel::Level cpuLevel() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx512bw")) return SearchKernel::Level::Avx512;
    if (__builtin_cpu_supports("avx2")) return SearchKernel::Level::Avx2;
#endif
    return SearchKernel::Level::Portable;
}

thread_local std::vector<std::uint64_t> tlsWords;

std::uint64_t* wordBuffer(int words) {
    if (static_cast<int>(tlsWords.size()) < words) tlsWords.resize(words);
    return tlsWords.data();
}

}  // namespace

SearchKernel::SearchKernel(const History& history, int position, bool kill, const CountRule& rule)
    : kill_(kill), weighted_(rule.weighted), level_(cpuLevel()) {
    const int n = history.size();
    const int first = firstCountedRow(n, rule);
    rows_ = n - first;
    stride_ = (rows_ + kBlock - 1) / kBlock * kBlock;
    const std::size_t size = static_cast<std::size_t>(kParamCount) * stride_;
    numbers_.assign(size, 0);
    residues_.assign(size, 0);
    negative_.assign(kParamCount, false);
    largest_.assign(kParamCount, 0);
    for (int k = 1; k <= kParamCount; ++k) {
        const auto& col = history.column(k);
        for (std::int32_t v : col) largest_[k - 1] = std::max<std::int64_t>(largest_[k - 1], v);
        const std::size_t at = static_cast<std::size_t>(k - 1) * stride_;
        for (int t = 0; t < rows_; ++t) {
            // The value two rows before the counted row decides its hit.
            const std::int32_t v = col[first - 2 + t];
            if (v < 0) negative_[k - 1] = true;
            numbers_[at + t] = v < 0 ? 0 : numberByte(v);
            residues_[at + t] = v < 0 ? 0 : static_cast<std::uint8_t>(v % 10);
        }
    }
    target_.assign(stride_, 0xFF);
    offsets_.assign(static_cast<std::size_t>(10) * stride_, 1);
    for (int t = 0; t < rows_; ++t) {
        const int e = history.number(first + t, position) % 10;
        target_[t] = static_cast<std::uint8_t>(e);
        for (int c = 0; c < 10; ++c)
            offsets_[static_cast<std::size_t>(c) * stride_ + t] =
                static_cast<std::uint8_t>((c - e + 10) % 10);
    }
}

bool SearchKernel::accepts(const int* params, int count, int constant) const {
    if (count < 1 || count > kMaxOperands || constant < 0) return false;
    std::int64_t largest = constant;
    for (int i = 0; i < count; ++i) {
        if (params[i] < 1 || params[i] > kParamCount || negative_[params[i] - 1]) return false;
        largest += largest_[params[i] - 1];
    }
    return largest <= 2147483647;
}

struct SearchKernel::Pass {
    // The weighted hits of a pass over `blocks` blocks of `size` rows, from
    // sums it keeps as it goes. Counted row j = size b + 1 + t (t = 0 ..
    // size - 1) of block b weighs (size b + 1)^2 + 2 (size b + 1) t + t^2.
    // With T_b the sum of t and c_b the count of the hits of block b, and
    // u = blocks - b: sumT = sum T_b, sumTSum = sum u T_b, sumT2 = the sum
    // of t^2; c1 = sum c_b, c2 = sum u c_b, c3 = sum u (u + 1) / 2 c_b.
    static std::int64_t foldWeights(std::int64_t size, std::int64_t blocks, std::int64_t sumT,
                                    std::int64_t sumTSum, std::int64_t sumT2, std::int64_t c1,
                                    std::int64_t c2, std::int64_t c3) {
        const std::int64_t B = blocks;
        const std::int64_t sumTb = B * sumT - sumTSum;                    // sum b T_b
        const std::int64_t cb = B * c1 - c2;                              // sum b c_b
        const std::int64_t cbb = B * B * c1 - (2 * B + 1) * c2 + 2 * c3;  // sum b^2 c_b
        return size * size * cbb + 2 * size * cb + c1 + 2 * size * sumTb + 2 * sumT + sumT2;
    }

    // One candidate over all counted rows, 32 rows at a time. With a constant
    // of at least 1 the sum is at least 1, and only its remainder matters:
    // residues are summed. With 0 a zero sum must be told apart (its number
    // is 0, never drawn), so the numbers 0..10 are summed and zero checked.
    template <bool ZeroConstant, bool Weighted>
    __attribute__((target("avx2"))) static void avx2(const SearchKernel& kn, const int* params,
                                                     int count, int constant, std::uint64_t* words,
                                                     Score& s) {
        const std::uint8_t* cols[kMaxOperands];
        kn.columnsOf(ZeroConstant ? kn.numbers_ : kn.residues_, params, count, cols);
        const std::uint8_t* offset = kn.offsetsFor(constant);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i low4 = _mm256_set1_epi8(0x0F);
        // 16h + l is a multiple of 10 exactly when l is (4h mod 10) or that
        // plus 10.
        const __m256i fours = _mm256_setr_epi8(0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0,  //
                                               0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0);
        const __m256i fourteens =
            _mm256_setr_epi8(10, 14, -1, 12, -1, 10, 14, -1, 12, -1, 10, 14, -1, 12, -1, 10,  //
                             10, 14, -1, 12, -1, 10, 14, -1, 12, -1, 10, 14, -1, 12, -1, 10);
        const __m256i iota =
            _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                             20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
        const __m256i ones16 = _mm256_set1_epi16(1);
        const __m256i flip = kn.kill_ ? _mm256_set1_epi8(-1) : zero;
        // Hits of block b (rows 32b + t, counted row j = 32b + 1 + t) weigh
        // (32b + 1)^2 + 2 (32b + 1) t + t^2; the sums over t are kept per
        // block in `tSum` and folded with the block numbers at the end.
        __m256i tSum = zero;     // running sum of t over hits (64-bit lanes)
        __m256i tSumSum = zero;  // sum over blocks of tSum after each block
        __m256i tSquares = zero;
        std::int64_t hitCount = 0, hitCountSum = 0, hitCountSumSum = 0;
        auto* words32 = reinterpret_cast<std::uint32_t*>(words);
        const int rows = kn.rows_;
        const int blocks = (rows + 31) / 32;
        for (int b = 0; b < blocks; ++b) {
            const int off = 32 * b;
            __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offset + off));
            __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols[0] + off));
            for (int i = 1; i < count; ++i)
                raw = _mm256_add_epi8(
                    raw, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols[i] + off)));
            sum = _mm256_add_epi8(sum, raw);
            const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(sum, 4), low4);
            const __m256i lo = _mm256_and_si256(sum, low4);
            __m256i same =
                _mm256_or_si256(_mm256_cmpeq_epi8(lo, _mm256_shuffle_epi8(fours, hi)),
                                _mm256_cmpeq_epi8(lo, _mm256_shuffle_epi8(fourteens, hi)));
            if constexpr (ZeroConstant)
                same = _mm256_andnot_si256(_mm256_cmpeq_epi8(raw, zero), same);
            __m256i hit = _mm256_xor_si256(same, flip);
            if (off + 32 > rows) {
                // Padding rows are never hits.
                alignas(32) std::uint8_t valid[32];
                for (int t = 0; t < 32; ++t) valid[t] = off + t < rows ? 0xFF : 0;
                hit = _mm256_and_si256(hit, _mm256_load_si256(reinterpret_cast<__m256i*>(valid)));
            }
            const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hit));
            words32[b] = mask;
            const int c = std::popcount(mask);
            if constexpr (Weighted) {
                const __m256i ht = _mm256_and_si256(hit, iota);
                tSum = _mm256_add_epi64(tSum, _mm256_sad_epu8(ht, zero));
                tSumSum = _mm256_add_epi64(tSumSum, tSum);
                tSquares = _mm256_add_epi32(
                    tSquares, _mm256_madd_epi16(_mm256_maddubs_epi16(ht, iota), ones16));
                hitCount += c;
                hitCountSum += hitCount;
                hitCountSumSum += hitCountSum;
            } else {
                hitCount += c;
            }
        }
        if (blocks % 2) words32[blocks] = 0;
        if constexpr (Weighted) {
            alignas(32) std::int64_t f[4], g[4];
            alignas(32) std::int32_t q[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(f), tSum);
            _mm256_store_si256(reinterpret_cast<__m256i*>(g), tSumSum);
            _mm256_store_si256(reinterpret_cast<__m256i*>(q), tSquares);
            std::int64_t sumT = 0, sumTSum = 0, sumT2 = 0;
            for (int i = 0; i < 4; ++i) sumT += f[i], sumTSum += g[i];
            for (auto v : q) sumT2 += v;
            s.hits = foldWeights(32, blocks, sumT, sumTSum, sumT2, hitCount, hitCountSum,
                                 hitCountSumSum);
            s.total = sumOfSquares(rows);
        } else {
            s.hits = hitCount;
            s.total = rows;
        }
        s.plainHits = hitCount;
        s.counted = rows;
    }

    // The same with 64 rows a step and the hit flags straight in mask registers.
    template <bool ZeroConstant, bool Weighted, bool Runs>
    __attribute__((target("avx512f,avx512bw"))) static void avx512(const SearchKernel& kn,
                                                                   const int* params, int count,
                                                                   int constant,
                                                                   std::uint64_t* words, Score& s) {
        const std::uint8_t* cols[kMaxOperands];
        kn.columnsOf(ZeroConstant ? kn.numbers_ : kn.residues_, params, count, cols);
        const std::uint8_t* offset = kn.offsetsFor(constant);
        const __m512i zero = _mm512_setzero_si512();
        const __m512i low4 = _mm512_set1_epi8(0x0F);
        // The two nibble tables, repeated in each 128-bit lane.
        alignas(64) static const std::uint8_t kFours[64] = {
            0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0, 0, 4, 8, 2, 6, 0,
            4, 8, 2, 6, 0, 4, 8, 2, 6, 0, 0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0, 4,
            8, 2, 6, 0, 0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0, 4, 8, 2, 6, 0};
        alignas(64) static const std::uint8_t kFourteens[64] = {
            10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10,
            10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10,
            10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10,
            10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10, 14, 255, 12, 255, 10};
        const __m512i fours = _mm512_load_si512(kFours);
        const __m512i fourteens = _mm512_load_si512(kFourteens);
        alignas(64) static const std::uint8_t kIota[64] = {
            0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
            22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
            44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
        const __m512i iota = _mm512_load_si512(kIota);
        const __m512i ones16 = _mm512_set1_epi16(1);
        const std::uint64_t flip = kn.kill_ ? ~0ULL : 0;
        __m512i tSum = zero, tSumSum = zero, tSquares = zero;
        std::int64_t hitCount = 0, hitCountSum = 0, hitCountSumSum = 0;
        EdgeRuns edges;
        const int rows = kn.rows_;
        const int blocks = (rows + 63) / 64;
        for (int b = 0; b < blocks; ++b) {
            const int off = 64 * b;
            __m512i raw = _mm512_loadu_si512(cols[0] + off);
            for (int i = 1; i < count; ++i)
                raw = _mm512_add_epi8(raw, _mm512_loadu_si512(cols[i] + off));
            const __m512i sum = _mm512_add_epi8(raw, _mm512_loadu_si512(offset + off));
            const __m512i hi = _mm512_and_si512(_mm512_srli_epi16(sum, 4), low4);
            const __m512i lo = _mm512_and_si512(sum, low4);
            std::uint64_t same = _mm512_cmpeq_epi8_mask(lo, _mm512_shuffle_epi8(fours, hi)) |
                                 _mm512_cmpeq_epi8_mask(lo, _mm512_shuffle_epi8(fourteens, hi));
            if constexpr (ZeroConstant) same &= _mm512_test_epi8_mask(raw, raw);
            std::uint64_t hit = same ^ flip;
            if (off + 64 > rows) hit &= ~0ULL >> (off + 64 - rows);  // padding rows never hit
            words[b] = hit;
            if constexpr (Runs) edges.add(hit, std::min(64, rows - off));
            const int c = std::popcount(hit);
            hitCount += c;
            if constexpr (Weighted) {
                const __m512i ht = _mm512_maskz_mov_epi8(hit, iota);
                tSum = _mm512_add_epi64(tSum, _mm512_sad_epu8(ht, zero));
                tSumSum = _mm512_add_epi64(tSumSum, tSum);
                tSquares = _mm512_add_epi32(
                    tSquares, _mm512_madd_epi16(_mm512_maddubs_epi16(ht, iota), ones16));
                hitCountSum += hitCount;
                hitCountSumSum += hitCountSum;
            }
        }
        if constexpr (Weighted) {
            alignas(64) std::int64_t f[8], g[8];
            alignas(64) std::int32_t q[16];
            _mm512_store_si512(f, tSum);
            _mm512_store_si512(g, tSumSum);
            _mm512_store_si512(q, tSquares);
            std::int64_t sumT = 0, sumTSum = 0, sumT2 = 0;
            for (int i = 0; i < 8; ++i) sumT += f[i], sumTSum += g[i];
            for (auto v : q) sumT2 += v;
            s.hits = foldWeights(64, blocks, sumT, sumTSum, sumT2, hitCount, hitCountSum,
                                 hitCountSumSum);
            s.total = sumOfSquares(rows);
        } else {
            s.hits = hitCount;
            s.total = rows;
        }
        s.plainHits = hitCount;
        s.counted = rows;
        if constexpr (Runs) insideRuns(words, rows, edges, s);
    }

    __attribute__((target("avx512f,avx512bw"))) static std::uint64_t addOnlyAvx512(
        const SearchKernel& kn, const int* params, int count) {
        const std::uint8_t* cols[kMaxOperands];
        kn.columnsOf(kn.residues_, params, count, cols);
        __m512i acc = _mm512_setzero_si512();
        for (int off = 0; off < kn.rows_; off += 64) {
            __m512i sum = _mm512_loadu_si512(cols[0] + off);
            for (int i = 1; i < count; ++i)
                sum = _mm512_add_epi8(sum, _mm512_loadu_si512(cols[i] + off));
            acc = _mm512_xor_si512(acc, sum);
        }
        alignas(64) std::uint64_t v[8];
        _mm512_store_si512(v, acc);
        return v[0] ^ v[1] ^ v[2] ^ v[3] ^ v[4] ^ v[5] ^ v[6] ^ v[7];
    }

    static void portable(const SearchKernel& kn, const int* params, int count, int constant,
                         std::uint64_t* words, Score& s) {
        const int rows = kn.rows_;
        const int cb = constantByte(constant);
        std::fill(words, words + kn.stride_ / 64, 0ULL);
        for (int t = 0; t < rows; ++t) {
            int x = cb;
            for (int i = 0; i < count; ++i)
                x += kn.numbers_[static_cast<std::size_t>(params[i] - 1) * kn.stride_ + t];
            const bool same = x != 0 && x % 10 == kn.target_[t];
            if (same != kn.kill_) words[t / 64] |= 1ULL << (t % 64);
        }
        hitSumsFromHitBits(words, rows, kn.weighted_, s);
    }

    __attribute__((target("avx2"))) static std::uint64_t addOnlyAvx2(const SearchKernel& kn,
                                                                     const int* params, int count) {
        const std::uint8_t* cols[kMaxOperands];
        kn.columnsOf(kn.residues_, params, count, cols);
        __m256i acc = _mm256_setzero_si256();
        for (int off = 0; off < kn.rows_; off += 32) {
            __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols[0] + off));
            for (int i = 1; i < count; ++i)
                sum = _mm256_add_epi8(
                    sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols[i] + off)));
            acc = _mm256_xor_si256(acc, sum);
        }
        alignas(32) std::uint64_t v[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(v), acc);
        return v[0] ^ v[1] ^ v[2] ^ v[3];
    }
};

bool SearchKernel::hitBits(const int* params, int count, int constant, std::uint64_t* words,
                           Score& score, bool runs) const {
    using Fn = void (*)(const SearchKernel&, const int*, int, int, std::uint64_t*, Score&);
    const bool zero = constant == 0;
    bool runsDone = false;
    if (level_ == Level::Avx512) {
        // [zero constant][weighted][runs]
        static constexpr Fn kPass[2][2][2] = {
            {{&Pass::avx512<false, false, false>, &Pass::avx512<false, false, true>},
             {&Pass::avx512<false, true, false>, &Pass::avx512<false, true, true>}},
            {{&Pass::avx512<true, false, false>, &Pass::avx512<true, false, true>},
             {&Pass::avx512<true, true, false>, &Pass::avx512<true, true, true>}}};
        kPass[zero][weighted_][runs](*this, params, count, constant, words, score);
        runsDone = runs;
    } else if (level_ == Level::Avx2) {
        static constexpr Fn kPass[2][2] = {{&Pass::avx2<false, false>, &Pass::avx2<false, true>},
                                           {&Pass::avx2<true, false>, &Pass::avx2<true, true>}};
        kPass[zero][weighted_](*this, params, count, constant, words, score);
    } else {
        Pass::portable(*this, params, count, constant, words, score);
    }
    score.rate = rateOf(score.hits, score.total);
    return runsDone;
}

Score SearchKernel::score(const int* params, int count, int constant) const {
    Score s;
    std::uint64_t* words = wordBuffer(stride_ / 64 + 1);
    if (!hitBits(params, count, constant, words, s, true)) runsFromHitBits(words, rows_, s);
    return s;
}

bool SearchKernel::qualifies(const int* params, int count, int constant,
                             const Thresholds& thresholds, Score* full) const {
    Score s;
    std::uint64_t* words = wordBuffer(stride_ / 64 + 1);
    hitBits(params, count, constant, words, s, false);
    // The rate and the last runs are cheap; most candidates fail on them.
    lastRunsFromHitBits(words, rows_, s);
    Score probe = s;
    const auto& th = thresholds.th;
    probe.longestMiss = static_cast<int>(std::max(0.0, th[2]));
    probe.longestHit = static_cast<int>(std::max(0.0, th[4]));
    Thresholds loose = thresholds;
    loose.th[2] = loose.th[4] = -1e300;
    loose.th[3] = loose.th[5] = 1e300;
    if (!QualifyCandidate(probe, loose)) return false;
    runsFromHitBits(words, rows_, s);
    if (!QualifyCandidate(s, thresholds)) return false;
    if (full) *full = s;
    return true;
}

std::uint64_t SearchKernel::addOnly(const int* params, int count) const {
    if (level_ == Level::Avx512) return Pass::addOnlyAvx512(*this, params, count);
    if (level_ == Level::Avx2) return Pass::addOnlyAvx2(*this, params, count);
    std::uint64_t acc = 0;
    for (int t = 0; t < rows_; ++t) {
        std::uint8_t x = 0;
        for (int i = 0; i < count; ++i)
            x += residues_[static_cast<std::size_t>(params[i] - 1) * stride_ + t];
        acc = acc * 31 + x;
    }
    return acc;
}

}  // namespace varnet
