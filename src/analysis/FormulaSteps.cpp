#include "analysis/FormulaSteps.h"

#include <cctype>
#include <cstdio>
#include <optional>

#include "base/History.h"
#include "base/NumericText.h"
#include "base/ParameterNames.h"
#include "engine/Evaluation.h"
#include "engine/Expression.h"
#include "engine/Reference.h"
#include "formula/Translate.h"

namespace varnet {

namespace {

// One term of a sum: a column, an integer constant, or (COLUMN MOD m).
struct Term {
    int column = 0;  // 1..132, or 0 for a constant
    std::int64_t constant = 0;
    std::optional<std::int64_t> mod;
    std::string text;  // as written
};

std::optional<Term> readTerm(const std::string& written) {
    Term t;
    t.text = trimSpaces(written);
    std::string s = t.text;
    if (s.size() > 2 && s.front() == '(' && s.back() == ')') {
        s = s.substr(1, s.size() - 2);
        std::string upper = s;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto at = upper.find("MOD");
        if (at == std::string::npos) return std::nullopt;
        t.column = ParameterNames::indexOfCode(trimSpaces(s.substr(0, at)));
        t.mod = parseWholeInteger(trimSpaces(s.substr(at + 3)));
        if (t.column == 0 || !t.mod) return std::nullopt;
        return t;
    }
    if ((t.column = ParameterNames::indexOfCode(s)) != 0) return t;
    if (const auto c = parseWholeInteger(s);
        c && !s.empty() && std::isdigit(static_cast<unsigned char>(s[0]))) {
        t.constant = *c;
        return t;
    }
    return std::nullopt;
}

// The terms of a plain sum, or nothing when the formula is anything else.
std::optional<std::vector<Term>> readSum(const std::string& code) {
    std::vector<Term> terms;
    std::size_t start = 0;
    for (;;) {
        const auto plus = code.find('+', start);
        const auto term = readTerm(
            code.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (!term) return std::nullopt;
        terms.push_back(*term);
        if (plus == std::string::npos) return terms;
        start = plus + 1;
    }
}

// a MOD b as the engine computes it on integers: the remainder keeps the
// sign of a; nothing for b = 0.
std::optional<std::int64_t> modOf(std::int64_t a, std::int64_t b) {
    if (b == 0) return std::nullopt;
    return a % b;
}

std::string valueText(double v) {
    char buf[64];
    if (v == static_cast<double>(static_cast<long long>(v)))
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
    else
        std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

}  // namespace

std::vector<StepRow> formulaSteps(const History& history, const std::string& code,
                                  std::string* error) {
    const ParseResult parsed = parseFormula(code);
    if (!parsed.program) {
        if (error) *error = parsed.error;
        return {};
    }
    const auto sum = readSum(code);
    std::vector<StepRow> rows(history.size());
    for (int r = 0; r < history.size(); ++r) {
        StepRow& row = rows[r];
        row.issue = history.issue(r);
        char numbers[3 * kPositions + 1] = {};
        for (int p = 1; p <= kPositions; ++p)
            std::snprintf(numbers + 3 * (p - 1), 4, p < kPositions ? "%02d " : "%02d",
                          history.number(r, p));
        row.numbers = numbers;
        if (!sum) {
            const auto v = evaluateRow(*parsed.program, history, r, nullptr);
            if (v) row.value = valueText(*v);
            continue;
        }
        std::int64_t total = 0;
        bool ok = true;
        for (std::size_t i = 0; i < sum->size() && ok; ++i) {
            const Term& t = (*sum)[i];
            std::int64_t v = t.column ? history.param(r, t.column) : t.constant;
            if (t.mod) {
                const auto m = modOf(v, *t.mod);
                if (!m) ok = false;
                v = m.value_or(0);
            }
            total += v;
            // The last term is shown as written.
            row.terms += i + 1 < sum->size() ? std::to_string(v) + '+' : t.text;
        }
        if (ok) row.value = std::to_string(total);
    }
    return rows;
}

}  // namespace varnet
