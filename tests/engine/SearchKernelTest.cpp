#include <gtest/gtest.h>

#include <random>

#include "engine/Expression.h"
#include "engine/Generator.h"
#include "engine/Reference.h"
#include "engine/SearchKernel.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

Score referenceOf(const std::vector<int>& params, int constant, const History& h, int position,
                  bool kill, const CountRule& rule) {
    const auto parsed = parseFormula(candidateCode(params, constant));
    EXPECT_TRUE(parsed.program) << parsed.error;
    Score s = referenceScore(*parsed.program, h, position, kill, rule);
    s.calcValue.reset();
    return s;
}

// Random candidates on histories whose counted rows end anywhere within a
// vector block: every statistic equals the plain evaluation.
TEST(SearchKernel, EqualsReferenceOnRandomCandidates) {
    std::mt19937_64 rng(7);
    for (int rows : {0, 1, 2, 3, 4, 33, 34, 35, 66, 67, 130, 200, 517}) {
        const History h = test::randomHistory(rows, 100 + rows);
        for (int position : {1, 4, 10}) {
            for (bool kill : {true, false}) {
                for (int retrieval : {0, 1, 31, 100, 1000}) {
                    for (bool weighted : {true, false}) {
                        CountRule rule{retrieval, true, weighted, true};
                        // Every instruction level this processor has.
                        std::vector<SearchKernel> kernels;
                        for (auto level : {SearchKernel::Level::Portable, SearchKernel::Level::Avx2,
                                           SearchKernel::Level::Avx512}) {
                            kernels.emplace_back(h, position, kill, rule);
                            kernels.back().limitLevel(level);
                        }
                        for (int n = 0; n < 6; ++n) {
                            const int k = 1 + static_cast<int>(rng() % 24);
                            std::vector<int> params(k);
                            for (int& p : params) p = 1 + static_cast<int>(rng() % 132);
                            const int c = static_cast<int>(rng() % 25);
                            ASSERT_TRUE(kernels[0].accepts(params.data(), k, c));
                            const Score want = referenceOf(params, c, h, position, kill, rule);
                            for (const auto& kernel : kernels)
                                ASSERT_EQ(kernel.score(params.data(), k, c), want)
                                    << candidateCode(params, c) << " rows " << rows << " level "
                                    << static_cast<int>(kernel.level());
                        }
                    }
                }
            }
        }
    }
}

// Sums that are zero on some rows: the number is then 0, never a drawn
// number, so a kill hits and a keep misses; a constant of 10 makes it 10.
TEST(SearchKernel, ZeroSumsAndMultiplesOfTen) {
    const History h = test::randomHistory(300, 3);
    // L1B (big/small), L2C (odd/even) and L2N are often 0.
    const std::vector<int> params{11, 22, 132};
    for (int c : {0, 10, 20, 9}) {
        for (bool kill : {true, false}) {
            CountRule rule{0, true, true, true};
            SearchKernel k(h, 3, kill, rule);
            EXPECT_EQ(k.score(params.data(), 3, c), referenceOf(params, c, h, 3, kill, rule)) << c;
        }
    }
}

TEST(SearchKernel, QualifiesAgreesWithTheFullTest) {
    const History h = test::randomHistory(400, 11);
    std::mt19937_64 rng(5);
    CountRule rule{0, true, true, true};
    SearchKernel k(h, 2, true, rule);
    Thresholds loose{{85, 100, 0, 32768, 0, 32768, 0, 32768, 0, 32768}};
    Thresholds tight{{90, 100, 0, 3, 10, 32768, 0, 0, 1, 32768}};
    int passed = 0;
    for (int n = 0; n < 400; ++n) {
        std::vector<int> params(4);
        for (int& p : params) p = 1 + static_cast<int>(rng() % 132);
        const Score s = k.score(params.data(), 4, 3);
        for (const Thresholds& t : {loose, tight}) {
            Score full;
            const bool q = k.qualifies(params.data(), 4, 3, t, &full);
            ASSERT_EQ(q, QualifyCandidate(s, t));
            if (q) {
                EXPECT_EQ(full, s);
                ++passed;
            }
        }
    }
    EXPECT_GT(passed, 0);
}

TEST(SearchKernel, RefusesWhatItCannotScore) {
    const History h = test::randomHistory(50, 1);
    SearchKernel k(h, 1, true, CountRule{});
    const int p[2] = {1, 2};
    EXPECT_FALSE(k.accepts(p, 2, -1));  // a negative sum may be below 1
    EXPECT_FALSE(k.accepts(p, 0, 3));
    const int bad[2] = {0, 133};
    EXPECT_FALSE(k.accepts(bad, 2, 3));
}

}  // namespace
}  // namespace varnet
