#pragma once

#include <array>

#include "base/Draw.h"
#include "engine/Expression.h"

namespace varnet {

class History;

// The least and greatest value of every parameter column of a history.
struct ColumnRanges {
    explicit ColumnRanges(const History& history);
    std::array<double, kParamCount> lo{}, hi{};
};

// True when interval arithmetic over the column ranges proves that the
// program can be evaluated on every row: no divisor can come near zero, no
// MOD operand can leave the 32-bit range and the value always rounds into
// it. False means only that the proof failed; the rows must then be tried.
bool evaluableEverywhere(const Program& program, const ColumnRanges& ranges);

}  // namespace varnet
