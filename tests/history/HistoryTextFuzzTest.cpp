#include <gtest/gtest.h>

#include <random>

#include "base/TextCodec.h"
#include "history/HistoryText.h"

namespace varnet {
namespace {

// Bounded random input for the history reader: random bytes and mutations of
// valid lines must never crash it, and what it returns must keep its rules.
TEST(HistoryTextFuzz, RandomAndMutatedInputKeepsTheReaderSound) {
    std::mt19937_64 rng(20261208);
    const std::string valid = "0545550 2016-03-15 03 07 01 10 04 02 09 05 08 06 \r\n";
    const std::string alphabet = "0123456789 -.eE+\r\n\t期号abc\xFF\x81";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int lines = static_cast<int>(rng() % 10);
        for (int l = 0; l < lines; ++l) {
            std::string line = valid;
            const int edits = static_cast<int>(rng() % 8);
            for (int e = 0; e < edits && !line.empty(); ++e) {
                const std::size_t at = rng() % line.size();
                switch (rng() % 3) {
                    case 0:
                        line[at] = alphabet[rng() % alphabet.size()];
                        break;
                    case 1:
                        line.erase(at, 1 + rng() % 3);
                        break;
                    default:
                        line.insert(at, 1, alphabet[rng() % alphabet.size()]);
                        break;
                }
            }
            text += line;
        }
        if (round % 3 == 0)
            for (int i = 0; i < 40; ++i) text += static_cast<char>(rng() & 0xFF);

        HistoryText::Carry carry;
        const auto parsed = HistoryText::parse(TextCodec::decodeFile(text), carry);
        int lastLine = 0;
        for (const auto& line : parsed) {
            EXPECT_GE(line.draw.issue, 1);
            EXPECT_GT(line.lineNumber, lastLine);
            lastLine = line.lineNumber;
            for (int x : line.draw.numbers) EXPECT_TRUE(x >= 0 && x <= 99);
        }
        // Every line with more than blanks is taken or named, each issue once.
        HistoryText::Carry again;
        const auto read = HistoryText::read(TextCodec::decodeFile(text), again);
        EXPECT_EQ(static_cast<int>(read.draws.size()) + read.skipped(), read.nonEmptyLines);
        for (std::size_t i = 1; i < read.draws.size(); ++i)
            EXPECT_LT(read.draws[i - 1].draw.issue, read.draws[i].draw.issue);
        // Read in two halves at once, the same to the last line number and carry.
        HistoryText::Carry halves;
        const auto split = HistoryText::read(TextCodec::decodeFile(text), halves, 0);
        EXPECT_EQ(split.nonEmptyLines, read.nonEmptyLines);
        EXPECT_EQ(split.textLines, read.textLines);
        EXPECT_EQ(split.badNumberLines, read.badNumberLines);
        EXPECT_EQ(split.repeatedLines, read.repeatedLines);
        EXPECT_EQ(split.carriedLines, read.carriedLines);
        ASSERT_EQ(split.draws.size(), read.draws.size());
        for (std::size_t i = 0; i < read.draws.size(); ++i) {
            const auto &a = split.draws[i], &b = read.draws[i];
            EXPECT_TRUE(a.lineNumber == b.lineNumber && a.draw.issue == b.draw.issue &&
                        a.draw.numbers == b.draw.numbers && a.draw.year == b.draw.year &&
                        a.draw.month == b.draw.month && a.draw.day == b.draw.day &&
                        a.carried == b.carried)
                << round << ' ' << i;
        }
        EXPECT_TRUE(halves.numbers == again.numbers && halves.year == again.year &&
                    halves.month == again.month && halves.day == again.day)
            << round;
    }
}

}  // namespace
}  // namespace varnet
