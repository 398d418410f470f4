#include <gtest/gtest.h>

#include <string>

#include "base/History.h"
#include "engine/Expression.h"
#include "engine/Reference.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

// The value of a formula on the first row of a small history.
double valueOf(const std::string& code) {
    static const History h = test::randomHistory(3, 1);
    const auto parsed = parseFormula(code);
    EXPECT_TRUE(parsed.program) << code << ": " << parsed.error;
    if (!parsed.program) return -999999;
    std::string error;
    const auto v = evaluateRow(*parsed.program, h, 0, &error);
    EXPECT_TRUE(v) << code << ": " << error;
    return v.value_or(-999999);
}

std::string errorOf(const std::string& code) {
    static const History h = test::randomHistory(3, 1);
    const auto parsed = parseFormula(code);
    if (!parsed.program) return parsed.error;
    std::string error;
    if (evaluateRow(*parsed.program, h, 0, &error)) return "";
    return error;
}

TEST(Expression, PrecedenceAndAssociativity) {
    EXPECT_EQ(valueOf("2+3*4"), 14);
    EXPECT_EQ(valueOf("(2+3)*4"), 20);
    EXPECT_EQ(valueOf("10-2-3"), 5);
    EXPECT_EQ(valueOf("8/2/2"), 2);
    EXPECT_EQ(valueOf("-2*3"), -6);
    EXPECT_EQ(valueOf("2--3"), 5);
    EXPECT_EQ(valueOf("2*-3"), -6);
    // MOD binds looser than * and /, tighter than + and -.
    EXPECT_EQ(valueOf("7 MOD 2*3"), 1);  // 7 MOD 6
    EXPECT_EQ(valueOf("2*3 MOD 4"), 2);  // 6 MOD 4
    EXPECT_EQ(valueOf("1+7 MOD 4"), 4);  // 1 + 3
    EXPECT_EQ(valueOf("9 MOD 5 MOD 3"), 1);
    EXPECT_EQ(valueOf("7/2"), 3.5);
    EXPECT_EQ(valueOf("  ( ( 1 ) )  "), 1);
}

TEST(Expression, ModRoundsHalfToEvenAndKeepsTheDividendsSign) {
    EXPECT_EQ(valueOf("5/2 MOD 10"), 2);  // 2.5 rounds to 2
    EXPECT_EQ(valueOf("7/2 MOD 10"), 4);  // 3.5 rounds to 4
    EXPECT_EQ(valueOf("0-7 MOD 3"), -1);
    EXPECT_EQ(valueOf("7 MOD -3"), 1);
    EXPECT_EQ(valueOf("7 MOD 5/2"), 1);  // divisor 2.5 rounds to 2
}

TEST(Expression, NamesInAnyLetterCase) {
    const History h = test::randomHistory(3, 1);
    for (const char* code :
         {"L1A+l2b", "l1a+L2B", "[L1A]+[l2b]", "L1A+L2B mod 100", "L1A+L2B Mod 100"}) {
        const auto p = parseFormula(code);
        ASSERT_TRUE(p.program) << code << p.error;
        EXPECT_EQ(*evaluateRow(*p.program, h, 1, nullptr), h.param(1, 1) + h.param(1, 12)) << code;
    }
}

TEST(Expression, RejectsWhatIsNoFormulaWithAReason) {
    for (const char* bad : {"", "   ", "L1A+", "L1A L2A", "(L1A", "L1A)", "*3", "第一码+3",
                            "L1A+ZZZ", "L1A+MOD", "3 MOD", "L1A$", "[L1A", "1e5", "L1A++"}) {
        EXPECT_NE(errorOf(bad), "") << bad;
    }
    EXPECT_NE(parseFormula("L1A+ZZZ").error.find("ZZZ"), std::string::npos);
    // Deep nesting is refused, not a crash.
    EXPECT_FALSE(parseFormula(std::string(5000, '(') + "1" + std::string(5000, ')')).program);
    EXPECT_FALSE(parseFormula(std::string(5000, '-') + "1").program);
    EXPECT_TRUE(parseFormula(std::string(50, '(') + "1" + std::string(50, ')')).program);
}

TEST(Expression, ValuesThatCannotBeEvaluated) {
    EXPECT_NE(errorOf("1/0"), "");
    EXPECT_NE(errorOf("L1A/(L1B-L1B)"), "");
    EXPECT_NE(errorOf("L1A MOD 0"), "");
    EXPECT_NE(errorOf("2147483648"), "");  // read as a 32-bit integer
    EXPECT_EQ(errorOf("2147483647"), "");
    EXPECT_NE(errorOf("1 MOD 3000000000"), "");
    EXPECT_NE(errorOf("1/(1/0)"), "");
    // 10^400 does not fit a double: the divisor is infinite.
    std::string huge = "1";
    for (int i = 0; i < 40; ++i) huge += "*10000000000";
    EXPECT_NE(errorOf("1/(" + huge + ")"), "");
    EXPECT_NE(errorOf(huge), "");
}

TEST(Expression, RecognisesPlainSums) {
    auto sum = [](const char* code) {
        const ParseResult r = parseFormula(code);
        return r.program && r.program->paramSum;
    };
    const ParseResult r = parseFormula("L1A+l2b+7");
    ASSERT_TRUE(r.program);
    const Program* p = &*r.program;
    EXPECT_TRUE(p->paramSum);
    EXPECT_EQ(p->sumParams, (std::vector<int>{1, 12}));
    EXPECT_EQ(p->sumConstant, 7);
    for (const char* code : {"L1A+L2B+-3", "L1A+2-5+L2B"}) {
        const ParseResult minus = parseFormula(code);
        ASSERT_TRUE(minus.program);
        EXPECT_EQ(minus.program->sumConstant, -3) << code;
    }
    EXPECT_TRUE(sum("(L1A+L2B)+3"));
    EXPECT_TRUE(sum("L1A"));
    EXPECT_FALSE(sum("L1A-L2B"));
    EXPECT_FALSE(sum("-L1A+3"));
    EXPECT_FALSE(sum("L1A*2"));
    EXPECT_FALSE(sum("L1A+L2B MOD 3"));
    EXPECT_FALSE(sum("5"));
    EXPECT_FALSE(sum("L1A+9999999999"));
}

}  // namespace
}  // namespace varnet
