#include "db/HoldOutTable.h"

#include <cstdio>

#include "db/Database.h"
#include "db/Statement.h"
#include "db/Transaction.h"

namespace varnet {

namespace {

void bindOptional(Statement& st, int index, const std::optional<double>& value) {
    if (value)
        st.bind(index, *value);
    else
        st.bindNull(index);
}

std::optional<double> optionalReal(const Statement& st, int column) {
    if (st.isNull(column)) return std::nullopt;
    return st.real(column);
}

}  // namespace

std::string heldOutMeanText(double mean, double standardError) {
    char text[96];
    std::snprintf(text, sizeof text, "%.2f%% ± %.2f", mean, standardError);
    return text;
}

void HoldOutTable::store(const HoldOutRecord& r) {
    Transaction tx(db_);
    // Inside the write: another program storing its first summary at the
    // same time waits for this transaction and then finds the table.
    db_.exec(std::string("CREATE TABLE IF NOT EXISTS ") + kTable +
             " (id INTEGER PRIMARY KEY, at TEXT NOT NULL, position INTEGER NOT NULL,"
             " bolKill BOOLEAN NOT NULL, heldOut INTEGER NOT NULL, firstIssue INTEGER,"
             " lastIssue INTEGER, tried INTEGER, finds INTEGER, chanceFinds INTEGER,"
             " mean REAL, standardError REAL, pValue REAL)");
    auto st = db_.prepare(
        std::string("INSERT INTO ") + kTable +
        " (at, position, bolKill, heldOut, firstIssue, lastIssue, tried, finds, chanceFinds,"
        " mean, standardError, pValue) VALUES (COALESCE(?1, strftime('%Y-%m-%d %H:%M:%S', "
        "'now', 'localtime')), ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    if (r.at.empty())
        st.bindNull(1);
    else
        st.bind(1, r.at);
    st.bind(2, r.position);
    st.bind(3, r.kill ? 1 : 0);
    st.bind(4, r.heldOut);
    st.bind(5, r.firstIssue);
    st.bind(6, r.lastIssue);
    st.bind(7, static_cast<std::int64_t>(r.tried));
    st.bind(8, static_cast<std::int64_t>(r.finds));
    st.bind(9, static_cast<std::int64_t>(r.chanceFinds));
    bindOptional(st, 10, r.mean);
    bindOptional(st, 11, r.standardError);
    bindOptional(st, 12, r.pValue);
    st.run();
    tx.commit();
}

std::vector<HoldOutRecord> HoldOutTable::load() {
    std::vector<HoldOutRecord> out;
    if (!db_.tableExists(kTable)) return out;
    auto st = db_.prepare(std::string("SELECT at, position, bolKill, heldOut, firstIssue, "
                                      "lastIssue, tried, finds, chanceFinds, mean, "
                                      "standardError, pValue FROM ") +
                          kTable + " ORDER BY id");
    while (st.step()) {
        HoldOutRecord r;
        r.at = st.text(0);
        r.position = st.integer(1);
        r.kill = st.integer(2) != 0;
        r.heldOut = st.integer(3);
        r.firstIssue = st.int64(4);
        r.lastIssue = st.int64(5);
        r.tried = st.int64(6);
        r.finds = st.int64(7);
        r.chanceFinds = st.int64(8);
        r.mean = optionalReal(st, 9);
        r.standardError = optionalReal(st, 10);
        r.pValue = optionalReal(st, 11);
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace varnet
