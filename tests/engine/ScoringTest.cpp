#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "base/History.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/Reference.h"

namespace varnet {
namespace {

// A history whose position-1 numbers are `first` (the rest fill up 1..10).
History historyWithFirst(const std::vector<int>& first) {
    History h;
    Numbers prev{};
    for (std::size_t i = 0; i < first.size(); ++i) {
        Draw d;
        d.issue = 2000 + static_cast<int>(i);
        d.numbers[0] = first[i];
        int next = 1;
        for (int p = 1; p < kPositions; ++p) {
            if (next == first[i]) ++next;
            d.numbers[p] = next++;
        }
        d.year = 2016;
        d.month = 3;
        d.day = 15;
        h.append(d.issue, computeParameters(d, prev));
        prev = d.numbers;
    }
    return h;
}

// Scores with the plain evaluator and checks the engine agrees.
Score scoreOf(const std::string& code, const History& h, bool kill, const CountRule& rule,
              int position = 1) {
    const auto parsed = parseFormula(code);
    EXPECT_TRUE(parsed.program) << parsed.error;
    const Score s = referenceScore(*parsed.program, h, position, kill, rule);
    EXPECT_EQ(FormulaEngine(h).scoreOne(*parsed.program, position, kill, rule), s) << code;
    EXPECT_EQ(FormulaEngine(h).score({{&*parsed.program, kill}}, position, rule).front(), s)
        << code;
    return s;
}

CountRule verification(int r, bool exclude, bool weighted) { return {r, exclude, weighted, false}; }
CountRule search(int n, bool weighted) { return {n, true, weighted, true}; }

TEST(Scoring, CountsRowsFromTheThirdOnUnweighted) {
    // 503 draws; the constant 5 names 5, drawn on 33 counted rows.
    std::vector<int> first(503, 1);
    for (int i = 0; i < 33; ++i) first[10 + i * 10] = 5;
    const History h = historyWithFirst(first);
    const Score s = scoreOf("5", h, true, verification(0, true, false));
    EXPECT_EQ(s.total, 501);
    EXPECT_EQ(s.hits, 468);
    EXPECT_EQ(rateText(s), "93.4132% (468/501)");
    EXPECT_EQ(s.calcValue, 5);
    // The keep formula hits exactly where the kill one misses.
    const Score keep = scoreOf("5", h, false, verification(0, true, false));
    EXPECT_EQ(keep.hits, 33);
    EXPECT_EQ(rateText(keep), "06.5868% (33/501)");
}

TEST(Scoring, RetrievalCountAndTheExcludeFlag) {
    const History h = historyWithFirst(std::vector<int>(500, 3));
    EXPECT_EQ(scoreOf("1", h, true, verification(100, true, false)).total, 100);
    EXPECT_EQ(scoreOf("1", h, true, verification(100, false, false)).total, 101);
    EXPECT_EQ(scoreOf("1", h, true, verification(100, true, true)).total, sumOfSquares(100));
    // More than the history counts rows 3..n, as all draws do.
    EXPECT_EQ(scoreOf("1", h, true, verification(5000, true, false)).total, 498);
    EXPECT_EQ(scoreOf("1", h, true, verification(498, false, false)).total, 498);
    // The search counts the last N + 1 rows and ignores the exclude flag.
    EXPECT_EQ(scoreOf("1", h, true, search(100, false)).total, 101);
    EXPECT_EQ(scoreOf("1", h, true, search(0, false)).total, 498);
    EXPECT_EQ(scoreOf("1", h, true, search(499, false)).total, 498);
    EXPECT_EQ(rateText(scoreOf("1", h, true, verification(500, true, false))),
              "100.0000% (498/498)");
}

TEST(Scoring, WeightingMakesLateRowsCount) {
    // Counted rows 1..10 (history rows 3..12); the kill formula 4 misses
    // where 4 is drawn.
    std::vector<int> early(12, 1), late(12, 1);
    early[2] = 4;
    late[11] = 4;
    const Score e = scoreOf("4", historyWithFirst(early), true, verification(0, true, true));
    const Score l = scoreOf("4", historyWithFirst(late), true, verification(0, true, true));
    EXPECT_EQ(e.total, 385);
    EXPECT_EQ(e.hits, 384);  // the first row weighs 1
    EXPECT_EQ(l.hits, 285);  // the last weighs 100
    EXPECT_GT(e.rate, l.rate);
    EXPECT_EQ(rateText(l), "74.0260% (285/385)");
}

TEST(Scoring, Runs) {
    // Counted rows H H M H H H for the kill formula 7.
    const History h = historyWithFirst({1, 1, 2, 2, 7, 2, 2, 2});
    const Score s = scoreOf("7", h, true, verification(0, true, false));
    EXPECT_EQ(s.longestHit, 3);
    EXPECT_EQ(s.longestMiss, 1);
    EXPECT_EQ(s.lastHit, 3);
    EXPECT_EQ(s.lastMiss, 0);
    const Score keep = scoreOf("7", h, false, verification(0, true, false));
    EXPECT_EQ(keep.longestHit, 1);
    EXPECT_EQ(keep.longestMiss, 3);
    EXPECT_EQ(keep.lastMiss, 3);
}

TEST(Scoring, NumbersOfValues) {
    const History h = historyWithFirst({10, 10, 10, 10});
    const std::pair<const char*, int> cases[] = {{"10", 10}, {"20", 10},  {"30", 10},   {"11", 1},
                                                 {"0", 0},   {"0-3", -3}, {"0-12", -2}, {"19", 9}};
    for (const auto& [code, number] : cases)
        EXPECT_EQ(scoreOf(code, h, true, verification(0, true, false)).calcValue, number) << code;
    // A kill formula naming 10 where 10 came out misses; as keep it hits.
    EXPECT_EQ(scoreOf("20", h, true, verification(0, true, false)).hits, 0);
    EXPECT_EQ(scoreOf("20", h, false, verification(0, true, false)).hits, 2);
    // A value of 0 names no number: every kill hits, every keep misses.
    EXPECT_EQ(scoreOf("0", h, true, verification(0, true, false)).hits, 2);
    EXPECT_EQ(scoreOf("0", h, false, verification(0, true, false)).hits, 0);
}

TEST(Scoring, HalfValuesFollowEachRuleSet) {
    // 2.5: verification reads the value as an integer first (2, number 2);
    // the search reduces 2.5 - 1 = 1.5, which rounds to 2 (number 3).
    const History h = historyWithFirst({1, 1, 2, 3});
    const Score v = scoreOf("5/2", h, false, verification(0, true, false));
    const Score s = scoreOf("5/2", h, false, search(0, false));
    EXPECT_EQ(v.hits, 1);  // row 3 drew 2
    EXPECT_EQ(s.hits, 1);  // row 4 drew 3
    EXPECT_EQ(v.longestHit, 1);
    EXPECT_EQ(v.lastMiss, 1);
    EXPECT_EQ(s.lastHit, 1);
    EXPECT_EQ(v.calcValue, 3);
}

TEST(Scoring, ShortHistories) {
    for (int n : {0, 1, 2}) {
        const Score s = scoreOf("L1A+3", historyWithFirst(std::vector<int>(n, 4)), true,
                                verification(0, true, true));
        EXPECT_TRUE(s.valid);
        EXPECT_EQ(s.total, 0);
        EXPECT_EQ(s.rate, 0.0f);
        EXPECT_EQ(s.calcValue.has_value(), n >= 2);
        EXPECT_EQ(rateText(s), "00.0000% (0/0)");
    }
    EXPECT_EQ(
        scoreOf("L1A+3", historyWithFirst({4, 4, 7}), true, verification(0, true, true)).calcValue,
        7);
}

TEST(Scoring, AnInvalidFormulaIsNotScored) {
    const History h = historyWithFirst({1, 2, 3, 4, 5});
    // L1B is 0 for a first number up to 5: division by zero on every row.
    const Score s = scoreOf("L1A/L1B", h, true, verification(0, true, true));
    EXPECT_FALSE(s.valid);
    EXPECT_NE(s.error.find("2000"), std::string::npos);  // names the issue
    EXPECT_FALSE(s.calcValue);
    EXPECT_EQ(s.total, 0);
}

}  // namespace
}  // namespace varnet
