// The trend against a plain recomputation, and its chance of a longest
// omission against simulated histories.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "analysis/Trend.h"
#include "base/ParameterNames.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

// Every kind of parameter: each per-position letter (at a varying position)
// and the whole-draw ones with a trend.
std::vector<int> everyKind() {
    std::vector<int> params;
    for (int letter = 0; letter < 12; ++letter)
        params.push_back(paramIndex(letter, letter % 10 + 1));
    for (int k : {121, 122, 123, 124, 131, 132}) params.push_back(k);
    return params;
}

// The chance of each value over all 10! orders, straight from the draw's
// parameters (against a fixed earlier order for those that read it).
std::map<int, std::map<std::int32_t, double>> plainLaws(const std::vector<int>& params) {
    // Every value here lies in 0..1024 (2 to the tenth at most).
    std::vector<std::vector<long long>> counts(params.size(), std::vector<long long>(1025));
    const Numbers previous{3, 7, 1, 10, 2, 9, 4, 6, 8, 5};
    Draw d;
    std::iota(d.numbers.begin(), d.numbers.end(), 1);
    long long total = 0;
    do {
        const ParamValues v = computeParameters(d, previous);
        for (std::size_t i = 0; i < params.size(); ++i) ++counts[i].at(v[params[i] - 1]);
        ++total;
    } while (std::next_permutation(d.numbers.begin(), d.numbers.end()));
    std::map<int, std::map<std::int32_t, double>> laws;
    for (std::size_t i = 0; i < params.size(); ++i)
        for (int value = 0; value <= 1024; ++value)
            if (counts[i][value])
                laws[params[i]][value] = static_cast<double>(counts[i][value]) / total;
    return laws;
}

TEST(Trend, EqualsAPlainRecomputationForEveryParameterKind) {
    const std::vector<int> params = everyKind();
    const auto laws = plainLaws(params);
    for (std::uint64_t seed : {1, 2}) {
        const History h = test::randomHistory(seed == 1 ? 300 : 40, seed);
        for (int k : params)
            for (int last : {0, 1, 37, 300, 1000}) {
                SCOPED_TRACE(ParameterNames::code(k) + " last " + std::to_string(last) + " seed " +
                             std::to_string(seed));
                const Trend t = Trend::compute(h, k, last);
                const int n = h.size();
                const int rows = last == 0 ? n : std::min(last, n);
                const int first = n - rows;
                ASSERT_EQ(t.rows(), rows);
                // Columns: every value chance gives, and any value stored.
                std::set<std::int32_t> values;
                for (const auto& [value, p] : laws.at(k)) values.insert(value);
                for (int r = 0; r < n; ++r) values.insert(h.param(r, k));
                ASSERT_EQ(t.columnCount(), static_cast<int>(values.size()));
                int c = 0;
                for (std::int32_t value : values) {
                    const TrendColumn& s = t.column(c);
                    EXPECT_EQ(s.value, value);
                    const auto p = laws.at(k).find(value);
                    const double prob = p == laws.at(k).end() ? 0.0 : p->second;
                    EXPECT_DOUBLE_EQ(s.probability, prob);
                    int appearances = 0, longest = 0, omission = 0, repeat = 0;
                    for (int r = first; r < n; ++r) {
                        int last = r;
                        while (last >= 0 && h.param(last, k) != value) --last;
                        omission = r - last;
                        int run = 0;
                        for (int j = r; j >= 0 && h.param(j, k) == value; --j) ++run;
                        appearances += omission == 0;
                        longest = std::max(longest, omission);
                        repeat = std::max(repeat, run);
                        ASSERT_EQ(t.omission(r - first, c), omission) << "row " << r;
                    }
                    EXPECT_EQ(s.appearances, appearances);
                    EXPECT_DOUBLE_EQ(s.expected, rows * prob);
                    EXPECT_DOUBLE_EQ(s.meanOmission,
                                     static_cast<double>(rows - appearances) / (appearances + 1));
                    EXPECT_EQ(s.longestOmission, longest);
                    EXPECT_EQ(s.currentOmission, rows ? omission : 0);
                    EXPECT_EQ(s.longestRepeat, repeat);
                    ++c;
                }
                // The row-by-row pass gives the same omissions.
                t.eachRow(0, t.rows(), [&](int r, const std::vector<int>& o) {
                    for (int col = 0; col < t.columnCount(); ++col)
                        ASSERT_EQ(o[col], t.omission(r, col));
                    ASSERT_EQ(o[t.drawnColumn(r)], 0);
                    ASSERT_EQ(t.value(r), h.param(first + r, k));
                });
            }
    }
}

// A position that always draws 1: 1 hot, every other number cold.
TEST(Trend, MarksHotAndColdOnlyFarFromChance) {
    History h;
    for (int r = 0; r < 60; ++r) {
        Draw d;
        d.issue = 1000 + r;
        d.numbers = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        std::swap(d.numbers[2], d.numbers[3 + r % 7]);  // position 1 stays 1
        h.append(d.issue, computeParameters(d, Numbers{}));
    }
    const Trend fixed = Trend::compute(h, paramIndex(0, 1), 0);
    for (const TrendColumn& c : fixed.columns()) EXPECT_EQ(c.heat, c.value == 1 ? 1 : -1);
    const Trend random = Trend::compute(test::randomHistory(60, 5), paramIndex(0, 1), 0);
    for (const TrendColumn& c : random.columns()) EXPECT_EQ(c.heat, 0);
}

// How often a random history holds a longest omission at least L, against
// the chance the trend gives for L, with draws before the window.
TEST(Trend, LongestOmissionChanceMatchesSimulation) {
    const int trials = 6000, draws = 80, window = 50;
    std::map<int, int> longest;  // longest omission of number 1 -> histories
    std::map<int, double> chance;
    for (int i = 0; i < trials; ++i) {
        const Trend t =
            Trend::compute(test::randomHistory(draws, 100 + i), paramIndex(0, 4), window);
        const TrendColumn& c = t.column(0);
        ++longest[c.longestOmission];
        chance[c.longestOmission] = c.longestChance;
    }
    for (int length : {12, 18, 25, 32}) {
        ASSERT_TRUE(chance.count(length)) << length;
        int atLeast = 0;
        for (const auto& [l, n] : longest)
            if (l >= length) atLeast += n;
        const double seen = static_cast<double>(atLeast) / trials;
        const double p = chance[length];
        EXPECT_NEAR(seen, p, 4 * std::sqrt(p * (1 - p) / trials) + 1e-3) << length;
    }
}

}  // namespace
}  // namespace varnet
