#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Expression.h"
#include "engine/Reference.h"
#include "engine/Significance.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

// The whole distribution by repeated convolution, in long double: slow and
// plain, nothing shared with the tails under test.
std::vector<long double> binomialPmf(int n, long double p) {
    std::vector<long double> pmf{1.0L};
    for (int i = 0; i < n; ++i) {
        std::vector<long double> next(pmf.size() + 1, 0.0L);
        for (std::size_t j = 0; j < pmf.size(); ++j) {
            next[j] += pmf[j] * (1 - p);
            next[j + 1] += pmf[j] * p;
        }
        pmf = std::move(next);
    }
    return pmf;
}

void expectClose(double got, long double want, const char* what) {
    if (want < 1e-300L) {
        EXPECT_LT(got, 1e-290) << what;
        return;
    }
    EXPECT_NEAR(got / static_cast<double>(want), 1.0, 1e-9)
        << what << " want " << static_cast<double>(want);
}

TEST(Significance, BinomialTailsMatchTheWholeDistribution) {
    for (const int n : {1, 2, 7, 30, 300, 501}) {
        for (const double p : {0.1, 0.9, 0.5}) {
            const auto pmf = binomialPmf(n, p);
            for (int k = -1; k <= n + 1; ++k) {
                long double upper = 0, lower = 0;
                for (int j = 0; j <= n; ++j) (j >= k ? upper : lower) += pmf[j];
                SCOPED_TRACE(::testing::Message() << "n=" << n << " p=" << p << " k=" << k);
                expectClose(binomialUpperTail(n, k, p), upper, "upper");
                // P[X <= k - 1] is the complement.
                expectClose(binomialLowerTail(n, k - 1, p), lower, "lower");
            }
        }
    }
    // Counts beyond a year of draws stay finite and ordered.
    EXPECT_GT(binomialUpperTail(100000, 90100, 0.9), binomialUpperTail(100000, 90400, 0.9));
    EXPECT_LT(binomialUpperTail(100000, 91500, 0.9), 1e-30);
}

TEST(Significance, MissRunProbabilityMatchesEnumeration) {
    for (const int n : {1, 5, 12, 16}) {
        for (const double q : {0.1, 0.9, 0.3}) {
            for (int len = 0; len <= n + 1; ++len) {
                // Every outcome sequence, weighted by its probability.
                long double want = 0;
                for (unsigned bits = 0; bits < (1u << n); ++bits) {  // bit set = miss
                    int run = 0, longest = 0, misses = 0;
                    for (int i = 0; i < n; ++i) {
                        const bool miss = bits >> i & 1;
                        misses += miss;
                        run = miss ? run + 1 : 0;
                        longest = std::max(longest, run);
                    }
                    if (longest >= len)
                        want += std::pow((long double)q, misses) * std::pow(1.0L - q, n - misses);
                }
                EXPECT_NEAR(missRunProbability(n, len, q), static_cast<double>(want), 1e-12)
                    << "n=" << n << " q=" << q << " len=" << len;
            }
        }
    }
}

// The chance view reads the plain hits and counted draws every evaluator
// reports beside the weighted sums.
TEST(Significance, ChanceViewUsesThePlainCounts) {
    const History h = test::randomHistory(400, 17);
    const auto parsed = parseFormula("L1A+L3B+4");
    ASSERT_TRUE(parsed.program);
    for (const bool kill : {true, false}) {
        CountRule weighted{.retrieval = 300, .excludeCurrent = true, .weighted = true};
        CountRule plain = weighted;
        plain.weighted = false;
        const Score w = referenceScore(*parsed.program, h, 1, kill, weighted);
        const Score u = referenceScore(*parsed.program, h, 1, kill, plain);
        EXPECT_EQ(w.plainHits, u.hits);
        EXPECT_EQ(w.counted, u.total);
        EXPECT_EQ(u.counted, 300);
        const ChanceView v = chanceViewOf(w, kill);
        EXPECT_DOUBLE_EQ(v.baseline, kill ? 0.9 : 0.1);
        EXPECT_DOUBLE_EQ(v.expected, v.baseline * 300);
        EXPECT_DOUBLE_EQ(v.pValue, binomialUpperTail(300, u.hits, v.baseline));
    }
    EXPECT_EQ(pValueText(0.51234), "0.5123");
    EXPECT_EQ(pValueText(3.1254e-12), "3.125e-12");
    EXPECT_EQ(pValueText(0.0), "<1e-300");
}

// Benjamini-Hochberg worked by hand: p * m / rank, then the running minimum
// from the largest p down; ties keep their own ranks.
TEST(Significance, BenjaminiHochbergMatchesHandWorkedTables) {
    const struct {
        std::vector<double> p, adjusted;
    } cases[] = {
        {{}, {}},
        {{0.6}, {0.6}},
        {{0.3, 0.9, 0.4}, {0.6, 0.9, 0.6}},
        {{0.01, 0.04, 0.03, 0.005, 0.2, 0.04}, {0.03, 0.048, 0.048, 0.03, 0.2, 0.048}},
        {{0.02, 0.02, 0.02}, {0.02, 0.02, 0.02}},
    };
    for (const auto& c : cases) {
        const auto got = benjaminiHochberg(c.p);
        ASSERT_EQ(got.size(), c.adjusted.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.adjusted[i], 1e-12) << "case of " << c.p.size() << ", " << i;
    }
}

}  // namespace
}  // namespace varnet
