#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "analysis/Calculation.h"
#include "analysis/FormulaSteps.h"
#include "analysis/ResultSummary.h"
#include "base/ParameterNames.h"
#include "db/FormulaTable.h"
#include "db/Schema.h"
#include "engine/Evaluation.h"
#include "engine/Reference.h"
#include "support/DataFile.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

// The number a formula gives for the draw two rows after `row`, or nothing
// when it cannot be evaluated on every row: the plain way, row by row.
std::optional<int> plainNumber(const std::string& code, const History& h, int row) {
    const auto parsed = parseFormula(code);
    if (!parsed.program) return std::nullopt;
    for (int r = 0; r < h.size(); ++r) {
        const auto v = evaluateRow(*parsed.program, h, r, nullptr);
        if (!v || !roundToInt32(*v)) return std::nullopt;
    }
    return static_cast<int>(
        numberOf(*roundToInt32(*evaluateRow(*parsed.program, h, row, nullptr))));
}

std::string randomFormula(std::mt19937_64& rng) {
    auto name = [&] { return ParameterNames::code(1 + static_cast<int>(rng() % 132)); };
    switch (rng() % 4) {
        case 0:
            return name() + "+" + name() + "+" + std::to_string(rng() % 10);
        case 1:
            return name() + "*" + name() + " MOD " + std::to_string(1 + rng() % 9) + "+" + name();
        case 2:
            return "(" + name() + "-" + name() + ")/" + name() + "+" + std::to_string(rng() % 30);
        default:
            return name() + "/(" + name() + "-" + name() + ")";  // often invalid
    }
}

// The calculation against a plain evaluation of every formula: random
// formula sets and selections, both methods, both kinds, next draw and a
// stored issue.
TEST(Calculation, EqualsPlainEvaluation) {
    test::DataFile file;
    Database& db = file.db;
    const History h = file.storeRandomHistory(240, 17);
    std::mt19937_64 rng(3);
    std::map<int, std::vector<FormulaRow>> rows;
    for (int p = 1; p <= 4; ++p)
        for (int i = 0; i < 60; ++i) {
            const std::string code = randomFormula(rng);
            FormulaTable(db, p).append(rng() % 3 != 0, code, code);
        }
    std::map<int, std::unordered_set<std::int64_t>> selections;
    for (int p = 1; p <= 4; ++p)
        for (const auto& r : FormulaTable(db, p).rows())
            if (rng() % 4 != 0) selections[p].insert(r.id);

    for (bool best : {false, true})
        for (bool kill : {true, false})
            for (std::optional<std::int32_t> issue :
                 {std::optional<std::int32_t>(), std::optional<std::int32_t>(h.issue(150))})
                for (int keep : {1, 3}) {
                    CalcRequest req;
                    req.currentPosition = 4;
                    req.kill = kill;
                    req.best = best;
                    req.issue = issue;
                    req.rule.retrieval = 100;
                    req.sort.keepLimit = keep;
                    req.sort.keys = {SortKey{"intGsErrCon", false}, SortKey{"sglGsRate", true},
                                     SortKey{"intGsTrueLst", true}};
                    req.selection = [&](int p) { return p == 2 ? nullptr : &selections[p]; };
                    const CalcResult got = calculate(db, h, req);
                    ASSERT_TRUE(got.ok) << got.message;
                    const int row = issue ? 148 : h.size() - 2;
                    EXPECT_EQ(got.targetRow, row);
                    ASSERT_EQ(got.drawn.has_value(), issue.has_value());
                    for (int p = 1; p <= 10 && got.drawn; ++p)
                        EXPECT_EQ((*got.drawn)[p], h.number(150, p));

                    std::array<bool, 11> excluded{};
                    const int limit = kill ? 10 - keep : keep;
                    for (int p = 1; p <= 4; ++p) {
                        std::vector<FormulaRow> list = FormulaTable(db, p).rows(kill);
                        std::vector<Score> scores;
                        for (const auto& r : list) {
                            const auto parsed = parseFormula(r.code);
                            scores.push_back(referenceScore(*parsed.program, h, p, kill, req.rule));
                        }
                        std::vector<int> order(list.size());
                        std::iota(order.begin(), order.end(), 0);
                        if (best)
                            std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                                const Score &x = scores[a], &y = scores[b];
                                if (x.valid != y.valid) return x.valid;
                                if (x.longestMiss != y.longestMiss)
                                    return x.longestMiss < y.longestMiss;
                                if (x.rate != y.rate) return x.rate > y.rate;
                                return x.lastHit > y.lastHit;
                            });
                        std::array<std::int64_t, 11> votes{};
                        std::array<bool, 11> hit{};
                        int taken = 0, examined = 0, invalid = 0;
                        for (int i : order) {
                            if (best && taken >= limit) break;
                            ++examined;
                            const auto n = plainNumber(list[i].code, h, row);
                            if (!n) {
                                ++invalid;
                                continue;
                            }
                            if (p != 2 && !selections[p].count(list[i].id)) continue;
                            if (*n >= 1 && *n <= 10) ++votes[*n], hit[*n] = true;
                            taken = 0;
                            for (int k = 1; k <= 10; ++k) taken += hit[k] || excluded[k];
                        }
                        if (best)
                            for (int k = 1; k <= 10; ++k) excluded[k] = excluded[k] || !hit[k];
                        const PositionVotes& v = got.positions[p - 1];
                        SCOPED_TRACE(testing::Message()
                                     << "best " << best << " kill " << kill << " issue "
                                     << issue.has_value() << " keep " << keep << " position " << p);
                        EXPECT_EQ(v.total, votes);
                        EXPECT_EQ(kill ? v.kill : v.keep, votes);
                        EXPECT_EQ(kill ? v.keep : v.kill, (std::array<std::int64_t, 11>{}));
                        EXPECT_EQ(v.examined, examined);
                        EXPECT_EQ(v.invalid, invalid);
                    }
                }
}

TEST(Calculation, NoTargetRowComputesNothing) {
    const History h = test::randomHistory(5, 2, 100);
    std::string why;
    EXPECT_EQ(targetRow(h, std::nullopt, &why), 3);
    EXPECT_EQ(targetRow(h, 102, &why), 0) << "the third stored draw uses the first row";
    for (std::int32_t issue : {100, 101, 99, 200}) {
        why.clear();
        EXPECT_FALSE(targetRow(h, issue, &why)) << issue;
        EXPECT_NE(why.find(std::to_string(issue)), std::string::npos) << why;
    }
    EXPECT_FALSE(targetRow(test::randomHistory(1, 2), std::nullopt, &why));
}

CalcResult votesOf(const std::vector<std::array<std::int64_t, 11>>& totals, bool kill, int quota) {
    CalcResult r;
    r.ok = true;
    r.keepQuota = quota;
    for (std::size_t p = 0; p < totals.size(); ++p) {
        PositionVotes v;
        v.position = static_cast<int>(p) + 1;
        v.total = totals[p];
        (kill ? v.kill : v.keep) = totals[p];
        r.positions.push_back(v);
    }
    return r;
}

std::vector<int> orderOf(const PositionSummary& s) {
    std::vector<int> out;
    for (const auto& r : s.rows) out.push_back(r.number);
    return out;
}

TEST(ResultSummary, RankingMarksClaimsAndCounts) {
    // Kill, quota 1: 3 and 7 unkilled; position 2 has 3 unkilled in first place.
    const auto kill = summarise(
        votesOf({{0, 2, 1, 0, 4, 1, 1, 0, 2, 5, 3}, {0, 1, 2, 0, 2, 2, 2, 2, 2, 2, 2}}, true, 1),
        true);
    const PositionSummary& one = kill.positions[0];
    EXPECT_EQ(orderOf(one), (std::vector<int>{3, 7, 2, 5, 6, 1, 8, 10, 4, 9}));
    EXPECT_TRUE(one.rows[0].keepMark && one.rows[1].keepMark && !one.rows[2].keepMark);
    EXPECT_EQ(one.claimed, std::vector<int>{3});
    EXPECT_TRUE(one.grey.empty());
    const PositionSummary& two = kill.positions[1];
    EXPECT_EQ(two.grey, std::vector<int>{3});
    EXPECT_EQ(two.claimed, std::vector<int>{1});
    EXPECT_TRUE(two.rows[0].grey);
    EXPECT_EQ(kill.arrangement, "3 1 ");
    ASSERT_EQ(one.counts.size(), 6u);
    EXPECT_EQ(one.counts[0].count, 0);
    EXPECT_EQ(one.counts[0].list, "3 7 ");

    // Keep with no votes: every number filtered, one count row of all ten.
    const auto keep = summarise(votesOf({{}}, false, 1), false);
    for (const auto& r : keep.positions[0].rows) EXPECT_FALSE(r.keepMark);
    ASSERT_EQ(keep.positions[0].counts.size(), 1u);
    EXPECT_EQ(keep.positions[0].counts[0].numbers, 10);
    EXPECT_EQ(keep.positions[0].counts[0].list, "1 2 3 4 5 6 7 8 9 10 ");

    // Keep ranks descending with ties in number order; a re-sort by a
    // column flips only in the kill mode.
    const auto ranked = summarise(votesOf({{0, 1, 4, 1, 4, 0, 0, 0, 0, 0, 2}}, false, 2), false);
    EXPECT_EQ(orderOf(ranked.positions[0]), (std::vector<int>{2, 4, 10, 1, 3, 5, 6, 7, 8, 9}));
    EXPECT_EQ(ranked.positions[0].claimed, (std::vector<int>{2, 4}));
    // A re-sort goes the ranking's way (keep descending, kill ascending) or,
    // reversed, the other way; a column without counts sorts by the total.
    const struct {
        int column;
        bool reversed, kill;
        int first;
    } sorts[] = {{1, false, false, 10}, {1, true, false, 1}, {2, false, true, 5},
                 {2, true, true, 2},    {5, false, true, 5}, {0, true, false, 5}};
    for (const auto& s : sorts)
        EXPECT_EQ(resort(ranked.positions[0].rows, s.column, s.reversed, s.kill).front().number,
                  s.first)
            << s.column << " " << s.reversed << " " << s.kill;

    // A position without formulas of the kind ranks nothing and claims nothing.
    CalcResult gap = votesOf({{0, 2, 1, 0, 4, 1, 1, 0, 2, 5, 3}, {}, {}}, true, 1);
    gap.positions[1].noFormulas = true;
    const auto skipped = summarise(gap, true);
    EXPECT_TRUE(skipped.positions[1].rows.empty() && skipped.positions[1].counts.empty());
    EXPECT_TRUE(skipped.positions[1].claimed.empty());
    EXPECT_EQ(skipped.arrangement, "3 - 1 ");

    EXPECT_EQ(resultNote(545551), "注:当前计算545551期结果，赛车公式采用隔期计算(计算当前的下2期)");
}

TEST(FormulaSteps, TermsAndSums) {
    const History h = test::randomHistory(30, 4);
    std::string error;
    const auto steps = formulaSteps(h, "L3A+(L5B MOD 3)+7", &error);
    ASSERT_EQ(steps.size(), 30u);
    for (int r = 0; r < 30; ++r) {
        const std::int64_t a = h.param(r, 3),
                           b = h.param(r, ParameterNames::indexOfCode("L5B")) % 3;
        EXPECT_EQ(steps[r].terms, std::to_string(a) + "+" + std::to_string(b) + "+7");
        EXPECT_EQ(steps[r].value, std::to_string(a + b + 7));
        EXPECT_EQ(steps[r].issue, h.issue(r));
        EXPECT_EQ(steps[r].numbers.size(), 29u);
    }
    const auto single = formulaSteps(h, "L9C", &error);
    EXPECT_EQ(single[4].terms, "L9C");
    EXPECT_EQ(single[4].value, std::to_string(h.param(4, 29)));
    // Not a sum of terms: the value alone.
    const auto general = formulaSteps(h, "L1A*2-L2A", &error);
    EXPECT_EQ(general[7].terms, "");
    EXPECT_EQ(general[7].value, std::to_string(h.param(7, 1) * 2 - h.param(7, 2)));
    EXPECT_TRUE(formulaSteps(h, "L1A+", &error).empty());
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace varnet
