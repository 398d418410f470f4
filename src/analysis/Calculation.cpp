#include "analysis/Calculation.h"

#include <algorithm>
#include <numeric>

#include "base/History.h"
#include "base/Parallel.h"
#include "engine/Bounds.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"
#include "engine/Reference.h"
#include "formula/Verification.h"

namespace varnet {

namespace {

// Each formula's number for the target draw, or nothing when the formula
// cannot be evaluated on every row of the history (it then never votes).
// `scores`, when given, already tell which formulas are valid.
std::vector<std::optional<int>> targetNumbers(const History& history,
                                              const std::vector<ListedFormula>& list,
                                              const ColumnRanges& ranges, int row,
                                              const std::vector<Score>* scores = nullptr) {
    std::vector<std::optional<int>> out(list.size());
    const FormulaEngine engine(history);
    parallelFor(static_cast<int>(list.size()), 256, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            if (!list[i].program) continue;
            const Program& p = *list[i].program;
            // Most formulas are proved evaluable everywhere by their bounds;
            // the others are tried on every row.
            if (scores ? !(*scores)[i].valid
                       : !evaluableEverywhere(p, ranges) && engine.values(p, nullptr).empty())
                continue;
            const auto v = evaluateRow(p, history, row, nullptr);
            const auto rounded = v ? roundToInt32(*v) : std::nullopt;
            if (rounded) out[i] = static_cast<int>(numberOf(*rounded));
        }
    });
    return out;
}

}  // namespace

std::optional<int> targetRow(const History& history, std::optional<std::int32_t> issue,
                             std::string* why) {
    auto fail = [&](const std::string& text) -> std::optional<int> {
        if (why) *why = text;
        return std::nullopt;
    };
    if (!issue) {
        if (history.size() < 2) return fail("历史号码少于两期，无法计算下一期。");
        return history.size() - 2;
    }
    const int row = history.findIssue(*issue);
    const std::string name = "期号 " + std::to_string(*issue);
    if (row < 0) return fail(name + " 不在历史号码中，无法验证该期结果。");
    if (row < 2) return fail(name + " 是最早的两期之一，前面没有可以计算它的开奖号码。");
    return row - 2;
}

CalcResult calculate(Database& db, const History& history, const CalcRequest& request,
                     const std::function<bool()>& cancelled) {
    CalcResult result;
    std::string why;
    const auto row = targetRow(history, request.issue, &why);
    if (!row) {
        result.message = why;
        return result;
    }
    result.targetRow = *row;
    result.targetIssue = request.issue ? *request.issue : history.issue(history.size() - 1) + 1;
    if (request.issue) {
        std::array<int, 11> drawn{};
        for (int p = 1; p <= 10; ++p) drawn[p] = history.number(*row + 2, p);
        result.drawn = drawn;
    }
    result.keepQuota = request.best ? request.sort.keepLimit : 1;
    const ColumnRanges ranges(history);
    const bool kill = request.kill;
    // Numbers no formula of an earlier position hit (best method).
    std::array<bool, 11> excluded{};
    const int limit = kill ? 10 - result.keepQuota : result.keepQuota;

    for (int p = 1; p <= request.currentPosition; ++p) {
        if (cancelled && cancelled()) {
            result.message = "已取消计算。";
            return result;
        }
        PositionVotes votes;
        votes.position = p;
        const auto list = loadFormulaList(db, p, kill, false);
        votes.noFormulas = list.empty();
        const auto* selection = request.selection ? request.selection(p) : nullptr;
        auto selected = [&](const ListedFormula& f) {
            return !selection || selection->count(f.row.id) > 0;
        };
        if (!request.best) {
            const auto numbers = targetNumbers(history, list, ranges, *row);
            for (std::size_t i = 0; i < list.size(); ++i) {
                ++votes.examined;
                if (!numbers[i]) {
                    ++votes.invalid;
                    continue;
                }
                if (!selected(list[i])) continue;
                addVote(votes, kill, *numbers[i]);
                if (p != request.currentPosition) continue;
                const FormulaRow& r = list[i].row;
                result.voters.push_back(
                    {p, r.id, r.idx.value_or(0), r.kill, r.code, r.chinese, *numbers[i]});
            }
        } else {
            // The best formulas by their scores now, ties in idx order;
            // formulas that cannot be scored rank last.
            const auto scores = scoreFormulaList(history, list, p, request.rule);
            const auto numbers = targetNumbers(history, list, ranges, *row, &scores);
            std::vector<int> order(list.size());
            std::iota(order.begin(), order.end(), 0);
            // The keys' statistics looked up once, not in every comparison.
            std::array<std::pair<ScoreStat, bool>, 3> keys{};
            for (std::size_t k = 0; k < keys.size(); ++k)
                keys[k] = {statOfColumn(request.sort.keys[k].column).value_or(ScoreStat::LastHit),
                           request.sort.keys[k].descending};
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                if (scores[a].valid != scores[b].valid) return scores[a].valid;
                for (const auto& [stat, descending] : keys) {
                    const double x = valueOf(scores[a], stat);
                    const double y = valueOf(scores[b], stat);
                    if (x != y) return descending ? x > y : x < y;
                }
                return false;
            });
            BestWalk walk(excluded, limit);
            for (std::size_t k = 0; k < order.size() && walk.open(); ++k) {
                const int i = order[k];
                ++votes.examined;
                if (!numbers[i] || !scores[i].valid) {
                    ++votes.invalid;
                    continue;
                }
                if (!selected(list[i])) continue;
                walk.take(votes, kill, *numbers[i]);
            }
            walk.finish();
        }
        result.positions.push_back(votes);
    }
    result.ok = true;
    return result;
}

}  // namespace varnet
