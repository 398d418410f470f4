// Kills every command of varnet-cli that writes with SIGKILL at random
// moments and checks that the data folder is left with the old data or the
// new, never a mix: every table and the files the commands write are
// compared with a run left alone, the database must pass its integrity
// check, and the next command must work.
//
//   varnet-crashtest [--trials N] [--seed S] [--only NAME]
//
// Prints one line per command (trials, old, new, broken; then how many kills
// caught a transaction under way and how many came after the command ended)
// and exits with 1 when anything broke.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/DayPage.h"
#include "support/HttpServer.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace varnet;
using Clock = std::chrono::steady_clock;

const std::string kCli = std::string(VARNET_BIN_DIR) + "/varnet-cli";

constexpr int kDraws = 8000;          // stored before every command
constexpr int kFirstIssue = 1000001;  // of the stored draws
constexpr int kPageDraws = 1500;      // on each of the site's three day pages

// A state is a folder with data/ (the data folder) and config/ (what the
// child sees as XDG_CONFIG_HOME, where its settings file lives).
fs::path dataOf(const fs::path& state) { return state / "data"; }
fs::path settingsOf(const fs::path& state) { return state / "config/ZO10DI/ZO10DI.ini"; }

void copyState(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

// What the child prints goes to files in `scratch`.
struct Runner {
    fs::path scratch;

    pid_t start(const fs::path& state, const std::vector<std::string>& args) const {
        setenv("XDG_CONFIG_HOME", (state / "config").c_str(), 1);
        std::vector<std::string> argv{kCli, "--data-dir", dataOf(state).string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::spawn(argv, (scratch / "out").string(), (scratch / "err").string());
    }
    int run(const fs::path& state, const std::vector<std::string>& args) const {
        return test::waitExit(start(state, args));
    }
    std::string err() const { return test::readFile((scratch / "err").string()); }
};

std::uint64_t fnv(std::uint64_t h, const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}
std::uint64_t fnv(std::uint64_t h, const std::string& s) {
    return fnv(fnv(h, s.data(), s.size()), "\0", 1);
}
constexpr std::uint64_t kFnvStart = 14695981039346656037ull;

// A digest of every table (its definition and every row in stored order)
// and of the files that commands write, by name.
using Digest = std::map<std::string, std::uint64_t>;

struct Look {
    Digest digest;
    std::string integrity;  // "ok" or what the check found
};

// Opens a copy of the database with its journal, so that the look rolls
// back what a killed command left the way the program would, while the
// folder itself waits for the next command.
Look look(const fs::path& state, const fs::path& probe) {
    Look r;
    fs::remove_all(probe);
    fs::create_directories(probe);
    for (const char* suffix : {"", "-journal", "-wal"}) {
        const fs::path f = dataOf(state) / (std::string("formula.mdb") + suffix);
        if (fs::exists(f)) fs::copy_file(f, probe / f.filename());
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((probe / "formula.mdb").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        r.integrity = "cannot open: " + std::string(sqlite3_errmsg(db));
        sqlite3_close(db);
        return r;
    }
    const auto rows = [&](const std::string& sql, const auto& each) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            r.integrity += sql + ": " + sqlite3_errmsg(db) + "; ";
            return;
        }
        while (sqlite3_step(st) == SQLITE_ROW) each(st);
        sqlite3_finalize(st);
    };
    const auto text = [](sqlite3_stmt* st, int c) {
        const auto* t = sqlite3_column_text(st, c);
        return std::to_string(sqlite3_column_type(st, c)) + ":" +
               (t ? reinterpret_cast<const char*>(t) : "");
    };
    std::string found;
    rows("PRAGMA integrity_check", [&](sqlite3_stmt* st) { found += text(st, 0).substr(2); });
    r.integrity = found + r.integrity;
    std::vector<std::pair<std::string, std::string>> tables;
    rows("SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY name",
         [&](sqlite3_stmt* st) { tables.emplace_back(text(st, 0).substr(2), text(st, 1)); });
    for (const auto& [name, sql] : tables) {
        std::uint64_t h = fnv(kFnvStart, sql);
        rows("SELECT * FROM \"" + name + "\" ORDER BY rowid", [&](sqlite3_stmt* st) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) h = fnv(h, text(st, c));
        });
        r.digest["table " + name] = h;
    }
    sqlite3_close(db);
    for (const fs::path& f : {dataOf(state) / "ZO10DI.txt", settingsOf(state)})
        r.digest["file " + f.filename().string()] =
            fs::exists(f) ? fnv(kFnvStart, test::readFile(f.string())) : 0;
    return r;
}

// The files a kill left in the data folder, with their sizes.
std::string listing(const fs::path& folder) {
    std::string s;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            s += " " + e.path().filename().string() + " (" + std::to_string(e.file_size()) + ")";
    return s;
}

// The parts where `a` and `b` differ.
std::string differences(const Digest& a, const Digest& b) {
    std::string s;
    for (const auto& [part, h] : a)
        if (!b.count(part) || b.at(part) != h) s += " " + part;
    for (const auto& [part, h] : b)
        if (!a.count(part)) s += " " + part;
    return s;
}

// The formula update moves its kept copy into place right after the
// formulas are stored; a kill in that last instant (while the journal goes)
// leaves the new formulas with the old copy, the new one complete beside it.
bool copyStaged(const fs::path& state, Digest now, const Digest& fresh) {
    const fs::path staged = dataOf(state) / "ZO10DI.txt.new";
    if (!fs::exists(staged)) return false;
    now["file ZO10DI.txt"] = fnv(kFnvStart, test::readFile(staged.string()));
    return now == fresh;
}

struct Command {
    std::string name;
    std::vector<std::string> args;
    bool settings = false;  // writes the settings file
};

struct Tally {
    int trials = 0, old = 0, fresh = 0, broken = 0;
    int midWrite = 0;     // killed inside a transaction: it left a journal to roll back
    int finished = 0;     // the command had ended before the kill
    int copyStaged = 0;   // new formulas, their new copy complete beside its place
    double measured = 0;  // seconds of the runs left alone
    int measurements = 0;
};

std::string formulaLines(int count, int salt) {
    static const char* const kCodes[] = {"第一码", "第二码", "第三码", "第五码", "第八码"};
    static const char* const kPlaces[] = {"一", "二", "三", "四", "五",
                                          "六", "七", "八", "九", "十"};
    std::string text;
    for (int i = 0; i < count; ++i) {
        // Runs of 250 lines per table; every seventh line repeats an earlier
        // one, which a rebuilt table drops.
        const int n = i % 7 == 6 ? i - 3 : i;
        text += std::string(kCodes[n % 5]) + "+" + kCodes[(n / 5) % 5] + "+" +
                std::to_string(n % 997 + salt) + "=下期杀第" + kPlaces[(i / 250) % 10] + "\r\n";
    }
    return text;
}

class CrashTest {
  public:
    CrashTest(int trials, std::uint64_t seed) : trials_(trials), rng_(seed) {
        runner_.scratch = work_.path();
    }

    // The starting folder and the inputs of every command; false when the
    // set-up itself fails.
    bool prepare() {
        const fs::path root = work_.path();
        start_ = root / "start";
        fs::create_directories(dataOf(start_));
        fs::create_directories(settingsOf(start_).parent_path());
        test::writeFile(settingsOf(start_).string(), "[IniSetting]\nIniSerchDay=3\n");
        test::writeFile((dataOf(start_) / "ZO10DI.txt").string(), "the copy kept before\r\n");
        const std::string oldHistory = (root / "old.txt").string(),
                          newHistory = (root / "new.txt").string(),
                          formulas = (root / "formulas.txt").string();
        test::writeFile(formulas, formulaLines(20000, 0));
        test::writeFile((root / "more.txt").string(), formulaLines(30000, 3));
        const std::vector<std::vector<std::string>> setup{
            {"history", "generate", "--draws", std::to_string(kDraws), "--first-issue",
             std::to_string(kFirstIssue), "--seed", "11", "--out", oldHistory},
            {"history", "generate", "--draws", std::to_string(kDraws), "--first-issue", "2000001",
             "--seed", "12", "--out", newHistory},
            {"history", "import", oldHistory},
            {"formula", "import", formulas},
        };
        for (const auto& args : setup)
            if (runner_.run(start_, args) != 0) {
                std::fprintf(stderr, "set-up failed: %s\n", runner_.err().c_str());
                return false;
            }
        fs::remove(dataOf(start_) / "无法识别公式.txt");

        // Three day pages and a formula file, each answered after a pause
        // so that the downloads take part of the command's time.
        for (int day = 0; day < 3; ++day) {
            std::vector<test::PageDraw> draws;
            for (int i = 0; i < kPageDraws; ++i)
                draws.push_back(test::pageDraw(3000001 + day * kPageDraws + i));
            site_.set("/draw-pk10-2024050" + std::to_string(8 + day) + ".html",
                      test::HttpServer::ok(test::dayPageHtml(draws), 30));
        }
        site_.set("/ZO10DI.txt", test::HttpServer::ok(formulaLines(12000, 5), 30));

        const std::string last = std::to_string(kFirstIssue + kDraws - 1);
        commands_ = {
            {"history import", {"history", "import", newHistory}},
            {"history add",
             {"history", "add", std::to_string(kFirstIssue + kDraws), "3", "1", "4", "5", "9", "2",
              "6", "8", "7", "10", "--date", "2024-05-10"}},
            {"history delete --last", {"history", "delete", "--last", "1200"}},
            {"history delete --down-to",
             {"history", "delete", "--down-to", std::to_string(kFirstIssue + kDraws / 2)}},
            {"history delete --all", {"history", "delete", "--all"}},
            {"formula import", {"formula", "import", (root / "more.txt").string()}},
            {"formula add", {"formula", "add", "--position", "3", "第一码+第九码+7=下期杀第三"}},
            {"formula delete", {"formula", "delete", "--position", "2", "--idx", idxList(300)}},
            {"formula clear", {"formula", "clear"}},
            {"formula verify", {"formula", "verify", "--position", "1", "--kind", "kill"}},
            {"search --save append", searchArgs("append")},
            {"search --save replace", searchArgs("replace")},
            {"search scheme --save",
             {"search", "scheme", "--kind", "kill", "--plan", "30,30,30,30,30,30,30,30,30,30",
              "--seed", "5", "--max-candidates", "3000", "--save", "replace"}},
            {"search tune --save",
             {"search", "tune", "--position", "2", "--kind", "kill", "--samples", "100", "--seed",
              "5", "--save"},
             true},
            {"history update",
             {"history", "update", "--site", server_.url(), "--today", "2024-05-10", "--days",
              "3"}},
            {"formula update", {"formula", "update", "--url", server_.url("/ZO10DI.txt")}},
        };
        const Look before = look(start_, root / "probe");
        if (before.integrity != "ok") {
            std::fprintf(stderr, "the starting folder fails its check: %s\n",
                         before.integrity.c_str());
            return false;
        }
        old_ = before.digest;
        return true;
    }

    // One run left alone on a copy of the starting folder: its time in
    // seconds (negative when it fails) and the data it leaves.
    double unkilledRun(const Command& c, Digest& after) {
        const fs::path ref = work_.path() + "/ref";
        copyState(start_, ref);
        const auto t0 = Clock::now();
        if (runner_.run(ref, c.args) != 0) {
            std::fprintf(stderr, "%s fails when left alone: %s\n", c.name.c_str(),
                         runner_.err().c_str());
            return -1;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        after = look(ref, work_.path() + "/probe").digest;
        return seconds;
    }

    // The kills fall uniformly over the run's time, measured again before
    // every tenth trial since the machine's load changes; each measuring
    // run must leave the same data as the first.
    bool kill(const Command& c, const Digest& fresh, Tally& t) {
        const fs::path trial = work_.path() + "/trial";
        double window = 0, previous = 0;
        for (int i = 0; i < trials_; ++i) {
            if (i % 10 == 0) {
                Digest again;
                const double seconds = unkilledRun(c, again);
                if (seconds < 0) return false;
                if (again != fresh) {
                    std::fprintf(stderr, "%s gives different data on two runs:%s\n", c.name.c_str(),
                                 differences(again, fresh).c_str());
                    return false;
                }
                window = std::max(previous, seconds);
                previous = seconds;
                t.measured += seconds;
                ++t.measurements;
            }
            copyState(start_, trial);
            const double at = std::uniform_real_distribution<double>(0, window)(rng_);
            const pid_t pid = runner_.start(trial, c.args);
            std::this_thread::sleep_for(std::chrono::duration<double>(at));
            ::kill(pid, SIGKILL);
            t.finished += test::waitExit(pid) == 0;
            ++t.trials;
            std::error_code ec;
            t.midWrite += fs::file_size(dataOf(trial) / "formula.mdb-journal", ec) > 0 && !ec;

            const Look after = look(trial, work_.path() + "/probe");
            std::string fault;
            if (after.integrity != "ok")
                fault = "integrity check: " + after.integrity;
            else if (after.digest == old_)
                ++t.old;
            else if (after.digest == fresh)
                ++t.fresh;
            else if (copyStaged(trial, after.digest, fresh))
                ++t.fresh, ++t.copyStaged;
            else
                fault = "a mix; differs from the old data in" + differences(after.digest, old_) +
                        ", from the new in" + differences(after.digest, fresh);
            // What the kill left must not stand in the next command's way.
            if (fault.empty() && runner_.run(trial, {"formula", "add", "--position", "10",
                                                     "第二码+第四码=下期杀第十"}) != 0)
                fault = "the next formula add fails: " + runner_.err();
            if (fault.empty() && c.settings &&
                runner_.run(trial, {"search", "tune", "--position", "10", "--kind", "kill",
                                    "--samples", "3", "--seed", "1", "--save"}) != 0)
                fault = "the next settings save fails: " + runner_.err();
            if (!fault.empty()) {
                ++t.broken;
                std::printf("  %s killed at %.1f ms: %s\n    left:%s\n", c.name.c_str(), at * 1000,
                            fault.c_str(), listing(dataOf(trial)).c_str());
            }
        }
        return true;
    }

    int run(const std::string& only) {
        if (!prepare()) return 1;
        std::printf("%-26s %7s %6s %5s %5s %6s   %9s %8s\n", "command", "run ms", "trials", "old",
                    "new", "broken", "mid-write", "finished");
        bool failed = false;
        for (const Command& c : commands_) {
            if (!only.empty() && c.name != only) continue;
            Digest fresh;
            Tally t;
            if (unkilledRun(c, fresh) < 0 || !kill(c, fresh, t)) {
                failed = true;
                continue;
            }
            if (fresh == old_) {
                std::fprintf(stderr, "%s changes nothing\n", c.name.c_str());
                failed = true;
            }
            std::printf("%-26s %7.1f %6d %5d %5d %6d   %9d %8d\n", c.name.c_str(),
                        t.measured / t.measurements * 1000, t.trials, t.old, t.fresh, t.broken,
                        t.midWrite, t.finished);
            if (t.copyStaged > 0)
                std::printf("  (%d of the new left the copy staged beside its place)\n",
                            t.copyStaged);
            std::fflush(stdout);
            failed |= t.broken > 0;
        }
        return failed ? 1 : 0;
    }

  private:
    static std::string idxList(int count) {
        std::string s;
        for (int i = 1; i <= count; ++i) s += (i > 1 ? "," : "") + std::to_string(i * 2);
        return s;
    }
    static std::vector<std::string> searchArgs(const std::string& save) {
        return {"search",       "--position", "1",      "--kind", "kill",   "--constant", "0",
                "--candidates", "3000",       "--seed", "5",      "--save", save};
    }

    int trials_;
    std::mt19937_64 rng_;
    test::TempDir work_;
    Runner runner_;
    fs::path start_;
    Digest old_;
    std::vector<Command> commands_;
    test::Site site_;
    test::HttpServer server_{[this](const std::string& p) { return site_(p); }};
};

}  // namespace

int main(int argc, char** argv) {
    int trials = 50;
    std::uint64_t seed = static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i], value = argv[i + 1];
        if (opt == "--trials")
            trials = std::atoi(value.c_str());
        else if (opt == "--seed")
            seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (opt == "--only")
            only = value;
        else
            argc = 0;
    }
    if (argc % 2 == 0 || trials < 1) {
        std::fprintf(stderr, "usage: varnet-crashtest [--trials N] [--seed S] [--only COMMAND]\n");
        return 2;
    }
    std::printf("seed %llu (--seed draws the same moments again)\n",
                static_cast<unsigned long long>(seed));
    return CrashTest(trials, seed).run(only);
}
