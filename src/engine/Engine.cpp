#include "engine/Engine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

#include "base/History.h"
#include "base/Parallel.h"
#include "engine/Bounds.h"
#include "engine/Evaluation.h"
#include "engine/HitBits.h"
#include "engine/Reference.h"
#include "engine/SearchKernel.h"

namespace varnet {

namespace {

// Rows per block: a few stack slots of doubles stay in the first-level cache.
constexpr int kRows = 1024;

// The row loops below are compiled twice, for AVX2 and for any x86-64, and
// the processor picks at load time.
#if defined(__x86_64__) && defined(__GNUC__)
#define VARNET_ROWS __attribute__((target_clones("avx2", "default")))
#else
#define VARNET_ROWS
#endif

// roundHalfEven() without a branch, so that the loops vectorise.
inline double roundRow(double v) {
    constexpr double kMagic = 0x1.8p52;
    const double r = (v + kMagic) - kMagic;
    return std::fabs(v) < 0x1p51 ? r : v;
}

VARNET_ROWS void negateRows(double* a, int len) {
    for (int i = 0; i < len; ++i) a[i] = -a[i];
}

VARNET_ROWS void addRows(double* a, const double* b, int len) {
    for (int i = 0; i < len; ++i) a[i] += b[i];
}

VARNET_ROWS void subtractRows(double* a, const double* b, int len) {
    for (int i = 0; i < len; ++i) a[i] -= b[i];
}

VARNET_ROWS void multiplyRows(double* a, const double* b, int len) {
    for (int i = 0; i < len; ++i) a[i] *= b[i];
}

// False when a divisor is zero or not finite.
VARNET_ROWS bool divideRows(double* a, const double* b, int len) {
    bool ok = true;
    for (int i = 0; i < len; ++i) {
        ok &= std::fabs(b[i]) > 0.0 && std::fabs(b[i]) <= 1.7976931348623157e308;
        a[i] /= b[i];
    }
    return ok;
}

// a MOD b with both rounded half to even; false when an operand leaves the
// 32-bit range or a divisor is zero. For integers below 2^31 the truncated
// double quotient is exact, so the remainder is too.
VARNET_ROWS bool modRows(double* a, const double* b, int len) {
    bool ok = true;
    for (int i = 0; i < len; ++i) {
        const double x = roundRow(a[i]);
        const double y = roundRow(b[i]);
        ok &= x >= -2147483648.0 && x <= 2147483647.0 && y >= -2147483648.0 && y <= 2147483647.0 &&
              y != 0.0;
        const double q = y != 0.0 ? x / y : 0.0;
        const double t =
            std::fabs(q) < 0x1p31 ? static_cast<double>(static_cast<std::int32_t>(q)) : 0.0;
        a[i] = x - y * t;
    }
    return ok;
}

// False when a value does not round into the 32-bit range.
VARNET_ROWS bool inRange(const double* v, int len) {
    bool ok = true;
    for (int i = 0; i < len; ++i) {
        const double r = roundRow(v[i]);
        ok &= r >= -2147483648.0 && r <= 2147483647.0;
    }
    return ok;
}

// The number of each value: verification reads the value as an integer
// first; the search rounds the value less one.
VARNET_ROWS void numbersOf(const double* v, int count, bool search, std::int8_t* out) {
    for (int i = 0; i < count; ++i) {
        const double d = search ? roundRow(v[i] - 1.0) : roundRow(v[i]) - 1.0;
        const double q = static_cast<double>(static_cast<std::int32_t>(d / 10.0));
        out[i] = static_cast<std::int8_t>(d - 10.0 * q + 1.0);
    }
}

// Packs the hit flags of the counted rows, 64 to a word.
VARNET_ROWS void hitWords(const std::int8_t* number, const std::int8_t* drawn, int rows, bool kill,
                          std::uint64_t* words) {
    for (int w = 0; w * 64 < rows; ++w) {
        const int len = std::min(64, rows - w * 64);
        std::uint64_t bits = 0;
        for (int i = 0; i < len; ++i)
            bits |= static_cast<std::uint64_t>((number[w * 64 + i] == drawn[w * 64 + i]) != kill)
                    << i;
        words[w] = bits;
    }
}

// Evaluates a program block by block. Returns the first row where it cannot
// be evaluated, or -1; `values` receives every row's value otherwise.
int evaluateAll(const Program& program, const History& history, std::vector<double>& values,
                std::vector<double>& stack, int from = 0) {
    const int n = history.size();
    values.resize(n);
    const int depth = std::max(1, program.maxDepth);
    stack.resize(static_cast<std::size_t>(depth) * kRows);
    auto slot = [&](int i) { return stack.data() + static_cast<std::size_t>(i) * kRows; };
    for (int base = from; base < n; base += kRows) {
        const int len = std::min(kRows, n - base);
        int top = -1;  // index of the top slot
        bool ok = true;
        for (const Op& op : program.ops) {
            switch (op.code) {
                case Op::Param:
                    history.column(op.param).load(base, len, slot(++top));
                    break;
                case Op::Const: {
                    double* out = slot(++top);
                    std::fill(out, out + len, op.value);
                    break;
                }
                case Op::Neg:
                    negateRows(slot(top), len);
                    break;
                case Op::Add:
                    addRows(slot(top - 1), slot(top), len), --top;
                    break;
                case Op::Sub:
                    subtractRows(slot(top - 1), slot(top), len), --top;
                    break;
                case Op::Mul:
                    multiplyRows(slot(top - 1), slot(top), len), --top;
                    break;
                case Op::Div:
                    ok &= divideRows(slot(top - 1), slot(top), len), --top;
                    break;
                case Op::Mod:
                    ok &= modRows(slot(top - 1), slot(top), len), --top;
                    break;
            }
        }
        const double* v = slot(0);
        ok &= inRange(v, len);
        std::copy(v, v + len, values.data() + base);
        if (!ok) {
            // The row the plain evaluation stops at.
            for (int i = 0; i < len; ++i)
                if (!evaluateRow(program, history, base + i, nullptr)) return base + i;
        }
    }
    return -1;
}

struct Scratch {
    std::vector<double> values;
    std::vector<double> stack;
    std::vector<std::int8_t> numbers;
    std::vector<std::uint64_t> words;
};

}  // namespace

std::vector<double> FormulaEngine::values(const Program& program, std::string* error) const {
    std::vector<double> values, stack;
    const int bad = evaluateAll(program, history_, values, stack);
    if (bad >= 0) {
        evaluateRow(program, history_, bad, error);
        return {};
    }
    return values;
}

std::vector<double> FormulaEngine::values(const Program& program, std::string* error, int from,
                                          const ColumnRanges& ranges) const {
    if (from <= 0 || !evaluableEverywhere(program, ranges)) return values(program, error);
    std::vector<double> values, stack;
    if (evaluateAll(program, history_, values, stack, from) >= 0)
        return this->values(program, error);
    return values;
}

std::vector<std::uint8_t> FormulaEngine::hitFlags(const Program& program, int position, bool kill,
                                                  const CountRule& rule, std::string* error) const {
    const History& h = history_;
    const int n = h.size();
    const int first = firstCountedRow(n, rule);
    const int rows = std::max(0, n - first);
    std::vector<double> values, stack;
    const int bad = evaluateAll(program, h, values, stack);
    if (bad >= 0) {
        evaluateRow(program, h, bad, error);
        return {};
    }
    std::vector<std::uint8_t> flags(rows);
    if (rows == 0) return flags;
    std::vector<std::int8_t> numbers(rows);
    numbersOf(values.data() + first - 2, rows, rule.search, numbers.data());
    for (int i = 0; i < rows; ++i)
        flags[i] = (numbers[i] == h.number(first + i, position)) != kill ? 1 : 0;
    return flags;
}

Score FormulaEngine::scoreOne(const Program& program, int position, bool kill,
                              const CountRule& rule) const {
    // One formula does not pay for building the byte columns.
    return run({FormulaJob{&program, kill}}, position, rule, {}, 1, false).front();
}

std::vector<Score> FormulaEngine::score(const std::vector<FormulaJob>& jobs, int position,
                                        const CountRule& rule,
                                        const std::function<bool(int)>& progress,
                                        int threads) const {
    return run(jobs, position, rule, progress, threads, true);
}

std::vector<Score> FormulaEngine::run(const std::vector<FormulaJob>& jobs, int position,
                                      const CountRule& rule,
                                      const std::function<bool(int)>& progress, int threads,
                                      bool useKernel) const {
    const History& h = history_;
    const int n = h.size();
    const int first = firstCountedRow(n, rule);
    const int rows = n - first;
    std::vector<std::int8_t> drawn(n);
    for (int r = 0; r < n; ++r) drawn[r] = static_cast<std::int8_t>(h.number(r, position));

    // Sums of parameters go through the byte kernel, one per kind.
    std::unique_ptr<SearchKernel> kernels[2];
    for (const auto& j : jobs) {
        if (useKernel && j.program->paramSum && !kernels[j.kill])
            kernels[j.kill] = std::make_unique<SearchKernel>(h, position, j.kill, rule);
    }

    // A general formula proved evaluable on every row needs only the rows
    // its score and calculation value read: two before the first counted
    // row onwards. With a short look-back over a long history that is a
    // small tail of it.
    std::unique_ptr<ColumnRanges> ranges;
    const int tail = std::max(0, std::min(first - 2, n - 2));
    if (tail > 0) {
        for (const auto& j : jobs)
            if (!useKernel || !j.program->paramSum) {
                ranges = std::make_unique<ColumnRanges>(h);
                break;
            }
    }

    std::vector<Score> out(jobs.size());
    std::vector<char> scored(jobs.size(), 0);
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    parallelFor(
        static_cast<int>(jobs.size()), 8,
        [&](int begin, int end) {
            thread_local Scratch sc;
            for (int idx = begin; idx < end && !stop; ++idx) {
                const Program& p = *jobs[idx].program;
                const bool kill = jobs[idx].kill;
                Score& s = out[idx];
                const SearchKernel* kernel = kernels[kill].get();
                const int count = static_cast<int>(p.sumParams.size());
                if (kernel && p.paramSum &&
                    kernel->accepts(p.sumParams.data(), count, static_cast<int>(p.sumConstant))) {
                    s = kernel->score(p.sumParams.data(), count, static_cast<int>(p.sumConstant));
                    if (n >= 2) {
                        std::int64_t v = p.sumConstant;
                        for (int k : p.sumParams) v += h.param(n - 2, k);
                        s.calcValue = static_cast<int>(numberOf(v));
                    }
                } else {
                    const int from = ranges && evaluableEverywhere(p, *ranges) ? tail : 0;
                    const int bad = evaluateAll(p, h, sc.values, sc.stack, from);
                    if (bad >= 0) {
                        s = Score{};
                        s.valid = false;
                        evaluateRow(p, h, bad, &s.error);
                    } else {
                        s = Score{};
                        // The number of each counted row, from the value two rows earlier.
                        sc.words.assign((rows + 63) / 64 + 1, 0);
                        if (rows > 0) {
                            sc.numbers.resize(rows);
                            numbersOf(sc.values.data() + first - 2, rows, rule.search,
                                      sc.numbers.data());
                            hitWords(sc.numbers.data(), drawn.data() + first, rows, kill,
                                     sc.words.data());
                        }
                        const double* v = sc.values.data();
                        hitSumsFromHitBits(sc.words.data(), rows, rule.weighted, s);
                        runsFromHitBits(sc.words.data(), rows, s);
                        s.rate = rateOf(s.hits, s.total);
                        if (n >= 2) s.calcValue = static_cast<int>(numberOfValue(v[n - 2]));
                    }
                }
                scored[idx] = 1;
            }
            const int d = done += end - begin;
            if (progress && !progress(d)) stop = true;
        },
        threads);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (!scored[i]) {
            out[i].valid = false;
            out[i].error = "已取消";
        }
    }
    return out;
}

}  // namespace varnet
