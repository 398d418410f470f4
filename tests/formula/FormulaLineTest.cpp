#include <gtest/gtest.h>

#include "formula/FormulaLine.h"
#include "formula/Translate.h"

namespace varnet {
namespace {

FormulaLine apart(std::string_view line, BracketRule rule = BracketRule::Import) {
    const auto parts = takeApartFormulaLine(line, rule);
    EXPECT_TRUE(parts.has_value()) << line;
    return parts.value_or(FormulaLine{});
}

TEST(SuffixLine, NamesKindPositionAndExpression) {
    const FormulaLine kill = apart("第三码+第五大小+7=下期杀第一");
    EXPECT_EQ(kill.shape, FormulaLine::Shape::Suffix);
    EXPECT_EQ(kill.kill, true);
    EXPECT_EQ(kill.position, 1);
    EXPECT_EQ(kill.expression, "第三码+第五大小+7");
    EXPECT_EQ(kill.chinese, "第三码+第五大小+7=下期杀第一");
    EXPECT_EQ(translateChinese(kill.expression), "L3A+L5B+7");

    const FormulaLine keep = apart("  第一码 + 2 =下期生第十  ", BracketRule::Entry);
    EXPECT_EQ(keep.kill, false);
    EXPECT_EQ(keep.position, 10);
    EXPECT_EQ(keep.expression, "第一码 + 2");
    EXPECT_EQ(keep.chinese, "第一码 + 2 =下期生第十");

    // Any kind character other than 杀 means keep.
    EXPECT_EQ(apart("第一码=下期留第二").kill, false);
}

TEST(SuffixLine, DropsExactlyOneCharacterBefore下期) {
    EXPECT_EQ(apart("第一码+3 下期杀第二").expression, "第一码+3");
    EXPECT_EQ(apart("第一码+3下期杀第二").expression, "第一码+");
    EXPECT_EQ(apart("第一码码下期杀第二").expression, "第一码");
    // Only the first 下期 counts.
    const FormulaLine twice = apart("第一码=下期杀第二=下期生第三");
    EXPECT_EQ(twice.expression, "第一码");
    EXPECT_EQ(twice.kill, true);
    EXPECT_EQ(twice.position, 2);
}

TEST(SuffixLine, PositionWordMayStandOneCharacterLater) {
    EXPECT_EQ(apart("第一码=下期杀 第三").position, 3);
    EXPECT_EQ(apart("第一码=下期杀：第四位").position, 4);
    EXPECT_EQ(apart("第一码=下期杀第十一").position, 10);
    // Without a kind character the position word is read one place off.
    const FormulaLine noKind = apart("第一码=下期第一");
    EXPECT_EQ(noKind.kill, false);
    EXPECT_EQ(noKind.position, 0);
    EXPECT_EQ(apart("第一码=下期杀第〇").position, 0);
}

TEST(SuffixLine, ReadingPastTheEndIsNoFailure) {
    const FormulaLine shortKind = apart("第一码=下期杀");
    EXPECT_EQ(shortKind.kill, true);
    EXPECT_EQ(shortKind.position, 0);
    EXPECT_EQ(apart("第一码=下期").kill, false);
    EXPECT_EQ(apart("第一码=下期杀第").position, 0);
    // One character before 下期: an empty expression, still taken apart.
    EXPECT_EQ(apart("=下期杀第一").expression, "");
}

TEST(SuffixLine, NothingBefore下期Fails) {
    for (const auto rule : {BracketRule::Import, BracketRule::Entry}) {
        EXPECT_FALSE(takeApartFormulaLine("下期杀第一", rule));
        EXPECT_FALSE(takeApartFormulaLine("   下期杀第一", rule));
    }
}

TEST(PrefixLine, TakesPositionFromTheBracketAndNeverTheTag) {
    for (const auto rule : {BracketRule::Import, BracketRule::Entry}) {
        const FormulaLine line = apart("[第二生]第一码+3", rule);
        EXPECT_EQ(line.shape, FormulaLine::Shape::Prefix);
        EXPECT_FALSE(line.kill.has_value());
        EXPECT_EQ(line.position, 2);
        EXPECT_EQ(line.expression, "第一码+3");
        EXPECT_EQ(apart("[第十杀] 第二码 ", rule).expression, "第二码");
        EXPECT_EQ(apart("[第x杀]第二码", rule).position, 0);
    }
}

TEST(PrefixLine, BracketRulesDifferForShortTags) {
    // Without a tag the import finds the bracket at 4; entry takes character 8.
    EXPECT_EQ(apart("[第二]第一码+3", BracketRule::Import).expression, "第一码+3");
    const FormulaLine typed = apart("[第二]第一码+3", BracketRule::Entry);
    EXPECT_EQ(typed.expression, "3");
    EXPECT_EQ(typed.position, 2);

    // The first "]" among the candidates wins.
    EXPECT_EQ(apart("[第一]]第二码").expression, "]第二码");
    // Past the candidates the fallback character is dropped whatever it is.
    EXPECT_EQ(apart("[第一杀杀杀杀]第二码+1", BracketRule::Import).expression, "]第二码+1");
    EXPECT_EQ(apart("[第一杀杀杀杀]第二码+1", BracketRule::Entry).expression, "第二码+1");
    EXPECT_EQ(apart("[第一杀杀杀]第二码+1", BracketRule::Entry).expression, "第二码+1");
}

TEST(PrefixLine, ShorterThanItsBracketFails) {
    EXPECT_FALSE(takeApartFormulaLine("", BracketRule::Import));
    EXPECT_FALSE(takeApartFormulaLine("[第一", BracketRule::Import));
    EXPECT_EQ(apart("[第一]", BracketRule::Import).expression, "");
    EXPECT_FALSE(takeApartFormulaLine("[第一]", BracketRule::Entry));
    // A line exactly as long as its bracket position has an empty expression.
    EXPECT_EQ(apart("[第一杀]", BracketRule::Entry).expression, "");
    // Fallback position 7 (import) and 8 (entry) must exist.
    EXPECT_FALSE(takeApartFormulaLine("[第一杀杀杀", BracketRule::Import));
    EXPECT_FALSE(takeApartFormulaLine("[第一杀杀杀杀", BracketRule::Entry));
}

TEST(PrefixLine, TextThatIsNoFormulaIsReadAsPrefixAndFailsLater) {
    const FormulaLine banner = apart("======== 杀码公式 ========");
    EXPECT_EQ(banner.shape, FormulaLine::Shape::Prefix);
    EXPECT_EQ(banner.position, 0);
    EXPECT_FALSE(passesCharacterTest(translateChinese(banner.expression)));
}

TEST(PrefixLine, UndecodableBytesCountAsOneCharacterEach) {
    const FormulaLine line = apart("[\xFF\xFE]第一码");
    EXPECT_EQ(line.expression, "第一码");
    EXPECT_EQ(line.position, 0);
    // A truncated sequence is as many characters as it has bytes.
    EXPECT_EQ(apart("[\xE7\xAC]第一码").expression, "第一码");
}

TEST(Lianzhun, EverythingFromTheFirstOneIsCut) {
    EXPECT_EQ(cutAtLianzhun("第一码+第二码=下期杀第三    连准：12期"), "第一码+第二码=下期杀第三");
    EXPECT_EQ(cutAtLianzhun(" [第一杀]第二码 连准3期 连准4期"), "[第一杀]第二码");
    EXPECT_EQ(cutAtLianzhun("连准：5期"), "");
    EXPECT_EQ(cutAtLianzhun("第一码 连 准"), "第一码 连 准");

    const FormulaLine line = apart("第一码+第二码=下期杀第三    连准：12期");
    EXPECT_EQ(line.chinese, "第一码+第二码=下期杀第三");
    EXPECT_EQ(line.position, 3);
    EXPECT_EQ(line.kill, true);
    // The shape is decided on the cut text: a 下期 after 连准 does not count.
    EXPECT_EQ(apart("[第四杀]第二码 连准 下期杀第一").shape, FormulaLine::Shape::Prefix);
    EXPECT_EQ(apart("[第四杀]第二码 连准 下期杀第一").position, 4);
}

TEST(ImportedLine, UntranslatableWordFailsTheCharacterTest) {
    const FormulaLine line = apart("第一和值+3=下期杀第一");
    const std::string code = translateChinese(line.expression);
    EXPECT_EQ(code, "L1和值+3");
    EXPECT_FALSE(passesCharacterTest(code));
}

}  // namespace
}  // namespace varnet
