#include "engine/Bounds.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/History.h"
#include "base/Parallel.h"

namespace varnet {

namespace {

struct Interval {
    double lo, hi;
};

// Bounds kept clear of the 32-bit limits and of zero by margins far wider
// than any rounding error of the few operations a formula holds.
constexpr double kInt32Lo = -2147483648.0 + 1.0;
constexpr double kInt32Hi = 2147483647.0 - 1.0;
constexpr double kNearZero = 1e-6;

bool within32(const Interval& v) { return v.lo >= kInt32Lo && v.hi <= kInt32Hi; }

Interval product(const Interval& a, const Interval& b) {
    const double p[] = {a.lo * b.lo, a.lo * b.hi, a.hi * b.lo, a.hi * b.hi};
    return {*std::min_element(p, p + 4), *std::max_element(p, p + 4)};
}

}  // namespace

ColumnRanges::ColumnRanges(const History& history) {
    parallelFor(kParamCount, 8, [&](int begin, int end) {
        for (int k = begin + 1; k <= end; ++k) {
            const auto& c = history.column(k);
            if (c.empty()) continue;
            std::int32_t a = c[0], b = c[0];
            for (const std::int32_t v : c) {
                a = std::min(a, v);
                b = std::max(b, v);
            }
            lo[k - 1] = a;
            hi[k - 1] = b;
        }
    });
}

bool evaluableEverywhere(const Program& program, const ColumnRanges& ranges) {
    std::vector<Interval> stack;
    for (const Op& op : program.ops) {
        switch (op.code) {
            case Op::Param:
                stack.push_back({ranges.lo[op.param - 1], ranges.hi[op.param - 1]});
                continue;
            case Op::Const:
                stack.push_back({op.value, op.value});
                continue;
            case Op::Neg:
                stack.back() = {-stack.back().hi, -stack.back().lo};
                continue;
            default:
                break;
        }
        const Interval b = stack.back();
        stack.pop_back();
        Interval& a = stack.back();
        switch (op.code) {
            case Op::Add:
                a = {a.lo + b.lo, a.hi + b.hi};
                break;
            case Op::Sub:
                a = {a.lo - b.hi, a.hi - b.lo};
                break;
            case Op::Mul:
                a = product(a, b);
                break;
            case Op::Div:
                if (!(b.lo > kNearZero || b.hi < -kNearZero)) return false;
                a = product(a, {1.0 / b.hi, 1.0 / b.lo});
                break;
            case Op::Mod: {
                // Both operands are rounded; the divisor must not round to 0.
                if (!within32(a) || !within32(b) ||
                    !(b.lo > 0.5 + kNearZero || b.hi < -0.5 - kNearZero))
                    return false;
                const double m = std::min(std::max(std::fabs(b.lo), std::fabs(b.hi)),
                                          std::max(std::fabs(a.lo), std::fabs(a.hi)) + 1.0);
                a = {a.lo >= 0 ? 0.0 : -m, a.hi <= 0 ? 0.0 : m};
                break;
            }
            default:
                return false;
        }
        if (!std::isfinite(a.lo) || !std::isfinite(a.hi)) return false;
    }
    return stack.size() == 1 && std::isfinite(stack[0].lo) && std::isfinite(stack[0].hi) &&
           within32(stack[0]);
}

}  // namespace varnet
