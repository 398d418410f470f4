#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <set>

#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "formula/FormulaCommands.h"
#include "search/SchemeSearch.h"
#include "support/DataFile.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

int today() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

constexpr const char* kCode = "L3A+L5B+7";
constexpr const char* kChinese = "第三码+第五大小+7=下期杀第一";

void insert(Database& db, const std::string& code, std::optional<FormulaOrigin> entered) {
    auto st = db.prepare(
        "INSERT INTO Gongshi1 (bolKill, gongshi, gongshiCN, idx, EnteredIssue, EnteredDate)"
        " VALUES (1, ?1, ?2, 1, ?3, ?4)");
    st.bind(1, code).bind(2, code == kCode ? kChinese : code);
    if (entered)
        st.bind(3, entered->issue).bind(4, entered->date);
    else
        st.bindNull(3).bindNull(4);
    st.run();
}

std::string text(const std::optional<FormulaOrigin>& o) { return FormulaTable::originText(o); }

// Every way a formula enters a table records the greatest stored issue and
// the day; rows already there keep their entry, and of copies of one formula
// that a rewrite merges the earliest entry stays (an unknown one may be the
// earliest, so it wins).
TEST(FormulaOrigin, EveryInsertRecordsItsEntryAndCopiesKeepTheEarliest) {
    const FormulaOrigin old{7, 20200101}, later{20, 20250101};
    const std::string now = text(FormulaOrigin{1029, today()});
    const std::string code = kCode, added = "L4A+1";
    using Rows = std::multiset<std::string>;
    const Rows merged{code + " " + text(old), "L2A unknown", added + " " + now};
    const std::string line = std::string(kChinese) + "\r\nL4A+1=下期杀第一\r\n";
    struct Case {
        const char* what;
        std::function<void(Database&, const std::string&)> insert;
        Rows want;
    };
    const Case cases[] = {
        {"entry",
         [](Database& db, const std::string&) {
             ASSERT_TRUE(FormulaCommands(db).add(kCode, 1, true).ok);
         },
         {code + " " + text(later), code + " " + text(old), "L2A unknown", "L2A " + text(old),
          code + " " + now}},
        {"text import rewriting the table",
         [&](Database& db, const std::string& dir) {
             test::writeFile(dir + "/f.txt", line);
             ASSERT_TRUE(FormulaCommands(db).importFile(dir + "/f.txt", dir, 2, true).ok);
         },
         // The text's line is stored in its own Chinese form: another row.
         {code + " " + text(old), "L2A unknown", added + " " + now, code + " " + now}},
        {"search save, appended",
         [](Database& db, const std::string&) {
             ASSERT_TRUE(
                 saveBatch(db, {{1, true, "L4A+1", "x"}, {1, true, kCode, kChinese}}, false).ok);
         },
         merged},
        {"search save, replacing",
         [](Database& db, const std::string&) {
             ASSERT_TRUE(saveBatch(db, {{1, true, "L4A+1", "x"}}, true).ok);
         },
         {added + " " + now}},
        {"online update",
         [&](Database& db, const std::string&) {
             ASSERT_TRUE(FormulaCommands(db).replaceAllWith(planFormulaText(line, 1, true)).ok);
         },
         {code + " " + now, added + " " + now}},
        {"rebuild",
         [](Database& db, const std::string&) { FormulaTable(db, 1).rebuild(); },
         {code + " " + text(old), "L2A unknown"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::DataFile f;
        f.storeRandomHistory(30, 1);  // issues 1000..1029
        insert(f.db, kCode, later);   // two copies, the earlier entry second
        insert(f.db, kCode, old);
        insert(f.db, "L2A", std::nullopt);
        insert(f.db, "L2A", old);
        c.insert(f.db, f.dir.path());
        Rows got;
        for (const FormulaRow& r : FormulaTable(f.db, 1).rows())
            got.insert(r.code + " " + text(r.entered));
        EXPECT_EQ(got, c.want);
    }
}

// A file from before entries were recorded opens and reads unchanged, its
// formulas of unknown entry; its first write adds the columns.
TEST(FormulaOrigin, AnOldFileGetsTheColumnsAtItsFirstWriteNotOnOpen) {
    test::TempDir dir;
    const std::string path = dir.file(Schema::kFileName);
    {
        Database old = Schema::openDataFile(path);
        for (int p = 1; p <= 10; ++p) {
            const std::string t = Schema::formulaTable(p);
            old.exec("DROP TABLE " + t);
            old.exec("CREATE TABLE " + t +
                     " (bolKill BOOLEAN, gongshi TEXT, gongshiCN TEXT, idx INTEGER, sglGsRate"
                     " REAL, intGsErrCon INTEGER, intGsTrueCon INTEGER, intGsErrLst INTEGER,"
                     " intGsTrueLst INTEGER)");
        }
        old.exec(
            "INSERT INTO Gongshi2 (bolKill, gongshi, gongshiCN, idx) VALUES (1, 'L1A', 'a', 1)");
        HistoryTable(old).append(500, ParamValues{});
    }
    const std::string before = test::readFile(path);
    {
        Database db = Schema::openDataFile(path);
        EXPECT_FALSE(Schema::hasOriginColumns(db, "Gongshi2"));
        const auto rows = FormulaTable(db, 2).rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_FALSE(rows[0].entered);
        EXPECT_TRUE(db.hasPendingFirstWrite());
    }
    EXPECT_EQ(test::readFile(path), before) << "opening or reading wrote to the file";
    {
        Database db = Schema::openDataFile(path);
        FormulaTable(db, 2).append(true, "L2A", "b");
    }
    Database db = Schema::openDataFile(path);
    EXPECT_FALSE(db.hasPendingFirstWrite());
    for (int p = 1; p <= 10; ++p)
        EXPECT_TRUE(Schema::hasOriginColumns(db, Schema::formulaTable(p)));
    const auto rows = FormulaTable(db, 2).rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(text(rows[0].entered), "unknown");
    EXPECT_EQ(text(rows[1].entered), text(FormulaOrigin{500, today()}));
}

}  // namespace
}  // namespace varnet
