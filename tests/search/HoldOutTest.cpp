#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "base/ParameterNames.h"
#include "engine/Expression.h"
#include "engine/Reference.h"
#include "search/HoldOut.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

// Random draws, except that position 1 never shows the number of the sum of
// positions 3 and 5 two draws before: a kill formula L3A+L5A always hits.
History plantedHistory(int rows, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    History h;
    Numbers prev{};
    for (int i = 0; i < rows; ++i) {
        Draw d;
        d.issue = 5000 + i;
        std::iota(d.numbers.begin(), d.numbers.end(), 1);
        std::shuffle(d.numbers.begin(), d.numbers.end(), rng);
        if (i >= 2) {
            const int banned = static_cast<int>(numberOf(h.number(i - 2, 3) + h.number(i - 2, 5)));
            if (d.numbers[0] == banned) std::swap(d.numbers[0], d.numbers[1 + rng() % 9]);
        }
        d.year = 2020;
        d.month = 1;
        d.day = 1 + i % 28;
        h.append(d.issue, computeParameters(d, prev));
        prev = d.numbers;
    }
    return h;
}

SearchRequest searchOf(int operands, std::optional<int> constant, double lowestRate,
                       long long candidates) {
    SearchRequest r;
    r.generator.operands = operands;
    r.generator.position = 1;
    r.generator.kill = true;
    r.generator.constant = constant;
    r.rule.retrieval = 0;
    r.rule.weighted = false;
    r.thresholds.th = {lowestRate, 100, 0, 32768, 0, 32768, 0, 32768, 0, 32768};
    r.candidates = candidates;
    r.seed = 11;
    return r;
}

// The held-out score is the plain score over the last M draws, the lag
// reaching back before the hold-out; on both the kernel's path and the
// general engine's (a negative constant).
TEST(HoldOut, ScoresTheLastDrawsAsTheReferenceDoes) {
    const History h = test::randomHistory(300, 3);
    std::mt19937_64 rng(5);
    for (int m : {2, 3, 37, 298}) {
        for (bool kill : {true, false}) {
            const HoldOutScorer scorer(h, m, 4, kill);
            CountRule rule{m - 1, true, false, true};  // the search's last N + 1 draws
            for (int n = 0; n < 8; ++n) {
                std::vector<int> params(1 + rng() % 6);
                for (int& p : params) p = 1 + static_cast<int>(rng() % 132);
                const int c = static_cast<int>(rng() % 30) - 10;
                Score want = referenceScore(*parseFormula(candidateCode(params, c)).program, h, 4,
                                            kill, rule);
                want.calcValue.reset();
                ASSERT_EQ(scorer.score(params, c), want) << candidateCode(params, c) << " M " << m;
                EXPECT_EQ(want.counted, m);
            }
        }
    }
    EXPECT_TRUE(holdOutFits(300, 297));
    EXPECT_FALSE(holdOutFits(300, 298));
    EXPECT_FALSE(holdOutFits(300, -1));
}

TEST(HoldOut, ShuffledDrawsKeepTheRowsAndTheIssues) {
    const History h = test::randomHistory(200, 8);
    const History s = shuffledDraws(h, 1);
    ASSERT_EQ(s.issues(), h.issues());
    std::vector<ParamValues> a, b;
    for (int r = 0; r < h.size(); ++r) a.push_back(h.params(r)), b.push_back(s.params(r));
    EXPECT_NE(a, b);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

struct Searched {
    HoldOutReport report;
    std::vector<HoldOutFind> finds;
};

Searched run(const History& h, const SearchRequest& r, int holdOut) {
    Searched out;
    out.report = runHoldOutSearch(h, r, holdOut, [&](const HoldOutFind& f) {
        out.finds.push_back(f);
        return true;
    });
    return out;
}

// On random draws the best finds of a large search hold no more than chance
// out of sample, and the shuffled history qualifies about as many.
TEST(HoldOut, RandomDrawsHoldOutAtChance) {
    const History h = test::randomHistory(2500, 21);
    const Searched r = run(h, searchOf(8, std::nullopt, 92.0, 200000), 500);
    ASSERT_GT(r.report.finds, 100);
    EXPECT_EQ(r.report.tried, 200000);
    auto best = r.finds;
    std::stable_sort(best.begin(), best.end(), [](const HoldOutFind& a, const HoldOutFind& b) {
        return a.find.score.rate > b.find.score.rate;
    });
    best.resize(100);
    HeldOutTally tally;
    for (const auto& f : best) {
        // The per-draw hits are those the held-out score counts.
        ASSERT_EQ(f.heldOutHits.size(), 500u);
        EXPECT_EQ(std::accumulate(f.heldOutHits.begin(), f.heldOutHits.end(), 0),
                  f.heldOut.plainHits);
        tally.add(f.heldOutHits);
    }
    const HeldOutMean m = heldOutMean(tally, true);
    EXPECT_EQ(m.draws, 100 * 500);
    EXPECT_LT(std::abs(m.mean - 90.0), 2 * m.standardError) << m.mean << " ± " << m.standardError;
    EXPECT_GT(m.pValue, 0.001);
    const double chance = static_cast<double>(r.report.chanceFinds);
    EXPECT_LT(std::abs(chance - r.report.finds), 0.5 * r.report.finds)
        << r.report.finds << " finds, " << chance << " by chance";
}

// A planted pattern is found, holds out far above chance, and beats the
// count the shuffled history gives; a limit stops the chance count where
// the search stopped.
TEST(HoldOut, PlantedPatternHoldsOut) {
    const History h = plantedHistory(2500, 4);
    const Searched r = run(h, searchOf(2, 0, 99.0, 200000), 500);
    auto isPlanted = [](const HoldOutFind& f) {
        return f.find.candidate.code == "L3A+L5A+0" || f.find.candidate.code == "L5A+L3A+0";
    };
    // Besides the planted sum, its equals such as 年份 (2020) + 第四邻号和.
    EXPECT_TRUE(std::any_of(r.finds.begin(), r.finds.end(), isPlanted));
    for (const auto& f : r.finds) EXPECT_EQ(f.heldOut.plainHits, 500) << f.find.candidate.code;
    EXPECT_EQ(r.report.mean.mean, 100.0);
    EXPECT_LT(r.report.mean.pValue, 1e-20);
    EXPECT_LT(r.report.chanceFinds, r.report.finds);

    const Searched loose = run(h, searchOf(2, 0, 92.5, 200000), 500);
    EXPECT_TRUE(std::any_of(loose.finds.begin(), loose.finds.end(), isPlanted));
    EXPECT_GT(loose.report.mean.mean, 90.0 + 4 * loose.report.mean.standardError);
    EXPECT_LT(loose.report.chanceFinds, loose.report.finds);

    // Stopped at its third find, the search counts chance over exactly the
    // candidates a search of that many gives.
    int taken = 0;
    const auto stopped = runHoldOutSearch(h, searchOf(2, 0, 92.5, 200000), 500,
                                          [&](const HoldOutFind&) { return ++taken < 3; });
    EXPECT_EQ(stopped.finds, 3);
    ASSERT_LT(stopped.tried, stopped.search.evaluated);
    const Searched prefix = run(h, searchOf(2, 0, 92.5, stopped.tried), 500);
    EXPECT_EQ(prefix.report.finds, 3);
    EXPECT_EQ(prefix.report.chanceFinds, stopped.chanceFinds);
}

// Finds of one search look alike and hit together (here one parameter
// plus one: 132 formulas, each drawn about 20 times), so their held-out mean
// varies from history to history far more than independent finds would.
// Its standard error must know that: over 40 random histories the 95 %
// interval covers the chance rate in about 38 of them (34 to 40 allowed).
// The constant keeps every value at 1 or more, so each formula's number is
// one of 1..10 and its chance rate exactly 90 %.
TEST(HoldOut, StandardErrorCoversChanceOnRandomHistories) {
    int covered = 0, searched = 0;
    for (std::uint64_t seed = 1; searched < 40; ++seed) {
        const History h = test::randomHistory(360, 700 + seed);
        SearchRequest r = searchOf(1, 1, 91.0, 3000);
        r.seed = seed;
        const HoldOutReport report = run(h, r, 150).report;
        ASSERT_LT(seed, 60u) << "too few searches with finds";
        if (report.mean.finds < 2) continue;
        ++searched;
        const HeldOutMean& m = report.mean;
        covered += std::abs(m.mean - 90.0) <= 1.96 * m.standardError;
    }
    EXPECT_GE(covered, 34);
}

}  // namespace
}  // namespace varnet
