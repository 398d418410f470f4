#include "engine/ScoreStat.h"

namespace varnet {

namespace {

constexpr std::array<const char*, 5> kColumns{"sglGsRate", "intGsErrCon", "intGsTrueCon",
                                              "intGsErrLst", "intGsTrueLst"};
constexpr std::array<const char*, 5> kCaptions{"正确率", "最大连错", "最大连对", "最后连错",
                                               "最后连对"};

}  // namespace

const char* captionOf(ScoreStat stat) { return kCaptions[static_cast<int>(stat)]; }
const char* columnOf(ScoreStat stat) { return kColumns[static_cast<int>(stat)]; }

std::optional<ScoreStat> statOfColumn(const std::string& column) {
    for (ScoreStat s : kScoreStats)
        if (column == columnOf(s)) return s;
    return std::nullopt;
}

double valueOf(const Score& score, ScoreStat stat) {
    switch (stat) {
        case ScoreStat::Rate:
            return score.rate;
        case ScoreStat::LongestMiss:
            return score.longestMiss;
        case ScoreStat::LongestHit:
            return score.longestHit;
        case ScoreStat::LastMiss:
            return score.lastMiss;
        case ScoreStat::LastHit:
            return score.lastHit;
    }
    return 0;
}

const std::array<const char*, 5>& SortSettings::columns() { return kColumns; }
const std::array<const char*, 5>& SortSettings::captions() { return kCaptions; }

bool SortSettings::defaultDescending(const std::string& column) {
    const auto stat = statOfColumn(column);
    return !stat || higherIsBetter(*stat);
}

}  // namespace varnet
