#include "cli/CliArgs.h"

#include <algorithm>
#include <climits>

#include "app/AppSettings.h"
#include "base/Draw.h"
#include "base/NumericText.h"
#include "formula/FormulaLine.h"
#include "formula/Translate.h"

namespace varnet {

Args splitArgs(const std::vector<std::string>& raw, const std::vector<std::string>& flags) {
    Args a;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::string& s = raw[i];
        if (s == "--") {
            a.words.insert(a.words.end(), raw.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           raw.end());
            break;
        }
        if (s.rfind("--", 0) == 0 && s.size() > 2) {
            bool isFlag = false;
            for (const auto& f : flags) isFlag = isFlag || f == s;
            if (isFlag) {
                a.options[s] = "";
            } else {
                if (i + 1 >= raw.size()) throw UsageError{s + " needs a value"};
                a.options[s] = raw[++i];
            }
        } else {
            a.words.push_back(s);
        }
    }
    return a;
}

std::int64_t integerArg(const std::string& text, const std::string& what, std::int64_t lo,
                        std::int64_t hi) {
    const auto v = parseWholeInteger(text);
    if (!v || *v < lo || *v > hi)
        throw UsageError{what + " must be a whole number from " + std::to_string(lo) + " to " +
                         std::to_string(hi) + ", not '" + text + "'"};
    return *v;
}

void onlyOptions(const Args& a, const std::vector<std::string>& allowed) {
    for (const auto& [name, value] : a.options) {
        bool ok = false;
        for (const auto& n : allowed) ok = ok || n == name;
        if (!ok) throw UsageError{"unknown option " + name};
    }
}

bool yesNo(const std::string& text, const std::string& what) {
    if (text == "yes") return true;
    if (text == "no") return false;
    throw UsageError{what + " must be yes or no, not '" + text + "'"};
}

bool killKind(const Args& a, std::optional<bool> fallback) {
    const auto kind = a.option("--kind");
    if (!kind && fallback) return *fallback;
    if (!kind) throw UsageError{"--kind kill|keep is needed"};
    if (*kind == "kill") return true;
    if (*kind == "keep") return false;
    throw UsageError{"--kind must be kill or keep, not '" + *kind + "'"};
}

bool bestMethod(const Args& a, bool fallback) {
    const auto m = a.option("--method");
    if (!m) return fallback;
    if (*m != "selected" && *m != "best")
        throw UsageError{"--method must be selected or best, not '" + *m + "'"};
    return *m == "best";
}

int positionArg(const Args& a) {
    const auto p = a.option("--position");
    if (!p) throw UsageError{"--position P (1..10) is needed"};
    return static_cast<int>(integerArg(*p, "--position", 1, kPositions));
}

std::string codeFormOf(const std::string& text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return text;
    const std::string line = cutAtLianzhun(text);
    if (line.find("下期") != std::string::npos || (!line.empty() && line[0] == '[')) {
        if (const auto parts = takeApartFormulaLine(line, BracketRule::Import))
            return translateChinese(parts->expression);
        return translateChinese(line);
    }
    return translateChinese(line);
}

CountRule verificationRule(const Args& a) {
    const AppSettings::Values settings = AppSettings().load();
    CountRule rule;
    rule.retrieval = settings.issueCount();
    rule.excludeCurrent = settings.excludeCurrent;
    rule.weighted = settings.weighted;
    if (const auto c = a.option("--count"))
        rule.retrieval = static_cast<int>(integerArg(*c, "--count", 0, INT32_MAX));
    if (const auto e = a.option("--exclude-current"))
        rule.excludeCurrent = yesNo(*e, "--exclude-current");
    if (const auto w = a.option("--weighting")) rule.weighted = yesNo(*w, "--weighting");
    return rule;
}

}  // namespace varnet
