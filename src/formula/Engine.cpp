#include "formula/Engine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

#include "formula/Evaluation.h"
#include "formula/HitBits.h"
#include "formula/Parallel.h"
#include "formula/Reference.h"
#include "history/History.h"
#include "search/SearchKernel.h"

namespace varnet {

namespace {

// Rows per block: a few stack slots of doubles stay in the first-level cache.
constexpr int kRows = 1024;

// Evaluates a program block by block. Returns the first row where it cannot
// be evaluated, or -1; `values` receives every row's value otherwise.
int evaluateAll(const Program& program, const History& history, std::vector<double>& values,
                std::vector<double>& stack) {
    const int n = history.size();
    values.resize(n);
    const int depth = std::max(1, program.maxDepth);
    stack.resize(static_cast<std::size_t>(depth) * kRows);
    int firstBad = -1;
    for (int base = 0; base < n && firstBad < 0; base += kRows) {
        const int len = std::min(kRows, n - base);
        int top = -1;  // index of the top slot
        bool bad = false;
        auto slot = [&](int i) { return stack.data() + static_cast<std::size_t>(i) * kRows; };
        for (const Op& op : program.ops) {
            switch (op.code) {
                case Op::Param: {
                    double* out = slot(++top);
                    const std::int32_t* in = history.column(op.param).data() + base;
                    for (int i = 0; i < len; ++i) out[i] = in[i];
                    break;
                }
                case Op::Const: {
                    double* out = slot(++top);
                    std::fill(out, out + len, op.value);
                    break;
                }
                case Op::Neg: {
                    double* a = slot(top);
                    for (int i = 0; i < len; ++i) a[i] = -a[i];
                    break;
                }
                default: {
                    const double* b = slot(top--);
                    double* a = slot(top);
                    switch (op.code) {
                        case Op::Add:
                            for (int i = 0; i < len; ++i) a[i] += b[i];
                            break;
                        case Op::Sub:
                            for (int i = 0; i < len; ++i) a[i] -= b[i];
                            break;
                        case Op::Mul:
                            for (int i = 0; i < len; ++i) a[i] *= b[i];
                            break;
                        case Op::Div: {
                            bool zero = false;
                            for (int i = 0; i < len; ++i)
                                zero |= !(std::fabs(b[i]) > 0.0 &&
                                          std::fabs(b[i]) <= 1.7976931348623157e308);
                            bad |= zero;
                            for (int i = 0; i < len; ++i) a[i] /= b[i];
                            break;
                        }
                        case Op::Mod:
                            for (int i = 0; i < len; ++i) {
                                const auto ra = roundToInt32(a[i]);
                                const auto rb = roundToInt32(b[i]);
                                if (!ra || !rb || *rb == 0) {
                                    bad = true;
                                    a[i] = 0;
                                    continue;
                                }
                                a[i] = static_cast<double>(static_cast<std::int64_t>(*ra) % *rb);
                            }
                            break;
                        default:
                            break;
                    }
                }
            }
        }
        const double* v = slot(0);
        bool out = false;
        for (int i = 0; i < len; ++i)
            out |= !(std::fabs(std::nearbyint(v[i])) <= 2147483647.0 ||
                     std::nearbyint(v[i]) == -2147483648.0);
        std::copy(v, v + len, values.data() + base);
        if (bad || out) {
            // Find the row the plain evaluation stops at.
            for (int i = 0; i < len; ++i) {
                if (!evaluateRow(program, history, base + i, nullptr)) {
                    firstBad = base + i;
                    break;
                }
            }
        }
    }
    return firstBad;
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
                    const int bad = evaluateAll(p, h, sc.values, sc.stack);
                    if (bad >= 0) {
                        s = Score{};
                        s.valid = false;
                        evaluateRow(p, h, bad, &s.error);
                    } else {
                        s = Score{};
                        // The number of each counted row, from the value two rows earlier.
                        sc.words.assign((rows + 63) / 64 + 1, 0);
                        const double* v = sc.values.data();
                        for (int t = 0; t < rows; ++t) {
                            const double x = v[first - 2 + t];
                            const std::int64_t number =
                                rule.search
                                    ? numberOfValue(x)
                                    : numberOf(static_cast<std::int64_t>(std::nearbyint(x)));
                            const bool same = number == drawn[first + t];
                            sc.words[t >> 6] |= static_cast<std::uint64_t>(same != kill)
                                                << (t & 63);
                        }
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
