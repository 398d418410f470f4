#include "formula/Verification.h"

#include <atomic>
#include <unordered_map>

#include "base/History.h"
#include "base/Parallel.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"

namespace varnet {

std::vector<ListedFormula> loadFormulaList(Database& db, int position, std::optional<bool> kill,
                                           bool statistics) {
    auto rows = FormulaTable(db, position).rows(kill, statistics);
    std::vector<ListedFormula> list(rows.size());
    parallelFor(static_cast<int>(rows.size()), 512, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            ListedFormula& f = list[i];
            ParseResult parsed = parseFormula(rows[i].code);
            f.program = std::move(parsed.program);
            f.parseError = std::move(parsed.error);
            f.row = std::move(rows[i]);
        }
    });
    return list;
}

std::vector<Score> scoreFormulaList(const History& history, const std::vector<ListedFormula>& list,
                                    int position, const CountRule& rule,
                                    const std::function<bool(int)>& progress, bool* cancelled) {
    std::vector<FormulaJob> jobs;
    std::vector<int> jobOf(list.size(), -1);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].program) continue;
        jobOf[i] = static_cast<int>(jobs.size());
        jobs.push_back({&*list[i].program, list[i].row.kill});
    }
    std::atomic<bool> stopped{false};
    const auto scores = FormulaEngine(history).score(jobs, position, rule, [&](int done) {
        if (progress && !progress(done)) stopped = true;
        return !stopped.load();
    });
    if (cancelled) *cancelled = stopped;
    std::vector<Score> out(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (jobOf[i] >= 0) {
            out[i] = scores[jobOf[i]];
        } else {
            out[i].valid = false;
            out[i].error = list[i].parseError;
        }
    }
    return out;
}

int storeFormulaScores(Database& db, int position, std::vector<ListedFormula>& list,
                       const std::vector<Score>& scores, std::vector<bool>* storedOut) {
    std::vector<StoredScore> stored;
    stored.reserve(list.size());
    for (std::size_t i = 0; i < list.size() && i < scores.size(); ++i) {
        const Score& s = scores[i];
        const FormulaRow& r = list[i].row;
        stored.push_back({r.id, r.kill, r.code, s.valid, s.rate, s.longestMiss, s.longestHit,
                          s.lastMiss, s.lastHit});
    }
    const int changed = FormulaTable(db, position).storeScores(stored);
    if (storedOut) storedOut->assign(list.size(), false);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (!stored[i].stored) continue;
        if (storedOut) (*storedOut)[i] = true;
        ListedFormula& f = list[i];
        f.row.idx = stored[i].idx;
        const Score& s = scores[i];
        if (s.valid) {
            f.row.rate = s.rate;
            f.row.longestMiss = s.longestMiss;
            f.row.longestHit = s.longestHit;
            f.row.lastMiss = s.lastMiss;
            f.row.lastHit = s.lastHit;
        } else {
            f.row.rate.reset();
            f.row.longestMiss = f.row.longestHit = f.row.lastMiss = f.row.lastHit = std::nullopt;
        }
    }
    return changed;
}

std::vector<PerDrawColumn> perDrawBlock(const History& history,
                                        const std::vector<ListedFormula>& list, int first,
                                        int count, int position, bool onCurrent) {
    const int begin = std::max(0, first);
    const int end = std::min(static_cast<int>(list.size()), begin + std::max(0, count));
    std::vector<PerDrawColumn> block(std::max(0, end - begin));
    const int n = history.size();
    const FormulaEngine engine(history);
    parallelFor(static_cast<int>(block.size()), 8, [&](int from, int to) {
        for (int b = from; b < to; ++b) {
            const ListedFormula& f = list[begin + b];
            PerDrawColumn& col = block[b];
            col.id = f.row.id;
            col.listNumber = begin + b + 1;
            col.numbers.assign(n, PerDrawColumn::kNoNumber);
            col.marks.assign(n, PerDrawColumn::None);
            std::vector<double> values;
            if (f.program) {
                std::string error;
                values = engine.values(*f.program, &error);
            }
            if (static_cast<int>(values.size()) != n) {
                col.valid = false;
                continue;
            }
            const auto& drawn = history.column(position);
            for (int i = 2; i < n; ++i) {
                // The number aimed at row i comes from the value two rows back.
                const auto pre = roundToInt32(values[i - 2]);
                const auto number = static_cast<int>(numberOf(pre.value_or(0)));
                const bool hit = f.row.kill ? number != drawn[i] : number == drawn[i];
                const int shown = onCurrent ? i - 2 : i;
                col.marks[shown] = hit ? PerDrawColumn::Hit : PerDrawColumn::Miss;
                if (!onCurrent) col.numbers[i] = static_cast<std::int8_t>(number);
            }
            if (onCurrent)
                for (int i = 0; i < n; ++i)
                    if (roundToInt32(values[i]))
                        col.numbers[i] = static_cast<std::int8_t>(numberOfValue(values[i]));
        }
    });
    return block;
}

}  // namespace varnet
