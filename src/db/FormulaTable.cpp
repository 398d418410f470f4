#include "db/FormulaTable.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "db/Transaction.h"

namespace varnet {

namespace {

// Rows without a number sort first (SQLite orders NULL before any number),
// as the list has always shown them.
constexpr const char* kIdxOrder = "idx, rowid";

template <typename T>
std::optional<T> optionalColumn(const Statement& st, int c) {
    if (st.isNull(c)) return std::nullopt;
    if constexpr (std::is_same_v<T, float>)
        return static_cast<float>(st.real(c));
    else
        return st.integer(c);
}

// Binds a row's entry at `c`, `c + 1`: a new row enters now, a row read
// from a table keeps what it had (NULL when unknown).
void bindEntry(Statement& st, int c, const FormulaRow& r, const FormulaOrigin& now) {
    const std::optional<FormulaOrigin> e = r.fromTable ? r.entered : now;
    if (e) {
        st.bind(c, e->issue).bind(c + 1, e->date);
    } else {
        st.bindNull(c);
        st.bindNull(c + 1);
    }
}

}  // namespace

FormulaTable::FormulaTable(Database& db, int position) : db_(db) {
    if (position < 1 || position > 10) throw std::out_of_range("formula table position");
    name_ = Schema::formulaTable(position);
}

int FormulaTable::count() {
    auto st = db_.prepare("SELECT COUNT(*) FROM " + name_);
    st.step();
    return st.integer(0);
}

int FormulaTable::count(bool kill) {
    auto st = db_.prepare("SELECT COUNT(*) FROM " + name_ + " WHERE bolKill = ?1");
    st.bind(1, kill ? 1 : 0);
    st.step();
    return st.integer(0);
}

std::vector<FormulaRow> FormulaTable::rows(std::optional<bool> kill, bool statistics) {
    std::string sql = "SELECT rowid, idx, bolKill, gongshi, gongshiCN";
    if (statistics) sql += ", sglGsRate, intGsErrCon, intGsTrueCon, intGsErrLst, intGsTrueLst";
    // A file from before entries were recorded has no such columns until
    // its first write: its formulas' entries are unknown.
    const bool origins = Schema::hasOriginColumns(db_, name_);
    const int entryAt = statistics ? 10 : 5;
    if (origins) sql += ", EnteredIssue, EnteredDate";
    sql += " FROM " + name_;
    if (kill) sql += " WHERE bolKill = ?1";
    sql += std::string(" ORDER BY ") + kIdxOrder;
    auto st = db_.prepare(sql);
    if (kill) st.bind(1, *kill ? 1 : 0);
    std::vector<FormulaRow> out;
    while (st.step()) {
        FormulaRow r;
        r.id = st.int64(0);
        r.idx = optionalColumn<int>(st, 1);
        r.kill = st.integer(2) != 0;
        r.code = st.text(3);
        r.chinese = st.text(4);
        if (statistics) {
            r.rate = optionalColumn<float>(st, 5);
            r.longestMiss = optionalColumn<int>(st, 6);
            r.longestHit = optionalColumn<int>(st, 7);
            r.lastMiss = optionalColumn<int>(st, 8);
            r.lastHit = optionalColumn<int>(st, 9);
        }
        r.fromTable = true;
        if (origins && !st.isNull(entryAt) && !st.isNull(entryAt + 1))
            r.entered = FormulaOrigin{st.integer(entryAt), st.integer(entryAt + 1)};
        out.push_back(std::move(r));
    }
    return out;
}

int FormulaTable::append(bool kill, const std::string& code, const std::string& chinese) {
    Transaction tx(db_);
    int idx = count() + 1;
    auto last = db_.prepare("SELECT idx FROM " + name_ + " ORDER BY rowid DESC LIMIT 1");
    if (last.step() && (last.isNull(0) || last.integer(0) < 1)) idx = 1;
    auto ins = db_.prepare("INSERT INTO " + name_ +
                           " (bolKill, gongshi, gongshiCN, idx, EnteredIssue, EnteredDate)"
                           " VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    const FormulaOrigin now = present();
    ins.bind(1, kill ? 1 : 0).bind(2, code).bind(3, chinese).bind(4, idx);
    ins.bind(5, now.issue).bind(6, now.date);
    ins.run();
    tx.commit();
    return idx;
}

void FormulaTable::renumber(const char* order) {
    auto ids = db_.prepare("SELECT rowid FROM " + name_ + " ORDER BY " + order);
    std::vector<std::int64_t> rowids;
    while (ids.step()) rowids.push_back(ids.int64(0));
    auto set = db_.prepare("UPDATE " + name_ + " SET idx = ?1 WHERE rowid = ?2");
    for (std::size_t i = 0; i < rowids.size(); ++i) {
        set.bind(1, static_cast<std::int64_t>(i + 1)).bind(2, rowids[i]);
        set.run();
        set.reset();
    }
}

int FormulaTable::storeScores(std::vector<StoredScore>& scores) {
    Transaction tx(db_);
    // Row ids are renumbered by a compaction in another process: the row
    // must still hold the formula that was scored.
    auto set = db_.prepare("UPDATE " + name_ +
                           " SET sglGsRate = ?1, intGsErrCon = ?2, intGsTrueCon = ?3,"
                           " intGsErrLst = ?4, intGsTrueLst = ?5 WHERE rowid = ?6"
                           " AND (bolKill <> 0) = ?7 AND IFNULL(gongshi, '') = ?8");
    int changed = 0;
    for (StoredScore& s : scores) {
        if (s.valid) {
            set.bind(1, static_cast<double>(s.rate))
                .bind(2, s.longestMiss)
                .bind(3, s.longestHit)
                .bind(4, s.lastMiss)
                .bind(5, s.lastHit);
        } else {
            for (int c = 1; c <= 5; ++c) set.bindNull(c);
        }
        set.bind(6, s.id).bind(7, s.kill ? 1 : 0).bind(8, s.code);
        set.run();
        set.reset();
        s.stored = db_.changes() == 1;
        if (!s.stored) ++changed;
    }
    renumber(kIdxOrder);
    std::unordered_map<std::int64_t, int> idxOf;
    for (auto st = db_.prepare("SELECT rowid, idx FROM " + name_); st.step();)
        idxOf[st.int64(0)] = st.integer(1);
    for (StoredScore& s : scores)
        if (s.stored) s.idx = idxOf[s.id];
    tx.commit();
    return changed;
}

int FormulaTable::deleteByIdx(const std::vector<int>& idxs) {
    int deleted = 0;
    {
        Transaction tx(db_);
        auto del = db_.prepare("DELETE FROM " + name_ + " WHERE idx = ?1");
        for (int idx : idxs) {
            del.bind(1, idx);
            del.run();
            deleted += static_cast<int>(db_.changes());
            del.reset();
        }
        renumber("rowid");
        tx.commit();
    }
    try {
        CompactDb(db_);
    } catch (const DbError&) {
        // The deletion stands; a failed compaction only leaves the file larger.
    }
    return deleted;
}

void FormulaTable::rebuild() {
    Transaction tx(db_);
    db_.exec("DROP TABLE IF EXISTS Tmp");
    // The first row of each triple keeps its place in the stored order, with
    // the earliest entry of its copies (unknown when one copy's is).
    const char* earliest =
        "CASE WHEN COUNT(EnteredDate) = COUNT(*) AND COUNT(EnteredIssue) = COUNT(*) THEN ";
    db_.exec("CREATE TABLE Tmp AS SELECT bolKill, gongshi, gongshiCN, " + std::string(earliest) +
             "MIN(EnteredIssue) END AS EnteredIssue, " + earliest +
             "MIN(EnteredDate) END AS EnteredDate FROM " + name_ +
             " GROUP BY bolKill, gongshi, gongshiCN ORDER BY MIN(rowid)");
    db_.exec("DROP TABLE " + name_);
    db_.exec(Schema::formulaTableSql(name_));
    db_.exec("INSERT INTO " + name_ +
             " (bolKill, gongshi, gongshiCN, idx, EnteredIssue, EnteredDate) SELECT bolKill,"
             " gongshi, gongshiCN, rowid, EnteredIssue, EnteredDate FROM Tmp ORDER BY rowid");
    db_.exec("DROP TABLE Tmp");
    tx.commit();
}

void FormulaTable::replaceAll(const std::vector<FormulaRow>& rows) {
    db_.exec("DELETE FROM " + name_);
    auto ins = db_.prepare("INSERT INTO " + name_ +
                           " (bolKill, gongshi, gongshiCN, idx, EnteredIssue, EnteredDate)"
                           " VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    const FormulaOrigin now = present();
    int idx = 0;
    for (const FormulaRow& r : rows) {
        ins.bind(1, r.kill ? 1 : 0).bind(2, r.code).bind(3, r.chinese).bind(4, ++idx);
        bindEntry(ins, 5, r, now);
        ins.run();
        ins.reset();
    }
}

void FormulaTable::appendRows(const std::vector<FormulaRow>& rows) {
    auto ins = db_.prepare("INSERT INTO " + name_ +
                           " (bolKill, gongshi, gongshiCN, EnteredIssue, EnteredDate)"
                           " VALUES (?1, ?2, ?3, ?4, ?5)");
    const FormulaOrigin now = present();
    for (const FormulaRow& r : rows) {
        ins.bind(1, r.kill ? 1 : 0).bind(2, r.code).bind(3, r.chinese);
        bindEntry(ins, 4, r, now);
        ins.run();
        ins.reset();
    }
    renumber("idx IS NULL, idx, rowid");
}

std::vector<FormulaRow> FormulaTable::storedRows() {
    auto rows = this->rows(std::nullopt, false);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const FormulaRow& a, const FormulaRow& b) { return a.id < b.id; });
    return rows;
}

void FormulaTable::dropDuplicates(std::vector<FormulaRow>& rows) {
    std::map<std::tuple<bool, std::string, std::string>, std::size_t> seen;
    std::vector<FormulaRow> kept;
    kept.reserve(rows.size());
    for (auto& r : rows) {
        const auto [at, first] = seen.try_emplace({r.kill, r.code, r.chinese}, kept.size());
        if (first)
            kept.push_back(std::move(r));
        else
            keepEarliest(kept[at->second], r);
    }
    rows = std::move(kept);
}

void FormulaTable::keepEarliest(FormulaRow& kept, const FormulaRow& other) {
    if (!other.fromTable) return;  // a new row enters now, after any stored one
    if (!kept.fromTable) {
        kept.fromTable = true;
        kept.entered = other.entered;
    } else if (kept.entered && other.entered) {
        kept.entered->issue = std::min(kept.entered->issue, other.entered->issue);
        kept.entered->date = std::min(kept.entered->date, other.entered->date);
    } else {
        kept.entered.reset();
    }
}

FormulaOrigin FormulaTable::present() {
    FormulaOrigin o;
    auto st = db_.prepare("SELECT MAX(strQQH) FROM Lishi");
    if (st.step() && !st.isNull(0)) o.issue = st.integer(0);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    o.date = (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
    return o;
}

std::string FormulaTable::originText(const std::optional<FormulaOrigin>& origin) {
    if (!origin) return "unknown";
    char text[48];
    std::snprintf(text, sizeof text, "%d/%04d-%02d-%02d", origin->issue, origin->date / 10000,
                  origin->date / 100 % 100, origin->date % 100);
    return text;
}

void FormulaTable::clearAll(Database& db) {
    Transaction tx(db);
    for (int p = 1; p <= 10; ++p) db.exec("DELETE FROM " + Schema::formulaTable(p));
    tx.commit();
}

}  // namespace varnet
