#include "search/SearchKernel.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "formula/HitBits.h"
#include "history/Draw.h"
#include "history/History.h"

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

bool cpuHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

thread_local std::vector<std::uint64_t> tlsWords;

std::uint64_t* wordBuffer(int words) {
    if (static_cast<int>(tlsWords.size()) < words) tlsWords.resize(words);
    return tlsWords.data();
}

}  // namespace

SearchKernel::SearchKernel(const History& history, int position, bool kill, const CountRule& rule)
    : kill_(kill), weighted_(rule.weighted), avx2_(cpuHasAvx2()) {
    CountRule r = rule;
    r.search = true;
    const int n = history.size();
    const int first = firstCountedRow(n, r);
    rows_ = n - first;
    stride_ = (rows_ + kBlock - 1) / kBlock * kBlock;
    columns_.assign(static_cast<std::size_t>(kParamCount) * stride_, 0);
    negative_.assign(kParamCount, false);
    target_.assign(stride_, 0xFF);
    for (int k = 1; k <= kParamCount; ++k) {
        const auto& col = history.column(k);
        std::uint8_t* out = columns_.data() + static_cast<std::size_t>(k - 1) * stride_;
        for (int t = 0; t < rows_; ++t) {
            // The value two rows before the counted row decides its hit.
            const std::int32_t v = col[first - 2 + t];
            if (v < 0) negative_[k - 1] = true;
            out[t] = v < 0 ? 0 : numberByte(v);
        }
    }
    for (int t = 0; t < rows_; ++t)
        target_[t] = static_cast<std::uint8_t>(history.number(first + t, position) % 10);
}

bool SearchKernel::accepts(const int* params, int count, int constant) const {
    if (count < 1 || count > kMaxOperands || constant < 0) return false;
    for (int i = 0; i < count; ++i) {
        if (params[i] < 1 || params[i] > kParamCount || negative_[params[i] - 1]) return false;
    }
    return true;
}

struct SearchKernel::Pass {
    __attribute__((target("avx2"))) static void avx2(const SearchKernel& kn, const int* params,
                                                     int count, int constant, std::uint64_t* words,
                                                     Score& s) {
        const std::uint8_t* cols[kMaxOperands];
        for (int i = 0; i < count; ++i)
            cols[i] = kn.columns_.data() + static_cast<std::size_t>(params[i] - 1) * kn.stride_;
        const __m256i zero = _mm256_setzero_si256();
        const __m256i ones = _mm256_set1_epi8(-1);
        const __m256i low4 = _mm256_set1_epi8(0x0F);
        const __m256i ten = _mm256_set1_epi8(10);
        const __m256i cv = _mm256_set1_epi8(static_cast<char>(constantByte(constant)));
        // (16 * h) mod 10 for the high nibble h.
        const __m256i sixteens = _mm256_setr_epi8(0, 6, 2, 8, 4, 0, 6, 2, 8, 4, 0, 6, 2, 8, 4, 0, 0,
                                                  6, 2, 8, 4, 0, 6, 2, 8, 4, 0, 6, 2, 8, 4, 0);
        const __m256i iota =
            _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                             20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
        const __m256i ones16 = _mm256_set1_epi16(1);
        const __m256i flip = kn.kill_ ? ones : zero;
        __m256i accFirst = zero;   // sum of J * (sum of t over hits), 64-bit lanes
        __m256i accSecond = zero;  // sum of t^2 over hits, 32-bit lanes
        std::int64_t hitsScalar = 0;
        auto* words32 = reinterpret_cast<std::uint32_t*>(words);
        const int rows = kn.rows_;
        const int blocks = (rows + 31) / 32;
        for (int b = 0; b < blocks; ++b) {
            const int off = 32 * b;
            __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols[0] + off));
            for (int i = 1; i < count; ++i)
                sum = _mm256_add_epi8(
                    sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols[i] + off)));
            const __m256i x = _mm256_add_epi8(sum, cv);
            // x mod 10: fold the high nibble in, then take 10 away twice.
            const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), low4);
            __m256i y =
                _mm256_add_epi8(_mm256_shuffle_epi8(sixteens, hi), _mm256_and_si256(x, low4));
            y = _mm256_min_epu8(y, _mm256_sub_epi8(y, ten));
            y = _mm256_min_epu8(y, _mm256_sub_epi8(y, ten));
            const __m256i target =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kn.target_.data() + off));
            const __m256i same =
                _mm256_andnot_si256(_mm256_cmpeq_epi8(x, zero), _mm256_cmpeq_epi8(y, target));
            __m256i hit = _mm256_xor_si256(same, flip);
            if (off + 32 > rows) {
                // Padding rows are never hits.
                alignas(32) std::uint8_t valid[32];
                for (int t = 0; t < 32; ++t) valid[t] = off + t < rows ? 0xFF : 0;
                hit = _mm256_and_si256(hit, _mm256_load_si256(reinterpret_cast<__m256i*>(valid)));
            }
            const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hit));
            words32[b] = mask;
            if (kn.weighted_) {
                // Counted row j = J + t weighs J^2 + 2 J t + t^2.
                const std::int64_t J = off + 1;
                hitsScalar += J * J * std::popcount(mask);
                const __m256i ht = _mm256_and_si256(hit, iota);
                accFirst = _mm256_add_epi64(
                    accFirst, _mm256_mul_epu32(_mm256_sad_epu8(ht, zero), _mm256_set1_epi64x(J)));
                accSecond = _mm256_add_epi32(
                    accSecond, _mm256_madd_epi16(_mm256_maddubs_epi16(ht, iota), ones16));
            } else {
                hitsScalar += std::popcount(mask);
            }
        }
        if (blocks % 2) words32[blocks] = 0;
        if (kn.weighted_) {
            alignas(32) std::uint64_t f[4];
            alignas(32) std::int32_t q[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(f), accFirst);
            _mm256_store_si256(reinterpret_cast<__m256i*>(q), accSecond);
            std::int64_t first = 0, second = 0;
            for (auto v : f) first += static_cast<std::int64_t>(v);
            for (auto v : q) second += v;
            s.hits = hitsScalar + 2 * first + second;
            s.total = sumOfSquares(rows);
        } else {
            s.hits = hitsScalar;
            s.total = rows;
        }
    }

    static void portable(const SearchKernel& kn, const int* params, int count, int constant,
                         std::uint64_t* words, Score& s) {
        const int rows = kn.rows_;
        const int cb = constantByte(constant);
        std::fill(words, words + kn.stride_ / 64, 0ULL);
        for (int t = 0; t < rows; ++t) {
            int x = cb;
            for (int i = 0; i < count; ++i)
                x += kn.columns_[static_cast<std::size_t>(params[i] - 1) * kn.stride_ + t];
            const bool same = x != 0 && x % 10 == kn.target_[t];
            if (same != kn.kill_) words[t / 64] |= 1ULL << (t % 64);
        }
        hitSumsFromHitBits(words, rows, kn.weighted_, s);
    }

    __attribute__((target("avx2"))) static std::uint64_t addOnlyAvx2(const SearchKernel& kn,
                                                                     const int* params, int count) {
        const std::uint8_t* cols[kMaxOperands];
        for (int i = 0; i < count; ++i)
            cols[i] = kn.columns_.data() + static_cast<std::size_t>(params[i] - 1) * kn.stride_;
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

void SearchKernel::hitBits(const int* params, int count, int constant, std::uint64_t* words,
                           Score& score) const {
    if (avx2_)
        Pass::avx2(*this, params, count, constant, words, score);
    else
        Pass::portable(*this, params, count, constant, words, score);
    score.rate = rateOf(score.hits, score.total);
}

Score SearchKernel::score(const int* params, int count, int constant) const {
    Score s;
    std::uint64_t* words = wordBuffer(stride_ / 64 + 1);
    hitBits(params, count, constant, words, s);
    runsFromHitBits(words, rows_, s);
    return s;
}

bool SearchKernel::qualifies(const int* params, int count, int constant,
                             const Thresholds& thresholds, Score* full) const {
    Score s;
    std::uint64_t* words = wordBuffer(stride_ / 64 + 1);
    hitBits(params, count, constant, words, s);
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
    if (avx2_) return Pass::addOnlyAvx2(*this, params, count);
    std::uint64_t acc = 0;
    for (int t = 0; t < rows_; ++t) {
        std::uint8_t x = 0;
        for (int i = 0; i < count; ++i)
            x += columns_[static_cast<std::size_t>(params[i] - 1) * stride_ + t];
        acc = acc * 31 + x;
    }
    return acc;
}

}  // namespace varnet
