#include <gtest/gtest.h>

#include <sstream>

#include "support/CliFixture.h"

namespace varnet {
namespace {

class TrendCliTest : public test::CliFixture {};

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) out.push_back(f);
    return out;
}

TEST_F(TrendCliTest, PrintsDrawsThenValuesAndRefusesBadInput) {
    // An empty history says so.
    auto r = cli({"trend", "--position", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no draws are stored"), std::string::npos) << r.err;

    const std::string file = scratch.file("gen.txt");
    ASSERT_EQ(cli({"history", "generate", "--draws", "30", "--first-issue", "700001", "--seed", "4",
                   "--out", file})
                  .exitCode,
              0);
    ASSERT_EQ(cli({"history", "import", file}).exitCode, 0);

    r = cli({"trend", "--position", "3", "--last", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 20u);  // 10 draws, 10 numbers
    for (int i = 0; i < 10; ++i) {
        const auto f = fields(out[i]);
        ASSERT_EQ(f.size(), 12u) << out[i];
        EXPECT_EQ(f[0], std::to_string(700021 + i));
        EXPECT_EQ(f[1 + std::stoi(f[1])], "0") << "the drawn number's omission is 0";
    }
    int appearances = 0;
    for (int i = 10; i < 20; ++i) {
        const auto f = fields(out[i]);
        ASSERT_EQ(f.size(), 9u) << out[i];
        EXPECT_EQ(f[0], std::to_string(i - 9));
        EXPECT_EQ(f[2], "1.00");
        appearances += std::stoi(f[1]);
    }
    EXPECT_EQ(appearances, 10);

    r = cli({"trend", "--param", "l2b"});  // a 大小 parameter, any case; 30 < 100 draws
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 32u);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"trend", "--param", "L5M"},
                                                {"trend", "--param", "XYZ"},
                                                {"trend", "--position", "3", "--last", "-1"},
                                                {"trend", "--position", "11"},
                                                {"trend", "--position", "3", "--param", "L1A"},
                                                {"trend"}}) {
        r = cli(bad);
        EXPECT_EQ(r.exitCode, 2) << bad.back();
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("varnet-cli: "), std::string::npos);
    }
}

}  // namespace
}  // namespace varnet
