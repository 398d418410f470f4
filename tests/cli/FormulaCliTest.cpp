#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "db/Database.h"
#include "db/HoldOutTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "engine/Significance.h"
#include "support/CliFixture.h"
#include "support/SettingsFolder.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::string f;
    for (char c : line + "\t") {
        if (c == '\t') {
            out.push_back(f);
            f.clear();
        } else {
            f += c;
        }
    }
    return out;
}

// The formula and search commands on a generated history. The child's
// settings store lives in a temp folder, so the user's own settings neither
// affect the results nor get touched.
class FormulaCliTest : public test::CliFixture {
  protected:
    void SetUp() override {
        const std::string file = scratch.file("draws.txt");
        ASSERT_EQ(
            cli({"history", "generate", "--draws", "500", "--seed", "11", "--out", file}).exitCode,
            0);
        const auto r = cli({"history", "import", file});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The output lines of a command that must succeed.
    std::vector<std::string> ok(const std::vector<std::string>& args) {
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return lines(r.out);
    }

    std::vector<std::string> score(std::vector<std::string> formulas,
                                   const std::vector<std::string>& options) {
        std::vector<std::string> args{"formula", "score", "--position", "1", "--kind", "kill"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), formulas.begin(), formulas.end());
        return ok(args);
    }

    std::vector<std::string> search(const std::vector<std::string>& options) {
        std::vector<std::string> args{"search",       "--position", "1",      "--kind", "kill",
                                      "--candidates", "200",        "--seed", "3"};
        args.insert(args.end(), options.begin(), options.end());
        return ok(args);
    }

    test::SettingsFolder config;
};

TEST_F(FormulaCliTest, TranslateGivesTheCodeForm) {
    EXPECT_EQ(ok({"formula", "translate", "第三码+第五大小+7=下期杀第一"}),
              std::vector<std::string>{"L3A+L5B+7"});
}

TEST_F(FormulaCliTest, ScoreCodeAndChineseFormsAlike) {
    const auto out = score({"L3A+L5B+7", "第三码+第五大小+7=下期杀第一",
                            "[第一杀]第三码+第五大小+7", "L1A*L2B+L3C MOD 4", "第三码+第五大小+7"},
                           {});
    ASSERT_EQ(out.size(), 5u);
    const std::regex rate(R"(\d{2,3}\.\d{4}% \(\d+/\d+\))");
    for (const auto& line : out) {
        const auto f = fields(line);
        ASSERT_EQ(f.size(), 8u) << line;
        EXPECT_TRUE(std::regex_match(f[1], rate)) << line;
        // The chance baseline and the p-value of the plain hits close the line.
        EXPECT_EQ(f[6], "90%");
        const double p = std::stod(f[7]);
        EXPECT_TRUE(p >= 0 && p <= 1) << line;
    }
    EXPECT_EQ(out[1], out[0]);
    EXPECT_EQ(out[2], out[0]);
    EXPECT_EQ(out[4], out[0]);
}

TEST_F(FormulaCliTest, InvalidFormulasAreMarkedAndTheOthersStillScore) {
    const auto out = score({"L1A", "L1A/(L1B-L1B)", "L1A+ZZZ", "L1A+", "L2A"}, {});
    ASSERT_EQ(out.size(), 5u);
    for (int i : {1, 2, 3}) {
        const auto f = fields(out[i]);
        ASSERT_EQ(f.size(), 2u) << out[i];
        EXPECT_EQ(f[0], "invalid");
        EXPECT_FALSE(f[1].empty()) << "a reason";
    }
    EXPECT_EQ(fields(out[0]).size(), 8u);
    EXPECT_EQ(fields(out[4]).size(), 8u);
    EXPECT_EQ(out[0], score({"L1A"}, {}).at(0)) << "the invalid ones do not disturb the others";
}

TEST_F(FormulaCliTest, CountingOptionsAndStoredSettings) {
    auto totalOf = [](const std::string& line) {
        const std::string rate = fields(line).at(1);
        return rate.substr(rate.find('/') + 1);
    };
    const std::vector<std::string> f{"L3A+L5B+7"};
    EXPECT_EQ(
        totalOf(
            score(f, {"--count", "100", "--exclude-current", "yes", "--weighting", "no"}).at(0)),
        "100)");
    const std::string withCurrent =
        score(f, {"--count", "100", "--exclude-current", "no", "--weighting", "no"}).at(0);
    EXPECT_EQ(totalOf(withCurrent), "101)");

    // Without options the stored settings decide.
    std::filesystem::create_directories(config.file("ZO10DI"));
    test::writeFile(config.file("ZO10DI/ZO10DI.ini"),
                    "[IniSetting]\nJSQS=1\nSyBq=False\nZqlJq=False\n");
    EXPECT_EQ(score(f, {}).at(0), withCurrent);
}

TEST_F(FormulaCliTest, BadUsageExitsWithTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"formula", "score", "--kind", "kill", "L1A"},
             {"formula", "score", "--position", "1", "L1A"},
             {"formula", "score", "--position", "1", "--kind", "maybe", "L1A"},
             {"formula", "score", "--position", "11", "--kind", "kill", "L1A"},
             {"formula", "score", "--position", "1", "--kind", "kill"},
             {"formula", "translate"},
             {"formula", "verify", "--position", "1"},
             {"calc", "--position", "2", "--kind", "kill", "--sort", "sglGsRate,intGsErrCon"},
             {"calc", "--position", "2", "--kind", "kill", "--sort", "a,b,c"},
             {"calc", "--position", "2", "--kind", "kill", "--method", "all"},
             {"steps", "--position", "1", "--kind", "kill"},
             {"formula", "verify", "--position", "1", "--kind", "kill", "--form", "latin"},
             {"formula", "delete", "--position", "1"},
             {"formula", "delete", "--position", "1", "--idx", "1,x"},
             {"formula", "add"},
             {"formula", "import", "--kind", "both", "f.txt"},
             {"search", "--position", "1", "--kind", "kill", "--operands", "1", "--constant", "0",
              "--candidates", "5"},
             {"search", "--position", "1", "--kind", "kill", "--operands", "3", "--constant",
              "2000000", "--candidates", "5"},
             {"search", "--position", "1", "--kind", "kill", "--operands", "3", "--constant", "0",
              "--candidates", "5", "--thresholds", "1,2,3"}}) {
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << ' ' << args.back();
        EXPECT_NE(r.err.find("varnet-cli:"), std::string::npos);
    }
}

TEST_F(FormulaCliTest, SearchPrintsEveryCandidateReproducibly) {
    const auto out = search({"--operands", "8", "--constant", "random", "--print-all"});
    ASSERT_EQ(out.size(), 201u);
    EXPECT_EQ(out.back().rfind("evaluated 200 candidates", 0), 0u) << out.back();
    for (std::size_t i = 0; i < 200; ++i) {
        const auto f = fields(out[i]);
        ASSERT_EQ(f.size(), 8u) << out[i];  // the p-value last
        EXPECT_TRUE(f[6] == "yes" || f[6] == "no") << out[i];
    }
    const auto again = search({"--operands", "8", "--constant", "random", "--print-all"});
    ASSERT_EQ(again.size(), 201u);
    EXPECT_TRUE(std::equal(out.begin(), out.end() - 1, again.begin()));
}

TEST_F(FormulaCliTest, OpenThresholdsQualifyEveryCandidate) {
    const auto out = search({"--operands", "5", "--constant", "random", "--thresholds",
                             "0,100,0,32768,0,32768,0,32768,0,32768"});
    ASSERT_EQ(out.size(), 201u);
    for (std::size_t i = 0; i < 200; ++i) EXPECT_EQ(out[i].rfind("[第一杀]", 0), 0u) << out[i];
    EXPECT_NE(out.back().find(", 200 qualified"), std::string::npos) << out.back();
}

// The search's statistics of a candidate equal the scoring of its code form
// over the same rows, for the fast path (constant 3) and for the general
// engine a negative constant falls back to.
TEST_F(FormulaCliTest, SearchStatisticsMatchScoring) {
    for (const std::string constant : {"3", "-3"}) {
        const auto out = search({"--operands", "2", "--constant", constant, "--print-all",
                                 "--count", "0", "--weighting", "no"});
        ASSERT_EQ(out.size(), 201u);
        const std::regex shape("L[0-9][A-N]\\+L[0-9][A-N]\\+" + constant);
        std::vector<std::string> codes;
        for (std::size_t i = 0; i < 200; ++i) {
            const auto f = fields(out[i]);
            ASSERT_EQ(f.size(), 8u);
            EXPECT_TRUE(std::regex_match(f[0], shape)) << f[0];
            if (i < 20) codes.push_back(f[0]);
        }
        const auto scored = score(codes, {"--count", "0", "--weighting", "no"});
        ASSERT_EQ(scored.size(), codes.size());
        for (std::size_t i = 0; i < codes.size(); ++i) {
            const auto s = fields(out[i]), v = fields(scored[i]);
            ASSERT_EQ(v.size(), 8u) << scored[i];
            EXPECT_DOUBLE_EQ(std::stod(s[1]), std::stod(v[1])) << codes[i];
            EXPECT_EQ(std::vector<std::string>(s.begin() + 2, s.begin() + 6),
                      std::vector<std::string>(v.begin() + 2, v.begin() + 6))
                << codes[i];
        }
    }
}

// What verify stores and prints for a list is what score gives each of its
// formulas, in both kinds, with an invalid one among them.
TEST_F(FormulaCliTest, VerifyAgreesWithScore) {
    std::string text;
    const std::vector<std::string> codes{"L3A+L5B+7", "L1A*L2B MOD 7", "L1A/(L1B-L1B)",
                                         "L4E-L6F*2", "L7G+3",         "L2C+L9D+L1M"};
    for (std::size_t i = 0; i < codes.size(); ++i)
        text += codes[i] + "=下期" + std::string(i % 2 ? "生" : "杀") + "第一\r\n";
    test::writeFile(scratch.file("f.txt"), text);
    ok({"formula", "import", "--kind", "keep", scratch.file("f.txt")});
    for (const std::string kind : {"kill", "keep", "kill"}) {
        const std::vector<std::string> options{"--count", "200", "--weighting", "yes"};
        std::vector<std::string> args{"formula", "verify", "--position", "1",
                                      "--kind",  kind,     "--form",     "code"};
        args.insert(args.end(), options.begin(), options.end());
        const auto verified = ok(args);
        ASSERT_EQ(verified.size(), 3u);
        std::vector<std::string> scoreArgs{"formula", "score", "--position", "1", "--kind", kind};
        scoreArgs.insert(scoreArgs.end(), options.begin(), options.end());
        scoreArgs.push_back("--");
        for (const auto& line : verified) scoreArgs.push_back(fields(line).at(1));
        const auto scored = ok(scoreArgs);
        ASSERT_EQ(scored.size(), verified.size());
        for (std::size_t i = 0; i < verified.size(); ++i) {
            const auto v = fields(verified[i]);
            if (i > 0) {
                EXPECT_GT(std::stoi(v[0]), std::stoi(fields(verified[i - 1])[0]));
            }
            // Then when the formula entered its table: issue/date.
            EXPECT_EQ(std::vector<std::string>(v.begin() + 2, v.end() - 1), fields(scored[i]))
                << verified[i];
            EXPECT_EQ(v.back().find("1000500/"), 0u) << verified[i];
        }
    }
    EXPECT_EQ(ok({"formula", "delete", "--position", "1", "--idx", "1,2"}).at(0),
              "deleted 2 formulas");
    EXPECT_EQ(ok({"formula", "verify", "--position", "1", "--kind", "keep"}).size(), 2u)
        << "one formula of each kind went";
    ok({"formula", "clear"});
    EXPECT_TRUE(ok({"formula", "verify", "--position", "1", "--kind", "keep"}).empty());
}

// A verification racing another process that rewrites the table: a deletion
// (whose compaction renumbers the row ids) or a replacing search. Every score
// stored is that of the formula in its row; a verification that could not
// store some says how many and fails.
TEST_F(FormulaCliTest, VerifyRacingAnotherWriterStoresOnlyOnItsOwnFormulas) {
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "第一码*第" + std::string(i % 2 ? "二" : "三") + "码+" + std::to_string(i) +
                "=下期杀第一\r\n";
    test::writeFile(scratch.file("many.txt"), text);
    ok({"formula", "import", scratch.file("many.txt")});
    const std::string file = data.file("formula.mdb"), base = scratch.file("base.mdb");
    std::filesystem::copy_file(file, base);
    const auto verify =
        cliArgs({"formula", "verify", "--position", "1", "--kind", "kill", "--form", "code"});
    const std::vector<std::vector<std::string>> racers{
        cliArgs({"formula", "delete", "--position", "1", "--idx", "1"}),
        cliArgs({"search", "--position", "1", "--kind", "kill", "--constant", "random",
                 "--candidates", "2000", "--seed", "3", "--save", "replace"})};
    // The other writer starts at a random moment within one verification.
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(test::run(verify, scratch.path()).exitCode, 0);
    const auto span =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    std::mt19937 rng(5);
    std::map<std::string, std::set<std::vector<std::string>>> storedRuns;
    int rounds = 0, refused = 0;
    t0 = std::chrono::steady_clock::now();
    while (rounds < 200 && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(15)) {
        std::filesystem::copy_file(base, file, std::filesystem::copy_options::overwrite_existing);
        const pid_t v = test::spawn(verify, scratch.file("vo"), scratch.file("ve"));
        usleep(static_cast<useconds_t>(std::uniform_int_distribution<long>(0, span)(rng)));
        const pid_t r = test::spawn(racers[rounds % 2], scratch.file("ro"), scratch.file("re"));
        const int verified = test::waitExit(v), raced = test::waitExit(r);
        EXPECT_EQ(raced, 0) << test::readFile(scratch.file("re"));
        const std::string err = test::readFile(scratch.file("ve"));
        if (verified == 0) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(verified, 1) << err;
            EXPECT_NE(err.find("formulas changed in Gongshi1"), std::string::npos) << err;
            ++refused;
        }
        Database db(file);
        auto st = db.prepare(
            "SELECT gongshi, intGsErrCon, intGsTrueCon, intGsErrLst, intGsTrueLst FROM Gongshi1"
            " WHERE sglGsRate IS NOT NULL");
        while (st.step())
            storedRuns[st.text(0)].insert({st.text(1), st.text(2), st.text(3), st.text(4)});
        ++rounds;
    }
    std::vector<std::string> scoreArgs{"formula", "score", "--position", "1",
                                       "--kind",  "kill",  "--"};
    for (const auto& [code, runs] : storedRuns) scoreArgs.push_back(code);
    const auto scored = ok(scoreArgs);
    ASSERT_EQ(scored.size(), storedRuns.size());
    int wrong = 0, i = 0;
    for (const auto& [code, runs] : storedRuns) {
        const auto f = fields(scored[i++]);
        const std::vector<std::string> own(f.begin() + 2, f.begin() + 6);
        for (const auto& stored : runs) wrong += stored != own;
    }
    std::printf("%d rounds, %d verifications refused to store, %d wrong scores\n", rounds, refused,
                wrong);
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(refused, 0) << "some writes should land inside a verification";
}

// What formula add stores scores as formula score of the text typed; a text
// that is no formula is refused and nothing is stored.
TEST_F(FormulaCliTest, AddStoresWhatWasTypedOrRefusesIt) {
    const struct {
        std::vector<std::string> args;
        int position;
        std::string kind, code, chinese;
    } stored[] = {
        {{"L3A+L5B+7"}, 1, "kill", "L3A+L5B+7", "第三码+第五大小+7=下期杀第一"},
        {{"--position", "10", "--kind", "keep", "l1d mod 3 - (L0M*2)/L2N"},
         10,
         "keep",
         "l1d mod 3 - (L0M*2)/L2N",
         "第一5余 mod 3 - (年份*2)/同上期数=下期生第十"},
        {{"--position", "4", "第三码+第五大小+7=下期生第二"},
         2,
         "keep",
         "L3A+L5B+7",
         "第三码+第五大小+7=下期生第二"},
        {{"--position", "2", "--kind", "keep", "[第二杀]第一码*第七单双+3"},
         2,
         "keep",
         "L1A*L7C+3",
         "[第二杀]第一码*第七单双+3"},
    };
    auto rowsOf = [&](int position) {
        Database db = Schema::openDataFile(data.path() + "/formula.mdb");
        auto st = db.prepare("SELECT bolKill, gongshi, gongshiCN FROM " +
                             Schema::formulaTable(position) + " ORDER BY idx");
        std::vector<std::string> out;
        while (st.step()) out.push_back(st.text(0) + '\t' + st.text(1) + '\t' + st.text(2));
        return out;
    };
    for (const auto& c : stored) {
        std::vector<std::string> add{"formula", "add"};
        add.insert(add.end(), c.args.begin(), c.args.end());
        const auto printed = ok(add);
        ASSERT_EQ(printed.size(), 1u);
        const std::string idx = fields(printed[0]).at(1);
        EXPECT_EQ(fields(printed[0]).at(0), "Gongshi" + std::to_string(c.position));
        EXPECT_EQ(rowsOf(c.position).back(),
                  std::string(c.kind == "kill" ? "1" : "0") + '\t' + c.code + '\t' + c.chinese);
        const std::string p = std::to_string(c.position);
        std::vector<std::string> verified;
        for (const auto& line :
             ok({"formula", "verify", "--position", p, "--kind", c.kind, "--form", "code"}))
            if (fields(line).at(0) == idx) verified = fields(line);
        ASSERT_FALSE(verified.empty()) << c.args.back();
        const auto scored =
            ok({"formula", "score", "--position", p, "--kind", c.kind, "--", c.args.back()});
        ASSERT_EQ(scored.size(), 1u);
        EXPECT_EQ(std::vector<std::string>(verified.begin() + 2, verified.end() - 1),
                  fields(scored[0]))
            << c.args.back();
    }

    std::vector<std::vector<std::string>> before;
    for (int p = 1; p <= 10; ++p) before.push_back(rowsOf(p));
    const struct {
        std::string text, quoted;
    } refused[] = {
        {"L3A+L5B+", "缺少运算数"},
        {"L3A+XYZ+7", "“XYZ”"},
        {"第十一码+abc=下期杀第一", "“第十一码”、“abc”"},
    };
    for (const auto& c : refused) {
        const auto r = cli({"formula", "add", "--position", "3", c.text});
        EXPECT_EQ(r.exitCode, 1) << c.text;
        EXPECT_NE(r.err.find(c.quoted), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("L0"), std::string::npos) << r.err;
    }
    for (int p = 1; p <= 10; ++p) EXPECT_EQ(rowsOf(p), before[p - 1]) << "nothing stored";
}

// A formula import killed at any moment leaves the tables as they were or
// fully imported.
TEST_F(FormulaCliTest, KilledImportLeavesTablesWholeOrUnchanged) {
    std::string text;
    for (int i = 0; i < 60000; ++i)
        text += "第一码+第" + std::string(i % 2 ? "二" : "三") + "码+" + std::to_string(i) +
                "=下期杀第" + std::string(i % 3 ? "一" : "四") + "\r\n";
    test::writeFile(scratch.file("big.txt"), text);
    ok({"formula", "add", "第一码+1=下期杀第一"});
    // Every row of the ten tables, in stored order.
    auto tables = [&](const std::string& folder) {
        Database db = Schema::openDataFile(folder + "/formula.mdb");
        std::string all;
        for (int p = 1; p <= 10; ++p) {
            auto st = db.prepare("SELECT bolKill, gongshi, gongshiCN, idx FROM " +
                                 Schema::formulaTable(p) + " ORDER BY rowid");
            while (st.step())
                all += std::to_string(p) + st.text(0) + st.text(1) + st.text(2) + st.text(3) + '\n';
        }
        return all;
    };
    auto importArgs = [&](const std::string& folder) {
        return std::vector<std::string>{std::string(VARNET_BIN_DIR) + "/varnet-cli",
                                        "--data-dir",
                                        folder,
                                        "formula",
                                        "import",
                                        scratch.file("big.txt")};
    };
    int unchanged = 0;
    for (int delayMs : {5, 40, 120, 250, 400, 600, 900}) {
        // What a whole import makes of the present tables, on a copy.
        const std::string copy = scratch.file("copy");
        std::filesystem::remove_all(copy);
        std::filesystem::create_directories(copy);
        std::filesystem::copy_file(data.file("formula.mdb"), copy + "/formula.mdb");
        ASSERT_EQ(test::run(importArgs(copy), scratch.path()).exitCode, 0);
        const std::string before = tables(data.path()), whole = tables(copy);

        const pid_t pid =
            test::spawn(importArgs(data.path()), scratch.file("o"), scratch.file("e"));
        usleep(delayMs * 1000);
        kill(pid, SIGKILL);
        test::waitExit(pid);
        const std::string now = tables(data.path());
        EXPECT_TRUE(now == before || now == whole) << "killed after " << delayMs << " ms";
        unchanged += now == before;
    }
    EXPECT_GT(unchanged, 0) << "some kills should land inside the import";
}

// calc prints six lines a position and the arrangement; every formula
// counts as selected, so the votes add up to the valid formulas.
TEST_F(FormulaCliTest, CalcAndSteps) {
    std::string text;
    for (const char* f : {"L1A+L2B+3", "L3C*L4D MOD 7", "L5A/(L6A-L6A)", "L7E+L2A"})
        for (const char* p : {"一", "二", "三"}) text += std::string(f) + "=下期杀第" + p + "\r\n";
    test::writeFile(scratch.file("f.txt"), text);
    ok({"formula", "import", scratch.file("f.txt")});
    for (const std::string method : {"selected", "best"}) {
        const auto out = ok({"calc", "--position", "3", "--kind", "kill", "--method", method,
                             "--sort", "intGsErrCon,sglGsRate:asc,intGsTrueLst", "--keep", "2"});
        ASSERT_EQ(out.size(), 19u) << method;
        for (int p = 0; p < 3; ++p) {
            const auto votes = fields(out[6 * p]);
            ASSERT_EQ(votes[0], "votes");
            int sum = 0;
            std::istringstream counts(votes[2]);
            for (int c; counts >> c;) sum += c;
            const auto invalid = fields(out[6 * p + 5]);
            ASSERT_EQ(invalid[0], "invalid");
            const int examined = std::stoi(fields(out[6 * p + 4])[2]);
            EXPECT_EQ(sum, examined - std::stoi(invalid[2])) << method;
            if (method == "selected") {
                EXPECT_EQ(examined, 4);
                EXPECT_EQ(invalid[2], "1");
            }
        }
        EXPECT_EQ(fields(out[18])[0], "arrangement");
    }
    // The walk-forward check: the formulas entered after every stored draw,
    // so no draw is clean unless all are asked for; the five fields first.
    for (const std::string draws : {"clean", "all"}) {
        const auto r = cli(
            {"calc", "--position", "3", "--kind", "kill", "--backtest", "50", "--draws", draws});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto out = lines(r.out);
        ASSERT_EQ(out.size(), 3u);
        for (int p = 0; p < 3; ++p) {
            const auto f = fields(out[p]);
            ASSERT_EQ(f.size(), 15u) << out[p];
            EXPECT_EQ(f[0], std::to_string(p + 1));
            EXPECT_EQ(f[1], draws == "clean" ? "0" : "50");
            EXPECT_EQ(f.back(), draws == "clean" ? "clean" : "possibly-chosen");
        }
        EXPECT_NE(r.err.find(draws == "clean" ? "没有可检验的期号" : "检验了全部 50 期"),
                  std::string::npos)
            << r.err;
    }
    const auto early = cli({"calc", "--position", "1", "--kind", "kill", "--issue", "1000001"});
    EXPECT_EQ(early.exitCode, 1);
    EXPECT_NE(early.err.find("1000001"), std::string::npos) << early.err;
    EXPECT_EQ(ok({"steps", "--position", "2", "--kind", "kill", "--idx", "1"}).size(), 500u);
}

// A search with draws held out keeps the summary it printed in the data
// file, one row per search.
TEST_F(FormulaCliTest, HoldOutSummaryIsStored) {
    std::vector<std::string> args{"search", "--position", "2", "--kind", "kill", "--constant", "0"};
    for (const char* more : {"--operands", "2", "--candidates", "300", "--seed", "3", "--holdout",
                             "100", "--thresholds", "0,100,0,32768,0,32768,0,32768,0,32768"})
        args.push_back(more);
    const auto out = ok(args);
    ok(args);
    std::smatch m;
    std::string summary;
    for (const auto& l : out)
        if (l.rfind("# tried", 0) == 0) summary = l;
    ASSERT_TRUE(std::regex_search(summary, m,
                                  std::regex(R"(finds (\d+)\tchance finds (\d+)\theld-out mean )"
                                             R"(([\d.]+)% ± ([\d.]+) .*\tp (\S+))")))
        << summary;
    Database db = Schema::openDataFile(data.path() + "/formula.mdb");
    const auto stored = HoldOutTable(db).load();
    ASSERT_EQ(stored.size(), 2u);
    const HoldOutRecord& r = stored[0];
    EXPECT_EQ(r.position, 2);
    EXPECT_TRUE(r.kill);
    EXPECT_EQ(r.heldOut, 100);
    EXPECT_EQ(r.tried, 300);
    EXPECT_EQ(std::to_string(r.finds), m[1].str());
    EXPECT_EQ(std::to_string(r.chanceFinds), m[2].str());
    ASSERT_TRUE(r.mean && r.standardError && r.pValue);
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f", *r.mean, *r.standardError);
    EXPECT_EQ(text, m[3].str() + " " + m[4].str());
    EXPECT_EQ(pValueText(*r.pValue), m[5].str());
    EXPECT_EQ(r.lastIssue - r.firstIssue, 99);
    EXPECT_EQ(stored[1].mean, r.mean) << "the same search again";
}

// The single search with its limit and saving, the scheme and the tuning,
// with thresholds every candidate meets stored for positions 1 and 3.
TEST_F(FormulaCliTest, SearchLimitSchemeAndTuning) {
    std::string ini = "[1]\n";
    for (const std::string section : {"1", "3"}) {
        ini += "[" + section + "]\ntext2=3\n";
        for (int i = 0; i < 10; ++i)
            ini += std::to_string(i) + "=" + (i % 2 ? "32768" : "0") + "\n";
    }
    std::filesystem::create_directories(config.file("ZO10DI"));
    test::writeFile(config.file("ZO10DI/ZO10DI.ini"), ini);

    auto found = ok({"search", "--position", "1", "--kind", "kill", "--constant", "random",
                     "--candidates", "1000", "--seed", "2", "--limit", "5", "--save", "append"});
    ASSERT_EQ(found.size(), 7u);
    EXPECT_EQ(found[6], "saved 5 formulas (append) to Gongshi1");
    EXPECT_EQ(std::count(found[0].begin(), found[0].end(), '+'), 3) << "the stored operand count";
    EXPECT_EQ(ok({"formula", "verify", "--position", "1", "--kind", "kill"}).size(), 5u);

    const auto scheme = ok({"search", "scheme", "--kind", "kill", "--plan", "2,,3,,,,,,,", "--seed",
                            "1", "--save", "replace", "--max-candidates", "4000"});
    ASSERT_EQ(scheme.size(), 11u);
    EXPECT_EQ(fields(scheme[0]).at(2), "planned 2");
    EXPECT_EQ(fields(scheme[0]).at(3), "found 2");
    EXPECT_EQ(fields(scheme[1]).at(2), "skipped");
    EXPECT_EQ(scheme[10], "saved 5 formulas (replace) to Gongshi1 Gongshi3");
    EXPECT_EQ(ok({"formula", "verify", "--position", "1", "--kind", "kill"}).size(), 2u);
    // Without --save neither mode writes: it cannot ask before replacing.
    const auto hold = ok({"search", "scheme", "--kind", "kill", "--plan", "2,,4,,,,,,,", "--mode",
                          "hold", "--seed", "1"});
    EXPECT_EQ(fields(hold[0]).at(2), "skipped") << "position 1 holds its 2 already";
    EXPECT_EQ(fields(hold[2]).at(2), "planned 1");
    EXPECT_EQ(hold.back(), "not saved");
    EXPECT_EQ(ok({"search", "scheme", "--kind", "kill", "--plan", "1,,,,,,,,,", "--seed", "1",
                  "--max-candidates", "4000"})
                  .back(),
              "not saved");
    EXPECT_EQ(ok({"formula", "verify", "--position", "1", "--kind", "kill"}).size(), 2u);
    EXPECT_EQ(ok({"formula", "verify", "--position", "3", "--kind", "kill"}).size(), 3u);

    // The estimates recomputed from the printed samples by the halfway rule.
    const auto tuned = ok({"search", "tune", "--position", "2", "--kind", "keep", "--samples", "40",
                           "--seed", "4", "--print-samples", "--save"});
    ASSERT_EQ(tuned.size(), 42u);
    std::array<double, 5> e{};
    for (int i = 0; i < 40; ++i) {
        const auto f = fields(tuned[i]);
        for (int k = 0; k < 5; ++k) {
            const double v = std::stod(f.at(k + 1));
            const bool beats = k % 2 == 0 ? v > e[k] : v < e[k];
            if (i == 0 || beats) e[k] = i == 0 ? v : (v + e[k]) / 2;
        }
    }
    const auto th = fields(tuned[40]);
    EXPECT_NEAR(std::stod(th.at(1)), e[0], 1e-3);
    EXPECT_EQ(std::stod(th.at(4)), std::floor(e[1] + 0.5));
    EXPECT_EQ(std::stod(th.at(5)), std::floor(e[2] + 0.5));
    EXPECT_EQ(std::stod(th.at(8)), std::floor(e[3] + 0.5));
    EXPECT_EQ(std::stod(th.at(9)), std::floor(e[4]) > 0 ? std::floor(e[4] + 0.5) : 1.0);
    EXPECT_EQ(std::stod(th.at(2)), 100) << "the upper rate bound is kept";
    EXPECT_EQ(tuned[41], "saved");
    EXPECT_NE(test::readFile(config.file("ZO10DI/ZO10DI.ini")).find("10="), std::string::npos);
}

}  // namespace
}  // namespace varnet
