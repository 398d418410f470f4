#include "db/Transaction.h"

#include "db/Database.h"

namespace varnet {

Transaction::Transaction(Database& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!done_) {
        try {
            db_.exec("ROLLBACK");
        } catch (...) {
            // A failed write may have rolled the transaction back already,
            // or left the old pages to be put back at the next read.
        }
        restore(db_);
    }
}

void Transaction::restore(Database& db) noexcept {
    try {
        db.exec("SELECT 1 FROM sqlite_master LIMIT 1");
    } catch (...) {
    }
}

void Transaction::commit() {
    db_.exec("COMMIT");
    done_ = true;
}

}  // namespace varnet
