#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/Scoring.h"

namespace varnet {

// Bad usage of varnet-cli: exit status 2 with the usage text.
struct UsageError {
    std::string message;
};

// Positional words and --options with one value (flags listed in `flags`
// take none). A lone "--" ends the options: what follows are words, so a
// formula may begin with "-".
struct Args {
    std::vector<std::string> words;
    std::map<std::string, std::string> options;

    std::optional<std::string> option(const std::string& name) const {
        auto it = options.find(name);
        if (it == options.end()) return std::nullopt;
        return it->second;
    }
};

Args splitArgs(const std::vector<std::string>& raw, const std::vector<std::string>& flags);
std::int64_t integerArg(const std::string& text, const std::string& what, std::int64_t lo,
                        std::int64_t hi);
void onlyOptions(const Args& a, const std::vector<std::string>& allowed);
bool yesNo(const std::string& text, const std::string& what);
// --kind kill|keep; `fallback` when absent (none: the option is required).
bool killKind(const Args& a, std::optional<bool> fallback = std::nullopt);
int positionArg(const Args& a);
// --method selected|best: whether it is the best-formula method; `fallback`
// when absent.
bool bestMethod(const Args& a, bool fallback);

// The verification options: the desktop program's settings, overridden by
// --count, --exclude-current and --weighting.
CountRule verificationRule(const Args& a);

// The code form of a formula given either way: a code form as it is; a
// Chinese form (a whole line, or a bare Chinese expression) translated.
std::string codeFormOf(const std::string& text);

}  // namespace varnet
