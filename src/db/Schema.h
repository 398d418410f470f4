#pragma once

#include <string>
#include <vector>

namespace varnet {

class Database;

// The tables of formula.mdb: the draw history `Lishi`, the formula tables
// `Gongshi1`..`Gongshi10`, `Errarr` and `ErrarrLei`.
class Schema {
  public:
    static constexpr const char* kFileName = "formula.mdb";
    // The mark in the file's header that says it is ours ("VRNT"), and the
    // version of its tables.
    static constexpr int kApplicationId = 0x56524E54;
    static constexpr int kSchemaVersion = 1;

    // Opens the data file at `path`, creating it with every table and the
    // mark when it is missing (or empty). A file of ours without the mark, or
    // lacking tables, gets them in its first write transaction, never at
    // open, so only reading it changes nothing. A file that is not an SQLite
    // database, another program's SQLite file, or one whose tables lack
    // columns is never touched: DbError with a message for the user.
    static Database openDataFile(const std::string& path);

    // Creates whatever table is missing. Call inside or outside a transaction.
    static void ensureTables(Database& db);

    // The formula table name of position 1..10: "Gongshi1" .. "Gongshi10".
    static std::string formulaTable(int position);

    // CREATE TABLE statement of a formula table with the columns in order.
    static std::string formulaTableSql(const std::string& table);

    // Columns a formula table must have, in the order a rebuild leaves them.
    static const std::vector<std::string>& formulaColumns();

    // The nullable columns that record when each formula entered its table
    // (FormulaOrigin): added to older files at their first write.
    static constexpr const char* kEnteredIssue = "EnteredIssue";
    static constexpr const char* kEnteredDate = "EnteredDate";
    static bool hasOriginColumns(Database& db, const std::string& table);
};

}  // namespace varnet
