#include <gtest/gtest.h>

#include "formula/Translate.h"
#include "history/ParameterNames.h"

namespace varnet {
namespace {

TEST(AsReplace, RescansFromTheStartSoThatCreatedOccurrencesAreReplacedToo) {
    // One left-to-right pass would leave "aab"; each replacement makes a new "ab".
    std::string text = "aaab";
    EXPECT_EQ(AsReplace(text, "ab", "b"), "b");
    EXPECT_EQ(text, "b");

    std::string nested = "xaabbx";
    EXPECT_EQ(AsReplace(nested, "ab", ""), "xx");

    std::string untouched = "第一码";
    EXPECT_EQ(AsReplace(untouched, "第二", "L2"), "第一码");
}

TEST(AsReplace, DegenerateArgumentsEnd) {
    std::string text = "abc";
    EXPECT_EQ(AsReplace(text, "", "x"), "abc");
    // A replacement holding what it replaces cannot be rescanned to an end.
    EXPECT_EQ(AsReplace(text, "b", "bb"), "abbc");
}

TEST(TranslateChinese, EveryParameterNameBecomesItsCodeName) {
    for (int k = 1; k <= 132; ++k)
        EXPECT_EQ(translateChinese(ParameterNames::chinese(k)), ParameterNames::code(k))
            << ParameterNames::chinese(k);
}

TEST(TranslateChinese, GeneratedFormulasTranslateTermByTerm) {
    std::string chinese, code;
    for (int k = 1; k <= 132; k += 7) {
        chinese += ParameterNames::chinese(k) + "+";
        code += ParameterNames::code(k) + "+";
    }
    EXPECT_EQ(translateChinese(chinese + "5"), code + "5");
    EXPECT_EQ(translateChinese("第三码+第五大小+7"), "L3A+L5B+7");
}

TEST(TranslateChinese, RowOrderDecidesOverlappingWords) {
    // Position 10 is the digit 0, never "L10".
    EXPECT_EQ(translateChinese("第十码+第十大小"), "L0A+L0B");
    // Position words go before the kind words that begin with a digit.
    EXPECT_EQ(translateChinese("第一5余"), "L1D");
    EXPECT_EQ(translateChinese("第三2指数方+日期"), "L3I+L8M");
    // The 期号 words go before 日期.
    EXPECT_EQ(translateChinese("前期号+本期号"), "L5M+L7M");
    EXPECT_EQ(translateChinese("上期号*同上期数"), "L6M*L2N");
}

TEST(TranslateChinese, NeighbourWordsHaveTwoSpellings) {
    EXPECT_EQ(translateChinese("第一邻数和"), "L1K");
    EXPECT_EQ(translateChinese("第一邻号和"), "L1K");
    EXPECT_EQ(translateChinese("第九邻数差-第九邻号差"), "L9L-L9L");
}

TEST(TranslateChinese, KeepsWhatNoRowMatchesAndTrimsOnlySpaces) {
    EXPECT_EQ(translateChinese("第一和值+3"), "L1和值+3");
    EXPECT_EQ(translateChinese("(第二码 MOD 3)/2"), "(L2A MOD 3)/2");
    EXPECT_EQ(translateChinese("  第一码+1  "), "L1A+1");
    EXPECT_EQ(translateChinese("\t第一码\xE3\x80\x80"),
              "\tL1A\xE3\x80\x80");  // tab, ideographic space
    EXPECT_EQ(translateChinese("   "), "");
}

TEST(CharacterTest, AcceptsOnlyTheCodeFormAlphabet) {
    EXPECT_TRUE(passesCharacterTest("L3A+L5B+7"));
    EXPECT_TRUE(passesCharacterTest("(l1a MOD 3)*2-L0M/4"));
    EXPECT_TRUE(passesCharacterTest("[`{ xyz"));
    EXPECT_TRUE(passesCharacterTest(""));

    EXPECT_FALSE(passesCharacterTest(translateChinese("第一和值+3")));
    for (const char* bad : {"L1A=3", "L1A]", "L1A}", "L1A.5", "L1A_B", "L1A\t", "L1A,2", "\xFF"})
        EXPECT_FALSE(passesCharacterTest(bad)) << bad;
}

}  // namespace
}  // namespace varnet
