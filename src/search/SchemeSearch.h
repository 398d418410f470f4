#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Outcome.h"
#include "engine/Generator.h"
#include "engine/Scoring.h"
#include "engine/Thresholds.h"
#include "search/HoldOut.h"

namespace varnet {

class Database;
struct SearchWatch;
class History;

// A formula the search found, with the position and kind it was found for.
struct SearchResult {
    int position = 1;
    bool kill = true;
    std::string code, chinese;
};

// Saves a batch: appended to, or replacing, the formulas of each position it
// names (the other positions keep theirs). Each result keeps the kind it was
// found under; each table written is rebuilt once (duplicates dropped, first
// appearance kept, `idx` 1..n). One transaction for the whole batch.
struct BatchSaveResult : Outcome {
    std::vector<int> positions;  // the tables written, in order of first use
    int written = 0;             // rows inserted before duplicates were dropped
};
BatchSaveResult saveBatch(Database& db, const std::vector<SearchResult>& batch, bool replace);

// One position of a scheme: how many formulas to find and the search
// settings of that position.
struct SchemePosition {
    std::optional<int> planned;  // nothing: skipped
    int operands = 8;
    Thresholds thresholds;
};

struct SchemeRequest {
    bool kill = true;
    bool hold = false;  // plan = formulas to hold (else formulas to add)
    std::array<SchemePosition, 10> positions;
    std::array<int, 10> existing{};  // formulas stored per position (hold mode)
    FormulaShape shape = FormulaShape::Prefix;
    std::optional<int> constant;  // nothing: random 0..9
    CountRule rule;
    std::uint64_t seed = 0;
    long long maxCandidates = 0;  // per position; 0: no bound
    // The last draws kept out of the search, each find then scored on them
    // (0: none; a hold-out that does not fit the history counts as 0).
    int holdOut = 0;
    SearchWatch* watch = nullptr;
};

// What position p (1..10) looks for: its plan, less what it already holds
// in hold mode; 0 or less when it is skipped.
int schemeTarget(const SchemeRequest& request, int p);

// Where a scheme stands, kept apart from its batch: saving the finds empties
// the batch but leaves the scheme where it was.
struct SchemeProgress {
    int position = 0;  // the position being searched; 0 before the first, 11 when done
    int found = 0;     // what that position found so far
    // A position began; positions only move forward.
    void started(int p) {
        if (p > position) {
            position = p;
            found = 0;
        }
    }
    void add(const SearchResult& r) {
        started(r.position);
        ++found;
    }
};

// The request that continues `request` from `at`: the positions before it
// are done and the current one looks only for what it still lacks.
SchemeRequest resumeScheme(const SchemeRequest& request, const SchemeProgress& at);

struct SchemePositionReport {
    int position = 0;
    int planned = 0;  // what the position looked for (0 when skipped)
    int found = 0;
    long long evaluated = 0;
    bool skipped = false;
    bool unfinished = false;  // reached maxCandidates before its plan
};

struct SchemeReport {
    std::vector<SchemePositionReport> positions;
    std::vector<SearchResult> batch;  // in generation order, position by position
    bool cancelled = false;
};

// Walks positions 1..10, each with its own operand count and thresholds,
// until each has found its planned count. `onFind` (on the calling thread)
// sees every result as it arrives, with its scores; `onPosition` is told
// when a position starts.
SchemeReport runScheme(
    const History& history, const SchemeRequest& request,
    const std::function<void(const SearchResult&, const HoldOutFind&)>& onFind = {},
    const std::function<void(int)>& onPosition = {}, const std::atomic<bool>* cancel = nullptr);

// The tuning of one position: `samples` random candidates scored without
// the threshold test; each estimate moves halfway towards every sample that
// beats it. `proposal` applies the estimates to `base`: lower bounds of the
// rate, the longest hit run and the final hit run (at least 1), upper
// bounds of the two miss runs. `watch`, when given, sees every sample as it
// is scored (its count and the latest statistics).
struct TuningResult {
    std::vector<Score> samples;
    std::array<float, 5> estimates{};  // rate, longest miss, longest hit, final miss, final hit
    Thresholds proposal;
};
TuningResult tunePosition(const History& history, const GeneratorSettings& generator,
                          const CountRule& rule, int samples, std::uint64_t seed,
                          const Thresholds& base, const std::atomic<bool>* cancel = nullptr,
                          SearchWatch* watch = nullptr);

}  // namespace varnet
