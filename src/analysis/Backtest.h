#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Calculation.h"
#include "base/Outcome.h"
#include "db/FormulaTable.h"

namespace varnet {

class Database;
class History;

// The walk-forward check of a calculation: for each of the last M stored
// draws T, the calculation a user would have made with only the draws before
// T (scores included), compared with what T drew.

// One position's record over the tested draws. A draw is clean when every
// formula that may vote there (the selected ones of the kind) entered its
// table before it (FormulaOrigin): only clean draws are counted unless all
// tested draws are, and then the results may flatter formulas chosen on them.
struct BacktestPosition {
    int position = 0;
    int formulas = 0;                          // formulas that may vote
    int unknownEntries = 0;                    // of those, entered before entries were recorded
    std::optional<FormulaOrigin> latestEntry;  // the latest known entry among them

    // Per tested draw, in issue order: whether it is clean, the number
    // drawn here, the kept numbers ("保留", bit n for number n), the numbers
    // the result window claims (the keep quota) and the drawn number's place
    // in its ranking (1..10; 0 when the position ranks nothing).
    std::vector<std::uint8_t> clean;
    std::vector<std::int8_t> drawn;
    std::vector<std::uint16_t> kept, claimed;
    std::vector<std::int8_t> place;

    // The tally over the counted draws (set by tallyBacktest).
    int draws = 0;          // draws counted
    int cleanDraws = 0;     // clean draws among the tested ones
    int successes = 0;      // counted draws whose number here was among the kept numbers
    double expected = 0.0;  // what chance gives: the sum of kept counts / 10
    double pValue = 1.0;    // P[successes >= observed] by chance
    double pHolm = 1.0;     // Holm-corrected over the positions
    int keptDraws = 0;      // counted draws that kept some number
    int claimedHits = 0;    // counted draws whose number was among the claimed ones
    double claimedExpected = 0.0;
    double claimedP = 1.0, claimedHolm = 1.0;
    int placed = 0;          // counted draws with a place
    double meanPlace = 0.0;  // chance: 5.5
    double placeP = 1.0;     // P[mean place <= observed] by chance
    double placeHolm = 1.0;
    // Per tested draw: the successes and the chance expectation so far
    // (draws not counted add nothing).
    std::vector<int> cumulative;
    std::vector<double> cumulativeExpected;
};

struct BacktestResult : Outcome {  // message: why nothing was checked
    bool cancelled = false;
    bool allDraws = false;                    // every tested draw counted, clean or not
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

// The walk-forward check with its per-position record, tallied over the
// clean draws or, with `allDraws`, over all of them. Bad `draws` (not
// 1..maxBacktestDraws) computes nothing and says why.
BacktestResult backtest(Database& db, const History& history, const CalcRequest& request, int draws,
                        const std::function<bool(int done, int total)>& progress = {},
                        bool allDraws = false);

// Tallies every position again over the clean draws or all tested draws.
void tallyBacktest(BacktestResult& result, bool allDraws);

// In plain words, why a position counted fewer draws than were tested (no
// or few clean draws) and how many new draws the check needs; empty when
// every tested draw counted.
std::string cleanDrawsNote(const BacktestResult& result, const BacktestPosition& position);

// A figure of the check with `digits` decimals ("%.*f"): what the CLI and
// the report print for expectations and mean places.
std::string fixedText(double x, int digits);

// Holm's step-down adjustment of p-values tested together.
std::vector<double> holmAdjusted(const std::vector<double>& p);

// P[S <= sum] for S the sum of n places drawn uniformly from 1..10: the exact
// chance of a mean place this low.
double placeSumTail(int n, std::int64_t sum);

// P[S >= successes] for S the number of successes of independent trials
// with these success probabilities (the Poisson-binomial upper tail).
double successTail(const std::vector<double>& probabilities, std::int64_t successes);

}  // namespace varnet
