#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>

#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "support/DataFile.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

using test::TempDir;

std::vector<std::string> columns(Database& db, const std::string& table) {
    std::vector<std::string> out;
    auto st = db.prepare("SELECT name FROM pragma_table_info('" + table + "')");
    while (st.step()) out.push_back(st.text(0));
    return out;
}

// A formula table's columns: the required ones, then when each row entered.
std::vector<std::string> formulaTableColumns() {
    auto cols = Schema::formulaColumns();
    cols.insert(cols.end(), {Schema::kEnteredIssue, Schema::kEnteredDate});
    return cols;
}

TEST(DataFile, FreshFileHasEveryTable) {
    TempDir dir;
    Database db = Schema::openDataFile(dir.file("formula.mdb"));
    for (int p = 1; p <= 10; ++p)
        EXPECT_EQ(columns(db, "Gongshi" + std::to_string(p)), formulaTableColumns());
    const auto lishi = columns(db, "Lishi");
    ASSERT_EQ(lishi.size(), 1u + 132u + 5u);
    EXPECT_EQ(lishi[0], "strQQH");
    EXPECT_EQ(lishi[1], "L1A");
    EXPECT_EQ(lishi[10], "L0A");
    EXPECT_EQ(lishi[132], "L2N");
    EXPECT_EQ(lishi[133], "canshu");
    auto st = db.prepare("SELECT Num, ETrrcount, Errcount, Trrcount FROM Errarr ORDER BY Num");
    int n = 0;
    while (st.step()) {
        EXPECT_EQ(st.integer(0), ++n);
        EXPECT_EQ(st.integer(1) + st.integer(2) + st.integer(3), 0);
    }
    EXPECT_EQ(n, 10);
    EXPECT_TRUE(db.tableExists("ErrarrLei"));
    EXPECT_TRUE(db.tableExists("lishi")) << "names are case-insensitive";
}

TEST(DataFile, ReopeningKeepsDataAndAddsNothingTwice) {
    TempDir dir;
    {
        Database db = Schema::openDataFile(dir.file("formula.mdb"));
        HistoryTable(db).append(5, ParamValues{});
    }
    Database db = Schema::openDataFile(dir.file("formula.mdb"));
    EXPECT_EQ(HistoryTable(db).count(), 1);
    auto st = db.prepare("SELECT COUNT(*) FROM Errarr");
    st.step();
    EXPECT_EQ(st.integer(0), 10);
}

TEST(DataFile, ForeignFilesAreNeverOverwritten) {
    TempDir dir;
    const std::string path = dir.file("formula.mdb");
    // The start of an Access database, and a plain text file.
    for (const std::string& bytes : {std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20),
                                     std::string("just some text that is long enough")}) {
        test::writeFile(path, bytes);
        EXPECT_THROW(Schema::openDataFile(path), DbError);
        EXPECT_EQ(test::readFile(path), bytes);
    }
    // An SQLite file whose history table lacks columns is refused as well.
    {
        Database other(path + "2");
        other.exec("CREATE TABLE Lishi (strQQH INTEGER, L1A INTEGER)");
    }
    EXPECT_THROW(Schema::openDataFile(path + "2"), DbError);
}

long long pragma(Database& db, const char* name) {
    auto st = db.prepare(std::string("PRAGMA ") + name);
    st.step();
    return st.integer(0);
}

// Another program's SQLite file named formula.mdb is refused before anything
// is written, and stays as it was to the byte.
TEST(DataFile, ForeignSqliteFilesAreRefusedUntouched) {
    TempDir dir;
    const struct {
        const char* what;
        const char* sql;
    } cases[] = {
        {"its own tables", "CREATE TABLE users (name TEXT); INSERT INTO users VALUES ('a')"},
        {"another Lishi", "CREATE TABLE Lishi (strQQH INTEGER, note TEXT)"},
        {"our tables beside its own",
         "CREATE TABLE Errarr (Num INTEGER); CREATE TABLE log (t TEXT)"},
        {"another program's mark", "PRAGMA application_id = 1234; CREATE TABLE t (x)"},
        {"nothing but its header", "PRAGMA user_version = 7"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(std::string(c.what) + ".mdb");
        {
            Database other(path);
            other.exec(c.sql);
        }
        const std::string before = test::readFile(path);
        EXPECT_THROW(Schema::openDataFile(path), DbError) << c.what;
        EXPECT_EQ(test::readFile(path), before) << c.what;
    }
    // Ours from a newer version: refused as well rather than half understood.
    const std::string newer = dir.file("newer.mdb");
    {
        Database db = Schema::openDataFile(newer);
        db.exec("PRAGMA user_version = 99");
    }
    EXPECT_THROW(Schema::openDataFile(newer), DbError);
}

// A file written before the mark existed opens, is not changed by reading,
// and gets the mark (and any table it lacks) with its first write.
TEST(DataFile, AnUnmarkedFileOfOursIsMarkedAtItsFirstWrite) {
    TempDir dir;
    const std::string path = dir.file("formula.mdb");
    {
        Database old(path);
        Schema::ensureTables(old);
        old.exec("DROP TABLE ErrarrLei");
        HistoryTable(old).append(1, ParamValues{});
    }
    const std::string before = test::readFile(path);
    {
        Database db = Schema::openDataFile(path);
        EXPECT_EQ(HistoryTable(db).count(), 1);
        EXPECT_EQ(pragma(db, "application_id"), 0);
    }
    EXPECT_EQ(test::readFile(path), before) << "reading wrote to the file";
    {
        Database db = Schema::openDataFile(path);
        Transaction tx(db);
        HistoryTable(db).append(2, ParamValues{});
        tx.commit();
    }
    Database db = Schema::openDataFile(path);
    EXPECT_EQ(pragma(db, "application_id"), Schema::kApplicationId);
    EXPECT_EQ(pragma(db, "user_version"), Schema::kSchemaVersion);
    EXPECT_TRUE(db.tableExists("ErrarrLei"));
    EXPECT_EQ(HistoryTable(db).count(), 2);
    EXPECT_FALSE(db.hasPendingFirstWrite());
}

TEST(DataFile, AnEmptyFileIsTakenAsNew) {
    TempDir dir;
    test::writeFile(dir.file("formula.mdb"), "");
    Database db = Schema::openDataFile(dir.file("formula.mdb"));
    EXPECT_TRUE(db.tableExists("Gongshi10"));
}

TEST(Transactions, RollBackUnlessCommitted) {
    TempDir dir;
    Database db = Schema::openDataFile(dir.file("formula.mdb"));
    try {
        Transaction tx(db);
        HistoryTable(db).append(1, ParamValues{});
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(HistoryTable(db).count(), 0);
    {
        Transaction tx(db);
        HistoryTable(db).append(1, ParamValues{});
        tx.commit();
    }
    EXPECT_EQ(HistoryTable(db).count(), 1);
}

class FormulaRebuild : public ::testing::Test, protected test::DataFile {
  protected:
    void add(bool kill, const std::string& code, const std::string& cn, double rate) {
        auto st = db.prepare(
            "INSERT INTO Gongshi3 (bolKill, gongshi, gongshiCN, idx, sglGsRate, intGsErrCon) "
            "VALUES (?1, ?2, ?3, 99, ?4, 7)");
        st.bind(1, kill ? 1 : 0).bind(2, code).bind(3, cn).bind(4, rate);
        st.run();
    }
};

TEST_F(FormulaRebuild, KeepsOneRowPerTripleInStoredOrderAndRenumbers) {
    add(true, "L1A+L2B", "第一码+第二大小", 0.5);
    add(true, "L3C", "第三单双", 0.1);
    add(true, "L1A+L2B", "第一码+第二大小", 0.9);  // differs only in statistics
    add(false, "L3C", "第三单双", 0.1);            // same code, other kind: stays
    FormulaTable table(db, 3);
    table.rebuild();
    EXPECT_EQ(columns(db, "Gongshi3"), formulaTableColumns());
    auto st = db.prepare(
        "SELECT idx, bolKill, gongshi, sglGsRate, intGsErrCon FROM Gongshi3 ORDER BY rowid");
    std::vector<std::pair<int, std::string>> rows;
    while (st.step()) {
        rows.emplace_back(st.integer(0), std::to_string(st.integer(1)) + st.text(2));
        EXPECT_TRUE(st.isNull(3));
        EXPECT_TRUE(st.isNull(4));
    }
    const std::vector<std::pair<int, std::string>> expected{
        {1, "1L1A+L2B"}, {2, "1L3C"}, {3, "0L3C"}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(table.count(true), 2);
    EXPECT_EQ(table.count(false), 1);
    EXPECT_FALSE(db.tableExists("Tmp"));
}

TEST_F(FormulaRebuild, LeftOverWorkTableDoesNotStopIt) {
    db.exec("CREATE TABLE Tmp (x INTEGER)");
    add(true, "L1A", "第一码", 0);
    FormulaTable(db, 3).rebuild();
    EXPECT_EQ(FormulaTable(db, 3).count(), 1);
    EXPECT_FALSE(db.tableExists("Tmp"));
}

TEST(Compaction, ShrinksTheFileAndKeepsTheRest) {
    TempDir dir;
    const std::string path = dir.file("formula.mdb");
    Database db = Schema::openDataFile(path);
    {
        Transaction tx(db);
        for (int i = 1; i <= 3000; ++i) HistoryTable(db).append(i, ParamValues{});
        tx.commit();
    }
    const auto full = std::filesystem::file_size(path);
    HistoryTable(db).deleteLastN(2990);
    CompactDb(db);
    EXPECT_LT(std::filesystem::file_size(path), full / 2);
    EXPECT_EQ(HistoryTable(db).count(), 10);
    EXPECT_EQ(HistoryTable(db).load().issue(9), 10);
}

// Values of every width the compact columns use, the wide ones only after
// many narrow rows, stored out of issue order with an issue twice: the load
// gives them back exactly in issue order (ties in stored order), and one draw
// read alone equals its loaded row.
TEST(HistoryStore, LoadsEveryValueExactlyAndOneRowAlike) {
    const std::int32_t values[] = {0,      1,     -1,     127,       -128,      128,  -129, 32767,
                                   -32768, 32768, -32769, INT32_MAX, INT32_MIN, 1024, 1000};
    const int narrow = 3000;  // rows 0..2999: issues 100.. with small values
    const std::int32_t issues[] = {30, 10, 20, 10, 5000};
    TempDir dir;
    Database db = Schema::openDataFile(dir.file("formula.mdb"));
    std::vector<std::pair<std::int32_t, ParamValues>> stored;
    for (int i = 0; i < narrow + 5; ++i) {
        ParamValues v{};
        for (int k = 0; k < kParamCount; ++k)
            v[k] = i < narrow || k % 3 == 0 ? (i + k) % 100 : values[(k + i * 7) % 15];
        stored.emplace_back(i < narrow ? 100 + i : issues[i - narrow], v);
    }
    {
        Transaction tx(db);
        for (const auto& [issue, v] : stored) HistoryTable(db).append(issue, v);
        tx.commit();
    }
    auto expected = stored;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const History h = HistoryTable(db).load();
    ASSERT_EQ(h.size(), narrow + 5);
    std::vector<double> asDoubles(h.size());
    for (int k = 1; k <= kParamCount; ++k) {
        h.column(k).load(0, h.size(), asDoubles.data());
        for (int r = 0; r < h.size(); ++r) {
            ASSERT_EQ(h.issue(r), expected[r].first) << r;
            ASSERT_EQ(h.param(r, k), expected[r].second[k - 1]) << r << ' ' << k;
            ASSERT_EQ(asDoubles[r], expected[r].second[k - 1]) << r << ' ' << k;
        }
    }
    for (const std::int32_t issue : issues)
        EXPECT_EQ(HistoryTable(db).paramsOf(issue), h.params(h.findIssue(issue))) << issue;
    EXPECT_EQ(HistoryTable(db).paramsOf(10), stored[narrow + 3].second);
    EXPECT_FALSE(HistoryTable(db).paramsOf(99));
}

void expectSameHistory(const History& a, const History& b, const std::string& what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    ASSERT_EQ(a.issues(), b.issues()) << what;
    for (int k = 1; k <= kParamCount; ++k)
        for (int r = 0; r < a.size(); ++r)
            ASSERT_EQ(a.param(r, k), b.param(r, k)) << what << ' ' << r << ' ' << k;
}

// The import keeps a copy of the loaded history beside the table; appends
// after it leave it standing, any change of a row it covers drops it. After
// each change of the table, by this program or by another writer (even one
// without the triggers), the load equals a plain decode of the rows.
TEST(HistoryStore, TheStoredCopyIsUsedOnlyWhileItIsTheTables) {
    TempDir dir;
    const std::string path = dir.file("formula.mdb");
    const History source = test::randomHistory(400, 3);
    std::vector<Draw> draws;
    for (int i = 0; i < source.size(); ++i) draws.push_back(source.draw(i));
    std::swap(draws[10], draws[300]);                    // out of issue order,
    draws[20].issue = draws[21].issue;                   // an issue twice,
    draws[7].numbers = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};  // and wider columns below
    const auto import = [&] {
        Database db = Schema::openDataFile(path);
        Transaction tx(db);
        HistoryTable(db).replaceDraws(draws);
        tx.commit();
    };
    const auto copyRows = [](Database& db) {
        auto st = db.prepare("SELECT COUNT(*) FROM LishiCopy");
        st.step();
        return st.integer(0);
    };
    {
        import();
        Database db = Schema::openDataFile(path);
        EXPECT_EQ(copyRows(db), kParamCount + 1);
        HistoryTable t(db);
        const History plain = t.loadRows();
        ASSERT_EQ(plain.size(), 400);
        expectSameHistory(t.load(), plain, "after the import");
        // What the table holds, and so what the copy must hold.
        for (int r = 1; r < plain.size(); ++r) ASSERT_LE(plain.issue(r - 1), plain.issue(r));
    }
    const auto foreign = [&](const char* sql, bool triggersOff = false) {
        return [=](Database&) {
            Database other(path);
            if (triggersOff)
                sqlite3_db_config(other.handle(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
            other.exec(sql);
        };
    };
    std::int32_t top = 0;
    for (const Draw& d : draws) top = std::max(top, d.issue);
    // Draws after the last, as the online update and the manual entry add them.
    const auto appendNext = [&](int n) {
        return [=](Database& db) {
            std::vector<Draw> more;
            for (int i = 1; i <= n; ++i) {
                Draw d = draws[i];
                d.issue = top + i;
                more.push_back(d);
            }
            HistoryTable(db).appendDraws(more);
        };
    };
    const auto both = [](std::function<void(Database&)> a, std::function<void(Database&)> b) {
        return [=](Database& db) {
            a(db);
            b(db);
        };
    };
    struct Change {
        std::string what;
        std::function<void(Database&)> change;
        bool copyStands;  // appends after the rows it covers leave it
    };
    const std::vector<Change> changes = {
        {"foreign update", foreign("UPDATE Lishi SET L1A = 77 WHERE rowid = 5"), false},
        {"foreign insert, lowest issue", foreign("INSERT INTO Lishi (strQQH, L1A) VALUES (1, 3)"),
         true},
        {"foreign delete", foreign("DELETE FROM Lishi WHERE rowid = 9"), false},
        {"trigger dropped",
         foreign("DROP TRIGGER LishiCopyAfterUpdate; UPDATE Lishi SET L1A = 77 WHERE rowid = 5"),
         true},
        {"delete, triggers off", foreign("DELETE FROM Lishi WHERE rowid = 400", true), true},
        {"insert, triggers off", foreign("INSERT INTO Lishi (strQQH) VALUES (2)", true), true},
        {"our append, lower issue", [](Database& db) { HistoryTable(db).append(5, ParamValues{}); },
         true},
        {"our append, the last issue again",
         [&](Database& db) { HistoryTable(db).append(top, ParamValues{}); }, true},
        {"our deletion", [](Database& db) { HistoryTable(db).deleteLastN(3); }, false},
        {"everything deleted", [](Database& db) { HistoryTable(db).Delrec(); }, false},
        {"appended", appendNext(3), true},
        {"appended, then the last deleted",
         both(appendNext(3), [](Database& db) { HistoryTable(db).deleteLast(); }), true},
        {"appended, then all appended deleted",
         both(appendNext(3), [](Database& db) { HistoryTable(db).deleteLastN(3); }), true},
        {"appended, then one too many deleted",
         both(appendNext(3), [](Database& db) { HistoryTable(db).deleteLastN(4); }), false},
        {"appended, then a covered row deleted with triggers off",
         both(appendNext(1), foreign("DELETE FROM Lishi WHERE rowid = 9", true)), true},
        {"an appended row moved among the covered",
         both(appendNext(1), foreign("UPDATE Lishi SET rowid = 0 WHERE rowid = 401")), false},
        {"a covered row deleted unseen, then put back",
         both(foreign("DELETE FROM Lishi WHERE rowid = 9", true),
              foreign("INSERT INTO Lishi (rowid, strQQH) VALUES (9, 3)")),
         false},
    };
    for (const auto& [what, change, copyStands] : changes) {
        import();
        {
            Database db = Schema::openDataFile(path);
            change(db);
        }
        Database db = Schema::openDataFile(path);
        EXPECT_EQ(copyRows(db), copyStands ? kParamCount + 1 : 0) << what;
        HistoryTable t(db);
        const History plain = t.loadRows();
        expectSameHistory(t.load(), plain, what);
        if (what == "everything deleted") {
            EXPECT_EQ(plain.size(), 0);
            EXPECT_TRUE(HistoryTable::hasCopy(db)) << "the triggers stand again";
        }
    }
}

}  // namespace
}  // namespace varnet
