#include "search/SchemeSearch.h"

#include <climits>
#include <cmath>
#include <map>

#include "base/History.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/Transaction.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "search/SearchRun.h"

namespace varnet {

BatchSaveResult saveBatch(Database& db, const std::vector<SearchResult>& batch, bool replace) {
    BatchSaveResult r;
    try {
        Transaction tx(db);
        std::map<int, std::vector<FormulaRow>> tables;
        for (const SearchResult& f : batch) {
            auto it = tables.find(f.position);
            if (it == tables.end()) {
                r.positions.push_back(f.position);
                it = tables
                         .emplace(f.position, replace ? std::vector<FormulaRow>{}
                                                      : FormulaTable(db, f.position).storedRows())
                         .first;
            }
            FormulaRow row;
            row.kill = f.kill;
            row.code = f.code;
            row.chinese = f.chinese;
            it->second.push_back(std::move(row));
            ++r.written;
        }
        for (auto& [position, rows] : tables) {
            FormulaTable::dropDuplicates(rows);
            FormulaTable(db, position).replaceAll(rows);
        }
        tx.commit();
    } catch (const DbError& e) {
        r.positions.clear();
        r.written = 0;
        r.message = std::string("保存搜索结果失败，公式没有改变：") + e.what();
        return r;
    }
    compactIfSparse(db);
    r.ok = true;
    return r;
}

int schemeTarget(const SchemeRequest& request, int p) {
    const SchemePosition& settings = request.positions[p - 1];
    if (!settings.planned) return 0;
    return *settings.planned - (request.hold ? request.existing[p - 1] : 0);
}

SchemeRequest resumeScheme(const SchemeRequest& request, const SchemeProgress& at) {
    SchemeRequest r = request;
    for (int p = 1; p < at.position && p <= 10; ++p) r.positions[p - 1].planned.reset();
    if (at.position >= 1 && at.position <= 10) {
        if (r.hold)
            r.existing[at.position - 1] += at.found;
        else if (auto& planned = r.positions[at.position - 1].planned)
            *planned -= at.found;
    }
    return r;
}

SchemeReport runScheme(const History& history, const SchemeRequest& request,
                       const std::function<void(const SearchResult&, const HoldOutFind&)>& onFind,
                       const std::function<void(int)>& onPosition,
                       const std::atomic<bool>* cancel) {
    SchemeReport report;
    const int holdOut = holdOutFits(history.size(), request.holdOut) ? request.holdOut : 0;
    CandidateGenerator seeds(request.seed);
    for (int p = 1; p <= 10; ++p) {
        // Every position draws its own seed, skipped or not, so a position's
        // finds do not depend on what the others did.
        const std::uint64_t seed = seeds.split();
        const SchemePosition& settings = request.positions[p - 1];
        SchemePositionReport pr;
        pr.position = p;
        const int target = schemeTarget(request, p);
        if (target <= 0) {
            pr.skipped = true;
            report.positions.push_back(pr);
            continue;
        }
        if (cancel && cancel->load()) {
            report.cancelled = true;
            break;
        }
        if (onPosition) onPosition(p);
        pr.planned = target;
        SearchRequest search;
        search.generator.operands = settings.operands;
        search.generator.position = p;
        search.generator.kill = request.kill;
        search.generator.shape = request.shape;
        search.generator.constant = request.constant;
        search.rule = request.rule;
        search.thresholds = settings.thresholds;
        search.candidates = request.maxCandidates > 0 ? request.maxCandidates : LLONG_MAX;
        search.seed = seed;
        search.watch = request.watch;
        const auto found = [&](const HoldOutFind& f) {
            SearchResult r{p, request.kill, f.find.candidate.code, f.find.candidate.chinese};
            report.batch.push_back(r);
            if (onFind) onFind(r, f);
            return ++pr.found < target;
        };
        const SearchSummary summary =
            runHoldOutSearch(history, search, holdOut, found, cancel).search;
        pr.evaluated = summary.evaluated;
        pr.unfinished = pr.found < target;
        report.positions.push_back(pr);
        if (summary.cancelled) {
            report.cancelled = true;
            break;
        }
    }
    return report;
}

TuningResult tunePosition(const History& history, const GeneratorSettings& generator,
                          const CountRule& rule, int samples, std::uint64_t seed,
                          const Thresholds& base, const std::atomic<bool>* cancel,
                          SearchWatch* watch) {
    TuningResult out;
    CountRule searchRule = rule;
    searchRule.search = true;
    const FormulaEngine engine(history);
    CandidateGenerator gen(seed);
    auto& e = out.estimates;
    for (int i = 0; i < samples && !(cancel && cancel->load()); ++i) {
        const Candidate c = gen.next(generator);
        const auto parsed = parseFormula(c.code);
        const Score s =
            engine.scoreOne(*parsed.program, generator.position, generator.kill, searchRule);
        out.samples.push_back(s);
        if (watch) {
            std::lock_guard<std::mutex> lock(watch->mutex);
            watch->latest = {c, s, false};
            watch->fresh = true;
            ++watch->evaluated;
        }
        const std::array<float, 5> v{s.rate, float(s.longestMiss), float(s.longestHit),
                                     float(s.lastMiss), float(s.lastHit)};
        if (i == 0) {
            e = v;
            continue;
        }
        // Higher is better for the rate and the hit runs, lower for the misses.
        const std::array<bool, 5> higher{true, false, true, false, true};
        for (int k = 0; k < 5; ++k)
            if (higher[k] ? v[k] > e[k] : v[k] < e[k]) e[k] = (v[k] + e[k]) / 2.0f;
    }
    out.proposal = base;
    if (out.samples.empty()) return out;
    out.proposal.th[0] = e[0];
    out.proposal.th[3] = std::floor(e[1] + 0.5f);
    out.proposal.th[4] = std::floor(e[2] + 0.5f);
    out.proposal.th[7] = std::floor(e[3] + 0.5f);
    out.proposal.th[8] = std::floor(e[4]) > 0 ? std::floor(e[4] + 0.5f) : 1.0;
    return out;
}

}  // namespace varnet
