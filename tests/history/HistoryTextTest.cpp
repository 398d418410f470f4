#include <gtest/gtest.h>

#include "base/TextCodec.h"
#include "history/HistoryText.h"

namespace varnet {
namespace {

Draw example() {
    Draw d;
    d.issue = 545550;
    d.numbers = {3, 7, 1, 10, 4, 2, 9, 5, 8, 6};
    d.day = 15;
    d.month = 3;
    d.year = 2016;
    return d;
}

std::vector<HistoryText::Line> parse(const std::string& text) {
    HistoryText::Carry carry;
    return HistoryText::parse(text, carry);
}

TEST(HistoryTextFormat, LineLayoutAndFileName) {
    EXPECT_EQ(HistoryText::formatLine(example()),
              "0545550 2016-03-15 03 07 01 10 04 02 09 05 08 06 ");
    Draw noDate = example();
    noDate.day = noDate.month = noDate.year = 0;
    EXPECT_EQ(HistoryText::formatLine(noDate).substr(0, 15), "0545550 0-00-00");
    EXPECT_EQ(HistoryText::exportFileName("545550"), "更新至545550期历史号码.txt");
}

TEST(HistoryTextFormat, ExportThenParseReproducesEveryDraw) {
    History h;
    Draw a = example(), b = example();
    b.issue = 545551;
    b.numbers = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    b.day = 1;
    b.month = 12;
    b.year = 2017;
    h.append(a.issue, computeParameters(a, {}));
    h.append(b.issue, computeParameters(b, a.numbers));
    const std::string text = HistoryText::format(h);
    EXPECT_NE(text.find("06 \r\n"), std::string::npos) << "lines end in CR LF";
    const auto lines = parse(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].draw, a);
    EXPECT_EQ(lines[1].draw, b);
}

TEST(HistoryTextReader, SkipsLinesWithoutASevenDigitIssue) {
    const auto lines = parse(
        "期号 日期 号码\n"
        "545550 2016-03-15 03 07 01 10 04 02 09 05 08 06\n"  // 6-digit issue
        "0545551 2016-03-15 01 02 03 04 05 06 07 08 09 10\n"
        "---- 分隔 ----\n"  // header between draws
        "0545552 2016-03-16 10 09 08 07 06 05 04 03 02 01\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].draw.issue, 545551);
    EXPECT_EQ(lines[0].lineNumber, 3);
    EXPECT_EQ(lines[1].draw.issue, 545552);
    EXPECT_EQ(lines[1].draw.day, 16);
}

TEST(HistoryTextReader, CarriesValuesOverFromTheLineBefore) {
    HistoryText::Carry carry;
    carry.year = 2015;
    const auto lines = HistoryText::parse(
        "0000100 2016-03-15 03 07 01 10 04 02 09 05 08 06\n"
        "0000101 2016-03-15 3 7 1 10 4 2 9 5 8 6\n"  // one-digit numbers are not recognised
        "0000102 01 02 03\n"                         // no date: the date is carried over
        "0000103 2016-03-16 01 02 03 04 05 06 07 08 09 10 11 12\n",  // extras dropped
        carry);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].draw.numbers, (Numbers{10, 7, 1, 10, 4, 2, 9, 5, 8, 6}))
        << "only the two-digit field 10 is read, into the first place";
    EXPECT_EQ(lines[2].draw.year, 2016);
    EXPECT_EQ(lines[2].draw.day, 15);
    // "01 02 03": no year, month or day field fits, the reader slides on one
    // character at a time and finds the numbers 02 and 03.
    EXPECT_EQ(lines[2].draw.numbers, (Numbers{2, 3, 1, 10, 4, 2, 9, 5, 8, 6}));
    EXPECT_EQ(lines[3].draw.numbers, (Numbers{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(carry.day, 16);
    EXPECT_EQ(carry.numbers, (Numbers{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(HistoryTextReader, FirstLineWithoutDateTakesTheKnownDate) {
    HistoryText::Carry carry;
    carry.day = 7;
    carry.month = 8;
    carry.year = 2019;
    const auto lines = HistoryText::parse("  0000005\r\n", carry);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].draw.year, 2019);
    EXPECT_EQ(lines[0].draw.numbers, Numbers{}) << "no numbers yet: zeros";
}

TEST(TextCodec, Utf8AndGbkFilesDecodeAlike) {
    const std::string utf8 = "期号 0545550\r\n";
    const std::string gbk = TextCodec::utf8ToGbk(utf8);
    EXPECT_NE(gbk, utf8);
    EXPECT_FALSE(TextCodec::isValidUtf8(gbk));
    EXPECT_EQ(TextCodec::decodeFile(gbk), utf8);
    EXPECT_EQ(TextCodec::decodeFile("\xEF\xBB\xBF" + utf8), utf8) << "BOM dropped";
    EXPECT_FALSE(TextCodec::isValidUtf8("\xC0\xAF"));  // overlong
    EXPECT_FALSE(TextCodec::isValidUtf8("\xE6\x9C"));  // cut short
    EXPECT_EQ(TextCodec::toU32("期1"), U"期1");
    // Broken bytes never throw.
    EXPECT_NO_THROW(TextCodec::decodeFile(std::string("\xFF\xFE\x81", 3)));
}

}  // namespace
}  // namespace varnet
