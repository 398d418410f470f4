#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "app/DataFolder.h"
#include "cli/Cli.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "formula/FormulaCommands.h"
#include "history/HistoryCommands.h"
#include "history/HistoryText.h"
#include "search/SchemeSearch.h"
#include "support/FailingVfs.h"
#include "support/Process.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

// Every write and sync of three commands that change the data file fails in
// turn, and so does the disk filling up from each write on. Each failure
// must end in a message while the file keeps its old data, whole; the files
// beside it and the settings stay as they were.
namespace varnet {
namespace {

namespace fs = std::filesystem;
using test::FailingVfs;
using Fault = FailingVfs::Fault;

// Every row of every table, hashed (FNV-1a over the values and their types).
std::uint64_t digest(Database& db) {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const std::string& s) {
        for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xff) * 1099511628211ull;
    };
    std::vector<std::string> tables;
    for (auto st = db.prepare("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
         st.step();)
        tables.push_back(st.text(0));
    for (const auto& t : tables) {
        mix(t);
        auto st = db.prepare("SELECT * FROM \"" + t + "\" ORDER BY rowid");
        while (st.step())
            for (int c = 0; c < st.columnCount(); ++c)
                mix(st.isNull(c) ? std::string("\x01") : st.text(c));
    }
    return h;
}

std::string integrity(Database& db) {
    try {
        auto st = db.prepare("PRAGMA integrity_check");
        return st.step() ? st.text(0) : "";
    } catch (const DbError& e) {
        return e.what();
    }
}

// The files below `root` other than the data file and its journal.
std::map<std::string, std::string> otherFiles(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || name.rfind(Schema::kFileName, 0) == 0) continue;
        files[fs::relative(e.path(), root).string()] = test::readFile(e.path().string());
    }
    return files;
}

void copyTree(const std::string& from, const std::string& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

struct Outcome {
    bool ok = false;
    std::string message;
};

// A command against the data folder of `dir`: in-process through the logic
// (with the open connection) or through varnet-cli's own entry.
struct Command {
    const char* name;
    std::function<Outcome(Database&, const std::string& dir)> logic;
    std::function<std::vector<std::string>(const std::string& dir)> cli;
};

Outcome runCliIn(const std::vector<std::string>& args) {
    std::vector<std::string> all{"varnet-cli"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    std::ostringstream out, err;
    const int rc = runCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {rc == 0, err.str()};
}

class IoFaultTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        FailingVfs::install();
        // Thousands of trials each sync the file several times: on a memory
        // file system when there is one.
        if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
    }

    void SetUp() override {
        // The settings live beside the data, so a change to them shows.
        setenv("XDG_CONFIG_HOME", (root.path() + "/work/config").c_str(), 1);
        fs::create_directories(root.path() + "/base/config/ZO10DI");
        fs::create_directories(root.path() + "/base/data");
        test::writeFile(root.path() + "/base/config/ZO10DI/ZO10DI.ini", "[IniSetting]\nJSQS=1\n");
        {
            Database db = Schema::openDataFile(dataFile("base"));
            test::storeHistory(db, test::randomHistory(150, 1));
            std::string text;
            for (int i = 0; i < 40; ++i)
                text += "第一码+第二码+" + std::to_string(i) + "=下期杀第" + (i % 2 ? "一" : "三") +
                        "\r\n";
            test::writeFile(root.file("old.txt"), text);
            FormulaCommands(db).importFile(root.file("old.txt"), root.path() + "/base/data", 1,
                                           true);
        }
        test::writeFile(root.file("draws.txt"),
                        HistoryText::format(test::randomHistory(120, 2, 5000)));
        std::string text;
        for (int i = 0; i < 60; ++i)
            text +=
                "第三码*第四码+" + std::to_string(i) + "=下期杀第" + (i % 3 ? "二" : "一") + "\r\n";
        text += "第三码+#7=下期杀第一\r\n";  // goes to the list of unrecognised lines
        test::writeFile(root.file("formulas.txt"), text);
    }

    std::string dataFile(const std::string& tree) const {
        return root.path() + "/" + tree + "/data/" + Schema::kFileName;
    }

    std::vector<Command> commands() const {
        const std::string draws = root.file("draws.txt"), formulas = root.file("formulas.txt");
        auto history = [draws](Database& db, const std::string&) {
            const auto r = HistoryCommands(db).importFile(draws, HistoryText::Carry{});
            return Outcome{r.ok, r.message};
        };
        auto formula = [formulas](Database& db, const std::string& dir) {
            const auto r = FormulaCommands(db).importFile(formulas, dir, 2, true);
            return Outcome{r.ok, r.message};
        };
        auto search = [](Database& db, const std::string&) {
            std::vector<SearchResult> batch;
            for (int i = 0; i < 90; ++i)
                batch.push_back({1 + i % 3, i % 2 == 0, "L1A+L2C*" + std::to_string(i),
                                 "第一码+第三码*" + std::to_string(i)});
            const auto r = saveBatch(db, batch, false);
            return Outcome{r.ok, r.message};
        };
        // Deletions compact the file afterwards; a failed compaction leaves
        // the deletion standing and says nothing.
        auto deleteDraws = [](Database& db, const std::string&) {
            const auto r = HistoryCommands(db).deleteDownTo(1000 + 100);
            return Outcome{r.ok, r.message};
        };
        auto deleteFormulas = [](Database& db, const std::string&) {
            const auto r = FormulaCommands(db).deleteFormulas(1, {2, 5, 9, 20});
            return Outcome{r.ok, r.message};
        };
        return {
            {"history import", history, {}},
            {"history delete", deleteDraws, {}},
            {"formula delete", deleteFormulas, {}},
            {"formula import", formula, {}},
            {"search save", search, {}},
            {"cli history import",
             {},
             [draws](const std::string& dir) {
                 return std::vector<std::string>{"--data-dir", dir, "history", "import", draws};
             }},
            {"cli formula import",
             {},
             [formulas](const std::string& dir) {
                 return std::vector<std::string>{"--data-dir", dir, "formula", "import", formulas};
             }},
        };
    }

    // Runs `c` on a fresh copy of the base data with `fault` armed at `n`.
    // Returns whether the fault struck.
    bool trial(const Command& c, Fault fault, int n, Outcome& o) {
        const std::string work = root.path() + "/work", dir = work + "/data";
        copyTree(root.path() + "/base", work);
        conn = Schema::openDataFile(dataFile("work"));
        // A page cache this small spills changed pages into the file before
        // the commit, as a large import does, so a fault can strike there.
        conn.exec("PRAGMA cache_size = 1");
        FailingVfs::arm(fault, n);
        if (c.logic) {
            o = c.logic(conn, dir);
        } else {
            conn.close();
            o = runCliIn(c.cli(dir));
        }
        FailingVfs::disarm();
        return FailingVfs::fired();
    }

    test::TempDir root;
    Database conn;  // the connection the last trial's command used
};

TEST_F(IoFaultTest, EveryFailedWriteOrSyncKeepsTheOldData) {
    const std::string work = root.path() + "/work", after = root.path() + "/after";
    std::uint64_t oldDigest = 0;
    {
        Database db = Schema::openDataFile(dataFile("base"));
        oldDigest = digest(db);
    }
    copyTree(root.path() + "/base", work);
    const auto oldFiles = otherFiles(work);

    struct FaultCase {
        Fault fault;
        const char* name;
        const char* says;  // what the message must tell the user
    };
    const FaultCase faults[] = {{Fault::Write, "write", "读写磁盘出错"},
                                {Fault::Sync, "sync", "读写磁盘出错"},
                                {Fault::Full, "full", "磁盘已满"}};
    for (const Command& c : commands()) {
        // The data the command leaves when nothing fails.
        Outcome o;
        ASSERT_FALSE(trial(c, Fault::None, 1, o));
        ASSERT_TRUE(o.ok) << c.name << ": " << o.message;
        std::uint64_t newDigest = 0;
        {
            Database db = Schema::openDataFile(dataFile("work"));
            newDigest = digest(db);
        }
        ASSERT_NE(newDigest, oldDigest) << c.name;

        for (const FaultCase& f : faults) {
            int trials = 0, kept = 0, done = 0, broken = 0;
            for (int n = 1; n < 5000; ++n) {
                const bool fired = trial(c, f.fault, n, o);
                ++trials;
                const auto files = otherFiles(work);
                bool good = true;
                // The data file copied alone, as a backup would take it while
                // the program goes on: whole without its journal.
                const std::string alone = root.file("alone.mdb");
                fs::copy_file(dataFile("work"), alone, fs::copy_options::overwrite_existing);
                {
                    Database db(alone);
                    const std::string check = integrity(db);
                    EXPECT_EQ(check, "ok") << c.name << ", " << f.name << " fault at " << n;
                    good &= check == "ok" &&
                            (digest(db) == newDigest || (!o.ok && digest(db) == oldDigest));
                }
                fs::remove(alone + "-journal");
                // What a restart right now would find: the files as they lie.
                copyTree(work, after);
                if (c.logic) {
                    // The program goes on with the same connection: it sees
                    // what the message said and can run the command again.
                    good &=
                        integrity(conn) == "ok" && digest(conn) == (o.ok ? newDigest : oldDigest);
                    if (!o.ok)
                        good &= c.logic(conn, work + "/data").ok && digest(conn) == newDigest;
                    conn.close();
                }
                std::uint64_t d = 0;
                {
                    Database db(dataFile("after"));
                    good &= integrity(db) == "ok";
                    d = digest(db);
                }
                // A journal may stay behind only when it never became one
                // (its header still blank): the file alone needs nothing of it.
                if (fs::exists(dataFile("after") + "-journal"))
                    good &= test::readFile(dataFile("after") + "-journal").substr(0, 8) ==
                            std::string(8, '\0');
                if (o.ok) {
                    good &= d == newDigest;
                    if (!fired) {
                        --trials;  // no fault this time: every point has been tried
                        ++done;
                        EXPECT_TRUE(good) << c.name;
                        break;
                    }
                } else {
                    good &= fired && d == oldDigest && files == oldFiles &&
                            o.message.find(f.says) != std::string::npos &&
                            o.message.find("没有改变") != std::string::npos;
                }
                if (good)
                    (o.ok ? done : kept)++;
                else
                    ++broken;
                EXPECT_TRUE(good) << c.name << ", " << f.name << " fault at " << n << ": "
                                  << o.message;
            }
            std::printf("%-20s %-6s failure points %4d, old data kept %4d, new %d, broken %d\n",
                        c.name, f.name, trials, kept, done, broken);
            std::fflush(stdout);
            EXPECT_GT(trials, 0);
            EXPECT_EQ(broken, 0);
        }
    }
}

// A data folder that cannot be written, as the VFS tells it: it opens for
// looking, with a note; every command says no and changes nothing. Without
// a data file there is nothing to look at, and nothing is made.
TEST_F(IoFaultTest, ReadOnlyFolderOpensForLookingAndEveryChangeIsRefused) {
    const std::string work = root.path() + "/work", dir = work + "/data";
    copyTree(root.path() + "/base", work);
    const auto oldFiles = otherFiles(work);
    std::uint64_t oldDigest = 0;
    {
        auto opened = DataFolder::open(dir);
        EXPECT_FALSE(opened.readOnly);
        oldDigest = digest(opened.db);
    }
    FailingVfs::arm(Fault::ReadOnly);
    {
        auto opened = DataFolder::open(dir);
        EXPECT_TRUE(opened.readOnly);
        EXPECT_NE(opened.note.find("只读"), std::string::npos) << opened.note;
        for (const Command& c : commands()) {
            const Outcome o = c.logic ? c.logic(opened.db, dir) : runCliIn(c.cli(dir));
            EXPECT_FALSE(o.ok) << c.name;
            EXPECT_NE(o.message.find("只读"), std::string::npos) << c.name << ": " << o.message;
            EXPECT_NE(o.message.find("没有改变"), std::string::npos) << c.name << ": " << o.message;
            EXPECT_EQ(digest(opened.db), oldDigest) << c.name;
        }
    }
    const std::string empty = root.path() + "/empty";
    fs::create_directories(empty);
    EXPECT_THROW(DataFolder::open(empty), DbError);
    FailingVfs::disarm();
    EXPECT_FALSE(fs::exists(empty + "/" + Schema::kFileName));
    EXPECT_EQ(otherFiles(work), oldFiles);
    Database db(dataFile("work"));
    EXPECT_EQ(integrity(db), "ok");
    EXPECT_EQ(digest(db), oldDigest);
}

// The same for real, as a user without write permission on a copy (the
// tests run as root, which writes anywhere): the window starts read-only
// and says so, varnet-cli lists but refuses an import, and a folder without
// a data file is refused at start-up.
TEST_F(IoFaultTest, ReadOnlyFolderOfAnotherUser) {
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and setpriv to act as an unprivileged user";
    const std::string ro = root.path() + "/ro", out = root.path() + "/out";
    copyTree(root.path() + "/base", ro);
    fs::remove_all(ro + "/data/公式文本");  // the start-up cannot make it now
    fs::create_directories(ro + "/empty");
    fs::create_directories(out + "/config");
    const auto oldFiles = otherFiles(ro);
    std::uint64_t oldDigest = 0;
    {
        Database db(dataFile("ro"));
        oldDigest = digest(db);
    }
    for (const auto& e : fs::recursive_directory_iterator(ro))
        fs::permissions(e.path(), e.is_directory() ? fs::perms(0555) : fs::perms(0444));
    fs::permissions(ro, fs::perms(0555));
    fs::permissions(root.path(), fs::perms(0755));
    fs::permissions(out, fs::perms(0777));
    fs::permissions(out + "/config", fs::perms(0777));
    // The checkout may lie where nobody cannot enter (a private home, a
    // mktemp folder): the programs run from a copy beside the data.
    const std::string bin = root.path() + "/bin";
    fs::create_directories(bin);
    for (const char* program : {"varnet", "varnet-cli"})
        fs::copy_file(std::string(VARNET_BIN_DIR) + "/" + program, bin + "/" + program);
    fs::permissions(bin, fs::perms(0755));

    auto asNobody = [&](std::vector<std::string> command) {
        std::vector<std::string> argv{"/usr/bin/timeout",
                                      "60",
                                      "/usr/bin/setpriv",
                                      "--reuid=nobody",
                                      "--regid=nogroup",
                                      "--clear-groups",
                                      "/usr/bin/env",
                                      "HOME=" + out,
                                      "XDG_CONFIG_HOME=" + out + "/config",
                                      "QT_QPA_PLATFORM=offscreen"};
        argv.insert(argv.end(), command.begin(), command.end());
        return test::run(argv, out);
    };
    // A temp folder below a private one (TMPDIR in a private home) keeps
    // nobody out whatever this test does: nothing to try then.
    for (const std::string& path : {bin + "/varnet", bin + "/varnet-cli", ro + "/data"})
        if (asNobody({"/usr/bin/test", "-r", path}).exitCode != 0)
            GTEST_SKIP() << "nobody cannot reach " << path << " (a parent folder is private)";
    auto as = [&](const std::string& program, std::vector<std::string> args) {
        args.insert(args.begin(), bin + "/" + program);
        return asNobody(std::move(args));
    };
    auto r = as("varnet", {"--data-dir", ro + "/data", "--screenshot", out + "/shot.png"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("只读"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(out + "/shot.png"));

    r = as("varnet", {"--data-dir", ro + "/empty", "--screenshot", out + "/none.png"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(ro + "/empty"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out + "/none.png"));

    r = as("varnet-cli", {"--data-dir", ro + "/data", "history", "list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 150);
    r = as("varnet-cli", {"--data-dir", ro + "/data", "history", "import", root.file("draws.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("没有改变"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    EXPECT_EQ(otherFiles(ro), oldFiles);
    Database db(dataFile("ro"));
    EXPECT_EQ(integrity(db), "ok");
    EXPECT_EQ(digest(db), oldDigest);
}

}  // namespace
}  // namespace varnet
