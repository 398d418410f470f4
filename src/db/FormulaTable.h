#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnet {

class Database;

// When a formula entered its table: the greatest stored issue then (0 with
// no draws) and the local date as yyyymmdd. A draw is clean for the formula
// (it cannot have been chosen on it) when both of the draw's are greater.
struct FormulaOrigin {
    std::int32_t issue = 0;
    int date = 0;
};

// A row of a formula table. `id` (the row's rowid) tells rows apart while the
// table is not rewritten; `idx` is the serial number the user sees.
struct FormulaRow {
    std::int64_t id = 0;
    std::optional<int> idx;
    bool kill = true;
    std::string code;     // gongshi
    std::string chinese;  // gongshiCN
    // Statistics stored by the last verification; empty when never verified
    // (or the formula could not be evaluated).
    std::optional<float> rate;
    std::optional<int> longestMiss, longestHit, lastMiss, lastHit;
    // Read from the table: `entered` is what it holds there, empty for rows
    // from before entries were recorded (origin unknown). A row not read
    // from a table is new: storing it records the present as its entry.
    bool fromTable = false;
    std::optional<FormulaOrigin> entered;
};

// The statistics a verification stores for one row, with the formula that
// was scored there (the row may hold another one by the time they are stored).
struct StoredScore {
    std::int64_t id = 0;
    bool kill = true;
    std::string_view code;
    bool valid = true;
    float rate = 0.0f;
    int longestMiss = 0, longestHit = 0, lastMiss = 0, lastHit = 0;
    // Set by storing: whether the row still held the formula and took the
    // statistics, and then its `idx` after the renumbering.
    bool stored = false;
    int idx = 0;
};

// Operations on one formula table `Gongshi1` .. `Gongshi10`. Every changing
// operation is one transaction: it completes or leaves the table as it was.
class FormulaTable {
  public:
    // `position` 1..10 names the table.
    FormulaTable(Database& db, int position);

    const std::string& name() const { return name_; }
    int count();
    int count(bool kill);

    // Rows of one kind (or all) in `idx` order; rows without a number come
    // first, ties in stored order. Without `statistics` only the formulas.
    std::vector<FormulaRow> rows(std::optional<bool> kill = std::nullopt, bool statistics = true);

    // Appends one formula with `idx` = row count + 1 (1 when the last row's
    // number is below 1); returns that `idx`.
    int append(bool kill, const std::string& code, const std::string& chinese);

    // Stores each row's own statistics (by id; an invalid score empties them)
    // and renumbers `idx` 1..N over the whole table in `idx` order. Rows not
    // named keep their statistics. A row that no longer holds the scored kind
    // and code form (another process changed the table since it was read)
    // gets nothing. Returns how many rows were left so.
    int storeScores(std::vector<StoredScore>& scores);

    // Deletes the rows with these `idx` values and renumbers the rest 1..N in
    // stored order; returns the number of rows deleted. Compacts afterwards.
    int deleteByIdx(const std::vector<int>& idxs);

    // Keeps one row per distinct (bolKill, gongshi, gongshiCN) in the order of
    // first appearance, drops every statistic and renumbers `idx` 1..n in
    // stored order. One transaction: on failure the table is as it was.
    void rebuild();

    // Replaces every row with `rows` (kind, code, Chinese form), numbered 1..N
    // in this order, statistics empty. Runs inside the caller's transaction.
    void replaceAll(const std::vector<FormulaRow>& rows);

    // Appends rows after the present ones and renumbers the table 1..N in
    // `idx` order, the new rows last. Runs inside the caller's transaction.
    void appendRows(const std::vector<FormulaRow>& rows);

    // The formulas (no statistics) in stored order.
    std::vector<FormulaRow> storedRows();
    // Keeps the first row of each (kind, code form, Chinese form), with the
    // earliest entry of its copies.
    static void dropDuplicates(std::vector<FormulaRow>& rows);
    // Gives `kept` the earlier entry of the two copies of one formula; an
    // unknown entry may be the earliest, so it wins.
    static void keepEarliest(FormulaRow& kept, const FormulaRow& other);

    // The entry a row stored now records.
    FormulaOrigin present();
    // "1000500/2026-12-08", or "unknown".
    static std::string originText(const std::optional<FormulaOrigin>& origin);

    // Empties all ten tables in one transaction.
    static void clearAll(Database& db);

  private:
    void renumber(const char* order);

    Database& db_;
    std::string name_;
};

}  // namespace varnet
