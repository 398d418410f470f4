#include "db/HistoryTable.h"

#include <cstdint>
#include <string>

#include "db/Database.h"
#include "db/Statement.h"
#include "history/ParameterNames.h"

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

const std::string& selectSql() {
    static const std::string sql = [] {
        std::string s = "SELECT strQQH";
        for (int k = 1; k <= kParamCount; ++k) s += ", " + ParameterNames::code(k);
        return s + " FROM Lishi ORDER BY strQQH, rowid";
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

History HistoryTable::load() {
    History h;
    h.reserve(count());
    auto st = db_.prepare(selectSql());
    ParamValues v{};
    while (st.step()) {
        for (int k = 0; k < kParamCount; ++k) v[k] = static_cast<std::int32_t>(st.int64(k + 1));
        h.append(static_cast<std::int32_t>(st.int64(0)), v);
    }
    return h;
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

void CompactDb(Database& db) { db.exec("VACUUM"); }

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
