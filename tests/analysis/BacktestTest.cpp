#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>

#include "analysis/Backtest.h"
#include "analysis/ResultSummary.h"
#include "base/ParameterNames.h"
#include "db/FormulaTable.h"
#include "db/Schema.h"
#include "db/Transaction.h"
#include "engine/Significance.h"
#include "support/DataFile.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

std::string name(std::mt19937_64& rng) {
    return ParameterNames::code(1 + static_cast<int>(rng() % 132));
}

std::string randomFormula(std::mt19937_64& rng) {
    switch (rng() % 4) {
        case 0:
            return name(rng) + "+" + name(rng) + "+" + std::to_string(rng() % 10);
        case 1:
            return name(rng) + "*" + name(rng) + " MOD " + std::to_string(1 + rng() % 9);
        case 2:
            return "(" + name(rng) + "-" + name(rng) + ")/" + name(rng) + "+" +
                   std::to_string(rng() % 30);
        default:
            return name(rng) + "/(" + name(rng) + "-" + name(rng) + ")";  // often invalid
    }
}

// A data file of its own; a test's data need not survive a power cut.
struct Fixture : test::DataFile {
    Fixture() { db.exec("PRAGMA synchronous=OFF"); }
};

// Numbers of positions 1..3 of a draw summing to 6 happen once in 120 draws:
// a formula dividing by that difference fails somewhere in the middle.
std::string failsMidway() {
    const auto n = [](int p) { return ParameterNames::code(paramIndex(0, p)); };
    return "7/(" + n(1) + "+" + n(2) + "+" + n(3) + "-6)";
}

void randomList(Database& db, int position, bool kill, int count, std::mt19937_64& rng) {
    std::vector<FormulaRow> rows(count);
    for (int i = 0; i < count; ++i) {
        rows[i].kill = kill;
        rows[i].code = rows[i].chinese = i == 0 ? failsMidway() : randomFormula(rng);
    }
    Transaction t(db);
    FormulaTable(db, position).appendRows(rows);
    t.commit();
}

// The walk against calculate() itself on the history truncated before each
// tested draw: the votes, the kept numbers the result window would mark and
// the successes, for both methods, both kinds, two counting rules and two
// sort settings.
TEST(Backtest, EqualsCalculationOnTruncatedHistories) {
    Fixture f;
    Database& db = f.db;
    const History h = f.storeRandomHistory(150, 23);
    std::mt19937_64 rng(9);
    std::map<int, std::unordered_set<std::int64_t>> selections;
    for (int p = 1; p <= 3; ++p) {
        randomList(db, p, true, 14, rng);
        randomList(db, p, false, 14, rng);
        for (const auto& r : FormulaTable(db, p).rows())
            if (rng() % 5 != 0) selections[p].insert(r.id);
    }
    const int draws = 60;
    const CountRule rules[] = {{25, true, true, false}, {0, false, false, false}};
    const std::array<SortKey, 3> sorts[] = {
        {SortKey{"intGsTrueCon", true}, SortKey{"sglGsRate", true}, SortKey{"intGsTrueLst", true}},
        {SortKey{"intGsErrCon", false}, SortKey{"intGsErrLst", false}, SortKey{"sglGsRate", true}}};
    for (bool best : {false, true})
        for (bool kill : {true, false})
            for (int r = 0; r < 2; ++r) {
                CalcRequest req;
                req.currentPosition = 3;
                req.kill = kill;
                req.best = best;
                req.rule = rules[r];
                req.sort.keys = sorts[r];
                req.sort.keepLimit = r == 0 ? 2 : 4;
                req.selection = [&](int p) { return p == 2 ? nullptr : &selections[p]; };
                SCOPED_TRACE(testing::Message()
                             << "best " << best << " kill " << kill << " rule " << r);

                std::vector<int> rows;
                walkForward(db, h, req, draws, [&](int row, const std::vector<PositionVotes>& got) {
                    rows.push_back(row);
                    History before = h;
                    before.truncate(row);
                    const CalcResult want = calculate(db, before, req);
                    ASSERT_TRUE(want.ok);
                    ASSERT_EQ(got.size(), want.positions.size());
                    for (std::size_t i = 0; i < got.size(); ++i) {
                        SCOPED_TRACE(testing::Message() << "row " << row << " position " << i + 1);
                        EXPECT_EQ(got[i].total, want.positions[i].total);
                        EXPECT_EQ(got[i].kill, want.positions[i].kill);
                        EXPECT_EQ(got[i].keep, want.positions[i].keep);
                        EXPECT_EQ(got[i].examined, want.positions[i].examined);
                        EXPECT_EQ(got[i].invalid, want.positions[i].invalid);
                    }
                });
                ASSERT_EQ(static_cast<int>(rows.size()), draws);
                EXPECT_EQ(rows.front(), h.size() - draws);
                EXPECT_EQ(rows.back(), h.size() - 1);

                const BacktestResult result = backtest(db, h, req, draws);
                ASSERT_TRUE(result.ok) << result.message;
                std::array<int, 3> successes{}, kinds{};
                for (int t = 0; t < draws; ++t) {
                    const int row = h.size() - draws + t;
                    History before = h;
                    before.truncate(row);
                    const ResultSummary s = summarise(calculate(db, before, req), kill);
                    for (int p = 0; p < 3; ++p) {
                        std::uint16_t kept = 0;
                        for (const auto& n : s.positions[p].rows)
                            if (n.keepMark) kept |= 1u << n.number;
                        ASSERT_EQ(result.positions[p].kept[t], kept) << "row " << row;
                        successes[p] += kept >> h.number(row, p + 1) & 1;
                        kinds[p] |= 1 << std::popcount(kept);
                    }
                }
                for (int p = 0; p < 3; ++p) {
                    EXPECT_EQ(result.positions[p].successes, successes[p]);
                    EXPECT_EQ(result.positions[p].cumulative.back(), successes[p]);
                }
                // Informative: the kept counts differ from draw to draw somewhere.
                EXPECT_TRUE(std::any_of(kinds.begin(), kinds.end(),
                                        [](int k) { return std::popcount(unsigned(k)) > 1; }));
            }
}

// The tail of independent trials against all their outcomes enumerated, and
// against the binomial tail when every chance is the same.
TEST(Backtest, SuccessTailIsExact) {
    const std::vector<std::vector<double>> cases = {
        {0.3, 0.7, 0.1, 0.9, 0.5, 0.2, 0.0, 1.0, 0.6, 0.4, 0.8},
        {0.1, 0.1, 0.2, 0.9, 0.9, 0.9, 0.9, 1.0, 1.0}};
    for (const auto& q : cases) {
        const int n = static_cast<int>(q.size());
        std::vector<double> exact(n + 1, 0.0);
        for (unsigned outcome = 0; outcome < (1u << n); ++outcome) {
            double p = 1.0;
            for (int i = 0; i < n; ++i) p *= (outcome >> i & 1) ? q[i] : 1.0 - q[i];
            exact[std::popcount(outcome)] += p;
        }
        for (int s = 0; s <= n + 1; ++s) {
            double tail = 0.0;
            for (int j = s; j <= n; ++j) tail += exact[j];
            EXPECT_NEAR(successTail(q, s), std::min(1.0, tail), 1e-12) << "s " << s;
        }
    }
    for (int s : {0, 3, 12, 30})
        EXPECT_NEAR(successTail(std::vector<double>(40, 0.3), s), binomialUpperTail(40, s, 0.3),
                    1e-12);
}

CalcRequest bestKill(int positions, int keep) {
    CalcRequest req;
    req.currentPosition = positions;
    req.kill = true;
    req.best = true;
    req.rule = CountRule{100, true, true, false};
    req.sort.keepLimit = keep;
    return req;
}

// On uniformly random draws the best formulas of the past do no better than
// chance on the next draw: no extreme p-value over ten positions and four
// seeds, and the p-values spread out instead of bunching at either end.
TEST(Backtest, RandomDrawsShowNothingBeyondChance) {
    std::vector<double> pValues;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        Fixture f;
        const History h = f.storeRandomHistory(500, 100 + seed);
        std::mt19937_64 rng(seed);
        for (int p = 1; p <= 10; ++p) randomList(f.db, p, true, 60, rng);
        const BacktestResult r = backtest(f.db, h, bestKill(10, 3), 300);
        ASSERT_TRUE(r.ok) << r.message;
        for (const auto& pos : r.positions) {
            EXPECT_EQ(pos.draws, 300);
            EXPECT_GT(pos.pValue, 1e-3) << "seed " << seed << " position " << pos.position;
            pValues.push_back(pos.pValue);
        }
    }
    std::sort(pValues.begin(), pValues.end());
    EXPECT_GT(pValues[pValues.size() / 2], 0.15);
    EXPECT_LT(pValues[pValues.size() / 4], 0.6);
}

// Position 1 never repeats the number position 3 had two draws before, and
// the list holds the kill formula that says so: the walk finds it; and the
// same history without that formula shows nothing.
TEST(Backtest, PlantedPatternIsFound) {
    std::mt19937_64 rng(77);
    History h;
    Numbers older{}, prev{};
    for (int i = 0; i < 400; ++i) {
        Draw d;
        d.issue = 5000 + i;
        std::iota(d.numbers.begin(), d.numbers.end(), 1);
        do std::shuffle(d.numbers.begin(), d.numbers.end(), rng);
        while (i >= 2 && d.numbers[0] == older[2]);
        h.append(d.issue, computeParameters(d, prev));
        older = prev;
        prev = d.numbers;
    }
    for (bool planted : {true, false}) {
        Fixture f;
        test::storeHistory(f.db, h);
        // First in the list: formulas that rarely name a number also hit
        // every draw, and ties go in list order.
        if (planted) {
            const std::string code = ParameterNames::code(paramIndex(0, 3));
            FormulaTable(f.db, 1).append(true, code, code);
        }
        std::mt19937_64 list(3);
        randomList(f.db, 1, true, 60, list);
        // Nine kept: one number killed, by the best formula.
        const BacktestResult r = backtest(f.db, h, bestKill(1, 9), 250);
        ASSERT_TRUE(r.ok) << r.message;
        const BacktestPosition& pos = r.positions[0];
        EXPECT_NEAR(pos.expected, 0.9 * 250, 1e-9);
        if (planted) {
            EXPECT_EQ(pos.successes, 250);
            EXPECT_LT(pos.pValue, 1e-9);
        } else {
            EXPECT_GT(pos.pValue, 1e-3);
        }
    }
}

TEST(Backtest, RefusesBadDrawCounts) {
    Fixture f;
    const History h = f.storeRandomHistory(30, 5);
    std::mt19937_64 rng(1);
    randomList(f.db, 1, true, 5, rng);
    for (int draws : {0, -3, 29}) {
        const BacktestResult r = backtest(f.db, h, bestKill(1, 1), draws);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find("1 到 28"), std::string::npos) << r.message;
    }
    EXPECT_TRUE(backtest(f.db, h, bestKill(1, 1), 28).ok);
    EXPECT_FALSE(backtest(f.db, test::randomHistory(2, 5), bestKill(1, 1), 1).ok);
}

}  // namespace
}  // namespace varnet
