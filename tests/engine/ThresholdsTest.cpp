#include <gtest/gtest.h>

#include "engine/Thresholds.h"

namespace varnet {
namespace {

// Statistics that sit inside the kill defaults; each case moves one of them.
Score inside() {
    Score s;
    s.rate = 95.0f;
    s.longestMiss = 1;
    s.longestHit = 40;
    s.lastMiss = 0;
    s.lastHit = 30;
    return s;
}

TEST(Thresholds, RateBoundsWithTolerance) {
    const Thresholds t = defaultThresholds(true);  // rate 93.6 .. 100
    Score s = inside();
    s.rate = 93.6f;
    EXPECT_TRUE(QualifyCandidate(s, t)) << "a rate equal to the lower bound";
    s.rate = 100.0f;
    EXPECT_TRUE(QualifyCandidate(s, t)) << "a rate equal to the upper bound";

    Thresholds t93 = t;
    t93.th[0] = 93;
    s.rate = 92.9999f;
    EXPECT_TRUE(QualifyCandidate(s, t93));
    s.rate = 92.999f;
    EXPECT_FALSE(QualifyCandidate(s, t93));
}

// Each range rejects a value more than 0.0001 outside either bound and takes
// one within the tolerance. The runs are whole numbers, so fractional bounds
// make the edges.
TEST(Thresholds, EveryRangeHasBothEnds) {
    const Score base = inside();
    const float rate = base.rate;
    const int runs[4] = {base.longestMiss, base.longestHit, base.lastMiss, base.lastHit};
    for (int range = 0; range < 5; ++range) {
        const double value = range == 0 ? rate : runs[range - 1];
        Thresholds t{{0, 100, 0, 32768, 0, 32768, 0, 32768, 0, 32768}};
        auto check = [&](double lo, double hi, bool expected) {
            t.th[2 * range] = lo;
            t.th[2 * range + 1] = hi;
            EXPECT_EQ(QualifyCandidate(base, t), expected)
                << "range " << range << " [" << lo << ", " << hi << "] value " << value;
        };
        check(value, value, true);
        check(value + 0.00005, value + 1, true);
        check(value - 1, value - 0.00005, true);
        check(value + 0.001, value + 1, false);
        check(value - 1, value - 0.001, false);
    }
}

TEST(Thresholds, TextsAndDefaults) {
    const Thresholds t =
        thresholdsFromTexts({"93.6abc", "abc", "", "1", "-2", "32768", " 5", "0.5", "24x", "1e2"});
    const std::array<double, 10> expected{93.6, 0, 0, 1, -2, 32768, 5, 0.5, 24, 100};
    for (int i = 0; i < 10; ++i) EXPECT_DOUBLE_EQ(t.th[i], expected[i]) << i;

    EXPECT_EQ(defaultThresholds(true).th,
              (std::array<double, 10>{93.6, 100, 0, 1, 32, 32768, 0, 0, 24, 32768}));
    EXPECT_EQ(defaultThresholds(false).th,
              (std::array<double, 10>{12, 100, 0, 36, 2, 32768, 0, 0, 2, 32768}));
}

}  // namespace
}  // namespace varnet
