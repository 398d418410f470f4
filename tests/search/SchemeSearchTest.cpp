#include <gtest/gtest.h>

#include <QSettings>
#include <cmath>

#include "db/FormulaTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "search/SchemeSearch.h"
#include "search/SearchSettings.h"
#include "support/DataFile.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

TEST(SearchSettings, DefaultsKeysAndSections) {
    test::TempDir dir;
    QSettings store(QString::fromStdString(dir.file("s.ini")), QSettings::IniFormat);
    SearchSettings s(store);
    EXPECT_EQ(s.thresholds(1, true).th, defaultThresholds(true).th);
    EXPECT_EQ(s.thresholds(3, false).th, defaultThresholds(false).th);
    EXPECT_EQ(s.operands(3), 8);
    EXPECT_EQ(s.plan(4, false), 80);

    Thresholds t = defaultThresholds(false);
    t.th[0] = 87.34375;
    s.setThresholds(10, false, t);
    s.setOperands(10, 5);
    s.setPlan(2, true, 30);
    s.setPlan(2, false, 40);
    store.sync();
    EXPECT_EQ(store.value("10/10").toString(), "87.34375");
    EXPECT_EQ(store.value("10/19").toString(), "32768");
    EXPECT_FALSE(store.contains("10/0")) << "the kill thresholds are not touched";
    EXPECT_EQ(store.value("10/text2").toString(), "5");
    EXPECT_EQ(store.value("SSSZ/2").toString(), "30");
    EXPECT_EQ(store.value("SSSZ/12").toString(), "40");
    EXPECT_EQ(s.thresholds(10, false).th, t.th);
    store.setValue("4/text2", "99");
    EXPECT_EQ(s.operands(4), 8) << "out of range reads as the default";
}

class SaveBatchTest : public ::testing::Test, protected test::DataFile {
  protected:
    std::vector<std::string> chinese(int p) {
        std::vector<std::string> out;
        for (const auto& r : FormulaTable(db, p).rows()) out.push_back(r.chinese);
        return out;
    }
};

TEST_F(SaveBatchTest, AppendReplaceAndKinds) {
    for (int i = 1; i <= 10; ++i)
        FormulaTable(db, 2).append(true, "L1A+" + std::to_string(i), "f" + std::to_string(i));
    FormulaTable(db, 3).append(true, "L1A", "other");
    const std::vector<SearchResult> batch{
        {2, true, "L1A+4", "f4"}, {2, true, "L2A+1", "n1"}, {2, false, "L2A+2", "n2"}};
    ASSERT_TRUE(saveBatch(db, batch, false).ok);
    auto rows = FormulaTable(db, 2).rows();
    ASSERT_EQ(rows.size(), 12u) << "the duplicate of a stored formula is dropped";
    for (int i = 0; i < 12; ++i) EXPECT_EQ(rows[i].idx, i + 1);
    EXPECT_FALSE(rows[11].kill) << "a result keeps the kind it was found under";

    // Replace with positions 1, 1, 2, 1: position 1 keeps all three of its
    // results, position 2 holds exactly its own, position 3 is untouched.
    const std::vector<SearchResult> mixed{{1, true, "L1A+1", "a"},
                                          {1, true, "L1A+2", "b"},
                                          {2, true, "L1A+3", "c"},
                                          {1, true, "L1A+2", "b"},
                                          {1, false, "L1A+5", "d"}};
    const auto saved = saveBatch(db, mixed, true);
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(saved.positions, (std::vector<int>{1, 2}));
    EXPECT_EQ(chinese(1), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(chinese(2), (std::vector<std::string>{"c"}));
    EXPECT_EQ(chinese(3), (std::vector<std::string>{"other"}));
    ASSERT_TRUE(saveBatch(db, {}, true).ok) << "an empty batch changes nothing";
    EXPECT_EQ(chinese(2), (std::vector<std::string>{"c"}));
}

// A replacement that frees most of the file leaves it compacted; a small
// one leaves it as it is.
TEST_F(SaveBatchTest, BigReplaceShrinksTheFile) {
    const auto pages = [&](const char* pragma) {
        auto st = db.prepare(pragma);
        return st.step() ? st.int64(0) : -1;
    };
    std::vector<SearchResult> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back({1 + i % 3, i % 2 == 0, "L1A+L2B+L3C+" + std::to_string(i),
                        "[第一杀]第一码+第二大小+第三单双+" + std::to_string(i)});
    ASSERT_TRUE(saveBatch(db, many, false).ok);
    const auto full = pages("PRAGMA page_count");
    ASSERT_TRUE(saveBatch(db, {{4, true, "L1A+1", "x"}}, false).ok);
    EXPECT_EQ(pages("PRAGMA page_count"), full) << "nothing freed: not compacted";

    ASSERT_TRUE(
        saveBatch(db, {{1, true, "L1A+1", "a"}, {2, false, "L2A+2", "b"}, {3, true, "L3A", "c"}},
                  true)
            .ok);
    EXPECT_EQ(pages("PRAGMA freelist_count"), 0);
    EXPECT_LT(pages("PRAGMA page_count") * 4, full);
    EXPECT_EQ(chinese(1), (std::vector<std::string>{"a"}));
    EXPECT_EQ(chinese(4), (std::vector<std::string>{"x"}));
}

SchemeRequest openScheme(std::uint64_t seed) {
    SchemeRequest r;
    r.seed = seed;
    r.rule.retrieval = 100;
    for (int p = 0; p < 10; ++p) {
        r.positions[p].operands = 2 + p;
        r.positions[p].thresholds = Thresholds{{0, 100, 0, 32768, 0, 32768, 0, 32768, 0, 32768}};
    }
    return r;
}

TEST(SchemeSearch, PlansModesBoundsAndSeeds) {
    const History h = test::randomHistory(300, 12);
    SchemeRequest r = openScheme(5);
    r.positions[0].planned = 2;
    r.positions[2].planned = 3;
    r.positions[4].planned = 4;
    std::vector<int> started;
    const SchemeReport add = runScheme(h, r, {}, [&](int p) { started.push_back(p); });
    EXPECT_EQ(started, (std::vector<int>{1, 3, 5}));
    ASSERT_EQ(add.batch.size(), 9u);
    for (const auto& f : add.batch) {
        // Each position draws with its own operand count.
        const auto plus = std::count(f.code.begin(), f.code.end(), '+');
        EXPECT_EQ(plus, r.positions[f.position - 1].operands) << f.code;
        EXPECT_EQ(f.chinese.rfind("[第", 0), 0u);
    }
    EXPECT_TRUE(add.positions[1].skipped);
    EXPECT_EQ(add.positions[2].found, 3);
    const SchemeReport again = runScheme(h, r);
    ASSERT_EQ(again.batch.size(), add.batch.size());
    for (std::size_t i = 0; i < add.batch.size(); ++i)
        EXPECT_EQ(again.batch[i].code, add.batch[i].code) << "the same seed, the same finds";

    // Hold mode: only the shortfall is searched.
    r.hold = true;
    r.existing = {5, 0, 1, 0, 4, 0, 0, 0, 0, 0};
    const SchemeReport hold = runScheme(h, r);
    EXPECT_TRUE(hold.positions[0].skipped);
    EXPECT_EQ(hold.positions[2].found, 2);
    EXPECT_TRUE(hold.positions[4].skipped);

    // Thresholds nothing meets: the candidate bound ends the position.
    r.hold = false;
    r.maxCandidates = 500;
    r.positions[0].thresholds.th[0] = 101;
    const SchemeReport bounded = runScheme(h, r);
    EXPECT_TRUE(bounded.positions[0].unfinished);
    EXPECT_EQ(bounded.positions[0].evaluated, 500);
    EXPECT_EQ(bounded.positions[2].found, 3);
}

// Paused at any point, saved (which empties the batch) and continued: each
// position ends with exactly what it looked for, in both plan modes.
TEST(SchemeSearch, SaveAndContinueKeepsThePositionAndItsCount) {
    const History h = test::randomHistory(200, 4);
    for (const bool hold : {false, true}) {
        SchemeRequest r = openScheme(11);
        r.hold = hold;
        r.positions[0].planned = 4;
        r.positions[1].planned = 3;
        r.positions[3].planned = 5;
        r.existing = {1, 0, 0, 2, 0, 0, 0, 0, 0, 0};
        const std::array<int, 3> wanted = hold ? std::array{3, 3, 3} : std::array{4, 3, 5};
        for (const int pauseAfter : {0, 2, 3, 6}) {
            SCOPED_TRACE(testing::Message() << "hold " << hold << " pause " << pauseAfter);
            std::atomic<bool> cancel{pauseAfter == 0};
            SchemeProgress at;
            std::array<int, 10> saved{};
            int seen = 0;
            auto count = [&](const SearchResult& f, const HoldOutFind&) {
                at.add(f);
                ++saved[f.position - 1];
                if (++seen == pauseAfter) cancel = true;
            };
            const SchemeReport first = runScheme(
                h, r, count, [&](int p) { at.started(p); }, &cancel);
            ASSERT_TRUE(first.cancelled);
            // The save empties the batch; the progress is not the batch's.
            r.seed = 100 + pauseAfter;
            cancel = false;
            const SchemeReport rest = runScheme(
                h, resumeScheme(r, at), count, [&](int p) { at.started(p); }, &cancel);
            EXPECT_FALSE(rest.cancelled);
            EXPECT_EQ(saved[0], wanted[0]);
            EXPECT_EQ(saved[1], wanted[1]);
            EXPECT_EQ(saved[3], wanted[2]);
            EXPECT_EQ(at.position, 4);
            EXPECT_EQ(at.found, wanted[2]);
        }
    }
}

// The estimates follow the halfway rule over the samples, and the proposal
// takes them as the bounds the tuning sets.
TEST(Tuning, EstimatesFollowTheSamples) {
    const History h = test::randomHistory(400, 3);
    GeneratorSettings g;
    g.operands = 4;
    g.position = 6;
    g.kill = false;
    g.constant = 0;
    CountRule rule;
    rule.retrieval = 200;
    const Thresholds base = defaultThresholds(false);
    const TuningResult t = tunePosition(h, g, rule, 60, 9, base);
    ASSERT_EQ(t.samples.size(), 60u);
    std::array<float, 5> e{};
    for (std::size_t i = 0; i < t.samples.size(); ++i) {
        const Score& s = t.samples[i];
        const std::array<float, 5> v{s.rate, float(s.longestMiss), float(s.longestHit),
                                     float(s.lastMiss), float(s.lastHit)};
        for (int k = 0; k < 5; ++k) {
            const bool beats = k % 2 == 0 ? v[k] > e[k] : v[k] < e[k];
            if (i == 0 || beats) e[k] = i == 0 ? v[k] : (v[k] + e[k]) / 2.0f;
        }
    }
    EXPECT_EQ(t.estimates, e);
    EXPECT_FLOAT_EQ(t.proposal.th[0], e[0]);
    EXPECT_EQ(t.proposal.th[3], std::floor(e[1] + 0.5f));
    EXPECT_EQ(t.proposal.th[8], std::floor(e[4]) > 0 ? std::floor(e[4] + 0.5f) : 1.0);
    for (int k : {1, 2, 5, 6, 9}) EXPECT_EQ(t.proposal.th[k], base.th[k]) << k;
}

}  // namespace
}  // namespace varnet
