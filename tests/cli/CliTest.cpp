#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "support/CliFixture.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

class CliTest : public test::CliFixture {};

TEST_F(CliTest, GenerateImportListAndExportRoundTrip) {
    const std::string file = scratch.file("gen.txt");
    auto r = cli({"history", "generate", "--draws", "300", "--first-issue", "545001", "--seed", "7",
                  "--out", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string generated = test::readFile(file);
    auto same =
        cli({"history", "generate", "--draws", "300", "--first-issue", "545001", "--seed", "7"});
    EXPECT_EQ(same.out, generated) << "a seed makes the file reproducible";

    r = cli({"history", "import", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli({"history", "list", "--last", "2"});
    ASSERT_EQ(r.exitCode, 0);
    const auto listed = lines(r.out);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].substr(0, 8), "0545300 ");

    r = cli({"history", "export"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string exported = lines(r.out).at(0);
    EXPECT_NE(exported.find("历史号码/更新至545300期历史号码.txt"), std::string::npos) << exported;
    EXPECT_EQ(test::readFile(exported), generated) << "export writes back the same text";
}

// A write cut short (the disk fills: here a file-size limit) keeps the old
// file as it was and leaves nothing beside it.
TEST_F(CliTest, GenerateOutThatCannotBeWrittenKeepsTheOldFile) {
    const std::string file = scratch.file("gen.txt");
    ASSERT_EQ(cli({"history", "generate", "--draws", "20", "--seed", "1", "--out", file}).exitCode,
              0);
    const std::string old = test::readFile(file);
    const auto r = test::run({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\"",
                              std::string(VARNET_BIN_DIR) + "/varnet-cli", "history", "generate",
                              "--draws", "2000", "--seed", "2", "--out", file},
                             scratch.path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(file), old);
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(scratch.path()))
        if (e.path().filename().string().rfind("gen.txt", 0) == 0) ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(CliTest, AddFollowsTheManualEntryRules) {
    auto r = cli({"history", "add", "545550", "3", "7", "1", "0", "4", "2", "9", "5", "8", "6",
                  "--date", "2016-03-15"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0545550 2016-03-15 03 07 01 10 04 02 09 05 08 06 \n");
    // The same issue again, a repeated number, a bad date: refused, nothing stored.
    EXPECT_EQ(cli({"history", "add", "545550", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"})
                  .exitCode,
              1);
    EXPECT_EQ(cli({"history", "add", "545551", "1", "1", "3", "4", "5", "6", "7", "8", "9", "10"})
                  .exitCode,
              1);
    EXPECT_EQ(cli({"history", "add", "545551", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",
                   "--date", "2016-02-30"})
                  .exitCode,
              2);
    EXPECT_EQ(lines(cli({"history", "list"}).out).size(), 1u);

    r = cli({"params", "545550"});
    ASSERT_EQ(r.exitCode, 0);
    const auto params = lines(r.out);
    ASSERT_EQ(params.size(), 132u);
    EXPECT_EQ(params[0], "L1A\t第一码\t3");
    EXPECT_EQ(params[9], "L0A\t第十码\t6");
    EXPECT_EQ(params[124], "L5M\t前期号\t545550");
    EXPECT_EQ(params[129], "L0M\t年份\t2016");
    EXPECT_EQ(cli({"params", "1"}).exitCode, 1);
}

TEST_F(CliTest, DeleteCommands) {
    for (int issue = 545548; issue <= 545550; ++issue)
        ASSERT_EQ(cli({"history", "add", std::to_string(issue), "1", "2", "3", "4", "5", "6", "7",
                       "8", "9", "10"})
                      .exitCode,
                  0);
    EXPECT_EQ(cli({"history", "delete", "--down-to", "545549"}).out, "deleted 1 draws\n");
    EXPECT_EQ(cli({"history", "delete", "--last", "5"}).out, "deleted 2 draws\n");
    EXPECT_EQ(cli({"history", "delete", "--all"}).exitCode, 0);
    EXPECT_EQ(cli({"history", "delete"}).exitCode, 2);
    EXPECT_EQ(cli({"history", "delete", "--last", "x"}).exitCode, 2);
}

TEST_F(CliTest, DeleteDownToKeepsOnlyAStoredIssue) {
    std::string text;
    for (const char* issue : {"0000101", "0000102", "0000104", "0000105", "0000106"})
        text += std::string(issue) + " 2016-01-01 01 02 03 04 05 06 07 08 09 10\n";
    test::writeFile(scratch.file("h.txt"), text);
    ASSERT_EQ(cli({"history", "import", scratch.file("h.txt")}).exitCode, 0);
    const std::vector<int> all{101, 102, 104, 105, 106};
    struct Case {
        std::string issue;
        int exitCode;
        std::string out;
        std::vector<int> left;  // after this and the cases before
    };
    const std::vector<Case> cases{
        {"5", 1, "", all},                            // below every issue
        {"103", 1, "", all},                          // between, not stored
        {"107", 1, "", all},                          // above every issue
        {"abc", 2, "", all},                          // not a number
        {"106", 0, "deleted 0 draws\n", all},         // the greatest
        {"102", 0, "deleted 3 draws\n", {101, 102}},  // a stored one between
    };
    for (const auto& c : cases) {
        const auto r = cli({"history", "delete", "--down-to", c.issue});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.issue;
        EXPECT_EQ(r.out, c.out) << c.issue;
        if (c.exitCode != 0) {
            EXPECT_NE(r.err.find(c.issue), std::string::npos) << r.err;
        }
        std::vector<int> left;
        for (const auto& line : lines(cli({"history", "list"}).out))
            left.push_back(std::stoi(line.substr(0, 7)));
        EXPECT_EQ(left, c.left) << c.issue;
    }
}

TEST_F(CliTest, BadInputGetsAMessageAndAnExitCode) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"nonsense"},
             {"history"},
             {"history", "import"},
             {"history", "list", "--bogus", "1"},
             {"history", "generate", "--draws", "0"},
             {"history", "generate", "--draws", "10", "--first-issue", "9999995"}}) {
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("varnet-cli:"), std::string::npos);
    }
    const auto r = cli({"history", "import", scratch.file("missing.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("没有改变"), std::string::npos) << r.err;
}

TEST_F(CliTest, ImportNamesEveryLineItSkipsAndRefusesAMostlyUnreadableFile) {
    std::string draws, again;
    for (int i = 1; i <= 30; ++i)
        (i <= 12 ? again : draws) +=
            "00001" + std::to_string(10 + i) + " 2016-01-01 01 02 03 04 05 06 07 08 09 10\r";
    draws = again + draws;
    test::writeFile(scratch.file("cr.txt"), draws + again);  // CR line ends, 12 repeats at the end
    test::writeFile(scratch.file("junk.txt"),
                    "0000001 2016-01-01 01 02 03 04 05 06 07 08 09 10\nxx\nyy\n");
    struct Case {
        std::string file;
        int exitCode;
        std::string out, named;
    };
    const std::vector<Case> cases{
        {"cr.txt", 0, "imported 30 draws\n",
         "（第 31、32、33、34、35、36、37、38、39、40、41、42 行）"},  // all, not the first ten
        {"junk.txt", 1, "", "（第 2、3 行）"},
    };
    for (const auto& c : cases) {
        const auto r = cli({"history", "import", scratch.file(c.file)});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.file;
        EXPECT_EQ(r.out, c.out) << c.file;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(lines(cli({"history", "list"}).out).size(), 30u) << c.file;
    }
}

TEST_F(CliTest, RefusesAForeignDataFile) {
    test::writeFile(data.file("formula.mdb"), "Standard Jet DB, not ours");
    const auto r = cli({"history", "list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(test::readFile(data.file("formula.mdb")), "Standard Jet DB, not ours");
}

// Another program's SQLite file is refused by reads and writes alike and
// keeps every byte.
TEST_F(CliTest, AForeignSqliteFileIsLeftByteForByte) {
    const std::string file = data.file("formula.mdb"), history = scratch.file("h.txt");
    {
        Database other(file);
        other.exec(
            "CREATE TABLE Lishi (strQQH INTEGER, note TEXT); INSERT INTO Lishi VALUES (1, 'x')");
    }
    ASSERT_EQ(cli({"history", "generate", "--draws", "5", "--out", history}).exitCode, 0);
    const std::string before = test::readFile(file);
    for (const auto& args : std::vector<std::vector<std::string>>{{"history", "list"},
                                                                  {"history", "import", history}}) {
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 1) << args[1];
        EXPECT_NE(r.err.find("另一个程序的 SQLite 数据库"), std::string::npos) << r.err;
        EXPECT_EQ(test::readFile(file), before) << args[1];
    }
}

// Another process in the middle of a write: reading goes on, a change waits
// the configured time and then fails in Chinese, or completes once the file
// is free again.
TEST_F(CliTest, AHeldLockLetsReadsThroughAndMakesWritesWait) {
    const std::string history = scratch.file("h.txt");
    ASSERT_EQ(
        cli({"history", "generate", "--draws", "20", "--seed", "3", "--out", history}).exitCode, 0);
    ASSERT_EQ(cli({"history", "import", history}).exitCode, 0);
    const std::vector<std::string> add{"history", "add", "3000001", "1", "2", "3", "4",
                                       "5",       "6",   "7",       "8", "9", "10"};
    setenv("VARNET_WAIT_SECONDS", "1", 1);
    Database holder(data.file("formula.mdb"));
    holder.exec("BEGIN IMMEDIATE; DELETE FROM Gongshi1");

    const auto list = cli({"history", "list"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(lines(list.out).size(), 20u);

    const auto started = std::chrono::steady_clock::now();
    const auto r = cli(add);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("数据文件正被另一个程序使用，等待中…"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("超时；数据没有改变"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("database is locked"), std::string::npos) << r.err;
    holder.exec("ROLLBACK");
    EXPECT_EQ(lines(cli({"history", "list"}).out).size(), 20u);

    setenv("VARNET_WAIT_SECONDS", "30", 1);
    holder.exec("BEGIN IMMEDIATE; DELETE FROM Gongshi1");
    const std::vector<std::string> argv = cliArgs(add);
    const pid_t pid = test::spawn(argv, scratch.file("o"), scratch.file("e"));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    holder.exec("ROLLBACK");
    EXPECT_EQ(test::waitExit(pid), 0) << test::readFile(scratch.file("e"));
    unsetenv("VARNET_WAIT_SECONDS");
    EXPECT_EQ(lines(cli({"history", "list"}).out).size(), 21u);
}

// A process killed in the middle of an import leaves the old or the new
// history, never a mix or nothing.
TEST_F(CliTest, ImportKilledMidwayLeavesOldOrNewHistory) {
    const std::string oldFile = scratch.file("old.txt"), newFile = scratch.file("new.txt");
    ASSERT_EQ(cli({"history", "generate", "--draws", "50", "--first-issue", "1000001", "--seed",
                   "1", "--out", oldFile})
                  .exitCode,
              0);
    ASSERT_EQ(cli({"history", "generate", "--draws", "60000", "--first-issue", "2000001", "--seed",
                   "2", "--out", newFile})
                  .exitCode,
              0);
    const std::string bin = std::string(VARNET_BIN_DIR) + "/varnet-cli";
    int sawOld = 0, sawNew = 0;
    for (int delayMs : {5, 40, 120, 250, 400, 600, 900, 1400}) {
        ASSERT_EQ(cli({"history", "import", oldFile}).exitCode, 0);
        const pid_t pid =
            test::spawn({bin, "--data-dir", data.path(), "history", "import", newFile},
                        scratch.file("o"), scratch.file("e"));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(pid, SIGKILL);
        test::waitExit(pid);

        Database db = Schema::openDataFile(data.file("formula.mdb"));
        const History h = HistoryTable(db).load();
        if (h.size() == 50) {
            ++sawOld;
            EXPECT_EQ(h.issue(0), 1000001);
            EXPECT_EQ(h.issue(49), 1000050);
        } else {
            ASSERT_EQ(h.size(), 60000) << "killed after " << delayMs << " ms";
            ++sawNew;
            EXPECT_EQ(h.issue(0), 2000001);
            EXPECT_EQ(h.issue(59999), 2060000);
        }
    }
    EXPECT_GT(sawOld, 0) << "the kill should land inside the import at least once";
}

}  // namespace
}  // namespace varnet
