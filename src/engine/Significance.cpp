#include "engine/Significance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

namespace varnet {

namespace {

// log C(n, k) + k log p + (n - k) log(1 - p): the log of one binomial term.
double logTerm(std::int64_t n, std::int64_t k, double p) {
    const double nn = static_cast<double>(n), kk = static_cast<double>(k);
    return std::lgamma(nn + 1) - std::lgamma(kk + 1) - std::lgamma(nn - kk + 1) + kk * std::log(p) +
           (nn - kk) * std::log1p(-p);
}

// Sum of the terms from k upwards (up = true) or downwards, relative to the
// term at k, stopping once a term no longer changes the sum. Past the mode
// the terms fall at least geometrically, so the walk is short.
double relativeTail(std::int64_t n, std::int64_t k, double p, bool up) {
    const double odds = p / (1 - p);
    double sum = 1.0, t = 1.0;
    if (up) {
        for (std::int64_t i = k; i < n; ++i) {
            t *= static_cast<double>(n - i) / static_cast<double>(i + 1) * odds;
            sum += t;
            if (t < sum * 1e-17) break;
        }
    } else {
        for (std::int64_t i = k; i > 0; --i) {
            t *= static_cast<double>(i) / static_cast<double>(n - i + 1) / odds;
            sum += t;
            if (t < sum * 1e-17) break;
        }
    }
    return sum;
}

// P[X >= k] with 0 < k <= n and 0 < p < 1.
double upperTail(std::int64_t n, std::int64_t k, double p) {
    const double mean = static_cast<double>(n) * p;
    if (static_cast<double>(k) > mean)
        return std::exp(logTerm(n, k, p) + std::log(relativeTail(n, k, p, true)));
    // Below the mean the upper tail is large: take it as one minus the
    // short lower tail, which loses nothing that matters.
    const double lower =
        std::exp(logTerm(n, k - 1, p) + std::log(relativeTail(n, k - 1, p, false)));
    return std::max(0.0, 1.0 - lower);
}

}  // namespace

double chanceBaseline(bool kill) { return kill ? 0.9 : 0.1; }

double binomialUpperTail(std::int64_t n, std::int64_t k, double p) {
    if (k <= 0) return 1.0;
    if (k > n) return 0.0;
    if (p <= 0.0) return 0.0;
    if (p >= 1.0) return 1.0;
    return std::min(1.0, upperTail(n, k, p));
}

double binomialLowerTail(std::int64_t n, std::int64_t k, double p) {
    if (k < 0) return 0.0;
    if (k >= n) return 1.0;
    // X <= k is n - X >= n - k for n - X ~ Binomial(n, 1 - p).
    return binomialUpperTail(n, n - k, 1.0 - p);
}

double missRunProbability(std::int64_t n, int length, double q) {
    if (length <= 0) return 1.0;
    if (n < length) return 0.0;
    if (q <= 0.0) return 0.0;
    if (q >= 1.0) return 1.0;
    // f[m]: no run of `length` misses in the first m trials. A first such run
    // ending at trial m needs the trial before it to be a hit (or not to
    // exist) and no run before that.
    const double run = std::pow(q, length);
    std::vector<double> f(static_cast<std::size_t>(n) + 1, 1.0);
    for (std::int64_t m = length; m <= n; ++m) {
        const double first = m == length ? run : run * (1 - q) * f[m - length - 1];
        f[m] = f[m - 1] - first;
    }
    return std::min(1.0, std::max(0.0, 1.0 - f[n]));
}

ChanceView chanceViewOf(const Score& score, bool kill) {
    ChanceView v;
    v.baseline = chanceBaseline(kill);
    v.expected = v.baseline * static_cast<double>(score.counted);
    v.pValue =
        score.counted > 0 ? binomialUpperTail(score.counted, score.plainHits, v.baseline) : 1.0;
    return v;
}

double longestMissChance(const Score& score, bool kill) {
    return missRunProbability(score.counted, score.longestMiss, 1.0 - chanceBaseline(kill));
}

std::vector<double> benjaminiHochberg(const std::vector<double>& pValues) {
    const std::size_t m = pValues.size();
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return pValues[a] < pValues[b]; });
    std::vector<double> adjusted(m);
    double running = 1.0;
    for (std::size_t rank = m; rank > 0; --rank) {
        const std::size_t i = order[rank - 1];
        running =
            std::min(running, pValues[i] * static_cast<double>(m) / static_cast<double>(rank));
        adjusted[i] = running;
    }
    return adjusted;
}

std::string baselineText(bool kill) { return kill ? "90%" : "10%"; }

std::string pValueText(double p) {
    if (p < 1e-300) return "<1e-300";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", p);
    return buf;
}

}  // namespace varnet
