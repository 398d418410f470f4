#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "formula/RollingRate.h"
#include "history/NumberCounts.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

// Each point against a window counted afresh: walk back from the point's row
// until `window` marked rows are seen.
TEST(ChartNumbers, RollingRateMatchesCountingEachWindowAgain) {
    std::mt19937_64 rng(11);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<std::uint8_t> marks(rng() % 60);
        for (auto& m : marks) m = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0 : 1 + rng() % 2);
        const int window = static_cast<int>(rng() % 12);
        std::vector<RatePoint> naive;
        for (int end = 0; end < static_cast<int>(marks.size()); ++end) {
            if (window <= 0 || marks[end] == 0) continue;
            int seen = 0, hits = 0;
            for (int r = end; r >= 0 && seen < window; --r)
                if (marks[r] != 0) {
                    ++seen;
                    hits += marks[r] == 1;
                }
            if (seen == window) naive.push_back({end, 100.0 * hits / window});
        }
        const auto got = rollingHitRate(marks, window);
        ASSERT_EQ(got.size(), naive.size()) << "trial " << trial;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].row, naive[i].row);
            EXPECT_DOUBLE_EQ(got[i].percent, naive[i].percent);
        }
    }
}

TEST(ChartNumbers, WindowFollowsRetrievalCountWithinTheMarkedRows) {
    EXPECT_EQ(rollingWindow(300, 1000), 300);
    EXPECT_EQ(rollingWindow(0, 1000), kAllDrawsWindow) << "all draws: a fixed window";
    EXPECT_EQ(rollingWindow(300, 40), 40);
    EXPECT_EQ(rollingWindow(0, 0), 0);
}

TEST(ChartNumbers, NumberCountsOverTheLastDraws) {
    const History h = test::randomHistory(83, 5);
    for (int position : {1, 7, 10})
        for (int last : {0, 1, 30, 83, 500}) {
            int expected[10] = {};
            const int first = last == 0 || last > h.size() ? 0 : h.size() - last;
            for (int r = first; r < h.size(); ++r) ++expected[h.numbers(r)[position - 1] - 1];
            const NumberCounts got = numberCounts(h, position, last);
            EXPECT_EQ(got.draws, h.size() - first);
            EXPECT_DOUBLE_EQ(got.expected(), (h.size() - first) / 10.0);
            for (int k = 0; k < 10; ++k)
                EXPECT_EQ(got.counts[k], expected[k]) << position << " " << last << " " << k + 1;
        }
    EXPECT_EQ(numberCounts(h, 11, 0).draws, 0) << "no such position";
}

}  // namespace
}  // namespace varnet
