#include "db/FormulaTable.h"

#include <stdexcept>

#include "db/Database.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "db/Transaction.h"

namespace varnet {

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

void FormulaTable::rebuild() {
    Transaction tx(db_);
    db_.exec("DROP TABLE IF EXISTS Tmp");
    // The first row of each triple keeps its place in the stored order.
    db_.exec("CREATE TABLE Tmp AS SELECT bolKill, gongshi, gongshiCN FROM " + name_ +
             " GROUP BY bolKill, gongshi, gongshiCN ORDER BY MIN(rowid)");
    db_.exec("DROP TABLE " + name_);
    db_.exec(Schema::formulaTableSql(name_));
    db_.exec("INSERT INTO " + name_ +
             " (bolKill, gongshi, gongshiCN, idx) SELECT bolKill, gongshi, gongshiCN, rowid FROM Tmp"
             " ORDER BY rowid");
    db_.exec("DROP TABLE Tmp");
    tx.commit();
}

}  // namespace varnet
