#include "analysis/Backtest.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <deque>
#include <numeric>

#include "analysis/ResultSummary.h"
#include "base/History.h"
#include "base/Parallel.h"
#include "engine/Bounds.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"
#include "engine/Reference.h"
#include "engine/ScoreStat.h"
#include "engine/Significance.h"
#include "formula/Verification.h"

namespace varnet {

namespace {

constexpr std::int8_t kNoNumber = INT8_MIN;
// Tested draws scored together before they are ranked: their keys fit in
// memory and each worker handout is large enough to pay for itself.
constexpr int kChunk = 32;

// What the walk needs from one formula's single evaluation.
struct Prepared {
    bool parsed = false;
    int firstBad = 0;  // first row it cannot be evaluated on (rows when none)
    // Hit flag of rows hitFrom.. (rows whose value two back is evaluable).
    std::vector<std::uint64_t> hits;
    // The number it gives for tested draw t (from the value two rows before).
    std::vector<std::int8_t> target;

    // calculate() on the history truncated before `row` lets the formula
    // vote only when it can be evaluated on every row before it.
    bool validAt(int row) const { return parsed && firstBad >= row; }
};

struct PositionData {
    int position = 0;
    std::vector<ListedFormula> list;
    std::vector<Prepared> prepared;
    const std::unordered_set<std::int64_t>* selection = nullptr;
    bool selected(int i) const { return !selection || selection->count(list[i].row.id) > 0; }
};

// The score of a formula over a window of counted rows [from, to) that
// moves forward: running sums give the weighted hits and monotone queues of
// completed runs the longest runs, each row added and dropped once.
class WindowScore {
  public:
    void start(int row) { from_ = to_ = row; }

    void add(bool hit) {
        const std::int64_t i = to_;
        if (hit) s0_ += 1, s1_ += i, s2_ += i * i;
        if (cur_ > 0 && hit != curHit_) {
            complete(curHit_, to_ - cur_, to_ - 1);
            cur_ = 0;
        }
        curHit_ = hit;
        ++cur_;
        ++to_;
    }

    void drop(bool hit) {
        const std::int64_t i = from_;
        if (hit) s0_ -= 1, s1_ -= i, s2_ -= i * i;
        ++from_;
        for (auto& q : runs_)
            while (!q.empty() && q.front().end < from_) q.pop_front();
        cur_ = std::min(cur_, to_ - from_);
    }

    int from() const { return from_; }
    int to() const { return to_; }

    // The statistics the best method ranks by, as the engine scores them.
    void statistics(bool weighted, Score& s) const {
        const std::int64_t m = to_ - from_;
        if (weighted) {
            // Row i weighs (i - c)^2 with c the row before the first counted.
            const std::int64_t c = from_ - 1;
            s.hits = s2_ - 2 * c * s1_ + c * c * s0_;
            s.total = sumOfSquares(m);
        } else {
            s.hits = s0_;
            s.total = m;
        }
        s.rate = rateOf(s.hits, s.total);
        s.longestHit = longest(true);
        s.longestMiss = longest(false);
        s.lastHit = cur_ > 0 && curHit_ ? cur_ : 0;
        s.lastMiss = cur_ > 0 && !curHit_ ? cur_ : 0;
    }

  private:
    struct Run {
        int start, end;  // rows, inclusive
        int length() const { return end - start + 1; }
    };

    // A run no later run outlasts stays; shorter earlier ones can never be
    // the longest again, so each queue's lengths fall from front to back.
    void complete(bool hit, int start, int end) {
        auto& q = runs_[hit];
        const int length = end - start + 1;
        while (!q.empty() && q.back().length() <= length) q.pop_back();
        q.push_back({start, end});
    }

    // Only the front run can reach before the window; the next is whole and
    // at least as long as any after it.
    int longest(bool hit) const {
        const auto& q = runs_[hit];
        int best = cur_ > 0 && curHit_ == hit ? cur_ : 0;
        if (!q.empty()) best = std::max(best, q[0].end - std::max(q[0].start, from_) + 1);
        if (q.size() > 1) best = std::max(best, q[1].length());
        return best;
    }

    int from_ = 0, to_ = 0;
    std::int64_t s0_ = 0, s1_ = 0, s2_ = 0;  // sums of h, i * h, i * i * h over the window
    int cur_ = 0;                            // the run ending the window
    bool curHit_ = false;
    std::deque<Run> runs_[2];  // completed runs of misses [0] and hits [1]
};

// A formula's place in the best method's ranking at one tested draw: the
// three sort keys, each negated when it sorts descending.
struct RankKey {
    std::array<double, 3> key{};
    bool valid = false;
};

bool hitBit(const Prepared& f, int hitFrom, int row) {
    const int b = row - hitFrom;
    return f.hits[b >> 6] >> (b & 63) & 1;
}

// Evaluates every formula of a position once over the whole history.
void prepare(PositionData& d, const History& h, const ColumnRanges& ranges, const CountRule& rule,
             bool kill, int hitFrom, int firstTested) {
    const int n = h.size();
    const auto& drawn = h.column(d.position);
    d.prepared.assign(d.list.size(), {});
    const FormulaEngine engine(h);
    // Rows before the first one a tested draw's score reads matter only for
    // whether the formula can be evaluated there; proved, they are skipped.
    const int from = std::max(0, hitFrom - 2);
    parallelFor(static_cast<int>(d.list.size()), 16, [&](int begin, int end) {
        std::vector<double> values;
        for (int i = begin; i < end; ++i) {
            Prepared& f = d.prepared[i];
            if (!d.list[i].program) continue;
            const Program& p = *d.list[i].program;
            f.parsed = true;
            values = engine.values(p, nullptr, from, ranges);
            f.firstBad = n;
            if (static_cast<int>(values.size()) != n) {
                // Rare: the rows before the first it fails on still count
                // for the draws before that row.
                values.clear();
                for (int r = 0; r < n; ++r) {
                    const auto v = evaluateRow(p, h, r, nullptr);
                    if (!v) {
                        f.firstBad = r;
                        break;
                    }
                    values.push_back(*v);
                }
            }
            const int known = static_cast<int>(values.size());
            auto number = [&](int r) {
                return static_cast<std::int8_t>(numberOf(*roundToInt32(values[r])));
            };
            f.hits.assign((n - hitFrom + 63) / 64 + 1, 0);
            for (int r = std::max(hitFrom, 2); r < n && r - 2 < known; ++r) {
                // The score reads the value two rows back as the engine does.
                const int num =
                    rule.search ? static_cast<int>(numberOfValue(values[r - 2])) : number(r - 2);
                if ((num == drawn[r]) != kill)
                    f.hits[(r - hitFrom) >> 6] |= 1ULL << ((r - hitFrom) & 63);
            }
            f.target.assign(n - firstTested, kNoNumber);
            for (int t = firstTested; t < n; ++t)
                if (t - 2 < known) f.target[t - firstTested] = number(t - 2);
        }
    });
}

// The selected method at tested row `row`: every valid selected formula votes.
PositionVotes selectedVotes(const PositionData& d, int row, int firstTested, bool kill) {
    PositionVotes votes;
    votes.position = d.position;
    votes.noFormulas = d.list.empty();
    for (std::size_t i = 0; i < d.list.size(); ++i) {
        const Prepared& f = d.prepared[i];
        ++votes.examined;
        if (!f.validAt(row)) {
            ++votes.invalid;
            continue;
        }
        if (d.selected(static_cast<int>(i))) addVote(votes, kill, f.target[row - firstTested]);
    }
    return votes;
}

// The best method at tested row `row` given the formulas' keys there; the
// same walk down the ranking as calculate(), with the numbers that earlier
// positions left unhit.
PositionVotes bestVotes(const PositionData& d, int row, int firstTested, bool kill, int limit,
                        const RankKey* keys, std::array<bool, 11>& excluded,
                        std::vector<int>& order) {
    PositionVotes votes;
    votes.position = d.position;
    votes.noFormulas = d.list.empty();
    const int count = static_cast<int>(d.list.size());
    auto before = [keys](int a, int b) {
        if (keys[a].valid != keys[b].valid) return keys[a].valid;
        for (int k = 0; k < 3; ++k)
            if (keys[a].key[k] != keys[b].key[k]) return keys[a].key[k] < keys[b].key[k];
        return a < b;  // ties in list order, as the stable sort keeps them
    };
    order.resize(count);
    std::iota(order.begin(), order.end(), 0);
    // Few formulas are read before the limit is reached: sort only the head.
    int sorted = std::min(count, 32);
    std::partial_sort(order.begin(), order.begin() + sorted, order.end(), before);
    BestWalk walk(excluded, limit);
    for (int k = 0; k < count && walk.open(); ++k) {
        if (k == sorted) {
            std::sort(order.begin() + sorted, order.end(), before);
            sorted = count;
        }
        const int i = order[k];
        ++votes.examined;
        if (!keys[i].valid) {
            ++votes.invalid;
            continue;
        }
        if (!d.selected(i)) continue;
        walk.take(votes, kill, d.prepared[i].target[row - firstTested]);
    }
    walk.finish();
    return votes;
}

}  // namespace

int maxBacktestDraws(const History& history) { return std::max(0, history.size() - 2); }

std::uint16_t keptNumbers(const PositionVotes& votes, bool kill) {
    std::uint16_t mask = 0;
    for (int n = 1; n <= 10; ++n)
        if ((votes.total[n] == 0) == kill) mask |= static_cast<std::uint16_t>(1u << n);
    return mask;
}

bool walkForward(Database& db, const History& history, const CalcRequest& request, int draws,
                 const std::function<void(int row, const std::vector<PositionVotes>&)>& visit,
                 const std::function<bool(int done, int total)>& progress) {
    const int n = history.size();
    draws = std::clamp(draws, 0, maxBacktestDraws(history));
    if (draws == 0) return true;
    const int firstTested = n - draws;
    const bool kill = request.kill;
    const CountRule& rule = request.rule;
    // Windows only move forward, so no tested draw counts rows before this.
    const int hitFrom = firstCountedRow(firstTested, rule);
    auto go = [&](int done) { return !progress || progress(done, draws); };

    std::vector<PositionData> data(std::max(0, request.currentPosition));
    const ColumnRanges ranges(history);
    for (int p = 1; p <= request.currentPosition; ++p) {
        PositionData& d = data[p - 1];
        d.position = p;
        d.list = loadFormulaList(db, p, kill, false);
        d.selection = request.selection ? request.selection(p) : nullptr;
        prepare(d, history, ranges, rule, kill, hitFrom, firstTested);
        if (!go(0)) return false;
    }

    const int keepQuota = request.best ? request.sort.keepLimit : 1;
    const int limit = kill ? 10 - keepQuota : keepQuota;
    std::array<bool, 3> descending{};
    std::array<ScoreStat, 3> statOf{};
    for (int k = 0; k < 3; ++k) {
        descending[k] = request.sort.keys[k].descending;
        statOf[k] = statOfColumn(request.sort.keys[k].column).value_or(ScoreStat::LastHit);
    }

    // Best method: one running score per formula, and the keys of a chunk
    // of tested draws (draw-major per position).
    std::vector<std::vector<WindowScore>> walks(data.size());
    std::vector<std::vector<RankKey>> keys(data.size());
    std::vector<int> offsets{0};  // formula index ranges of the positions, flattened
    for (const auto& d : data) offsets.push_back(offsets.back() + static_cast<int>(d.list.size()));
    if (request.best)
        for (std::size_t p = 0; p < data.size(); ++p) {
            walks[p].resize(data[p].list.size());
            for (auto& w : walks[p]) w.start(hitFrom);
            keys[p].resize(static_cast<std::size_t>(kChunk) * data[p].list.size());
        }

    std::vector<std::vector<PositionVotes>> chunkVotes(kChunk);
    for (int base = firstTested; base < n; base += kChunk) {
        const int rows = std::min(kChunk, n - base);
        if (request.best) {
            // Each formula's score at every draw of the chunk, on the
            // history truncated before it.
            parallelFor(offsets.back(), 64, [&](int begin, int end) {
                for (int flat = begin; flat < end; ++flat) {
                    const int p =
                        static_cast<int>(std::upper_bound(offsets.begin(), offsets.end(), flat) -
                                         offsets.begin() - 1);
                    const int i = flat - offsets[p];
                    const Prepared& f = data[p].prepared[i];
                    WindowScore& w = walks[p][i];
                    const std::size_t count = data[p].list.size();
                    for (int t = 0; t < rows; ++t) {
                        const int row = base + t;
                        RankKey& key = keys[p][t * count + i];
                        key = RankKey{};
                        if (!f.validAt(row)) continue;
                        while (w.to() < row) w.add(hitBit(f, hitFrom, w.to()));
                        const int first = firstCountedRow(row, rule);
                        while (w.from() < first) w.drop(hitBit(f, hitFrom, w.from()));
                        Score s;
                        w.statistics(rule.weighted, s);
                        key.valid = true;
                        for (int k = 0; k < 3; ++k) {
                            const double x = valueOf(s, statOf[k]);
                            key.key[k] = descending[k] ? -x : x;
                        }
                    }
                }
            });
        }
        parallelFor(rows, 1, [&](int begin, int end) {
            std::vector<int> order;
            for (int t = begin; t < end; ++t) {
                const int row = base + t;
                auto& out = chunkVotes[t];
                out.clear();
                std::array<bool, 11> excluded{};
                for (std::size_t p = 0; p < data.size(); ++p) {
                    const PositionData& d = data[p];
                    out.push_back(request.best ? bestVotes(d, row, firstTested, kill, limit,
                                                           keys[p].data() + t * d.list.size(),
                                                           excluded, order)
                                               : selectedVotes(d, row, firstTested, kill));
                }
            }
        });
        for (int t = 0; t < rows; ++t) visit(base + t, chunkVotes[t]);
        if (!go(base + rows - firstTested)) return false;
    }
    return true;
}

double successTail(const std::vector<double>& probabilities, std::int64_t successes) {
    if (successes <= 0) return 1.0;
    // pmf[j] = P[S = low + j]; terms too small to matter are trimmed from
    // both ends so that long walks stay cheap.
    constexpr double kTiny = 1e-300;
    std::vector<double> pmf{1.0};
    std::int64_t low = 0;
    for (const double q : probabilities) {
        if (q <= 0.0) continue;
        if (q >= 1.0) {
            ++low;
            continue;
        }
        pmf.push_back(0.0);
        for (std::size_t j = pmf.size() - 1; j > 0; --j)
            pmf[j] = pmf[j] * (1.0 - q) + pmf[j - 1] * q;
        pmf[0] *= 1.0 - q;
        while (pmf.size() > 1 && pmf.back() < kTiny) pmf.pop_back();
        std::size_t cut = 0;
        while (cut + 1 < pmf.size() && pmf[cut] < kTiny) ++cut;
        if (cut > 0) {
            pmf.erase(pmf.begin(), pmf.begin() + static_cast<std::ptrdiff_t>(cut));
            low += static_cast<std::int64_t>(cut);
        }
    }
    double tail = 0.0;
    for (std::size_t j = pmf.size(); j-- > 0;) {
        if (low + static_cast<std::int64_t>(j) < successes) break;
        tail += pmf[j];
    }
    return std::clamp(tail, 0.0, 1.0);
}

namespace {

// The one-sided p-value of `successes` over trials with these chances:
// one binomial when every chance is the same, else the exact tail.
double tailOf(const std::vector<double>& chances, int successes) {
    const bool same =
        std::all_of(chances.begin(), chances.end(), [&](double q) { return q == chances.front(); });
    if (!chances.empty() && same && chances.front() > 0.0 && chances.front() < 1.0)
        return binomialUpperTail(static_cast<std::int64_t>(chances.size()), successes,
                                 chances.front());
    return successTail(chances, successes);
}

int dateOf(const History& h, int row) {
    const Draw d = h.draw(row);
    return d.year * 10000 + d.month * 100 + d.day;
}

std::string dateText(int date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date / 10000, date / 100 % 100, date % 100);
    return text;
}

}  // namespace

BacktestResult backtest(Database& db, const History& history, const CalcRequest& request, int draws,
                        const std::function<bool(int done, int total)>& progress, bool allDraws) {
    BacktestResult result;
    const int most = maxBacktestDraws(history);
    if (most < 1) {
        result.message = "历史号码少于三期，无法回测：每个回测的期号前面都要有两期开奖号码。";
        return result;
    }
    if (draws < 1 || draws > most) {
        result.message = "回测期数 " + std::to_string(draws) + " 不在 1 到 " +
                         std::to_string(most) + " 之间（最近 " + std::to_string(most) +
                         " 期前面各有两期开奖号码）。";
        return result;
    }
    for (int p = 1; p <= request.currentPosition; ++p) {
        BacktestPosition pos;
        pos.position = p;
        result.positions.push_back(pos);
    }
    CalcResult calc;
    calc.keepQuota = request.best ? request.sort.keepLimit : 1;
    const bool finished = walkForward(
        db, history, request, draws,
        [&](int row, const std::vector<PositionVotes>& votes) {
            result.issues.push_back(history.issue(row));
            // What the result window would show for this draw.
            calc.positions = votes;
            const ResultSummary summary = summarise(calc, request.kill);
            for (std::size_t i = 0; i < votes.size(); ++i) {
                BacktestPosition& pos = result.positions[i];
                const PositionSummary& s = summary.positions[i];
                const int drawn = history.number(row, pos.position);
                pos.drawn.push_back(static_cast<std::int8_t>(drawn));
                pos.kept.push_back(keptNumbers(votes[i], request.kill));
                std::uint16_t claimed = 0;
                for (int n : s.claimed) claimed |= static_cast<std::uint16_t>(1u << n);
                pos.claimed.push_back(claimed);
                std::int8_t place = 0;
                for (std::size_t k = 0; k < s.rows.size(); ++k)
                    if (s.rows[k].number == drawn) place = static_cast<std::int8_t>(k + 1);
                pos.place.push_back(place);
            }
        },
        progress);
    if (!finished) {
        result = BacktestResult{};
        result.cancelled = true;
        result.message = "已取消回测。";
        return result;
    }
    // Read after the walk: a formula added meanwhile makes the check
    // stricter, never looser.
    for (BacktestPosition& pos : result.positions) {
        const auto* selection = request.selection ? request.selection(pos.position) : nullptr;
        for (const FormulaRow& r : FormulaTable(db, pos.position).rows(request.kill, false)) {
            if (selection && !selection->count(r.id)) continue;
            ++pos.formulas;
            if (!r.entered) {
                ++pos.unknownEntries;
                continue;
            }
            if (!pos.latestEntry) pos.latestEntry = r.entered;
            pos.latestEntry->issue = std::max(pos.latestEntry->issue, r.entered->issue);
            pos.latestEntry->date = std::max(pos.latestEntry->date, r.entered->date);
        }
        const int firstRow = history.size() - static_cast<int>(result.issues.size());
        for (std::size_t t = 0; t < result.issues.size(); ++t) {
            const int row = firstRow + static_cast<int>(t);
            const bool clean = pos.formulas == 0 || (pos.unknownEntries == 0 &&
                                                     history.issue(row) > pos.latestEntry->issue &&
                                                     dateOf(history, row) > pos.latestEntry->date);
            pos.clean.push_back(clean ? 1 : 0);
        }
    }
    tallyBacktest(result, allDraws);
    result.ok = true;
    return result;
}

void tallyBacktest(BacktestResult& result, bool allDraws) {
    result.allDraws = allDraws;
    for (BacktestPosition& pos : result.positions) {
        const BacktestPosition kept = pos;
        pos = BacktestPosition{};
        pos.position = kept.position;
        pos.formulas = kept.formulas;
        pos.unknownEntries = kept.unknownEntries;
        pos.latestEntry = kept.latestEntry;
        pos.clean = kept.clean;
        pos.drawn = kept.drawn;
        pos.kept = kept.kept;
        pos.claimed = kept.claimed;
        pos.place = kept.place;
        std::vector<double> keptChances, claimedChances;
        std::int64_t placeSum = 0;
        for (std::size_t t = 0; t < pos.kept.size(); ++t) {
            pos.cleanDraws += pos.clean[t];
            if (allDraws || pos.clean[t]) {
                const int drawn = pos.drawn[t];
                ++pos.draws;
                pos.successes += pos.kept[t] >> drawn & 1;
                keptChances.push_back(std::popcount(pos.kept[t]) / 10.0);
                pos.expected += keptChances.back();
                pos.keptDraws += pos.kept[t] != 0;
                pos.claimedHits += pos.claimed[t] >> drawn & 1;
                claimedChances.push_back(std::popcount(pos.claimed[t]) / 10.0);
                pos.claimedExpected += claimedChances.back();
                if (pos.place[t] > 0) {
                    ++pos.placed;
                    placeSum += pos.place[t];
                }
            }
            pos.cumulative.push_back(pos.successes);
            pos.cumulativeExpected.push_back(pos.expected);
        }
        pos.pValue = tailOf(keptChances, pos.successes);
        pos.claimedP = tailOf(claimedChances, pos.claimedHits);
        if (pos.placed > 0) {
            pos.meanPlace = static_cast<double>(placeSum) / pos.placed;
            pos.placeP = placeSumTail(pos.placed, placeSum);
        }
    }
    // The positions are read together: each measure's p-values corrected
    // for their number.
    auto holm = [&](double BacktestPosition::*from, double BacktestPosition::*to) {
        std::vector<double> p;
        for (const auto& pos : result.positions) p.push_back(pos.*from);
        p = holmAdjusted(p);
        for (std::size_t i = 0; i < p.size(); ++i) result.positions[i].*to = p[i];
    };
    holm(&BacktestPosition::pValue, &BacktestPosition::pHolm);
    holm(&BacktestPosition::claimedP, &BacktestPosition::claimedHolm);
    holm(&BacktestPosition::placeP, &BacktestPosition::placeHolm);
}

std::string cleanDrawsNote(const BacktestResult& result, const BacktestPosition& pos) {
    const int tested = static_cast<int>(pos.kept.size());
    if (pos.cleanDraws == tested) return {};
    const std::string at = "第" + std::to_string(pos.position) + "位：";
    const std::string m = std::to_string(tested);
    if (result.allDraws)
        return at + "检验了全部 " + m + " 期，其中 " + std::to_string(tested - pos.cleanDraws) +
               " 期不在公式录入之后开出，公式可能正是在这些期号上选出的，结果可能偏高。";
    if (pos.unknownEntries > 0)
        return at + "有 " + std::to_string(pos.unknownEntries) +
               " 个公式不知道何时录入（在程序记录录入时间之前已有），它们可能正是在这些期号上"
               "选出的，所以没有可检验的期号。要检验，需要把它们重新录入或导入（例如先导出、"
               "清空再导入），再等录入之后开出 " +
               m + " 期新号码。";
    const FormulaOrigin& e = *pos.latestEntry;
    const std::string after =
        "（期号大于 " + std::to_string(e.issue) + "、日期晚于 " + dateText(e.date) + "）";
    if (pos.cleanDraws == 0)
        return at + "最近 " + m +
               " 期都在公式录入之前或当天开出，公式可能正是在这些期号上选出的，" +
               "所以没有可检验的期号。要检验 " + m + " 期，需要等公式录入之后再开出 " + m +
               " 期新号码" + after + "。";
    return at + "最近 " + m + " 期中只有 " + std::to_string(pos.cleanDraws) +
           " 期在公式录入之后开出" + after + "，只检验这些期；要检验 " + m + " 期，还需要 " +
           std::to_string(tested - pos.cleanDraws) + " 期新号码。";
}

std::string fixedText(double x, int digits) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", digits, x);
    return text;
}

std::vector<double> holmAdjusted(const std::vector<double>& p) {
    const std::size_t m = p.size();
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return p[a] < p[b]; });
    std::vector<double> out(m);
    double running = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        running = std::max(running, std::min(1.0, static_cast<double>(m - k) * p[order[k]]));
        out[order[k]] = running;
    }
    return out;
}

double placeSumTail(int n, std::int64_t sum) {
    if (n <= 0 || sum >= 10LL * n) return 1.0;
    if (sum < n) return 0.0;
    // pmf[j] = P[S_k = low + j] after k places. Each term is a sum of ten
    // positive ones (no cancellation, so the far tail stays exact); sums
    // that can no longer reach `sum` are dropped, those certain to stay
    // within it are set aside, and terms too small to matter are trimmed.
    constexpr double kTiny = 1e-300;
    std::vector<double> pmf{1.0}, next;
    std::int64_t low = 0;
    double certain = 0.0;
    for (int k = 1; k <= n; ++k) {
        next.assign(pmf.size() + 9, 0.0);
        for (std::size_t i = 0; i < pmf.size(); ++i) {
            const double q = pmf[i] / 10.0;
            for (int d = 0; d < 10; ++d) next[i + d] += q;
        }
        low += 1;
        const std::int64_t left = n - k;  // places still to come, each 1..10
        while (!next.empty() && (low + static_cast<std::int64_t>(next.size()) - 1 + left > sum ||
                                 next.back() < kTiny))
            next.pop_back();
        std::size_t cut = 0;
        while (cut < next.size() &&
               (low + static_cast<std::int64_t>(cut) + 10 * left <= sum || next[cut] < kTiny)) {
            if (low + static_cast<std::int64_t>(cut) + 10 * left <= sum) certain += next[cut];
            ++cut;
        }
        if (cut == next.size()) {
            pmf.clear();
            break;
        }
        pmf.assign(next.begin() + static_cast<std::ptrdiff_t>(cut), next.end());
        low += static_cast<std::int64_t>(cut);
    }
    double tail = certain;
    for (std::size_t j = 0; j < pmf.size() && low + static_cast<std::int64_t>(j) <= sum; ++j)
        tail += pmf[j];
    return std::clamp(tail, 0.0, 1.0);
}

}  // namespace varnet
