#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "search/StatementSearch.h"
#include "support/DataFile.h"
#include "support/Draws.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

// Numbers 1..10 with `value` moved to `position`.
Numbers with(int position, int value) {
    Numbers n{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::swap(n[position - 1], *std::find(n.begin(), n.end(), value));
    return n;
}

class StatementSearchTest : public ::testing::Test, protected test::DataFile {
  protected:
    void add(std::int32_t issue, const Numbers& numbers) {
        HistoryTable(db).append(issue, computeParameters(test::makeDraw(issue, numbers), previous));
        previous = numbers;
    }

    // Rows whose number at `position` is `value` when the flag says so, and
    // something else otherwise.
    void addRows(int position, int value, const std::vector<bool>& isValue) {
        for (bool v : isValue) add(nextIssue++, with(position, v ? value : value % 10 + 1));
    }

    Score score(const std::string& code, int position, bool kill, int retrieval = 0,
                bool weighted = false) {
        CountRule rule;
        rule.retrieval = retrieval;
        rule.weighted = weighted;
        rule.search = true;
        auto scores = statementSearchScores(db, {code}, position, kill, rule);
        EXPECT_EQ(scores.size(), 1u);
        return scores.at(0);
    }

    Numbers previous{};
    std::int32_t nextIssue = 1000;
};

TEST_F(StatementSearchTest, ComparesWithTheValueTwoDrawsBackInIssueOrder) {
    // Stored out of order; by issue the L1A values are 4, 9, 2, 6.
    add(103, {6, 4, 1, 2, 3, 5, 7, 8, 9, 10});
    add(101, {4, 2, 1, 3, 5, 6, 7, 8, 9, 10});
    add(104, {7, 9, 1, 2, 3, 4, 5, 6, 8, 10});
    add(102, {9, 1, 2, 3, 4, 5, 6, 7, 8, 10});
    // Keep at position 2: row 103 has L2A 4 = L1A of 101 (hit); row 104 has
    // L2A 9 = L1A of 102 (hit). A one-draw lag would give two misses.
    Score s = score("L1A+0", 2, false);
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.total, 2);
    EXPECT_EQ(s.hits, 2);
    EXPECT_FLOAT_EQ(s.rate, 100.0f);
    EXPECT_FALSE(s.calcValue.has_value());

    auto pre = db.prepare("SELECT PreCanshu FROM Lishi ORDER BY strQQH");
    std::vector<std::string> got;
    while (pre.step()) got.push_back(pre.isNull(0) ? "NULL" : pre.text(0));
    EXPECT_EQ(got, (std::vector<std::string>{"NULL", "NULL", "4", "9"}));

    // Kill is the complement over the same rows.
    s = score("L1A+0", 2, true);
    EXPECT_EQ(s.hits, 0);
    EXPECT_EQ(s.longestMiss, 2);
}

TEST_F(StatementSearchTest, PositionTenReadsL0AAndSumsReduceToOneToTen) {
    // Position 10 holds 10, 1, 10, 10, 1, 10; position 1 holds 1, 10, 1, 1, 10, 1.
    addRows(10, 10, {true, false, true, true, false, true});
    // 4 + 6 = 10 is number 10; so is 20; 0 is number 0 and never comes.
    for (const char* ten : {"4+6", "20", "L0A-L0A+10"}) {
        const Score keep = score(ten, 10, false);
        EXPECT_EQ(keep.hits, 3) << ten;
        EXPECT_EQ(keep.total, 4) << ten;
        EXPECT_EQ(score(ten, 10, true).hits, 1) << ten;
    }
    EXPECT_EQ(score("0", 10, false).hits, 0);
    EXPECT_EQ(score("0", 10, true).hits, 4);
    EXPECT_EQ(score("11", 10, false).hits, 1) << "11 is number 1";
    EXPECT_EQ(score("11", 1, false).hits, 3);
}

TEST_F(StatementSearchTest, RunsAndRate) {
    // Keep 7 at position 3: lead rows, then H H M H H H.
    addRows(3, 7, {false, false, true, true, false, true, true, true});
    Score s = score("3+4", 3, false);
    EXPECT_EQ(s.longestHit, 3);
    EXPECT_EQ(s.longestMiss, 1);
    EXPECT_EQ(s.lastHit, 3);
    EXPECT_EQ(s.lastMiss, 0);
    EXPECT_EQ(s.hits, 5);
    EXPECT_EQ(s.total, 6);
    EXPECT_FLOAT_EQ(s.rate, static_cast<float>(5.0 / 6.0 * 100.0));

    // As kill the same rows read M M H M M M.
    s = score("3+4", 3, true);
    EXPECT_EQ(s.longestHit, 1);
    EXPECT_EQ(s.longestMiss, 3);
    EXPECT_EQ(s.lastHit, 0);
    EXPECT_EQ(s.lastMiss, 3);
}

TEST_F(StatementSearchTest, WeightingMakesTheLastRowCountMost) {
    // Counted rows (weights 1, 4, 9): miss on the last row, then on the first.
    addRows(5, 2, {false, false, true, true, false});
    const Score lastMiss = score("2", 5, false, 0, true);
    EXPECT_EQ(lastMiss.hits, 5);
    EXPECT_EQ(lastMiss.total, 14);

    db.exec("DELETE FROM Lishi");
    addRows(5, 2, {false, false, false, true, true});
    const Score firstMiss = score("2", 5, false, 0, true);
    EXPECT_EQ(firstMiss.hits, 13);
    EXPECT_EQ(firstMiss.total, 14);
    EXPECT_LT(lastMiss.rate, firstMiss.rate);
    EXPECT_FLOAT_EQ(firstMiss.rate, static_cast<float>(13.0 / 14.0 * 100.0));

    EXPECT_EQ(score("2", 5, false, 0, false).hits, 2) << "unweighted";
}

TEST_F(StatementSearchTest, RetrievalCountsTheLastNPlusOneRowsFromRowThree) {
    // 150 rows; only the first counted row (row 3) is a miss for keep-1.
    std::vector<bool> ones(150, true);
    ones[2] = false;
    addRows(6, 1, ones);

    Score all = score("1", 6, false, 0);
    EXPECT_EQ(all.total, 148);
    EXPECT_EQ(all.hits, 147);

    Score last = score("1", 6, false, 100);
    EXPECT_EQ(last.total, 101);
    EXPECT_EQ(last.hits, 101) << "row 3 lies outside the last 101 rows";
    EXPECT_EQ(last.longestMiss, 0);

    for (int n : {147, 148, 149, 500}) {
        const Score s = score("1", 6, false, n);
        EXPECT_EQ(s.total, 148) << n;
        EXPECT_EQ(s.longestMiss, 1) << n;
    }
    EXPECT_EQ(score("1", 6, false, 146).total, 147);

    // Weighted over the last 101 rows: 1 + 4 + ... + 101².
    Score weighted = score("1", 6, false, 100, true);
    EXPECT_EQ(weighted.total, 101LL * 102 * 203 / 6);
    EXPECT_EQ(weighted.hits, weighted.total);
}

TEST_F(StatementSearchTest, ShortHistoriesCountNothingBeforeRowThree) {
    for (int rows = 0; rows <= 3; ++rows) {
        if (rows > 0) addRows(1, 5, {true});
        for (int n : {0, 1, 100}) {
            const Score s = score("5", 1, false, n, true);
            EXPECT_TRUE(s.valid);
            EXPECT_EQ(s.total, rows < 3 ? 0 : 1) << rows << " rows, N " << n;
            EXPECT_EQ(s.hits, s.total);
            EXPECT_EQ(s.rate, rows < 3 ? 0.0f : 100.0f);
            EXPECT_EQ(s.longestHit, s.total);
            EXPECT_EQ(s.lastHit, s.total);
            EXPECT_EQ(s.longestMiss + s.lastMiss, 0);
        }
    }
}

TEST_F(StatementSearchTest, RefusesCodeFormsThatAreNotSums) {
    addRows(1, 5, {true, true, true});
    CountRule rule;
    rule.weighted = false;
    const auto scores = statementSearchScores(
        db, {"1;DROP TABLE Lishi", "L1A + 1", "L1A--5", "", "L1A*2", "NoSuchColumn+1", "5"}, 1,
        false, rule);
    ASSERT_EQ(scores.size(), 7u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(scores[i].valid) << i;
        EXPECT_FALSE(scores[i].error.empty()) << i;
    }
    EXPECT_TRUE(scores[6].valid) << "a bad candidate does not stop the batch";
    EXPECT_EQ(scores[6].hits, 1);
    EXPECT_EQ(HistoryTable(db).count(), 3);
    EXPECT_THROW(statementSearchScores(db, {"5"}, 11, false, rule), std::invalid_argument);
}

}  // namespace
}  // namespace varnet
