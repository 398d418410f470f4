#include "engine/Reference.h"

#include <cmath>
#include <limits>
#include <vector>

#include "base/History.h"
#include "engine/Evaluation.h"

namespace varnet {

std::optional<double> evaluateRow(const Program& program, const History& history, int row,
                                  std::string* error) {
    std::vector<double> stack;
    stack.reserve(program.maxDepth + 1);
    auto failed = [&](const char* what) -> std::optional<double> {
        if (error) *error = rowError(history, row, what);
        return std::nullopt;
    };
    for (const Op& op : program.ops) {
        if (op.code == Op::Param) {
            stack.push_back(history.param(row, op.param));
            continue;
        }
        if (op.code == Op::Const) {
            stack.push_back(op.value);
            continue;
        }
        if (op.code == Op::Neg) {
            stack.back() = -stack.back();
            continue;
        }
        const double b = stack.back();
        stack.pop_back();
        double& a = stack.back();
        switch (op.code) {
            case Op::Add:
                a = a + b;
                break;
            case Op::Sub:
                a = a - b;
                break;
            case Op::Mul:
                a = a * b;
                break;
            case Op::Div:
                if (b == 0.0 || !std::isfinite(b)) return failed(kDivideByZero);
                a = a / b;
                break;
            case Op::Mod: {
                const auto ra = roundToInt32(a);
                const auto rb = roundToInt32(b);
                if (!ra || !rb) return failed(kModOutOfRange);
                if (*rb == 0) return failed(kModByZero);
                a = static_cast<double>(static_cast<std::int64_t>(*ra) % *rb);
                break;
            }
            default:
                break;
        }
    }
    const double v = stack.back();
    if (!roundToInt32(v)) return failed(kValueOutOfRange);
    return v;
}

Score referenceScore(const Program& program, const History& history, int position, bool kill,
                     const CountRule& rule) {
    Score s;
    const int n = history.size();

    // The value on every row, as the evaluating statement stores it.
    std::vector<double> canshu(n);
    for (int row = 0; row < n; ++row) {
        std::string error;
        const auto v = evaluateRow(program, history, row, &error);
        if (!v) {
            s.valid = false;
            s.error = error;
            return s;
        }
        canshu[row] = *v;
    }

    // The number of each row, taken from the value two rows earlier.
    std::vector<std::int64_t> number(n, 0);
    for (int row = 2; row < n; ++row) {
        if (rule.search)
            number[row] = numberOfValue(canshu[row - 2]);
        else
            number[row] = numberOf(*roundToInt32(canshu[row - 2]));
    }

    const int first = firstCountedRow(n, rule);
    int curHit = 0, curMiss = 0;
    std::int64_t j = 0;
    for (int row = first; row < n; ++row) {
        ++j;
        const std::int64_t w = rule.weighted ? j * j : 1;
        s.total += w;
        ++s.counted;
        const bool same = number[row] == history.number(row, position);
        const bool hit = kill ? !same : same;
        if (hit) {
            curMiss = 0;
            s.hits += w;
            ++s.plainHits;
            ++curHit;
            if (curHit > s.longestHit) s.longestHit = curHit;
        } else {
            curHit = 0;
            ++curMiss;
            if (curMiss > s.longestMiss) s.longestMiss = curMiss;
        }
    }
    s.lastHit = curHit;
    s.lastMiss = curMiss;
    s.rate = rateOf(s.hits, s.total);
    if (n >= 2) s.calcValue = static_cast<int>(numberOfValue(canshu[n - 2]));
    return s;
}

}  // namespace varnet

namespace varnet {

std::string rowError(const History& history, int row, const char* what) {
    return "期号 " + std::to_string(history.issue(row)) + " 上" + what;
}

}  // namespace varnet
