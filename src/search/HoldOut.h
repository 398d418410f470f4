#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

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

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The finds' held-out hits against chance.
struct HeldOutMean {
    int finds = 0;
    double baseline = 0.0;       // percent, 90 kill, 10 keep
    double mean = 0.0;           // mean held-out hit rate of the finds, percent
    double standardError = 0.0;  // of the mean, from the finds' spread; 0 below two finds
    std::int64_t hits = 0;       // held-out hits of all finds pooled
    std::int64_t draws = 0;
    // P[at least `hits` of `draws`] by chance, as if the finds were
    // independent (they may not be: similar formulas hit together).
    double pValue = 1.0;
};
HeldOutMean heldOutMean(const std::vector<Score>& heldOut, bool kill);
// The same from each find's held-out (plain hits, counted draws), for
// searches with too many finds to keep their scores.
HeldOutMean heldOutMean(const std::vector<std::pair<std::int32_t, std::int32_t>>& hitsAndDraws,
                        bool kill);

struct HoldOutFind {
    SearchFind find;  // scored on the draws before the hold-out
    Score heldOut;    // on the held-out draws; nothing counted without a hold-out
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

}  // namespace varnet
