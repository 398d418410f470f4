#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "db/HoldOutTable.h"
#include "engine/Scoring.h"
#include "search/SearchRun.h"

namespace varnet {

class History;

// The out-of-sample check of a search. Candidates are chosen on the draws
// before the last M (the hold-out); each find is then scored on those M
// draws, which played no part in choosing it. How many finds chance alone
// gives is measured by testing the same candidates on the earlier draws in
// a shuffled time order, which breaks any pattern across draws but keeps
// every number's frequency.

// The history keeps at least three draws before the hold-out (the first two
// have no number two draws back, so nothing before them could be counted).
bool holdOutFits(int historyRows, int holdOut);

// The first `rows` rows.
History leadingRows(const History& history, int rows);

// The rows in an order drawn from `seed`. Each place keeps its issue, so the
// issues still ascend and only the draws move.
History shuffledDraws(const History& history, std::uint64_t seed);

// Scores candidates on the last M draws of a history: unweighted, every
// held-out draw counted, a draw's number taken from the value two draws
// earlier (which may lie before the hold-out), as the search counts.
class HoldOutScorer {
  public:
    HoldOutScorer(const History& history, int holdOut, int position, bool kill);
    ~HoldOutScorer();
    HoldOutScorer(const HoldOutScorer&) = delete;
    HoldOutScorer& operator=(const HoldOutScorer&) = delete;

    // `plainHits` of `counted` (= M) draws, with all the other statistics
    // over those draws; invalid when the candidate cannot be evaluated there.
    Score score(const std::vector<int>& params, int constant) const;
    // Whether the candidate hits each held-out draw; empty when it cannot be
    // evaluated there.
    std::vector<std::uint8_t> hits(const std::vector<int>& params, int constant) const;

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// How many of the finds hit each held-out draw. Finds that look alike hit
// and miss together; counted per draw, that shows in the spread over the
// draws, which are what is independent under chance.
struct HeldOutTally {
    int finds = 0;
    std::vector<std::int32_t> hits;  // per held-out draw, in order
    // One find's hits per held-out draw; an empty one (not evaluable) is left out.
    void add(const std::vector<std::uint8_t>& perDraw);
};

// The finds' held-out hits against chance.
struct HeldOutMean {
    int finds = 0;
    double baseline = 0.0;  // percent, 90 kill, 10 keep
    // The mean over the held-out draws of the share of finds that hit the
    // draw (= the finds' mean held-out hit rate), percent.
    double mean = 0.0;
    // Of the mean, from the spread of that share over the held-out draws;
    // 0 below two draws.
    double standardError = 0.0;
    std::int64_t hits = 0;  // held-out hits of all finds pooled
    std::int64_t draws = 0;
    // One-sided: how likely chance gives a mean this far above the baseline,
    // by the normal approximation of the mean over the draws. When every
    // draw has the same share (no spread to go by), the exact binomial tail
    // of one formula with that rate.
    double pValue = 1.0;
};
HeldOutMean heldOutMean(const HeldOutTally& tally, bool kill);

struct HoldOutFind {
    SearchFind find;  // scored on the draws before the hold-out
    Score heldOut;    // on the held-out draws; nothing counted without a hold-out
    // A qualified find's hit on each held-out draw; empty otherwise.
    std::vector<std::uint8_t> heldOutHits;
};

struct HoldOutReport {
    SearchSummary search;
    int holdOut = 0;
    // With a hold-out: the candidates considered, how many qualified and
    // how many qualified on the shuffled history.
    long long tried = 0;
    long long finds = 0;
    long long chanceFinds = 0;
    HeldOutMean mean;
};

// A search with the last `holdOut` draws held out (0: a plain search on the
// whole history, as runSearch). The shuffle's seed comes from the search's,
// so the same seed gives the same report. Requires holdOutFits().
HoldOutReport runHoldOutSearch(const History& history, const SearchRequest& request, int holdOut,
                               const std::function<bool(const HoldOutFind&)>& report,
                               const std::atomic<bool>* cancel = nullptr);

// The summary of a search with a hold-out over `history`, to store.
HoldOutRecord holdOutRecord(const HoldOutReport& report, const History& history, int position,
                            bool kill);

}  // namespace varnet
