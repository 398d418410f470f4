#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "formula/Verification.h"

namespace varnet {

class History;

// The replay of a list of formulas over every stored draw: per draw, the
// error values of the numbers 1..10 (how the selected formulas' numbers on
// that draw fall on them) ranked from the smallest, ties in number order.
struct Replay {
    struct Draw {
        std::int32_t issue = 0;
        std::array<std::int8_t, 10> drawn{};          // the numbers at positions 1..10
        std::array<std::int8_t, 10> ranked{};         // numbers by place 1..10
        std::array<std::int32_t, 10> rankedErrors{};  // their error values
        std::array<std::int32_t, 11> kill{}, keep{};  // the two counts by number (index 0 unused)
    };
    std::vector<Draw> draws;  // in issue order
    int formulas = 0;         // formulas that took part (selected and valid)
    int invalid = 0;          // selected formulas left out: they cannot be evaluated on every row
};

// Replays the formulas of a list (one kind) over the history. A kill formula
// counts against its own number; every keep formula counts against every
// number, and the first of them takes that count back from its own number.
// `selected` tells the formulas that take part. Each formula is evaluated
// once over the whole history, on every core.
Replay replayFormulas(const History& history, const std::vector<ListedFormula>& list,
                      const std::function<bool(const ListedFormula&)>& selected,
                      const std::function<bool(int)>& progress = {});

// The history query grid for a compared position: row i compares draw i's
// ranking with the number the following draw put at that position.
struct QueryRow {
    std::int32_t issue = 0;  // the following draw's issue
    int drawn = 0;           // its number at the compared position
    int place = 0;           // 1..10, 0 when no place holds it
    std::int32_t error = 0;  // its error value (when placed)
    int levels = 0;          // distinct error values of the ranking
    int level = 0;           // the drawn number's level (1 = smallest), 0 when not placed
    int onLevel = 0;         // numbers sharing that level, 0 when not placed
    const Replay::Draw* ranking = nullptr;
};

std::vector<QueryRow> queryRows(const Replay& replay, int comparedPosition);

// The smallest and largest error value over the rankings the query grid
// shows (every draw but the last; 0, 0 when there is none).
std::pair<std::int32_t, std::int32_t> errorRange(const Replay& replay);

// The numbers of one ranking whose error value is `e`: "03 07 " (two digits
// and a space each).
std::string numbersWithError(const Replay::Draw& draw, std::int32_t e);

}  // namespace varnet
