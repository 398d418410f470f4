#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "formula/FormulaCommands.h"
#include "history/HistoryCommands.h"
#include "support/CliFixture.h"
#include "support/DayPage.h"
#include "support/HttpServer.h"
#include "support/SettingsFolder.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

namespace fs = std::filesystem;
using test::HttpServer;
using test::pageDraws;

// The two update commands of varnet-cli against a site on 127.0.0.1. The
// child's settings live in a temp folder.
class UpdateCliTest : public test::CliFixture {
  protected:
    void SetUp() override {
        Database db = Schema::openDataFile(data.file("formula.mdb"));
        for (int issue : {101, 102, 103, 104}) {
            Draw d;
            d.issue = issue;
            d.numbers = test::pageDraw(issue).numbers;
            d.year = 2024, d.month = 5, d.day = 9;
            ASSERT_TRUE(HistoryCommands(db).addDraw(d).ok);
        }
        ASSERT_TRUE(FormulaCommands(db).add("第一码+1=下期杀第一", 1, true).ok);
        site.set("/draw-pk10-20240509.html",
                 HttpServer::ok(test::dayPageHtml(pageDraws({103, 104, 105}))));
        site.set("/draw-pk10-20240510.html",
                 HttpServer::ok(test::dayPageHtml(pageDraws({106, 107}))));
        std::string file;
        for (int i = 0; i < 60; ++i) file += "第二码+" + std::to_string(i) + "=下期杀第二\r\n";
        site.set("/ZO10DI.txt", HttpServer::ok(file));
    }
    std::vector<std::string> historyUpdate() {
        return {"history", "update",     "--site", server.url(),
                "--today", "2024-05-10", "--days", "3"};
    }
    std::vector<std::string> formulaUpdate() {
        return {"formula", "update", "--url", server.url("/ZO10DI.txt")};
    }

    // The stored issues and the formulas of the first two tables.
    std::string state() {
        Database db = Schema::openDataFile(data.file("formula.mdb"));
        std::string s;
        const History h = HistoryTable(db).load();
        for (int issue : h.issues()) s += std::to_string(issue) + " ";
        for (int p : {1, 2})
            for (const auto& r : FormulaTable(db, p).rows())
                s += "|" + std::to_string(p) + r.chinese;
        return s;
    }

    test::SettingsFolder config;
    test::Site site;
    HttpServer server{[this](const std::string& p) { return site(p); }};
};

TEST_F(UpdateCliTest, UpdatesReportWhatTheyAddedOrWhyNot) {
    auto r = cli(historyUpdate());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "0 stored draws older than the 3-day window\n"
              "2024-05-09\tread\t3 draws\n2024-05-10\tread\t2 draws\n"
              "added 3 draws, days read 2, days failed 0, rows dropped 0\n");
    r = cli({"history", "list", "--last", "1"});
    EXPECT_EQ(r.out.substr(0, 18), "0000107 2024-05-10");

    r = cli(formulaUpdate());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "stored 60 formulas, skipped 0 lines, mode kill\nposition 2\tkill 60\tkeep 0\n" +
                  data.file("ZO10DI.txt") + "\n");

    // Without an address the command names the setting; the settings' own
    // address is used when there is one.
    r = cli({"history", "update"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("HistorySiteUrl"), std::string::npos) << r.err;
    r = cli({"formula", "update"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("FormulaFileUrl"), std::string::npos) << r.err;
    fs::create_directories(config.file("ZO10DI"));
    test::writeFile(config.file("ZO10DI/ZO10DI.ini"),
                    "[IniSetting]\nHistorySiteUrl=" + HttpServer::downUrl() + "\nIniSerchDay=2\n");
    const std::string before = state();
    r = cli({"history", "update", "--today", "2024-05-10"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("2024-05-10\tfailed\t无法连接服务器"), std::string::npos) << r.out;
    EXPECT_EQ(state(), before);
    EXPECT_EQ(cli({"history", "update", "--days", "11"}).exitCode, 2);
    EXPECT_EQ(cli({"history", "update", "--today", "2024-02-30"}).exitCode, 2);
}

// 3,000 draws over 17 days, days 3: kept unless --replace-old, and replaced
// only when every page is a day page.
TEST_F(UpdateCliTest, OldDrawsStayUnlessReplacingIsAskedAndEveryPageCame) {
    {
        Database db = Schema::openDataFile(data.file("formula.mdb"));
        HistoryTable(db).Delrec();
        test::storeSpreadHistory(db, 3000, 17,
                                 std::chrono::sys_days{std::chrono::year{2024} / 5 / 10});
    }
    site.set("/draw-pk10-20240508.html", HttpServer::ok(test::dayPageHtml(pageDraws({3000}))));
    site.set("/draw-pk10-20240509.html", HttpServer::ok(test::dayPageHtml(pageDraws({3001}))));
    site.set("/draw-pk10-20240510.html", HttpServer::ok("<html><body>出错了</body></html>"));
    const auto count = [this] {
        Database db = Schema::openDataFile(data.file("formula.mdb"));
        return HistoryTable(db).count();
    };
    auto r = cli(historyUpdate());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "2471 stored draws older than the 3-day window: kept (--replace-old replaces the "
              "history)");
    EXPECT_EQ(count(), 3001);

    auto replace = historyUpdate();
    replace.push_back("--replace-old");
    r = cli(replace);
    EXPECT_EQ(count(), 3001) << "a page without the draw table: nothing deleted";
    EXPECT_NE(r.err.find("2024-05-10"), std::string::npos) << r.err;

    site.set("/draw-pk10-20240510.html", HttpServer::ok(test::dayPageHtml(pageDraws({3002}))));
    r = cli(replace);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(count(), 3);
    EXPECT_NE(r.out.find("3001 stored draws outside the days window deleted"), std::string::npos)
        << r.out;
}

// Killed at any moment, an update leaves the old data or the new, never a
// mix and never less.
TEST_F(UpdateCliTest, KillingAnUpdateLeavesOldOrNewData) {
    for (const std::string path :
         {"/draw-pk10-20240509.html", "/draw-pk10-20240510.html", "/ZO10DI.txt"}) {
        auto r = site(path);
        r.delayMs = 60;
        site.set(path, r);
    }
    test::writeFile(data.file("ZO10DI.txt"), "old");
    const std::string base = scratch.file("base.mdb");
    fs::copy_file(data.file("formula.mdb"), base);
    const auto restore = [&] {
        for (const char* extra : {"-journal", "-wal", "-shm"})
            fs::remove(data.file(std::string("formula.mdb") + extra));
        fs::copy_file(base, data.file("formula.mdb"), fs::copy_options::overwrite_existing);
    };
    const std::string old = state();
    ASSERT_EQ(cli(historyUpdate()).exitCode, 0);
    ASSERT_EQ(cli(formulaUpdate()).exitCode, 0);
    const std::string newFile = test::readFile(data.file("ZO10DI.txt"));
    const std::string both = state();
    restore();
    ASSERT_EQ(cli(historyUpdate()).exitCode, 0);
    const std::string newHistory = state();
    restore();
    ASSERT_EQ(cli(formulaUpdate()).exitCode, 0);
    const std::string newFormulas = state();

    std::mt19937 rng(7);
    for (int round = 0; round < 8; ++round) {
        restore();
        test::writeFile(data.file("ZO10DI.txt"), "old");
        const bool history = round % 2 == 0;
        const pid_t pid = test::spawn(cliArgs(history ? historyUpdate() : formulaUpdate()),
                                      scratch.file("out"), scratch.file("err"));
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 30 + rng() % 30));
        kill(pid, SIGKILL);
        test::waitExit(pid);
        const std::string now = state();
        EXPECT_TRUE(now == old || now == (history ? newHistory : newFormulas))
            << round << ": " << now;
        const std::string file = test::readFile(data.file("ZO10DI.txt"));
        EXPECT_TRUE(file == "old" || file == newFile) << round;
    }
    EXPECT_NE(both, old);
}

}  // namespace
}  // namespace varnet
