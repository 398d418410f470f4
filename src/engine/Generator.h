#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace varnet {

// The two shapes of a generated Chinese form.
enum class FormulaShape {
    Prefix,  // [第一杀]第三码+第五大小+7
    Suffix,  // 第三码+第五大小+7=下期杀第一
};

struct GeneratorSettings {
    int operands = 8;  // 2..24 parameters per candidate
    int position = 1;  // 1..10
    bool kill = true;
    FormulaShape shape = FormulaShape::Prefix;
    std::optional<int> constant;  // the tail constant; nothing: random 0..9
};

struct Candidate {
    std::vector<int> params;  // 1..132, drawn with repetition
    int constant = 0;
    std::string code;
    std::string chinese;
};

// The constant box read as 指定: a numeric text rounded half to even, else 0.
// Nothing when the value does not fit the range a candidate may carry.
std::optional<int> specifiedConstant(std::string_view text);

std::string candidateCode(const std::vector<int>& params, int constant);
std::string candidateChinese(const std::vector<int>& params, int constant,
                             const GeneratorSettings& settings);

// Draws candidates: every parameter uniformly from 1..132, the constant as
// set. One generator, seeded once.
class CandidateGenerator {
  public:
    explicit CandidateGenerator(std::uint64_t seed) : rng_(seed) {}

    // Draws the parameters and the constant only (the search's fast path).
    void draw(const GeneratorSettings& settings, int* params, int& constant);
    Candidate next(const GeneratorSettings& settings);

    // A fresh seed drawn from this generator, for a generator of its own.
    std::uint64_t split() { return rng_(); }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(rng_() >> 11) * 0x1.0p-53; }

  private:
    std::mt19937_64 rng_;
};

// A seed from the clock, for searches not asked to be reproducible; the
// environment's VARNET_SEED instead when set (the guide's pictures).
std::uint64_t clockSeed();

}  // namespace varnet
