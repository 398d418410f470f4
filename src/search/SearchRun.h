#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "engine/Generator.h"
#include "engine/Scoring.h"
#include "engine/Thresholds.h"

namespace varnet {

class History;

struct SearchWatch;

struct SearchRequest {
    GeneratorSettings generator;
    CountRule rule;  // the search rules are applied whatever `rule.search` says
    Thresholds thresholds;
    long long candidates = 0;
    std::uint64_t seed = 0;
    // Report every candidate with all its statistics, not only those that
    // qualify (slower: the longest runs are then worked out for all).
    bool everyCandidate = false;
    int threads = 0;  // 0: every core
    SearchWatch* watch = nullptr;
    // A second history on which every candidate is tested too, under the
    // same thresholds, only to count how many qualify there (nothing is
    // reported from it). Nothing: no such count.
    const History* control = nullptr;
};

struct SearchFind {
    Candidate candidate;
    Score score;
    bool qualified = false;
};

// What a window shows of a running search: the candidates evaluated so far
// and, once per round, one candidate just scored with its statistics.
struct SearchWatch {
    std::atomic<long long> evaluated{0};
    std::mutex mutex;
    SearchFind latest;   // under `mutex`
    bool fresh = false;  // under `mutex`: `latest` not yet taken
};

struct SearchSummary {
    long long evaluated = 0;
    long long qualified = 0;
    double seconds = 0.0;
    bool cancelled = false;
    // The candidates up to the last one considered (`evaluated`, or fewer
    // when `report` stopped the search inside a batch) and, with a control
    // history, how many of exactly those qualified on it.
    long long considered = 0;
    long long controlQualified = 0;
};

// Generates and scores candidates on every core. `report` is called on the
// calling thread, in the order the candidates were drawn, for each qualified
// candidate (or each candidate with everyCandidate); it may return false to
// stop. The same seed gives the same candidates and finds on any machine.
SearchSummary runSearch(const History& history, const SearchRequest& request,
                        const std::function<bool(const SearchFind&)>& report,
                        const std::atomic<bool>* cancel = nullptr);

}  // namespace varnet
