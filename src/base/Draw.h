#pragma once

#include <array>
#include <cstdint>

namespace varnet {

constexpr int kPositions = 10;
constexpr int kParamCount = 132;

using Numbers = std::array<int, kPositions>;
// Parameter values indexed 0..131 for parameter index k = 1..132.
using ParamValues = std::array<std::int32_t, kParamCount>;

// One draw as entered: issue, the numbers at positions 1..10, and its date.
// What a reader of draw texts carries from one line to the next: the date
// and the numbers of the line before.
struct DrawCarry {
    int day = 0;
    int month = 0;
    int year = 0;
    Numbers numbers{};
};

struct Draw {
    std::int32_t issue = 0;
    Numbers numbers{};
    int day = 0;
    int month = 0;
    int year = 0;

    bool operator==(const Draw&) const = default;
};

// True when the ten numbers are 1..10, each once.
bool isValidNumbers(const Numbers& numbers);

// The 132 derived parameters of a draw; `previous` holds the numbers of the
// previous draw (all zero when there is none). Values that would not fit a
// 32-bit integer are saturated rather than wrapped.
ParamValues computeParameters(const Draw& draw, const Numbers& previous);

// Parameter index (1..132) of kind letter (0 = 'A' .. 11 = 'L') at position 1..10.
constexpr int paramIndex(int letter, int position) { return letter * 10 + position; }

}  // namespace varnet
