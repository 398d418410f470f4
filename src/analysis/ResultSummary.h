#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/Calculation.h"

namespace varnet {

// The result window's view of one position.
struct PositionSummary {
    int position = 0;
    struct Row {
        int number = 0;
        std::int64_t total = 0, kill = 0, keep = 0;
        bool keepMark = false;  // "保留" (else "滤杀", green)
        bool grey = false;      // claimed by an earlier position while this one had room
    };
    std::vector<Row> rows;     // the number list in its order
    std::vector<int> claimed;  // numbers this position claimed, in list order
    std::vector<int> grey;     // numbers greyed, in list order
    struct CountRow {
        std::int64_t count = 0;
        int numbers = 0;
        std::string list;  // the numbers, each followed by a space
    };
    std::vector<CountRow> counts;  // the count summary
    bool noFormulas = false;       // nothing to rank: no list, no count summary, no claim
};

struct ResultSummary {
    std::vector<PositionSummary> positions;
    // The first claimed number of each position, each followed by a space;
    // "-" for a position that claimed none.
    std::string arrangement;
};

// Ranks each position's numbers by total votes (ascending for kill, descending
// for keep; ties in number order either way), marks keep/filter, claims
// numbers across positions up to the keep quota and builds the arrangement.
ResultSummary summarise(const CalcResult& result, bool kill);

// A position's list sorted again on a click: `column` 1 number, 2 total,
// 3 kill, 4 keep votes (any other column: total votes), in the ranking's
// direction (ascending for kill, descending for keep) or, when `reversed`,
// the other way; ties in number order. The marks of the fill are kept with
// their numbers.
std::vector<PositionSummary::Row> resort(const std::vector<PositionSummary::Row>& rows, int column,
                                         bool reversed, bool kill);

// "注:当前计算545551期结果，赛车公式采用隔期计算(计算当前的下2期)" for the
// target issue 545551.
std::string resultNote(std::int32_t targetIssue);

}  // namespace varnet
