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

std::vector<std::uint8_t> HoldOutScorer::hits(const std::vector<int>& params, int constant) const {
    const auto parsed = parseFormula(candidateCode(params, constant));
    if (!parsed.program) return {};
    return parts_->engine.hitFlags(*parsed.program, parts_->position, parts_->kill, heldOutRule(),
                                   nullptr);
}

void HeldOutTally::add(const std::vector<std::uint8_t>& perDraw) {
    if (perDraw.empty()) return;
    if (hits.empty()) hits.assign(perDraw.size(), 0);
    if (perDraw.size() != hits.size()) return;  // another hold-out: not comparable
    for (std::size_t d = 0; d < perDraw.size(); ++d) hits[d] += perDraw[d];
    ++finds;
}

HeldOutMean heldOutMean(const HeldOutTally& tally, bool kill) {
    HeldOutMean m;
    const double p0 = chanceBaseline(kill);
    m.baseline = p0 * 100.0;
    m.finds = tally.finds;
    const auto draws = static_cast<std::int64_t>(tally.hits.size());
    if (tally.finds <= 0 || draws == 0) return m;
    m.draws = draws * tally.finds;
    m.hits = std::accumulate(tally.hits.begin(), tally.hits.end(), std::int64_t{0});
    const double finds = tally.finds, n = static_cast<double>(draws);
    const double mean = static_cast<double>(m.hits) / finds / n;
    m.mean = 100.0 * mean;
    double squares = 0.0;
    for (const std::int32_t h : tally.hits) {
        const double share = h / finds - mean;
        squares += share * share;
    }
    const double se = draws >= 2 ? std::sqrt(squares / (n - 1.0) / n) : 0.0;
    m.standardError = 100.0 * se;
    if (se > 0.0)
        m.pValue = 0.5 * std::erfc((mean - p0) / se / std::sqrt(2.0));
    else  // every draw alike (or only one): the finds hit as one formula would
        m.pValue = binomialUpperTail(draws, std::llround(mean * n), p0);
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
                return report({f, Score{}, {}});
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
    HeldOutTally tally;
    out.search = runSearch(
        inSample, r,
        [&](const SearchFind& f) {
            HoldOutFind h{f, scorer.score(f.candidate.params, f.candidate.constant), {}};
            if (f.qualified) {
                ++out.finds;
                if (h.heldOut.valid && h.heldOut.counted > 0) {
                    h.heldOutHits = scorer.hits(f.candidate.params, f.candidate.constant);
                    tally.add(h.heldOutHits);
                }
            }
            return report(h);
        },
        cancel);
    out.tried = out.search.considered;
    out.chanceFinds = out.search.controlQualified;
    out.mean = heldOutMean(tally, request.generator.kill);
    return out;
}

HoldOutRecord holdOutRecord(const HoldOutReport& report, const History& history, int position,
                            bool kill) {
    HoldOutRecord r;
    r.position = position;
    r.kill = kill;
    r.heldOut = report.holdOut;
    if (report.holdOut > 0 && report.holdOut <= history.size()) {
        r.firstIssue = history.issue(history.size() - report.holdOut);
        r.lastIssue = history.issue(history.size() - 1);
    }
    r.tried = report.tried;
    r.finds = report.finds;
    r.chanceFinds = report.chanceFinds;
    if (report.mean.finds > 0) {
        r.mean = report.mean.mean;
        r.standardError = report.mean.standardError;
        r.pValue = report.mean.pValue;
    }
    return r;
}

}  // namespace varnet
