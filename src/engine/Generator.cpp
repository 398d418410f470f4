#include "engine/Generator.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/NumericText.h"
#include "base/ParameterNames.h"

namespace varnet {

namespace {

// A specified constant is kept within a range where every sum of up to 24
// parameters stays an exact 32-bit value.
constexpr int kMaxConstant = 1000000;

bool isNumericText(std::string_view text) {
    // A number with optional blanks, sign, decimal point and exponent, and
    // nothing else.
    std::size_t i = 0;
    auto blanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    blanks();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, digits = true;
    }
    if (!digits) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        bool exp = false;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
            ++j, exp = true;
        if (exp) i = j;
    }
    blanks();
    return i == text.size();
}

}  // namespace

std::optional<int> specifiedConstant(std::string_view text) {
    if (!isNumericText(text)) return 0;
    const double r = std::nearbyint(numericValue(text));
    if (!(std::fabs(r) <= kMaxConstant)) return std::nullopt;
    return static_cast<int>(r);
}

std::string candidateCode(const std::vector<int>& params, int constant) {
    std::string s;
    for (int k : params) s += ParameterNames::code(k) + "+";
    return s + std::to_string(constant);
}

std::string candidateChinese(const std::vector<int>& params, int constant,
                             const GeneratorSettings& settings) {
    const std::string kind = settings.kill ? "杀" : "生";
    const std::string& caption = ParameterNames::positionName(settings.position);
    std::string s;
    if (settings.shape == FormulaShape::Prefix) s = "[" + caption + kind + "]";
    for (int k : params) s += ParameterNames::chinese(k) + "+";
    s += std::to_string(constant);
    if (settings.shape == FormulaShape::Suffix) s += "=下期" + kind + caption;
    return s;
}

void CandidateGenerator::draw(const GeneratorSettings& settings, int* params, int& constant) {
    for (int i = 0; i < settings.operands; ++i) params[i] = static_cast<int>(uniform() * 132.0) + 1;
    constant = settings.constant ? *settings.constant : static_cast<int>(uniform() * 10.0);
}

Candidate CandidateGenerator::next(const GeneratorSettings& settings) {
    Candidate c;
    c.params.resize(settings.operands);
    draw(settings, c.params.data(), c.constant);
    c.code = candidateCode(c.params, c.constant);
    c.chinese = candidateChinese(c.params, c.constant, settings);
    return c;
}

std::uint64_t clockSeed() {
    if (const char* fixed = std::getenv("VARNET_SEED"); fixed && *fixed)
        return std::strtoull(fixed, nullptr, 10);
    return static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

}  // namespace varnet
