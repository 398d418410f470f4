#pragma once

#include <string>

namespace varnet {

class Database;

// Operations on one formula table `Gongshi1` .. `Gongshi10`.
class FormulaTable {
public:
    // `position` 1..10 names the table.
    FormulaTable(Database& db, int position);

    const std::string& name() const { return name_; }
    int count();
    int count(bool kill);

    // Keeps one row per distinct (bolKill, gongshi, gongshiCN) in the order of
    // first appearance, drops every statistic and renumbers `idx` 1..n in
    // stored order. One transaction: on failure the table is as it was.
    void rebuild();

private:
    Database& db_;
    std::string name_;
};

}  // namespace varnet
