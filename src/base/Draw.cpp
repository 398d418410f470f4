#include "base/Draw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace varnet {

namespace {

std::int32_t saturate(long double v) {
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(v)) return 0;
    if (v <= lo) return lo;
    if (v >= hi) return hi;
    return static_cast<std::int32_t>(v);
}

std::int32_t saturate(long long v) { return saturate(static_cast<long double>(v)); }

// Integer modulo with the sign of the dividend, as the draw rules use it.
long long remainder(long long a, long long b) { return a % b; }

// Powers of the small integers a draw holds done in integers (the library's
// long double power costs more than the rest of the parameters together);
// the results are the same, other values take the long way.
long double square(long long x) {
    if (x >= -1000000 && x <= 1000000) return static_cast<long double>(x * x);
    return std::pow(static_cast<long double>(x), 2);
}
long double cube(long long x) {
    if (x >= -1000000 && x <= 1000000) return static_cast<long double>(x * x * x);
    return std::pow(static_cast<long double>(x), 3);
}
long double powerOfTwo(long long x) {
    if (x >= 0 && x <= 62) return static_cast<long double>(1LL << x);
    return std::pow(2.0L, static_cast<long double>(x));
}

}  // namespace

bool isValidNumbers(const Numbers& numbers) {
    std::array<bool, kPositions + 1> seen{};
    for (int x : numbers) {
        if (x < 1 || x > kPositions || seen[x]) return false;
        seen[x] = true;
    }
    return true;
}

ParamValues computeParameters(const Draw& draw, const Numbers& previous) {
    ParamValues v{};
    const auto& x = draw.numbers;
    long long m1 = 0, m2 = 0, m3 = 0, m4 = 0, n1 = 0, n2 = 0;
    auto set = [&v](int letter, int position, auto value) {
        v[paramIndex(letter, position) - 1] = saturate(value);
    };

    for (int i = 1; i <= kPositions; ++i) {
        const long long xi = x[i - 1];
        if (i > 1) {
            const long long d = std::llabs(xi - x[i - 2]);
            if (d > n1) n1 = d;
        }
        if (xi == previous[i - 1]) ++n2;
        set(0, i, xi);                  // A: number
        set(1, i, xi > 5 ? 1LL : 0LL);  // B: big/small
        set(2, i, xi & 1LL);            // C: odd/even
        set(3, i, remainder(xi, 5));    // D: mod 5
        set(4, i, remainder(xi, 3));    // E: mod 3
        set(5, i, (xi - 1) / 2 + 1);    // F: segment
        set(6, i, square(xi));          // G: square
        set(7, i, 10 - xi);             // H: complement
        set(8, i, powerOfTwo(xi));      // I: 2^x
        set(9, i, cube(xi));            // J: cube
        if (i > 1) {
            const long long before = x[i - 2];
            if (xi == before + 1) ++m1;
            if (before == xi + 1) ++m2;
            if (xi == before + 2) ++m3;
            if (before == xi + 2) ++m4;
        }
    }
    // Neighbour sums and differences need all ten numbers.
    for (int i = 1; i <= kPositions; ++i) {
        const long long left = x[(i + 8) % 10];  // position prev(i), 0-based
        const long long right = x[i % 10];       // position next(i), 0-based
        set(10, i, left + right);
        set(11, i, std::llabs(left - right));
    }
    v[120] = saturate(m1);
    v[121] = saturate(m2);
    v[122] = saturate(m3);
    v[123] = saturate(m4);
    v[124] = draw.issue;
    v[125] = saturate(static_cast<long long>(draw.issue) + 1);
    v[126] = saturate(static_cast<long long>(draw.issue) + 2);
    v[127] = draw.day;
    v[128] = draw.month;
    v[129] = draw.year;
    v[130] = saturate(n1);
    v[131] = saturate(n2);
    return v;
}

}  // namespace varnet
