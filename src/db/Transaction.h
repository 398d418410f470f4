#pragma once

namespace varnet {

class Database;

// BEGIN IMMEDIATE on construction; ROLLBACK on destruction unless committed,
// so a command that throws leaves the file as it was.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Database& db_;
    bool done_ = false;
};

}  // namespace varnet
