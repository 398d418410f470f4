#pragma once

#include <cstdint>
#include <vector>

#include "engine/Scoring.h"
#include "engine/Thresholds.h"

namespace varnet {

class History;

// Scores sums of parameters plus a constant (the search's candidates, and
// most stored formulas) over the counted rows of one position and kind, far
// faster than evaluating each as a general formula. Each parameter is kept
// as byte columns: its remainder modulo 10, and its number (0 for 0, else
// 1..10), whose sum is zero exactly when the parameters' sum is. That is all
// the hit test needs, since the number of an integer sum depends on nothing
// else. The scores equal referenceScore() under the rule it is given.
class SearchKernel {
  public:
    SearchKernel(const History& history, int position, bool kill, const CountRule& rule);

    // True when this kernel can score the candidate: 1..kMaxOperands
    // parameters whose columns hold no negative value in the rows used, a
    // constant of at least 0, and a sum that stays a 32-bit value on every
    // row. Anything else goes to the general engine.
    bool accepts(const int* params, int count, int constant) const;

    // All statistics; `calcValue` is left empty. Requires accepts().
    Score score(const int* params, int count, int constant) const;

    // The qualification test: the same answer as QualifyCandidate(score(..)),
    // but the longest runs are worked out only for candidates whose rate and
    // last runs already pass. `full` receives the whole score when qualified.
    bool qualifies(const int* params, int count, int constant, const Thresholds& thresholds,
                   Score* full) const;

    int countedRows() const { return rows_; }
    // The vector instructions the kernel uses: the widest the processor has,
    // or fewer when asked (tests hold every level equal).
    enum class Level { Portable, Avx2, Avx512 };
    Level level() const { return level_; }
    // Lowers the level to `level` (never above what the processor has).
    void limitLevel(Level level) {
        if (level < level_) level_ = level;
    }

    static constexpr int kMaxOperands = 24;

    // Adds the byte columns of each candidate and nothing else: the least
    // work any way of scoring must do. Returns a checksum so that the work
    // is not optimised away. For the benchmark.
    std::uint64_t addOnly(const int* params, int count) const;

  private:
    struct Pass;
    // The byte columns of the candidate's parameters.
    void columnsOf(const std::vector<std::uint8_t>& columns, const int* params, int count,
                   const std::uint8_t** out) const {
        for (int i = 0; i < count; ++i)
            out[i] = columns.data() + static_cast<std::size_t>(params[i] - 1) * stride_;
    }
    const std::uint8_t* offsetsFor(int constant) const {
        return offsets_.data() + static_cast<std::size_t>(constant % 10) * stride_;
    }
    // Fills the hit bits and the hit sums of one candidate, and the runs too
    // when `runs` and the pass can do it on the way (then returns true).
    bool hitBits(const int* params, int count, int constant, std::uint64_t* words, Score& score,
                 bool runs) const;

    int rows_ = 0;    // counted rows
    int stride_ = 0;  // bytes per column, a multiple of 64
    bool kill_ = true;
    bool weighted_ = true;
    Level level_ = Level::Portable;
    // 132 columns of stride_ bytes each: the number of each value (0 for 0,
    // else 1..10), and its remainder modulo 10.
    std::vector<std::uint8_t> numbers_;
    std::vector<std::uint8_t> residues_;
    // For each constant remainder c = 0..9: (c - drawn number) mod 10, so
    // that a sum plus it is a multiple of 10 exactly on the rows where the
    // candidate names the drawn number.
    std::vector<std::uint8_t> offsets_;
    std::vector<std::uint8_t> target_;   // drawn number modulo 10; padding 0xFF
    std::vector<bool> negative_;         // per parameter 1..132 (index k - 1)
    std::vector<std::int64_t> largest_;  // greatest value of each parameter on any row
};

}  // namespace varnet
