#include "analysis/Replay.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <numeric>
#include <thread>

#include "base/History.h"
#include "base/Parallel.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"

namespace varnet {

namespace {

// numberOfValue() of each value, 0 where that is below 1 (a negative value);
// the values are those of a formula valid on every row, so each rounds into
// the 32-bit range, where rounding needs no guard and the double quotient by
// ten truncates exactly.
// Without a branch, so that the loop vectorises (for AVX2 where there is).
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void numbersOfValues(const double* values, int n, std::int8_t* out) {
    constexpr double kMagic = 0x1.8p52;
    constexpr int kChunk = 256;
    std::int32_t whole[kChunk];
    for (int base = 0; base < n; base += kChunk) {
        const int len = std::min(kChunk, n - base);
        const double* in = values + base;
        for (int i = 0; i < len; ++i) {
            // Half to even, as roundHalfEven: the values are far below 2^51.
            const double d = ((in[i] - 1.0) + kMagic) - kMagic;
            const double q = static_cast<double>(static_cast<std::int32_t>(d / 10.0));
            whole[i] = static_cast<std::int32_t>(std::max(d - 10.0 * q + 1.0, 0.0));
        }
        for (int i = 0; i < len; ++i) out[base + i] = static_cast<std::int8_t>(whole[i]);
    }
}

}  // namespace

Replay replayFormulas(const History& history, const std::vector<ListedFormula>& list,
                      const std::function<bool(const ListedFormula&)>& selected,
                      const std::function<bool(int)>& progress) {
    Replay out;
    const int n = history.size();
    std::vector<int> chosen;
    for (int i = 0; i < static_cast<int>(list.size()); ++i)
        if (!selected || selected(list[i])) chosen.push_back(i);

    // Every formula once over the whole history. Only counts are kept: a
    // number per formula and draw would take a byte per formula per draw.
    // Each worker counts the kill numbers in 16 bits per draw and number and
    // adds them to the shared counts before they could overflow.
    const FormulaEngine engine(history);
    std::vector<char> validity(chosen.size(), 0);
    std::vector<std::int32_t> killCounts(static_cast<std::size_t>(n) * 10, 0);
    std::mutex merge;
    std::atomic<int> next{0}, done{0};
    std::atomic<bool> stop{false};
    const int workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // A worker takes the numbers of a group of kill formulas (a byte per
    // draw each) and counts them a block of draws at a time, so that the
    // block's counts stay in the cache while the group's formulas pass over
    // it: counting one formula at a time over every draw went to memory for
    // each increment.
    constexpr int kGroup = 16;
    constexpr int kDrawBlock = 2048;
    parallelFor(workers, 1, [&](int, int) {
        std::vector<std::uint16_t> local;
        std::vector<std::int8_t> numbers;
        int grouped = 0;
        int pending = 0;
        // A block's counts with a slot 0 for the values that count for no
        // number, so that counting takes no branch.
        std::vector<std::uint16_t> block(static_cast<std::size_t>(kDrawBlock) * 11);
        auto countGroup = [&] {
            if (grouped == 0) return;
            if (local.empty()) local.assign(killCounts.size(), 0);
            for (int from = 0; from < n; from += kDrawBlock) {
                const int len = std::min(n - from, kDrawBlock);
                std::fill(block.begin(), block.end(), 0);
                for (int g = 0; g < grouped; ++g) {
                    const std::int8_t* num =
                        numbers.data() + static_cast<std::size_t>(g) * n + from;
                    for (int i = 0; i < len; ++i)
                        ++block[static_cast<std::size_t>(i) * 11 + num[i]];
                }
                std::uint16_t* out = local.data() + static_cast<std::size_t>(from) * 10;
                for (int i = 0; i < len; ++i)
                    for (int k = 0; k < 10; ++k) out[i * 10 + k] += block[i * 11 + k + 1];
            }
            pending += grouped;
            grouped = 0;
        };
        auto flush = [&] {
            countGroup();
            if (pending == 0) return;
            const std::lock_guard<std::mutex> lock(merge);
            for (std::size_t i = 0; i < local.size(); ++i) killCounts[i] += local[i];
            std::fill(local.begin(), local.end(), 0);
            pending = 0;
        };
        for (;;) {
            const int begin = next.fetch_add(4);
            if (begin >= static_cast<int>(chosen.size()) || stop) break;
            const int end = std::min(static_cast<int>(chosen.size()), begin + 4);
            for (int c = begin; c < end && !stop; ++c) {
                const ListedFormula& f = list[chosen[c]];
                if (!f.program) continue;
                const auto values = engine.values(*f.program, nullptr);
                if (static_cast<int>(values.size()) != n) continue;
                validity[c] = 1;
                if (!f.row.kill) continue;
                if (pending + grouped + 1 > 65535) flush();
                if (numbers.empty()) numbers.resize(static_cast<std::size_t>(kGroup) * n);
                std::int8_t* num = numbers.data() + static_cast<std::size_t>(grouped) * n;
                numbersOfValues(values.data(), n, num);
                if (++grouped == kGroup) countGroup();
            }
            const int d = done += end - begin;
            if (progress && !progress(d)) stop = true;
        }
        flush();
    });
    if (stop) return {};

    std::vector<int> valid;
    for (std::size_t c = 0; c < chosen.size(); ++c) {
        if (!validity[c])
            ++out.invalid;
        else
            valid.push_back(static_cast<int>(c));
    }
    out.formulas = static_cast<int>(valid.size());
    const bool anyKeep =
        std::any_of(valid.begin(), valid.end(), [&](int c) { return !list[chosen[c]].row.kill; });
    // The first keep formula in list order takes its count back.
    int firstKeep = -1;
    for (int c : valid)
        if (!list[chosen[c]].row.kill) {
            firstKeep = c;
            break;
        }
    const int keepCount = static_cast<int>(std::count_if(
        valid.begin(), valid.end(), [&](int c) { return !list[chosen[c]].row.kill; }));
    std::vector<std::int8_t> keepNumbers;
    if (firstKeep >= 0) {
        const auto values = engine.values(*list[chosen[firstKeep]].program, nullptr);
        keepNumbers.resize(n);
        for (int r = 0; r < n; ++r)
            keepNumbers[r] = static_cast<std::int8_t>(numberOfValue(values[r]));
    }

    out.draws.resize(n);
    parallelFor(n, 2048, [&](int begin, int end) {
        for (int r = begin; r < end; ++r) {
            Replay::Draw& d = out.draws[r];
            d.issue = history.issue(r);
            for (int p = 1; p <= 10; ++p)
                d.drawn[p - 1] = static_cast<std::int8_t>(history.number(r, p));
            for (int k = 1; k <= 10; ++k)
                d.kill[k] = killCounts[static_cast<std::size_t>(r) * 10 + k - 1];
            if (anyKeep) {
                for (int k = 1; k <= 10; ++k) d.keep[k] = keepCount;
                const int v = keepNumbers[r];
                if (v >= 1 && v <= 10) ++d.keep[v];
            }
            std::array<std::int32_t, 11> errors{};
            for (int k = 1; k <= 10; ++k) errors[k] = d.kill[k] + (anyKeep ? keepCount : 0);
            if (anyKeep) {
                const int v = keepNumbers[r];
                if (v >= 1 && v <= 10) --errors[v];
            }
            std::array<int, 10> order;
            std::iota(order.begin(), order.end(), 1);
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return errors[a] < errors[b]; });
            for (int k = 0; k < 10; ++k) {
                d.ranked[k] = static_cast<std::int8_t>(order[k]);
                d.rankedErrors[k] = errors[order[k]];
            }
        }
    });
    return out;
}

std::vector<QueryRow> queryRows(const Replay& replay, int comparedPosition) {
    std::vector<QueryRow> rows;
    const int d = static_cast<int>(replay.draws.size());
    for (int i = 0; i + 1 < d; ++i) {
        const Replay::Draw& draw = replay.draws[i];
        QueryRow q;
        q.issue = replay.draws[i + 1].issue;
        q.drawn = replay.draws[i + 1].drawn[comparedPosition - 1];
        q.ranking = &draw;
        int level = 0;
        std::array<int, 11> perLevel{};
        std::array<int, 10> levelOf{};
        for (int r = 0; r < 10; ++r) {
            if (r == 0 || draw.rankedErrors[r] != draw.rankedErrors[r - 1]) ++level;
            levelOf[r] = level;
            ++perLevel[level];
        }
        q.levels = level;
        for (int r = 0; r < 10; ++r)
            if (draw.ranked[r] == q.drawn) {
                q.place = r + 1;
                q.error = draw.rankedErrors[r];
                q.level = levelOf[r];
                q.onLevel = perLevel[levelOf[r]];
            }
        rows.push_back(q);
    }
    return rows;
}

std::pair<std::int32_t, std::int32_t> errorRange(const Replay& replay) {
    // The last draw has no following draw and so no row of the grid.
    if (replay.draws.size() < 2) return {0, 0};
    std::int32_t lo = replay.draws[0].rankedErrors[0], hi = lo;
    for (std::size_t i = 0; i + 1 < replay.draws.size(); ++i) {
        lo = std::min(lo, replay.draws[i].rankedErrors[0]);
        hi = std::max(hi, replay.draws[i].rankedErrors[9]);
    }
    return {lo, hi};
}

std::string numbersWithError(const Replay::Draw& draw, std::int32_t e) {
    std::string s;
    char buf[8];
    for (int r = 0; r < 10; ++r)
        if (draw.rankedErrors[r] == e) {
            std::snprintf(buf, sizeof buf, "%02d ", draw.ranked[r]);
            s += buf;
        }
    return s;
}

}  // namespace varnet
