#include <gtest/gtest.h>

#include <random>

#include "analysis/Replay.h"
#include "base/ParameterNames.h"
#include "engine/Evaluation.h"
#include "engine/Reference.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

ListedFormula listed(const std::string& code, bool kill, std::int64_t id) {
    ListedFormula f;
    f.row.id = id;
    f.row.kill = kill;
    f.row.code = code;
    auto parsed = parseFormula(code);
    f.program = std::move(parsed.program);
    return f;
}

// The replay against the plain steps: every draw, every formula in list
// order, with the marks of the keep rule, for random lists of either kind;
// enough draws that they are counted in several blocks.
TEST(Replay, EqualsPlainPerDrawCounting) {
    const History h = test::randomHistory(4500, 23);
    std::mt19937_64 rng(8);
    auto name = [&] { return ParameterNames::code(1 + static_cast<int>(rng() % 132)); };
    for (int trial = 0; trial < 6; ++trial) {
        const bool kill = trial % 2 == 0;
        std::vector<ListedFormula> list;
        for (int i = 0; i < 25; ++i) {
            std::string code = name() + "+" + name() + (rng() % 2 ? "-7" : "*3");
            if (rng() % 7 == 0) code = name() + "/(" + name() + "-" + name() + ")";
            list.push_back(listed(code, kill, i + 1));
        }
        std::vector<bool> chosen(list.size());
        for (auto&& c : chosen) c = rng() % 4 != 0;
        const Replay got =
            replayFormulas(h, list, [&](const ListedFormula& f) { return chosen[f.row.id - 1]; });
        ASSERT_EQ(got.draws.size(), 4500u);

        std::vector<bool> valid(list.size(), true);
        for (std::size_t f = 0; f < list.size(); ++f)
            for (int r = 0; r < h.size(); ++r)
                if (!evaluateRow(*list[f].program, h, r, nullptr)) valid[f] = false;
        for (int r = 0; r < h.size(); ++r) {
            std::array<int, 11> etrr{}, err{}, trr{};
            std::array<bool, 11> mark{}, prev{};
            for (std::size_t f = 0; f < list.size(); ++f) {
                prev = mark;
                if (!chosen[f] || !valid[f]) continue;
                const int v =
                    static_cast<int>(numberOfValue(*evaluateRow(*list[f].program, h, r, nullptr)));
                // A negative number fails where it is used as an index.
                if (kill) {
                    if (v >= 0) mark[v] = true, ++etrr[v], ++err[v];
                } else {
                    for (int n = 1; n <= 10; ++n) mark[n] = true, ++etrr[n], ++trr[n];
                    if (v >= 0 && !prev[v]) --etrr[v], ++trr[v];
                }
            }
            std::array<int, 10> order{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return etrr[a] < etrr[b]; });
            const Replay::Draw& d = got.draws[r];
            for (int k = 0; k < 10; ++k) {
                ASSERT_EQ(d.ranked[k], order[k]) << "trial " << trial << " row " << r;
                ASSERT_EQ(d.rankedErrors[k], etrr[order[k]]);
                ASSERT_EQ(d.kill[k + 1], err[k + 1]);
                ASSERT_EQ(d.keep[k + 1], trr[k + 1]);
            }
        }
    }
}

TEST(Replay, SpecCasesAndQueryLevels) {
    const History h = test::randomHistory(4, 1);
    // Kill 3, 3: number 3 counts 2 and ranks last.
    const Replay kill = replayFormulas(h, {listed("3", true, 1), listed("13", true, 2)}, {});
    EXPECT_EQ(kill.draws[0].ranked[9], 3);
    EXPECT_EQ(kill.draws[0].rankedErrors[9], 2);
    EXPECT_EQ(kill.draws[0].rankedErrors[8], 0);
    // Keep 5, 8, 5: all 3 but 5 with 2 (keep count 4); 5 ranks first.
    const Replay keep = replayFormulas(
        h, {listed("5", false, 1), listed("8", false, 2), listed("15", false, 3)}, {});
    EXPECT_EQ(keep.draws[0].ranked[0], 5);
    EXPECT_EQ(keep.draws[0].rankedErrors[0], 2);
    EXPECT_EQ(keep.draws[0].rankedErrors[1], 3);
    EXPECT_EQ(keep.draws[0].keep[5], 4);
    EXPECT_EQ(keep.draws[0].keep[8], 3);
    // No formula taking part: all zero.
    const Replay none =
        replayFormulas(h, {listed("5", false, 1)}, [](const ListedFormula&) { return false; });
    EXPECT_EQ(none.draws[2].rankedErrors, (std::array<std::int32_t, 10>{}));

    // Levels: errors 0,0,0,1,1,2,2,2,3,5; the drawn number in place 5.
    Replay r;
    r.draws.resize(3);
    r.draws[0].rankedErrors = {0, 0, 0, 1, 1, 2, 2, 2, 3, 5};
    r.draws[0].ranked = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    r.draws[1].drawn = {5, 1, 2, 3, 4, 6, 7, 8, 9, 10};
    r.draws[1].issue = 77;
    const auto rows = queryRows(r, 1);
    ASSERT_EQ(rows.size(), 2u) << "the last draw has no following draw";
    EXPECT_EQ(std::make_tuple(rows[0].issue, rows[0].drawn, rows[0].place, rows[0].error,
                              rows[0].levels, rows[0].level, rows[0].onLevel),
              std::make_tuple(77, 5, 5, 1, 5, 2, 2));
    EXPECT_EQ(numbersWithError(r.draws[0], 2), "06 07 08 ");
    EXPECT_EQ(queryRows(r, 2)[0].drawn, 1) << "another compared position";
    EXPECT_EQ(errorRange(r), std::make_pair(0, 5));
}

}  // namespace
}  // namespace varnet
