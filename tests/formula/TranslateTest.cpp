#include <gtest/gtest.h>

#include <random>

#include "base/ParameterNames.h"
#include "formula/Translate.h"

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

// The rescan as first written, kept as the oracle: after each replacement the
// scan goes on from where a created occurrence could start.
std::string rescanReplace(std::string text, std::string_view find, std::string_view with) {
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(find, from)) != std::string::npos;) {
        text.replace(at, find.size(), with);
        from = at >= find.size() - 1 ? at - (find.size() - 1) : 0;
    }
    return text;
}

TEST(AsReplace, MatchesTheRescanOnRandomAndCascadingTexts) {
    struct Case {
        std::string alphabet, find, with;
    };
    const std::vector<Case> cases{
        {"ab", "ab", "b"},    {"ab", "ab", ""},   {"abc", "aab", "a"}, {"ab", "aa", "a"},
        {"abc", "abc", "ab"}, {"ab", "ab", "ba"}, {"ab", "aba", "b"},  {"abx", "ab", "xa"},
        {"a", "aaa", "aa"},   {"ab", "b", ""},    {"ab", "ba", "a"},   {"abc", "ab", "cca"},
    };
    std::mt19937 rng(21);
    for (const auto& c : cases) {
        for (int n = 0; n < 400; ++n) {
            std::string text;
            const int length = static_cast<int>(rng() % 40);
            for (int i = 0; i < length; ++i) text += c.alphabet[rng() % c.alphabet.size()];
            std::string copy = text;
            ASSERT_EQ(AsReplace(copy, c.find, c.with), rescanReplace(text, c.find, c.with))
                << text << " " << c.find << "→" << c.with;
        }
    }
    // Chinese texts: rows of the table in their order over mixed words, parts
    // of words and a broken byte.
    const std::vector<std::string> words{"第一", "第十", "码",     "大小", "5余",     "2指数方",
                                         "期号", "日期", "前期号", "第",   "一",      "+",
                                         " ",    "3",    "邻号和", "\xE7", "同上期数"};
    const std::vector<std::pair<std::string, std::string>> rows{
        {"第一", "L1"}, {"码", "A"}, {"5余", "D"}, {"前期号", "L5M"}, {"日期", "L8M"}};
    for (int n = 0; n < 2000; ++n) {
        std::string text;
        for (int i = static_cast<int>(rng() % 12); i > 0; --i) text += words[rng() % words.size()];
        std::string expected = text, actual = text;
        for (const auto& [find, with] : rows) {
            expected = rescanReplace(expected, find, with);
            AsReplace(actual, find, with);
        }
        ASSERT_EQ(actual, expected) << text;
    }
}

// A line of 250,000 terms translates whole; its time is measured by the
// benchmark (translate_250000_terms_s), not here.
TEST(TranslateChinese, LongLinesTranslateWhole) {
    std::string chinese, code;
    for (int i = 0; i < 250000; ++i) {
        const int k = 1 + i % 132;
        chinese += ParameterNames::chinese(k) + "+";
        code += ParameterNames::code(k) + "+";
    }
    EXPECT_EQ(translateChinese(chinese + "7"), code + "7");
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
