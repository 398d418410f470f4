#include "history/NumberCounts.h"

#include <algorithm>

#include "base/History.h"

namespace varnet {

NumberCounts numberCounts(const History& history, int position, int lastDraws) {
    NumberCounts out;
    if (position < 1 || position > 10) return out;
    const int rows = history.size();
    const int first = lastDraws > 0 ? std::max(0, rows - lastDraws) : 0;
    const auto& column = history.column(position);
    for (int r = first; r < rows; ++r) {
        const int number = column[r];
        // A stored draw holds 1..10 at every position; anything else is not counted.
        if (number < 1 || number > 10) continue;
        ++out.counts[number - 1];
        ++out.draws;
    }
    return out;
}

}  // namespace varnet
