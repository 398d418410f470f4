#include <gtest/gtest.h>

#include "base/Draw.h"
#include "base/NumericText.h"
#include "base/ParameterNames.h"
#include "support/Draws.h"

namespace varnet {
namespace {

// Parameter of kind letter 'A'..'L' at a position.
int at(const ParamValues& v, char letter, int position) {
    return v[paramIndex(letter - 'A', position) - 1];
}

Draw drawOf(Numbers n) { return test::makeDraw(545550, n); }

TEST(DrawParameters, WorkedExampleGivesTheWholeTable) {
    const Numbers previous{3, 1, 7, 10, 5, 2, 4, 9, 8, 6};
    const auto v = computeParameters(drawOf({3, 7, 1, 10, 4, 2, 9, 5, 8, 6}), previous);
    const int expected[10][12] = {
        {3, 0, 1, 3, 0, 2, 9, 7, 8, 27, 13, 1},     {7, 1, 1, 2, 1, 4, 49, 3, 128, 343, 4, 2},
        {1, 0, 1, 1, 1, 1, 1, 9, 2, 1, 17, 3},      {10, 1, 0, 0, 1, 5, 100, 0, 1024, 1000, 5, 3},
        {4, 0, 0, 4, 1, 2, 16, 6, 16, 64, 12, 8},   {2, 0, 0, 2, 2, 1, 4, 8, 4, 8, 13, 5},
        {9, 1, 1, 4, 0, 5, 81, 1, 512, 729, 7, 3},  {5, 0, 1, 0, 2, 3, 25, 5, 32, 125, 17, 1},
        {8, 1, 0, 3, 2, 4, 64, 2, 256, 512, 11, 1}, {6, 1, 0, 1, 0, 3, 36, 4, 64, 216, 11, 5},
    };
    for (int p = 1; p <= 10; ++p)
        for (int letter = 0; letter < 12; ++letter)
            EXPECT_EQ(at(v, static_cast<char>('A' + letter), p), expected[p - 1][letter])
                << "position " << p << " kind " << static_cast<char>('A' + letter);
    // L1M..L4M, the issue triple, the date, L1N, L2N.
    const int whole[12] = {0, 0, 0, 2, 545550, 545551, 545552, 15, 3, 2016, 9, 5};
    for (int k = 121; k <= 132; ++k) EXPECT_EQ(v[k - 1], whole[k - 121]) << ParameterNames::code(k);
}

TEST(DrawParameters, RunsAndStepsOfOrderedDraws) {
    const auto up = computeParameters(drawOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), Numbers{});
    EXPECT_EQ(up[120], 9);
    EXPECT_EQ(up[121], 0);
    EXPECT_EQ(up[122], 0);
    EXPECT_EQ(up[123], 0);
    EXPECT_EQ(up[130], 1);
    EXPECT_EQ(up[131], 0) << "no previous draw gives N2 = 0";

    const auto down = computeParameters(drawOf({10, 9, 8, 7, 6, 5, 4, 3, 2, 1}), Numbers{});
    EXPECT_EQ(down[120], 0);
    EXPECT_EQ(down[121], 9);
    EXPECT_EQ(down[130], 1) << "position 10 is not compared with position 1";

    const auto jumps = computeParameters(drawOf({1, 3, 5, 7, 9, 10, 8, 6, 4, 2}), Numbers{});
    EXPECT_EQ(jumps[122], 4);  // 1→3→5→7→9
    EXPECT_EQ(jumps[123], 4);  // 10→8→6→4→2
}

TEST(DrawParameters, NeighboursWrapAroundAndSingleNumberKinds) {
    const auto v = computeParameters(drawOf({5, 2, 3, 4, 1, 6, 7, 8, 10, 9}), Numbers{});
    EXPECT_EQ(at(v, 'K', 1), 9 + 2);  // positions 10 and 2
    EXPECT_EQ(at(v, 'L', 1), 7);
    EXPECT_EQ(at(v, 'K', 10), 10 + 5);  // positions 9 and 1
    EXPECT_EQ(at(v, 'L', 10), 5);
    // Number 10 at position 9, number 5 at position 1.
    const int ten[] = {10, 1, 0, 0, 1, 5, 100, 0, 1024, 1000};
    for (int letter = 0; letter < 10; ++letter) EXPECT_EQ(at(v, 'A' + letter, 9), ten[letter]);
    EXPECT_EQ(at(v, 'B', 1), 0) << "5 is small";
    EXPECT_EQ(at(v, 'F', 1), 3);
}

TEST(DrawParameters, OutOfRangeNumbersDoNotOverflow) {
    const auto v = computeParameters(drawOf({100, -3, 0, 4, 5, 6, 7, 8, 9, 10}), Numbers{});
    EXPECT_EQ(at(v, 'I', 1), INT32_MAX);  // 2^100 saturates
    EXPECT_EQ(at(v, 'J', 1), 1000000);
    EXPECT_EQ(at(v, 'C', 2), 1);
    EXPECT_FALSE(isValidNumbers({100, -3, 0, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_FALSE(isValidNumbers({1, 1, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(isValidNumbers({3, 7, 1, 10, 4, 2, 9, 5, 8, 6}));
}

TEST(ParameterNames, CodeAndChineseNames) {
    EXPECT_EQ(ParameterNames::code(1), "L1A");
    EXPECT_EQ(ParameterNames::code(10), "L0A");
    EXPECT_EQ(ParameterNames::code(11), "L1B");
    EXPECT_EQ(ParameterNames::code(120), "L0L");
    EXPECT_EQ(ParameterNames::code(130), "L0M");
    EXPECT_EQ(ParameterNames::code(131), "L1N");
    EXPECT_EQ(ParameterNames::code(132), "L2N");
    EXPECT_EQ(ParameterNames::chinese(1), "第一码");
    EXPECT_EQ(ParameterNames::chinese(12), "第二大小");
    EXPECT_EQ(ParameterNames::chinese(120), "第十邻号差");
    EXPECT_EQ(ParameterNames::chinese(125), "前期号");
    EXPECT_EQ(ParameterNames::chinese(132), "同上期数");
    for (int k = 1; k <= 132; ++k)
        EXPECT_EQ(ParameterNames::indexOfCode(ParameterNames::code(k)), k);
    EXPECT_EQ(ParameterNames::indexOfCode("l0m"), 130);
    EXPECT_EQ(ParameterNames::indexOfCode("L3N"), 0) << "there is no third N column";
    EXPECT_EQ(ParameterNames::indexOfCode("L1O"), 0);
    EXPECT_EQ(ParameterNames::indexOfCode("X1A"), 0);
}

TEST(NumericText, LeadingNumberOfAText) {
    EXPECT_EQ(numericValue("  12abc"), 12);
    EXPECT_EQ(numericValue("-3.5e2x"), -350);
    EXPECT_EQ(numericValue("1e"), 1);
    EXPECT_EQ(numericValue("abc"), 0);
    EXPECT_EQ(numericValue(""), 0);
    EXPECT_EQ(numericValue("."), 0);
    EXPECT_EQ(toInt32(2.5).value(), 2);  // halves to even
    EXPECT_EQ(toInt32(3.5).value(), 4);
    EXPECT_FALSE(toInt32(3e10).has_value());
    EXPECT_EQ(parseWholeInteger(" 545549 ").value(), 545549);
    EXPECT_FALSE(parseWholeInteger("12abc").has_value());
    EXPECT_FALSE(parseWholeInteger("").has_value());
    EXPECT_EQ(parseWholeInteger("-4").value(), -4);
}

}  // namespace
}  // namespace varnet
