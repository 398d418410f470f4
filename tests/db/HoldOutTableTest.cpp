#include <gtest/gtest.h>

#include "db/Database.h"
#include "db/HoldOutTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

// A file is left byte for byte by opening and reading summaries; the first
// summary stored makes the table in its own write, and is read back as
// stored. Two programs with the file open (the window and the CLI) store
// side by side, whichever makes the table.
TEST(HoldOutStore, TableMadeAtTheFirstSummaryAndReadBack) {
    test::TempDir dir;
    const std::string path = dir.file(Schema::kFileName);
    { Schema::openDataFile(path); }
    const std::string before = test::readFile(path);
    {
        Database db = Schema::openDataFile(path);
        EXPECT_TRUE(HoldOutTable(db).load().empty());
        EXPECT_FALSE(db.tableExists(HoldOutTable::kTable));
    }
    EXPECT_EQ(test::readFile(path), before) << "opening wrote to the file";

    Database window = Schema::openDataFile(path);
    Database cli = Schema::openDataFile(path);
    EXPECT_TRUE(HoldOutTable(window).load().empty());  // its view of the file, before the table
    HoldOutRecord a;
    a.at = "2026-01-02 03:04:05";
    a.position = 7;
    a.kill = false;
    a.heldOut = 250;
    a.firstIssue = 20260101001;
    a.lastIssue = 20260101250;
    a.tried = 1000000;
    a.finds = 812;
    a.chanceFinds = 790;
    a.mean = 10.25;
    a.standardError = 0.875;
    a.pValue = 3.5e-7;
    HoldOutRecord b;  // no find scored, time left to the store
    b.heldOut = 40;
    HoldOutTable(cli).store(a);
    HoldOutTable(window).store(b);

    const auto stored = HoldOutTable(window).load();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], a);
    EXPECT_EQ(stored[1].at.size(), 19u) << stored[1].at;
    b.at = stored[1].at;
    EXPECT_EQ(stored[1], b);
    EXPECT_EQ(HoldOutTable(cli).load(), stored);
}

}  // namespace
}  // namespace varnet
