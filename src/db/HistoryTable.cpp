#include "db/HistoryTable.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "db/Database.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "base/ParameterNames.h"

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

void HistoryTable::appendDraws(const std::vector<Draw>& draws,
                               const std::function<bool(int)>& progress) {
    auto st = db_.prepare(insertSql());
    Numbers previous{};
    for (std::size_t i = 0; i < draws.size(); ++i) {
        bindRow(st, draws[i].issue, computeParameters(draws[i], previous));
        previous = draws[i].numbers;
        st.run();
        st.reset();
        if (progress && (i + 1) % 2048 == 0 && !progress(static_cast<int>(i + 1))) {
            throw DbError("cancelled");
        }
    }
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
    History h;
    const int rows = count();
    h.reserve(rows);
    RowSink sink;
    sink.history = &h;
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
    static const std::string sql = [] {
        std::string s = "SELECT varnet_row_a(strQQH";
        for (int k = 1; k <= kParamCount; ++k) {
            if (k == kFirstHalf + 1)
                s += "), varnet_row_b(";
            else
                s += ", ";
            s += ParameterNames::code(k);
        }
        return s + ") FROM Lishi ORDER BY rowid";
    }();
    {
        auto st = db_.prepare(sql);
        while (st.step()) {
        }
    }
    sink.flush();
    if (sink.sorted) return h;
    // Issue order, ties in stored order.
    std::vector<int> order(h.size());
    for (int i = 0; i < h.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return h.issue(a) < h.issue(b); });
    History sorted;
    sorted.reserve(h.size());
    for (int i : order) sorted.append(h.issue(i), h.params(i));
    return sorted;
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
    db_.exec("DELETE FROM Lishi");
    return static_cast<int>(db_.changes());
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
