#pragma once

#include <climits>
#include <cstdint>
#include <vector>

namespace varnet {

// The per-draw display of a block of listed formulas in the history grid:
// for each formula of the block and each history row, the number shown and
// whether the cell is a hit, a miss, or uncoloured.
struct PerDrawColumn {
    enum Mark : std::uint8_t { None = 0, Hit = 1, Miss = 2 };
    std::int64_t id = 0;  // the formula's row id
    int listNumber = 0;   // 1-based list position
    bool valid = true;
    std::vector<std::int8_t> numbers;  // per history row; kNoNumber when empty
    std::vector<std::uint8_t> marks;   // per history row
    static constexpr std::int8_t kNoNumber = INT8_MIN;
};

}  // namespace varnet
