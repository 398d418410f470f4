#include "analysis/Trend.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <stdexcept>

#include "base/Draw.h"
#include "base/ParameterNames.h"
#include "engine/Significance.h"

namespace varnet {

namespace {

constexpr int kOrders = 3628800;  // 10!
constexpr double kHeatLevel = 0.01;

Trend::Law lawFromCounts(const std::map<std::int32_t, long long>& counts, long long total,
                         std::string basis) {
    Trend::Law law;
    for (const auto& [value, n] : counts) {
        law.values.push_back(value);
        law.probabilities.push_back(static_cast<double>(n) / static_cast<double>(total));
    }
    law.basis = std::move(basis);
    return law;
}

// A per-position parameter reads the number at its position and the two
// beside it (the first and the tenth are neighbours): every ordered triple
// of distinct numbers there is equally likely.
Trend::Law positionLaw(int param) {
    const int position = (param - 1) % 10 + 1;
    const int before = position == 1 ? 10 : position - 1;
    const int after = position == 10 ? 1 : position + 1;
    std::map<std::int32_t, long long> counts;
    long long total = 0;
    for (int l = 1; l <= 10; ++l)
        for (int x = 1; x <= 10; ++x)
            for (int r = 1; r <= 10; ++r) {
                if (l == x || x == r || l == r) continue;
                Draw d;
                d.numbers[before - 1] = l;
                d.numbers[position - 1] = x;
                d.numbers[after - 1] = r;
                int next = 1;
                for (int p = 1; p <= 10; ++p) {
                    if (p == before || p == position || p == after) continue;
                    while (next == l || next == x || next == r) ++next;
                    d.numbers[p - 1] = next++;
                }
                ++counts[computeParameters(d, Numbers{})[param - 1]];
                ++total;
            }
    return lawFromCounts(counts, total,
                         "随机开奖下该值每期出现的概率：由十个号码的全部 3628800 种排列精确算出");
}

// The whole-draw parameters over all 10! orders at once: the runs of
// neighbours (连顺号 .. 逆跳号), the greatest swing and, against an earlier
// order, the numbers in the same place (同上期数).
const std::array<Trend::Law, 6>& wholeDrawLaws() {
    static const std::array<Trend::Law, 6> laws = [] {
        std::array<std::map<std::int32_t, long long>, 6> counts;
        std::array<int, 10> x;
        std::iota(x.begin(), x.end(), 1);
        do {
            int m1 = 0, m2 = 0, m3 = 0, m4 = 0, swing = 0, same = x[0] == 1;
            for (int i = 1; i < 10; ++i) {
                const int a = x[i - 1], b = x[i];
                m1 += b == a + 1;
                m2 += a == b + 1;
                m3 += b == a + 2;
                m4 += a == b + 2;
                swing = std::max(swing, std::abs(b - a));
                same += b == i + 1;
            }
            ++counts[0][m1];
            ++counts[1][m2];
            ++counts[2][m3];
            ++counts[3][m4];
            ++counts[4][swing];
            ++counts[5][same];
        } while (std::next_permutation(x.begin(), x.end()));
        std::array<Trend::Law, 6> out;
        for (int i = 0; i < 5; ++i)
            out[i] = lawFromCounts(
                counts[i], kOrders,
                "随机开奖下该值每期出现的概率：由十个号码的全部 3628800 种排列精确算出");
        // Each draw is independent of the one before, so the count against
        // it has the same law whatever that draw was.
        out[5] = lawFromCounts(counts[5], kOrders,
                               "随机开奖下该值每期出现的概率：由相对上期号码的全部 3628800 "
                               "种排列精确算出（本期与上期相互独立）");
        return out;
    }();
    return laws;
}

// Maps a parameter's values to their columns.
class ColumnIndex {
  public:
    ColumnIndex(const std::vector<std::int32_t>& values) : values_(values) {
        lo_ = values.front();
        const long long range = static_cast<long long>(values.back()) - lo_ + 1;
        if (range <= (1 << 20)) {
            dense_.assign(static_cast<std::size_t>(range), -1);
            for (std::size_t c = 0; c < values.size(); ++c)
                dense_[static_cast<std::size_t>(values[c] - lo_)] = static_cast<int>(c);
        }
    }
    int operator()(std::int32_t v) const {
        if (!dense_.empty()) return dense_[static_cast<std::size_t>(v - lo_)];
        return static_cast<int>(std::lower_bound(values_.begin(), values_.end(), v) -
                                values_.begin());
    }

  private:
    const std::vector<std::int32_t>& values_;
    std::int32_t lo_ = 0;
    std::vector<int> dense_;
};

}  // namespace

bool Trend::hasTrend(int param) {
    return param >= 1 && param <= kParamCount && (param < 125 || param > 130);
}

const Trend::Law& Trend::lawOf(int param) {
    if (!hasTrend(param)) throw std::invalid_argument("no trend for this parameter");
    if (param <= 120) {
        static const std::array<Law, 120> laws = [] {
            std::array<Law, 120> out;
            for (int k = 1; k <= 120; ++k) out[k - 1] = positionLaw(k);
            return out;
        }();
        return laws[param - 1];
    }
    return wholeDrawLaws()[param <= 124 ? param - 121 : param - 127];
}

Trend Trend::compute(const History& history, int param, int last) {
    const Law& law = lawOf(param);
    Trend t;
    t.param_ = param;
    t.basis_ = law.basis;
    const int n = history.size();
    const int rows = last <= 0 || last > n ? n : last;
    t.first_ = n - rows;
    const HistoryColumn& col = history.column(param);

    // The law's values, and any other value the stored draws hold (chance 0).
    std::vector<std::int32_t> values = law.values;
    std::vector<double> chance = law.probabilities;
    if (n > 0) {
        std::int32_t lo = values.front(), hi = values.back();
        for (std::int32_t v : col) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        if (lo < values.front() || hi > values.back()) {
            std::vector<std::int32_t> seen;
            for (std::int32_t v : col)
                if (v < values.front() || v > values.back()) seen.push_back(v);
            std::sort(seen.begin(), seen.end());
            seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
            for (std::int32_t v : seen) {
                const auto at = std::lower_bound(values.begin(), values.end(), v);
                chance.insert(chance.begin() + (at - values.begin()), 0.0);
                values.insert(at, v);
            }
        }
        // Values inside the range that the law lacks (none for stored draws).
        const ColumnIndex probe(values);
        std::vector<std::int32_t> missing;
        for (std::int32_t v : col) {
            const int c = probe(v);
            if (c < 0 || c >= static_cast<int>(values.size()) || values[c] != v)
                missing.push_back(v);
        }
        std::sort(missing.begin(), missing.end());
        missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
        for (std::int32_t v : missing) {
            const auto at = std::lower_bound(values.begin(), values.end(), v);
            chance.insert(chance.begin() + (at - values.begin()), 0.0);
            values.insert(at, v);
        }
    }
    const int columns = static_cast<int>(values.size());
    const ColumnIndex index(values);

    t.hits_.assign(columns, {});
    t.lastBefore_.assign(columns, -1);
    t.issues_.assign(history.issues().begin() + t.first_, history.issues().end());
    t.drawn_.resize(rows);
    for (int r = 0; r < t.first_; ++r) t.lastBefore_[index(col[r])] = r;
    for (int r = t.first_; r < n; ++r) {
        const int c = index(col[r]);
        t.drawn_[r - t.first_] = static_cast<std::uint16_t>(c);
        t.hits_[c].push_back(r - t.first_);
    }
    // The run of repeats that reaches into the window's first row.
    int carry = 0;
    if (t.first_ > 0)
        for (int r = t.first_ - 1; r >= 0 && col[r] == col[t.first_ - 1]; --r) ++carry;
    const int carryColumn = t.first_ > 0 ? index(col[t.first_ - 1]) : -1;

    t.columns_.resize(columns);
    for (int c = 0; c < columns; ++c) {
        TrendColumn& s = t.columns_[c];
        const std::vector<int>& hits = t.hits_[c];
        s.value = values[c];
        s.probability = chance[c];
        s.appearances = static_cast<int>(hits.size());
        s.expected = rows * s.probability;
        s.meanOmission = static_cast<double>(rows - s.appearances) / (s.appearances + 1);
        // Omissions peak in the row before each appearance and in the last row.
        int previous = t.lastBefore_[c];
        int run = 0, lastHit = -1;
        for (int a : hits) {
            const int row = t.first_ + a;
            if (a > 0) s.longestOmission = std::max(s.longestOmission, row - 1 - previous);
            previous = row;
            if (lastHit >= 0 && a == lastHit + 1)
                ++run;
            else
                run = a == 0 && c == carryColumn ? carry + 1 : 1;
            lastHit = a;
            s.longestRepeat = std::max(s.longestRepeat, run);
        }
        if (rows > 0) {
            s.currentOmission = n - 1 - previous;
            s.longestOmission = std::max(s.longestOmission, s.currentOmission);
        }
        // A window row with an omission of L closes a run of L misses that
        // lies within the L - 1 draws before the window and the window.
        const double q = 1.0 - s.probability;
        const long long span =
            std::min<long long>(static_cast<long long>(rows) + s.longestOmission - 1, n);
        s.longestChance = rows == 0 ? 1.0 : missRunProbability(span, s.longestOmission, q);
        s.currentChance = std::pow(q, s.currentOmission);
        if (rows > 0 && s.probability > 0.0 && s.probability < 1.0) {
            s.countChance =
                std::min(1.0, 2 * std::min(binomialLowerTail(rows, s.appearances, s.probability),
                                           binomialUpperTail(rows, s.appearances, s.probability)));
            if (s.countChance < kHeatLevel) s.heat = s.appearances > s.expected ? 1 : -1;
        }
    }
    return t;
}

int Trend::omission(int row, int column) const {
    const std::vector<int>& hits = hits_[column];
    const auto after = std::upper_bound(hits.begin(), hits.end(), row);
    const int last = after == hits.begin() ? lastBefore_[column] : first_ + *(after - 1);
    return first_ + row - last;
}

}  // namespace varnet
