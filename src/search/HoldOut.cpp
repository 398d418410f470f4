#include "search/HoldOut.h"

#include <cmath>
#include <numeric>
#include <random>

#include "base/History.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/SearchKernel.h"
#include "engine/Significance.h"

namespace varnet {

namespace {

// Rows before the first one that can be counted.
constexpr int kLag = 2;

// Held-out draws are counted alike and all of them.
CountRule heldOutRule() {
    CountRule rule;
    rule.retrieval = 0;
    rule.weighted = false;
    rule.search = true;
    return rule;
}

}  // namespace

bool holdOutFits(int historyRows, int holdOut) {
    return holdOut >= 0 && historyRows - holdOut > kLag;
}

History leadingRows(const History& history, int rows) {
    History h = history;
    h.truncate(rows);
    return h;
}

History shuffledDraws(const History& history, std::uint64_t seed) {
    std::vector<int> order(history.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937_64 rng(seed);
    // Fisher-Yates by hand: std::shuffle's draws differ between libraries.
    for (int i = static_cast<int>(order.size()) - 1; i > 0; --i) {
        const auto j = static_cast<int>(rng() % static_cast<std::uint64_t>(i + 1));
        std::swap(order[i], order[j]);
    }
    History h;
    h.reserve(history.size());
    for (int i = 0; i < history.size(); ++i) h.append(history.issue(i), history.params(order[i]));
    return h;
}

// The last M draws and the two before them, so that the counted rows of
// this short history are exactly the held-out draws.
struct HoldOutScorer::Parts {
    History tail;
    int position;
    bool kill;
    SearchKernel kernel;
    FormulaEngine engine;

    Parts(History t, int p, bool k)
        : tail(std::move(t)),
          position(p),
          kill(k),
          kernel(tail, p, k, heldOutRule()),
          engine(tail) {}
};

HoldOutScorer::HoldOutScorer(const History& history, int holdOut, int position, bool kill) {
    History tail;
    const int first = std::max(0, history.size() - holdOut - kLag);
    tail.reserve(history.size() - first);
    for (int r = first; r < history.size(); ++r) tail.append(history.issue(r), history.params(r));
    parts_ = std::make_unique<Parts>(std::move(tail), position, kill);
}

HoldOutScorer::~HoldOutScorer() = default;

Score HoldOutScorer::score(const std::vector<int>& params, int constant) const {
    const int k = static_cast<int>(params.size());
    if (parts_->kernel.accepts(params.data(), k, constant))
        return parts_->kernel.score(params.data(), k, constant);
    const auto parsed = parseFormula(candidateCode(params, constant));
    Score s =
        parts_->engine.scoreOne(*parsed.program, parts_->position, parts_->kill, heldOutRule());
    s.calcValue.reset();
    return s;
}

HeldOutMean heldOutMean(const std::vector<Score>& heldOut, bool kill) {
    std::vector<std::pair<std::int32_t, std::int32_t>> counts;
    for (const Score& s : heldOut)
        if (s.valid && s.counted > 0)
            counts.emplace_back(static_cast<std::int32_t>(s.plainHits),
                                static_cast<std::int32_t>(s.counted));
    return heldOutMean(counts, kill);
}

HeldOutMean heldOutMean(const std::vector<std::pair<std::int32_t, std::int32_t>>& hitsAndDraws,
                        bool kill) {
    HeldOutMean m;
    m.baseline = chanceBaseline(kill) * 100.0;
    std::vector<double> rates;
    for (const auto& [hits, draws] : hitsAndDraws) {
        if (draws <= 0) continue;
        rates.push_back(100.0 * static_cast<double>(hits) / static_cast<double>(draws));
        m.hits += hits;
        m.draws += draws;
    }
    m.finds = static_cast<int>(rates.size());
    if (rates.empty()) return m;
    m.mean = std::accumulate(rates.begin(), rates.end(), 0.0) / static_cast<double>(rates.size());
    if (rates.size() >= 2) {
        double squares = 0.0;
        for (double r : rates) squares += (r - m.mean) * (r - m.mean);
        const double n = static_cast<double>(rates.size());
        m.standardError = std::sqrt(squares / (n - 1.0) / n);
    }
    m.pValue = binomialUpperTail(m.draws, m.hits, chanceBaseline(kill));
    return m;
}

HoldOutReport runHoldOutSearch(const History& history, const SearchRequest& request, int holdOut,
                               const std::function<bool(const HoldOutFind&)>& report,
                               const std::atomic<bool>* cancel) {
    HoldOutReport out;
    out.holdOut = holdOut;
    if (holdOut <= 0) {
        out.search = runSearch(
            history, request,
            [&](const SearchFind& f) {
                return report({f, Score{}});
            },
            cancel);
        out.tried = out.search.considered;
        out.finds = out.search.qualified;
        return out;
    }
    const History inSample = leadingRows(history, history.size() - holdOut);
    // A seed of its own for the shuffle, fixed by the search's.
    const History shuffled = shuffledDraws(inSample, request.seed ^ 0x9e3779b97f4a7c15ull);
    const HoldOutScorer scorer(history, holdOut, request.generator.position,
                               request.generator.kill);
    SearchRequest r = request;
    r.control = &shuffled;
    std::vector<std::pair<std::int32_t, std::int32_t>> heldOut;  // hits, draws
    out.search = runSearch(
        inSample, r,
        [&](const SearchFind& f) {
            HoldOutFind h{f, scorer.score(f.candidate.params, f.candidate.constant)};
            if (f.qualified) {
                ++out.finds;
                if (h.heldOut.valid)
                    heldOut.emplace_back(static_cast<std::int32_t>(h.heldOut.plainHits),
                                         static_cast<std::int32_t>(h.heldOut.counted));
            }
            return report(h);
        },
        cancel);
    out.tried = out.search.considered;
    out.chanceFinds = out.search.controlQualified;
    out.mean = heldOutMean(heldOut, request.generator.kill);
    return out;
}

}  // namespace varnet
