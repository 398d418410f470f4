#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/Scoring.h"

namespace varnet {

// The five statistics of a score that the windows show, filter and sort by,
// in the order they are listed everywhere.
enum class ScoreStat { Rate, LongestMiss, LongestHit, LastMiss, LastHit };
inline constexpr std::array<ScoreStat, 5> kScoreStats{ScoreStat::Rate, ScoreStat::LongestMiss,
                                                      ScoreStat::LongestHit, ScoreStat::LastMiss,
                                                      ScoreStat::LastHit};

// "正确率", "最大连错", "最大连对", "最后连错", "最后连对".
const char* captionOf(ScoreStat stat);
// The formula table's column: sglGsRate, intGsErrCon, intGsTrueCon, intGsErrLst, intGsTrueLst.
const char* columnOf(ScoreStat stat);
std::optional<ScoreStat> statOfColumn(const std::string& column);
double valueOf(const Score& score, ScoreStat stat);
// The miss runs are better small; the others large.
inline bool higherIsBetter(ScoreStat stat) {
    return stat != ScoreStat::LongestMiss && stat != ScoreStat::LastMiss;
}

// A statistic the best-formula method ranks by, with its direction.
struct SortKey {
    std::string column;  // a column of columnOf()
    bool descending = true;
};

// The sort window's choice: three levels and the keep limit.
struct SortSettings {
    std::array<SortKey, 3> keys{SortKey{"sglGsRate", true}, SortKey{"intGsTrueCon", true},
                                SortKey{"intGsTrueLst", true}};
    int keepLimit = 1;

    // The column names of the five statistics, in the order of the sort
    // window's options, and their captions.
    static const std::array<const char*, 5>& columns();
    static const std::array<const char*, 5>& captions();
    static bool isColumn(const std::string& column) { return statOfColumn(column).has_value(); }
    // The miss runs sort ascending (fewer is better), the others descending.
    static bool defaultDescending(const std::string& column);
};

}  // namespace varnet
