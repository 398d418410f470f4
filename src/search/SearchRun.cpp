#include "search/SearchRun.h"

#include <chrono>
#include <optional>
#include <vector>

#include "base/Parallel.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/SearchKernel.h"

namespace varnet {

namespace {

// Candidates per batch; each batch has a generator of its own, seeded from
// the search's generator, so batches can be drawn on any core in any order.
constexpr int kBatch = 4096;

}  // namespace

SearchSummary runSearch(const History& history, const SearchRequest& request,
                        const std::function<bool(const SearchFind&)>& report,
                        const std::atomic<bool>* cancel) {
    const auto start = std::chrono::steady_clock::now();
    CountRule rule = request.rule;
    rule.search = true;
    const GeneratorSettings& gs = request.generator;
    const SearchKernel kernel(history, gs.position, gs.kill, rule);
    const FormulaEngine engine(history);
    const int k = gs.operands;
    std::optional<SearchKernel> controlKernel;
    std::optional<FormulaEngine> controlEngine;
    if (request.control) {
        controlKernel.emplace(*request.control, gs.position, gs.kill, rule);
        controlEngine.emplace(*request.control);
    }
    // The qualification test on the control history (same shape as below).
    auto controlQualifies = [&](const int* params, int constant) {
        if (controlKernel->accepts(params, k, constant)) {
            Score unused;
            return controlKernel->qualifies(params, k, constant, request.thresholds, &unused);
        }
        const auto parsed =
            parseFormula(candidateCode(std::vector<int>(params, params + k), constant));
        const Score s = controlEngine->scoreOne(*parsed.program, gs.position, gs.kill, rule);
        return s.valid && QualifyCandidate(s, request.thresholds);
    };
    CandidateGenerator master(request.seed);

    SearchSummary summary;
    const int threads = request.threads > 0
                            ? request.threads
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Several batches per core per round keep every core busy while the
    // finds are reported in order between rounds.
    const int perRound = threads * 4;
    bool stop = false;
    while (!stop && summary.evaluated < request.candidates) {
        const long long left = request.candidates - summary.evaluated;
        const int batches =
            static_cast<int>(std::min<long long>(perRound, left / kBatch + (left % kBatch != 0)));
        std::vector<std::uint64_t> seeds(batches);
        for (auto& s : seeds) s = master.split();
        std::vector<std::vector<SearchFind>> finds(batches);
        // Per batch: each find's index in it, and the indexes of the
        // candidates that qualified on the control history.
        std::vector<std::vector<int>> findIndex(batches), controlHits(batches);
        std::vector<int> sizes(batches);
        SearchFind sample;  // the last batch's last candidate, for the watch
        parallelFor(
            batches, 1,
            [&](int begin, int end) {
                std::vector<int> params(k);
                for (int b = begin; b < end; ++b) {
                    const long long first = summary.evaluated + static_cast<long long>(b) * kBatch;
                    const int size =
                        static_cast<int>(std::min<long long>(kBatch, request.candidates - first));
                    sizes[b] = size;
                    CandidateGenerator gen(seeds[b]);
                    for (int i = 0; i < size; ++i) {
                        if (cancel && cancel->load(std::memory_order_relaxed)) {
                            sizes[b] = i;
                            break;
                        }
                        int constant = 0;
                        gen.draw(gs, params.data(), constant);
                        SearchFind f;
                        if (kernel.accepts(params.data(), k, constant)) {
                            if (request.everyCandidate) {
                                f.score = kernel.score(params.data(), k, constant);
                                f.qualified = QualifyCandidate(f.score, request.thresholds);
                            } else {
                                f.qualified = kernel.qualifies(params.data(), k, constant,
                                                               request.thresholds, &f.score);
                            }
                        } else {
                            // A negative constant: scored as a general formula.
                            const auto parsed = parseFormula(candidateCode(params, constant));
                            f.score = engine.scoreOne(*parsed.program, gs.position, gs.kill, rule);
                            f.score.calcValue.reset();
                            f.qualified =
                                f.score.valid && QualifyCandidate(f.score, request.thresholds);
                        }
                        if (request.watch && b == batches - 1 && i == size - 1) {
                            sample = f;
                            if (!f.qualified && !request.everyCandidate &&
                                kernel.accepts(params.data(), k, constant))
                                sample.score = kernel.score(params.data(), k, constant);
                            sample.candidate.params = params;
                            sample.candidate.constant = constant;
                            sample.candidate.code = candidateCode(params, constant);
                            sample.candidate.chinese = candidateChinese(params, constant, gs);
                        }
                        if (controlKernel && controlQualifies(params.data(), constant))
                            controlHits[b].push_back(i);
                        if (f.qualified || request.everyCandidate) {
                            findIndex[b].push_back(i);
                            f.candidate.params = params;
                            f.candidate.constant = constant;
                            f.candidate.code = candidateCode(params, constant);
                            f.candidate.chinese = candidateChinese(params, constant, gs);
                            finds[b].push_back(std::move(f));
                        }
                    }
                }
            },
            threads);
        for (int b = 0; b < batches && !stop; ++b) {
            summary.evaluated += sizes[b];
            if (request.watch) request.watch->evaluated += sizes[b];
            int considered = sizes[b];
            for (std::size_t j = 0; j < finds[b].size(); ++j) {
                const SearchFind& f = finds[b][j];
                summary.qualified += f.qualified;
                if (!report(f)) {
                    stop = true;
                    considered = findIndex[b][j] + 1;
                    break;
                }
            }
            summary.considered += considered;
            for (int i : controlHits[b]) summary.controlQualified += i < considered;
            if (sizes[b] < kBatch && summary.evaluated < request.candidates) stop = true;
        }
        if (request.watch && !sample.candidate.code.empty()) {
            std::lock_guard<std::mutex> lock(request.watch->mutex);
            request.watch->latest = std::move(sample);
            request.watch->fresh = true;
        }
        if (cancel && cancel->load()) {
            stop = true;
            summary.cancelled = true;
        }
    }
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summary;
}

}  // namespace varnet
