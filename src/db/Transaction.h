#pragma once

namespace varnet {

class Database;

// BEGIN IMMEDIATE on construction; ROLLBACK on destruction unless committed,
// so a command that throws leaves the file as it was, with no need of its
// journal.
class Transaction {
  public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

    // After a failed write SQLite may leave changed pages in the file, the
    // old ones kept only in the journal until the next read. Reads now, so
    // the file alone is whole again; a failure here leaves the journal to
    // complete it at the next open.
    static void restore(Database& db) noexcept;

  private:
    Database& db_;
    bool done_ = false;
};

}  // namespace varnet
