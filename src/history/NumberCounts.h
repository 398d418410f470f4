#pragma once

#include <array>

namespace varnet {

class History;

// How often each number came out at one position over the last draws.
struct NumberCounts {
    std::array<int, 10> counts{};  // counts[k - 1]: draws where number k finished there
    int draws = 0;                 // draws counted
    // What chance gives each number: every number is as likely, one in ten.
    double expected() const { return draws / 10.0; }
};

// The counts at `position` (1..10) over the last `lastDraws` draws of the
// history, all of them when `lastDraws` is 0 or more than there are.
NumberCounts numberCounts(const History& history, int position, int lastDraws);

}  // namespace varnet
