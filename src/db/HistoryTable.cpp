#include "db/HistoryTable.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <future>
#include <string>

#include "base/ParameterNames.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "db/Transaction.h"

namespace varnet {

namespace {

// Parameter indexes in the order the writer sets the columns.
const std::vector<int>& appendOrder() {
    static const std::vector<int> order = [] {
        std::vector<int> o;
        for (int position = 1; position <= kPositions; ++position)
            for (int letter = 0; letter < 12; ++letter) o.push_back(paramIndex(letter, position));
        for (int k = 121; k <= kParamCount; ++k) o.push_back(k);
        return o;
    }();
    return order;
}

const std::string& insertSql() {
    static const std::string sql = [] {
        std::string cols, marks;
        int n = 0;
        for (int k : appendOrder()) {
            cols += ParameterNames::code(k) + ", ";
            marks += '?';
            marks += std::to_string(++n);
            marks += ", ";
        }
        marks += '?';
        marks += std::to_string(n + 1);
        return "INSERT INTO Lishi (" + cols + "strQQH) VALUES (" + marks + ")";
    }();
    return sql;
}

void bindRow(Statement& st, std::int32_t issue, const ParamValues& params) {
    int n = 0;
    for (int k : appendOrder()) st.bind(++n, static_cast<std::int64_t>(params[k - 1]));
    st.bind(n + 1, static_cast<std::int64_t>(issue));
}

}  // namespace

void HistoryTable::append(std::int32_t issue, const ParamValues& params) {
    auto st = db_.prepare(insertSql());
    bindRow(st, issue, params);
    st.run();
}

void HistoryTable::appendAll(const std::vector<Draw>& draws, const std::vector<ParamValues>& params,
                             const std::function<bool(int)>& progress) {
    auto st = db_.prepare(insertSql());
    for (std::size_t i = 0; i < draws.size(); ++i) {
        bindRow(st, draws[i].issue, params[i]);
        st.run();
        st.reset();
        if (progress && (i + 1) % 2048 == 0 && !progress(static_cast<int>(i + 1))) {
            throw DbError("cancelled");
        }
    }
}

namespace {

// The row being stored, read by `varnet_value_k()`: parameter k, or the
// issue for k = 0. One function a column, so that no argument is read.
struct StoredRow {
    const ParamValues* params = nullptr;
    std::int32_t issue = 0;
};
struct StoredValue {
    const StoredRow* row;
    int k;
};

void storedValue(sqlite3_context* ctx, int, sqlite3_value**) {
    const auto* v = static_cast<const StoredValue*>(sqlite3_user_data(ctx));
    sqlite3_result_int64(ctx, v->k == 0 ? v->row->issue : (*v->row->params)[v->k - 1]);
}

std::string valueFunction(int k) { return "varnet_value_" + std::to_string(k); }

// insertSql with each value read through its function (not deterministic,
// so that it is called for every row).
const std::string& insertFromRowSql() {
    static const std::string sql = [] {
        std::string cols, values;
        for (int k : appendOrder()) {
            cols += ParameterNames::code(k) + ", ";
            values += valueFunction(k) + "(), ";
        }
        return "INSERT INTO Lishi (" + cols + "strQQH) VALUES (" + values + valueFunction(0) +
               "())";
    }();
    return sql;
}

// Stores the draws as appendDraws does; with `into`, also appends each row
// there as stored. Each block's parameters are worked out (and appended to
// `into`) on a second thread while the block before is inserted.
void storeDraws(Database& db, const std::vector<Draw>& draws,
                const std::function<bool(int)>& progress, History* into) {
    constexpr int kBlock = 4096;
    const int total = static_cast<int>(draws.size());
    if (total == 0) return;
    sqlite3* raw = db.handle();
    // The row's values come through a function of ours rather than bound one
    // by one: each bind takes the connection's mutex, and a million rows of
    // 133 values spent much of the insert there.
    StoredRow row;
    std::vector<StoredValue> values;
    for (int k = 0; k <= kParamCount; ++k) values.push_back({&row, k});
    struct Undefine {
        sqlite3* raw;
        int defined = 0;
        ~Undefine() {
            for (int k = 0; k < defined; ++k)
                sqlite3_create_function_v2(raw, valueFunction(k).c_str(), 0, SQLITE_UTF8, nullptr,
                                           nullptr, nullptr, nullptr, nullptr);
        }
    } undefine{raw};
    for (int k = 0; k <= kParamCount; ++k, ++undefine.defined)
        if (sqlite3_create_function_v2(raw, valueFunction(k).c_str(), 0, SQLITE_UTF8, &values[k],
                                       storedValue, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw DbError(describeError(raw, sqlite3_errcode(raw)));
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(raw, insertFromRowSql().c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw DbError(describeError(raw, sqlite3_errcode(raw)));
    // Finalized before the functions it calls are undefined.
    struct Finalize {
        sqlite3_stmt* st;
        ~Finalize() { sqlite3_finalize(st); }
    } finalize{st};
    std::vector<ParamValues> blocks[2] = {std::vector<ParamValues>(kBlock),
                                          std::vector<ParamValues>(kBlock)};
    std::vector<std::int32_t> issues[2] = {std::vector<std::int32_t>(kBlock),
                                           std::vector<std::int32_t>(kBlock)};
    const auto work = [&](int block) {
        const int from = block * kBlock, to = std::min(total, from + kBlock);
        auto& out = blocks[block % 2];
        auto& iss = issues[block % 2];
        for (int i = from; i < to; ++i) {
            out[i - from] = computeParameters(draws[i], i > 0 ? draws[i - 1].numbers : Numbers{});
            iss[i - from] = draws[i].issue;
        }
        if (into) into->append(iss.data(), out.data(), to - from);
    };
    const int blockCount = (total + kBlock - 1) / kBlock;
    work(0);
    for (int b = 0; b < blockCount; ++b) {
        std::future<void> next;
        if (b + 1 < blockCount) next = std::async(std::launch::async, work, b + 1);
        const int from = b * kBlock, to = std::min(total, from + kBlock);
        const auto& params = blocks[b % 2];
        for (int i = from; i < to; ++i) {
            row.params = &params[i - from];
            row.issue = draws[i].issue;
            const int rc = sqlite3_step(st);
            sqlite3_reset(st);
            if (rc != SQLITE_DONE) throw DbError(describeError(raw, rc));
            if (progress && (i + 1) % 2048 == 0 && !progress(i + 1)) throw DbError("cancelled");
        }
        if (next.valid()) next.get();
    }
}

// The stored copy of the loaded history: row 0 the issues, row k the
// parameter k, each column's values as History holds them, for the table's
// rows up to `lastRowid` (`rows` of them). Appends after it leave it
// standing; the triggers below empty it in the writer's transaction, for any
// program, as soon as a row it covers is inserted, changed or deleted.
const char* const kCopyTableSql =
    "CREATE TABLE IF NOT EXISTS LishiCopy (k INTEGER PRIMARY KEY, width INTEGER NOT NULL,"
    " rows INTEGER NOT NULL, lastRowid INTEGER NOT NULL, data BLOB NOT NULL)";
struct CopyTrigger {
    const char* name;
    const char* sql;
};
#define VARNET_COVERED(row) row ".rowid <= (SELECT lastRowid FROM LishiCopy WHERE k = 0)"
const CopyTrigger kCopyTriggers[3] = {
    {"LishiCopyAfterInsert",
     "CREATE TRIGGER LishiCopyAfterInsert AFTER INSERT ON Lishi WHEN " VARNET_COVERED(
         "NEW") " BEGIN DELETE FROM LishiCopy; END"},
    {"LishiCopyAfterUpdate",
     "CREATE TRIGGER LishiCopyAfterUpdate AFTER UPDATE ON Lishi WHEN " VARNET_COVERED(
         "OLD") " OR " VARNET_COVERED("NEW") " BEGIN DELETE FROM LishiCopy; END"},
    {"LishiCopyAfterDelete",
     "CREATE TRIGGER LishiCopyAfterDelete AFTER DELETE ON Lishi WHEN " VARNET_COVERED(
         "OLD") " BEGIN DELETE FROM LishiCopy; END"},
};
#undef VARNET_COVERED

// Counts our triggers standing on Lishi exactly as we made them.
const std::string& triggerCountSql() {
    static const std::string sql = [] {
        std::string s =
            "(SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'Lishi' AND "
            "(";
        for (int i = 0; i < 3; ++i) {
            if (i) s += " OR ";
            s += std::string("(name = '") + kCopyTriggers[i].name + "' AND sql = '" +
                 kCopyTriggers[i].sql + "')";
        }
        return s + "))";
    }();
    return sql;
}

void check(sqlite3* raw, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw DbError(describeError(raw, rc));
}

}  // namespace

void HistoryTable::appendDraws(const std::vector<Draw>& draws,
                               const std::function<bool(int)>& progress) {
    storeDraws(db_, draws, progress, nullptr);
}

void HistoryTable::ensureCopy(Database& db) {
    db.exec(kCopyTableSql);
    for (const auto& t : kCopyTriggers) {
        bool ours = false, there = false;
        {
            auto st =
                db.prepare("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
            st.bind(1, std::string_view(t.name));
            if (st.step()) {
                there = true;
                ours = st.text(0) == t.sql;
            }
        }
        if (ours) continue;
        // An older trigger of this name emptied the copy on any change, so
        // a copy standing now covers the whole table.
        if (there) db.exec(std::string("DROP TRIGGER ") + t.name);
        db.exec(t.sql);
    }
}

bool HistoryTable::hasCopy(Database& db) {
    if (!db.tableExists("LishiCopy")) return false;
    auto st = db.prepare("SELECT " + triggerCountSql());
    return st.step() && st.integer(0) == 3;
}

void HistoryTable::dropCopyTriggers() {
    for (const auto& t : kCopyTriggers) db_.exec(std::string("DROP TRIGGER IF EXISTS ") + t.name);
}

void HistoryTable::replaceDraws(const std::vector<Draw>& draws,
                                const std::function<bool(int)>& progress) {
    // The triggers would fire once a row; the copy is made anew below and the
    // triggers stand again before the caller commits.
    ensureCopy(db_);
    db_.exec("DELETE FROM LishiCopy");
    dropCopyTriggers();
    db_.exec("DELETE FROM Lishi");
    History h;
    h.reserve(static_cast<int>(draws.size()));
    storeDraws(db_, draws, progress, &h);
    bool sorted = true;
    for (int i = 1; i < h.size() && sorted; ++i) sorted = h.issue(i - 1) <= h.issue(i);
    if (sorted) {
        storeCopy(h);
    } else {
        h = h.sortedByIssue();
        storeCopy(h);
    }
    ensureCopy(db_);
}

void HistoryTable::storeCopy(const History& h) {
    std::int64_t lastRowid = 0;
    {
        auto st = db_.prepare("SELECT COALESCE(MAX(rowid), 0) FROM Lishi");
        if (st.step()) lastRowid = st.int64(0);
    }
    sqlite3* raw = db_.handle();
    sqlite3_stmt* st = nullptr;
    check(raw, sqlite3_prepare_v2(raw,
                                  "INSERT INTO LishiCopy (k, width, rows, lastRowid, data) "
                                  "VALUES (?1, ?2, ?3, ?4, ?5)",
                                  -1, &st, nullptr));
    struct Finalize {
        sqlite3_stmt* st;
        ~Finalize() { sqlite3_finalize(st); }
    } finalize{st};
    const auto put = [&](int k, int width, const void* data) {
        sqlite3_reset(st);
        sqlite3_bind_int(st, 1, k);
        sqlite3_bind_int(st, 2, width);
        sqlite3_bind_int64(st, 3, h.size());
        sqlite3_bind_int64(st, 4, lastRowid);
        const std::int64_t bytes = static_cast<std::int64_t>(h.size()) * width;
        if (bytes == 0)
            sqlite3_bind_zeroblob(st, 5, 0);
        else
            sqlite3_bind_blob64(st, 5, data, static_cast<sqlite3_uint64>(bytes), SQLITE_STATIC);
        check(raw, sqlite3_step(st));
    };
    put(0, 4, h.issues().data());
    for (int k = 1; k <= kParamCount; ++k) put(k, h.column(k).width(), h.column(k).bytes());
}

std::optional<History> HistoryTable::loadCopy(std::int64_t& lastRowid) {
    if (!db_.tableExists("LishiCopy")) return std::nullopt;
    static const std::string sql = "SELECT k, width, rows, lastRowid, data FROM LishiCopy WHERE " +
                                   triggerCountSql() + " = 3 ORDER BY k";
    sqlite3* raw = db_.handle();
    sqlite3_stmt* st = nullptr;
    check(raw, sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr));
    struct Finalize {
        sqlite3_stmt* st;
        ~Finalize() { sqlite3_finalize(st); }
    } finalize{st};
    History h;
    int next = 0;
    std::int64_t rows = -1;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const int k = sqlite3_column_int(st, 0);
        const int width = sqlite3_column_int(st, 1);
        const std::int64_t n = sqlite3_column_int64(st, 2);
        const std::int64_t last = sqlite3_column_int64(st, 3);
        if (k != next || (width != 1 && width != 2 && width != 4) || (k == 0 && width != 4) ||
            n < 0 || n > INT32_MAX || (k > 0 && (n != rows || last != lastRowid)))
            return std::nullopt;
        rows = n;
        lastRowid = last;
        const void* data = sqlite3_column_blob(st, 4);
        if (sqlite3_column_bytes(st, 4) != n * width) return std::nullopt;
        if (k == 0) {
            std::vector<std::int32_t> issues(static_cast<std::size_t>(n));
            if (n) std::memcpy(issues.data(), data, static_cast<std::size_t>(n) * 4);
            h.assignIssues(std::move(issues));
        } else {
            h.columnToFill(k).assignBytes(width, data, static_cast<int>(n));
        }
        ++next;
    }
    check(raw, rc);
    if (next != kParamCount + 1) return std::nullopt;
    // The rows it covers are still exactly there: the triggers stood for
    // every change of them, and none went by with triggers off.
    auto figures = db_.prepare(
        "SELECT (SELECT COUNT(*) FROM Lishi) - (SELECT COUNT(*) FROM Lishi WHERE rowid > ?1),"
        " (SELECT rowid FROM Lishi WHERE rowid <= ?1 ORDER BY rowid DESC LIMIT 1)");
    figures.bind(1, lastRowid);
    if (!figures.step() || figures.int64(0) != rows || (rows > 0 && figures.int64(1) != lastRowid))
        return std::nullopt;
    return h;
}

namespace {

// The rows in stored order come to these two SQL functions (one function
// takes at most 127 arguments), which read the values straight off SQLite's
// own: asking for a million rows' 133 columns one call at a time took most
// of the load.
struct RowSink {
    History* history = nullptr;
    // Rows gather here and go into the columns a block at a time.
    static constexpr int kBlock = 1024;
    std::vector<std::int32_t> issues;
    std::vector<ParamValues> rows;
    std::int32_t issue = 0;
    ParamValues values{};
    bool sorted = true;
    std::int32_t lastIssue = INT32_MIN;

    void flush() {
        history->append(issues.data(), rows.data(), static_cast<int>(rows.size()));
        issues.clear();
        rows.clear();
    }
};

constexpr int kFirstHalf = kParamCount / 2;

void firstHalf(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* sink = static_cast<RowSink*>(sqlite3_user_data(ctx));
    sink->issue = static_cast<std::int32_t>(sqlite3_value_int64(argv[0]));
    for (int k = 0; k < kFirstHalf; ++k)
        sink->values[k] = static_cast<std::int32_t>(sqlite3_value_int64(argv[k + 1]));
    sqlite3_result_null(ctx);
}

void secondHalf(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* sink = static_cast<RowSink*>(sqlite3_user_data(ctx));
    for (int k = kFirstHalf; k < kParamCount; ++k)
        sink->values[k] = static_cast<std::int32_t>(sqlite3_value_int64(argv[k - kFirstHalf]));
    if (sink->issue < sink->lastIssue) sink->sorted = false;
    sink->lastIssue = sink->issue;
    sink->issues.push_back(sink->issue);
    sink->rows.push_back(sink->values);
    if (static_cast<int>(sink->rows.size()) == RowSink::kBlock) sink->flush();
    sqlite3_result_null(ctx);
}

}  // namespace

History HistoryTable::load() {
    // The copy, the table's figures and the rows after the copy in one
    // snapshot.
    const bool own = sqlite3_get_autocommit(db_.handle()) != 0;
    if (own) db_.exec("BEGIN");
    try {
        History h;
        std::int64_t lastRowid = 0;
        if (auto copy = loadCopy(lastRowid)) {
            h = std::move(*copy);
            // Rows appended after the copy: stored later than all it covers,
            // so a stable sort of both keeps ties in stored order.
            if (!decodeRows(h, &lastRowid)) h = h.sortedByIssue();
        } else {
            h = loadRows();
        }
        if (own) db_.exec("COMMIT");
        return h;
    } catch (...) {
        if (own) {
            try {
                db_.exec("ROLLBACK");
            } catch (const DbError&) {
            }
        }
        throw;
    }
}

History HistoryTable::loadRows() {
    History h;
    h.reserve(count());
    if (decodeRows(h, nullptr)) return h;
    // Issue order, ties in stored order.
    return h.sortedByIssue();
}

bool HistoryTable::decodeRows(History& h, const std::int64_t* after) {
    RowSink sink;
    sink.history = &h;
    if (h.size() > 0) sink.lastIssue = h.issue(h.size() - 1);
    sink.issues.reserve(RowSink::kBlock);
    sink.rows.reserve(RowSink::kBlock);
    sqlite3* raw = db_.handle();
    const auto define = [&](const char* name, int args, auto fn) {
        if (sqlite3_create_function_v2(raw, name, args, SQLITE_UTF8, &sink, fn, nullptr, nullptr,
                                       nullptr) != SQLITE_OK)
            throw DbError(describeError(raw, sqlite3_errcode(raw)));
    };
    define("varnet_row_a", kFirstHalf + 1, firstHalf);
    define("varnet_row_b", kParamCount - kFirstHalf, secondHalf);
    struct Undefine {
        sqlite3* raw;
        ~Undefine() {
            sqlite3_create_function_v2(raw, "varnet_row_a", kFirstHalf + 1, SQLITE_UTF8, nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
            sqlite3_create_function_v2(raw, "varnet_row_b", kParamCount - kFirstHalf, SQLITE_UTF8,
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
        }
    } undefine{raw};
    static const std::string select = [] {
        std::string s = "SELECT varnet_row_a(strQQH";
        for (int k = 1; k <= kParamCount; ++k) {
            if (k == kFirstHalf + 1)
                s += "), varnet_row_b(";
            else
                s += ", ";
            s += ParameterNames::code(k);
        }
        return s + ") FROM Lishi";
    }();
    static const std::string all = select + " ORDER BY rowid";
    static const std::string tail = select + " WHERE rowid > ?1 ORDER BY rowid";
    {
        auto st = db_.prepare(after ? tail : all);
        if (after) st.bind(1, *after);
        while (st.step()) {
        }
    }
    sink.flush();
    return sink.sorted;
}

std::optional<ParamValues> HistoryTable::paramsOf(std::int32_t issue) {
    static const std::string sql = [] {
        std::string s = "SELECT strQQH";
        for (int k = 1; k <= kParamCount; ++k) s += ", " + ParameterNames::code(k);
        return s + " FROM Lishi WHERE strQQH = ?1 ORDER BY rowid DESC LIMIT 1";
    }();
    auto st = db_.prepare(sql);
    st.bind(1, static_cast<std::int64_t>(issue));
    if (!st.step()) return std::nullopt;
    ParamValues v{};
    for (int k = 0; k < kParamCount; ++k) v[k] = static_cast<std::int32_t>(st.int64(k + 1));
    return v;
}

int HistoryTable::count() {
    auto st = db_.prepare("SELECT COUNT(*) FROM Lishi");
    st.step();
    return st.integer(0);
}

bool HistoryTable::containsIssue(std::int32_t issue) {
    auto st = db_.prepare("SELECT 1 FROM Lishi WHERE strQQH = ?1 LIMIT 1");
    st.bind(1, static_cast<std::int64_t>(issue));
    return st.step();
}

Numbers HistoryTable::lastNumbers() {
    std::string sql = "SELECT ";
    for (int p = 1; p <= kPositions; ++p)
        sql += (p > 1 ? ", " : "") + ParameterNames::code(paramIndex(0, p));
    auto st = db_.prepare(sql + " FROM Lishi ORDER BY strQQH DESC, rowid DESC LIMIT 1");
    Numbers n{};
    if (st.step())
        for (int p = 0; p < kPositions; ++p) n[p] = st.integer(p);
    return n;
}

std::optional<Draw> HistoryTable::edgeDraw(bool last) {
    std::string sql = "SELECT strQQH";
    for (int p = 1; p <= kPositions; ++p) sql += ", " + ParameterNames::code(paramIndex(0, p));
    // Day, month, year: L8M, L9M, L0M.
    for (int k = 128; k <= 130; ++k) sql += ", " + ParameterNames::code(k);
    sql += last ? " FROM Lishi ORDER BY strQQH DESC, rowid DESC LIMIT 1"
                : " FROM Lishi ORDER BY strQQH, rowid LIMIT 1";
    auto st = db_.prepare(sql);
    if (!st.step()) return std::nullopt;
    Draw d;
    d.issue = static_cast<std::int32_t>(st.int64(0));
    for (int p = 0; p < kPositions; ++p) d.numbers[p] = st.integer(p + 1);
    d.day = st.integer(11);
    d.month = st.integer(12);
    d.year = st.integer(13);
    return d;
}

std::optional<Draw> HistoryTable::firstDraw() { return edgeDraw(false); }
std::optional<Draw> HistoryTable::lastDraw() { return edgeDraw(true); }

int HistoryTable::deleteLast() { return deleteLastN(1); }

int HistoryTable::Delrec() {
    if (!hasCopy(db_)) {
        db_.exec("DELETE FROM Lishi");
        return static_cast<int>(db_.changes());
    }
    // Without the triggers for the while, so that the table is emptied at
    // once rather than row by row; all of it or nothing.
    db_.exec("SAVEPOINT varnet_delrec");
    try {
        db_.exec("DELETE FROM LishiCopy");
        dropCopyTriggers();
        db_.exec("DELETE FROM Lishi");
        const int n = static_cast<int>(db_.changes());
        ensureCopy(db_);
        db_.exec("RELEASE varnet_delrec");
        return n;
    } catch (const DbError&) {
        try {
            db_.exec("ROLLBACK TO varnet_delrec");
            db_.exec("RELEASE varnet_delrec");
        } catch (const DbError&) {
        }
        throw;
    }
}

int HistoryTable::deleteAbove(std::int32_t issue) {
    auto st = db_.prepare("DELETE FROM Lishi WHERE strQQH > ?1");
    st.bind(1, static_cast<std::int64_t>(issue));
    st.run();
    return static_cast<int>(db_.changes());
}

int HistoryTable::deleteLastN(int n) {
    if (n <= 0) return 0;
    auto st = db_.prepare(
        "DELETE FROM Lishi WHERE rowid IN "
        "(SELECT rowid FROM Lishi ORDER BY strQQH DESC, rowid DESC LIMIT ?1)");
    st.bind(1, n);
    st.run();
    return static_cast<int>(db_.changes());
}

namespace {

HistoryTable::Span readSpan(Statement& st) {
    HistoryTable::Span s;
    st.step();
    s.count = st.integer(0);
    if (s.count > 0) {
        s.first = static_cast<std::int32_t>(st.int64(1));
        s.last = static_cast<std::int32_t>(st.int64(2));
    }
    return s;
}

}  // namespace

HistoryTable::Span HistoryTable::spanAbove(std::int32_t issue) {
    auto st = db_.prepare("SELECT COUNT(*), MIN(strQQH), MAX(strQQH) FROM Lishi WHERE strQQH > ?1");
    st.bind(1, static_cast<std::int64_t>(issue));
    return readSpan(st);
}

HistoryTable::Span HistoryTable::spanOfLast(int n) {
    // The rows deleteLastN takes.
    auto st = db_.prepare(
        "SELECT COUNT(*), MIN(strQQH), MAX(strQQH) FROM "
        "(SELECT strQQH FROM Lishi ORDER BY strQQH DESC, rowid DESC LIMIT ?1)");
    st.bind(1, n > 0 ? n : 0);
    return readSpan(st);
}

void CompactDb(Database& db) {
    try {
        db.exec("VACUUM");
    } catch (const DbError&) {
        Transaction::restore(db);
        throw;
    }
}

bool compactIfSparse(Database& db) {
    try {
        const auto pragma = [&db](const char* sql) -> std::int64_t {
            auto st = db.prepare(sql);
            return st.step() ? st.int64(0) : 0;
        };
        const std::int64_t pages = pragma("PRAGMA page_count");
        const std::int64_t free = pragma("PRAGMA freelist_count");
        if (free * 4 <= pages) return false;
        CompactDb(db);
        return true;
    } catch (const DbError&) {
        return false;
    }
}

}  // namespace varnet
