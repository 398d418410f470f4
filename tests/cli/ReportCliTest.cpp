#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/Chromium.h"
#include "support/CliFixture.h"

namespace varnet::test {
namespace {

class ReportCliTest : public CliFixture {
  protected:
    std::vector<std::string> fields(const std::string& line) {
        std::vector<std::string> out;
        std::istringstream in(line);
        for (std::string f; std::getline(in, f, '\t');) out.push_back(f);
        return out;
    }
};

// The report written by the CLI on a history whose last 300 draws came after
// the formulas were found: it loads in a browser without console errors, and
// every walk-forward number and hold-out summary in it is the text the CLI
// prints for the same check.
TEST_F(ReportCliTest, ReportLoadsCleanlyAndItsNumbersAreTheCliOnes) {
    if (chromiumBinary().empty()) GTEST_SKIP() << "chromium is not installed";
    const std::string early = scratch.file("early.txt"), all = scratch.file("all.txt");
    ASSERT_EQ(
        cli({"history", "generate", "--draws", "1500", "--seed", "3", "--out", early}).exitCode, 0);
    ASSERT_EQ(cli({"history", "import", early}).exitCode, 0);
    std::map<int, std::string> holdOut;  // position: its summary line
    for (int p = 1; p <= 10; ++p) {
        const auto r = cli({"search", "--position", std::to_string(p), "--kind", "kill",
                            "--constant", "random", "--candidates", "800", "--seed",
                            std::to_string(p), "--save", "append", "--holdout", "200"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        for (const auto& l : lines(r.out))
            if (l.rfind("# tried", 0) == 0) holdOut[p] = l;
    }
    // Later draws, dated after the formulas entered.
    const auto later =
        cli({"history", "generate", "--draws", "300", "--first-issue", "1001501", "--seed", "4"});
    const std::string laterText = std::regex_replace(later.out, std::regex(" 2016-"), " 2099-");
    writeFile(all, readFile(early) + laterText);
    ASSERT_EQ(cli({"history", "import", all}).exitCode, 0);

    const std::string file = scratch.file("报告.html");
    const auto written = cli({"report", "--backtest", "300", file});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(written.out, file + "\n");
    const auto calc = cli({"calc", "--position", "10", "--kind", "kill", "--backtest", "300"});
    ASSERT_EQ(calc.exitCode, 0) << calc.err;

    const std::string html = readFile(file);
    for (const char* outside : {"<script", "src=", "href=", "url("})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    const ChromiumPage page = loadInChromium(file, scratch.path());
    ASSERT_EQ(page.exitCode, 0);
    EXPECT_TRUE(page.console.empty()) << page.console.front();
    std::map<std::string, std::string> shown;
    const std::regex mark("<span data-k=\"([^\"]+)\">([^<]*)</span>");
    for (std::sregex_iterator it(page.dom.begin(), page.dom.end(), mark), end; it != end; ++it)
        shown[(*it)[1]] = (*it)[2];

    // calc --backtest's fields after the position, in order.
    const char* const keys[] = {"draws",    "successes",   "expected",    "p",
                                "pHolm",    "keptDraws",   "claimedHits", "claimedExpected",
                                "claimedP", "claimedHolm", "meanPlace",   "placeP",
                                "placeHolm"};
    const auto rows = lines(calc.out);
    ASSERT_EQ(rows.size(), 10u);
    for (const auto& row : rows) {
        const auto f = fields(row);
        ASSERT_EQ(f.size(), 15u) << row;
        const std::string at = "p" + f[0] + "-";
        EXPECT_EQ(f[1], "300");
        for (int k = 0; k < 13; ++k) EXPECT_EQ(shown[at + keys[k]], f[k + 1]) << at << keys[k];
        EXPECT_EQ(shown[at + "verdict"], std::stod(f[10]) < 0.05
                                             ? "结果窗口推荐的号码命中次数与机会有显著差别：Holm "
                                               "校正后的 p 值为 " +
                                                   f[10] + "。"
                                             : "与机会没有显著差别");
        const std::string& summary = holdOut[std::stoi(f[0])];
        const auto mean = summary.find("held-out mean ");
        ASSERT_NE(mean, std::string::npos) << summary;
        EXPECT_EQ(shown[at + "heldOutMean"],
                  summary.substr(mean, summary.find(" (baseline") - mean));
        EXPECT_EQ(shown[at + "heldOutP"], summary.substr(summary.rfind("\tp ") + 1));
    }
}

// Bad arguments are refused with the usage text and write nothing.
TEST_F(ReportCliTest, BadArgumentsWriteNothing) {
    const std::string early = scratch.file("h.txt");
    ASSERT_EQ(cli({"history", "generate", "--draws", "50", "--out", early}).exitCode, 0);
    ASSERT_EQ(cli({"history", "import", early}).exitCode, 0);
    const std::vector<std::vector<std::string>> bad = {
        {"report", "--kind", "sideways"}, {"report", "--method", "worst"},
        {"report", "--backtest", "49"},  // 48 draws have two draws before them
        {"report", "--backtest", "0"},    {"report", "--count", "5"},
        {"report", "a.html", "b.html"},
    };
    for (const auto& args : bad) {
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << args[1];
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args[1];
    }
    EXPECT_FALSE(std::filesystem::exists(data.file("检验报告.html")));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()) ||
                !std::filesystem::exists(scratch.file("a.html")));
    // The default M shrinks to what the history allows.
    const auto r = cli({"report"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, data.file("检验报告.html") + "\n");
    EXPECT_NE(readFile(data.file("检验报告.html")).find("48（期号"), std::string::npos);
}

}  // namespace
}  // namespace varnet::test
