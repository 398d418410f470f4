#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/Draw.h"
#include "base/History.h"

namespace varnet {

class Database;

// Operations on the draw history table `Lishi`. Each changing operation is
// one statement or runs inside the caller's transaction.
class HistoryTable {
  public:
    explicit HistoryTable(Database& db) : db_(db) {}

    // Appends a draw with its parameters, columns set in the writer's order:
    // A..L of each position, then the M and N columns, then `strQQH`.
    void append(std::int32_t issue, const ParamValues& params);
    // Appends many rows with one prepared statement; `progress(done)` is
    // called every few thousand rows and may return false to stop (DbError).
    void appendAll(const std::vector<Draw>& draws, const std::vector<ParamValues>& params,
                   const std::function<bool(int)>& progress = {});

    // The same for draws in storing order, each with the parameters it has
    // after the one before it (the first after none), worked out row by row.
    void appendDraws(const std::vector<Draw>& draws, const std::function<bool(int)>& progress = {});

    // Replaces every row by these draws, as appendDraws stores them, and
    // keeps a copy of the resulting history beside the table (in the
    // caller's transaction) for load() to read whole.
    void replaceDraws(const std::vector<Draw>& draws,
                      const std::function<bool(int)>& progress = {});

    // The history ordered by issue, ties in stored order. The rows the
    // stored copy still covers are read from it, the rest from the table.
    History load();
    // The same, always decoded from the table's rows.
    History loadRows();
    // The copy's table and the triggers that drop the copy on any change of
    // a row it covers, by any program; made where missing or different.
    static void ensureCopy(Database& db);
    static bool hasCopy(Database& db);
    int count();
    // The parameters of the last stored draw with this issue, read alone.
    std::optional<ParamValues> paramsOf(std::int32_t issue);
    bool containsIssue(std::int32_t issue);
    // Numbers of the draw with the greatest issue (the later stored of equal
    // ones); all zero for an empty table.
    Numbers lastNumbers();
    // The first and the last draw in issue order (ties in stored order), with
    // numbers and date; nothing for an empty table.
    std::optional<Draw> firstDraw();
    std::optional<Draw> lastDraw();

    // The deletions. Each returns the number of rows deleted.
    int deleteLast();
    int Delrec();  // every row
    int deleteAbove(std::int32_t issue);
    int deleteLastN(int n);

    // How many rows and which issues a deletion would take.
    struct Span {
        int count = 0;
        std::int32_t first = 0;
        std::int32_t last = 0;
    };
    Span spanAbove(std::int32_t issue);
    Span spanOfLast(int n);

  private:
    std::optional<Draw> edgeDraw(bool last);
    // The copy and the last row id it covers, when it still stands for the
    // table's rows up to there.
    std::optional<History> loadCopy(std::int64_t& lastRowid);
    // Appends the table's rows (those after `*after`, or all) in stored
    // order; false when `h` is then out of issue order.
    bool decodeRows(History& h, const std::int64_t* after);
    void storeCopy(const History& h);
    void dropCopyTriggers();

    Database& db_;
};

// Compacts the database file (VACUUM: atomic, the file is never missing).
void CompactDb(Database& db);
// Compacts when more than a quarter of the file's pages are free (a big
// replacement leaves them behind); true when it did. A failed compaction
// only leaves the file larger, so it is not reported.
bool compactIfSparse(Database& db);

}  // namespace varnet
