#include "db/FormulaTable.h"

#include <algorithm>
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
                           " (bolKill, gongshi, gongshiCN, idx) VALUES (?1, ?2, ?3, ?4)");
    ins.bind(1, kill ? 1 : 0).bind(2, code).bind(3, chinese).bind(4, idx);
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
    // The first row of each triple keeps its place in the stored order.
    db_.exec("CREATE TABLE Tmp AS SELECT bolKill, gongshi, gongshiCN FROM " + name_ +
             " GROUP BY bolKill, gongshi, gongshiCN ORDER BY MIN(rowid)");
    db_.exec("DROP TABLE " + name_);
    db_.exec(Schema::formulaTableSql(name_));
    db_.exec(
        "INSERT INTO " + name_ +
        " (bolKill, gongshi, gongshiCN, idx) SELECT bolKill, gongshi, gongshiCN, rowid FROM Tmp"
        " ORDER BY rowid");
    db_.exec("DROP TABLE Tmp");
    tx.commit();
}

void FormulaTable::replaceAll(const std::vector<FormulaRow>& rows) {
    db_.exec("DELETE FROM " + name_);
    auto ins = db_.prepare("INSERT INTO " + name_ +
                           " (bolKill, gongshi, gongshiCN, idx) VALUES (?1, ?2, ?3, ?4)");
    int idx = 0;
    for (const FormulaRow& r : rows) {
        ins.bind(1, r.kill ? 1 : 0).bind(2, r.code).bind(3, r.chinese).bind(4, ++idx);
        ins.run();
        ins.reset();
    }
}

void FormulaTable::appendRows(const std::vector<FormulaRow>& rows) {
    auto ins =
        db_.prepare("INSERT INTO " + name_ + " (bolKill, gongshi, gongshiCN) VALUES (?1, ?2, ?3)");
    for (const FormulaRow& r : rows) {
        ins.bind(1, r.kill ? 1 : 0).bind(2, r.code).bind(3, r.chinese);
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
    std::set<std::tuple<bool, std::string, std::string>> seen;
    std::vector<FormulaRow> kept;
    kept.reserve(rows.size());
    for (auto& r : rows)
        if (seen.emplace(r.kill, r.code, r.chinese).second) kept.push_back(std::move(r));
    rows = std::move(kept);
}

void FormulaTable::clearAll(Database& db) {
    Transaction tx(db);
    for (int p = 1; p <= 10; ++p) db.exec("DELETE FROM " + Schema::formulaTable(p));
    tx.commit();
}

}  // namespace varnet
