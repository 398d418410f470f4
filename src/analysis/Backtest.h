#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/Calculation.h"
#include "base/Outcome.h"

namespace varnet {

class Database;
class History;

// The walk-forward check of a calculation: for each of the last M stored
// draws T, the calculation a user would have made with only the draws before
// T (scores included), compared with what T drew.

// One position's record over the tested draws.
struct BacktestPosition {
    int position = 0;
    int draws = 0;          // draws tested
    int successes = 0;      // draws whose number here was among the kept numbers
    double expected = 0.0;  // what chance gives: the sum of kept counts / 10
    double pValue = 1.0;    // P[successes >= observed] by chance
    // Per tested draw, in issue order: the kept numbers (bit n for number n),
    // and the successes and the chance expectation so far.
    std::vector<std::uint16_t> kept;
    std::vector<int> cumulative;
    std::vector<double> cumulativeExpected;
};

struct BacktestResult : Outcome {  // message: why nothing was checked
    bool cancelled = false;
    std::vector<std::int32_t> issues;         // the tested draws' issues, in order
    std::vector<BacktestPosition> positions;  // 1..currentPosition
};

// Tested draws a history allows: every draw with two draws before it.
int maxBacktestDraws(const History& history);

// The kept numbers of a position's votes as the result window marks them
// ("保留"): with kill votes the numbers no formula killed, with keep votes the
// numbers some formula kept. Bit n stands for number n.
std::uint16_t keptNumbers(const PositionVotes& votes, bool kill);

// Walks the last `draws` stored draws in order. For each tested row T,
// `visit(T, votes)` receives the votes of positions 1..currentPosition that
// calculate() gives on the history truncated before T (the request's issue
// is ignored). Every formula is evaluated once over the whole history and
// each truncated score comes from running sums, so the walk costs about one
// calculation, not one per draw. `progress(done, total)` may return false to
// stop; the walk then returns false.
bool walkForward(Database& db, const History& history, const CalcRequest& request, int draws,
                 const std::function<void(int row, const std::vector<PositionVotes>&)>& visit,
                 const std::function<bool(int done, int total)>& progress = {});

// The walk-forward check with its per-position record. Bad `draws` (not
// 1..maxBacktestDraws) computes nothing and says why.
BacktestResult backtest(Database& db, const History& history, const CalcRequest& request, int draws,
                        const std::function<bool(int done, int total)>& progress = {});

// P[S >= successes] for S the number of successes of independent trials
// with these success probabilities (the Poisson-binomial upper tail).
double successTail(const std::vector<double>& probabilities, std::int64_t successes);

}  // namespace varnet
