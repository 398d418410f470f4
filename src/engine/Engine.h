#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Expression.h"
#include "engine/Scoring.h"

namespace varnet {

class History;
struct ColumnRanges;

struct FormulaJob {
    const Program* program = nullptr;
    bool kill = true;
};

// Scores formulas over the whole history in memory: a formula's program runs
// column-wise over blocks of rows that stay in the cache, plain sums of
// parameters go through the byte-column kernel, and the formulas are spread
// over every core. Its scores equal referenceScore() field for field.
class FormulaEngine {
  public:
    // The history must outlive the engine.
    explicit FormulaEngine(const History& history) : history_(history) {}

    // `progress(done)` is called now and then from worker threads with the
    // number of formulas scored; returning false stops the run early (the
    // scores not yet computed are then left default and invalid).
    std::vector<Score> score(const std::vector<FormulaJob>& jobs, int position,
                             const CountRule& rule, const std::function<bool(int)>& progress = {},
                             int threads = 0) const;

    Score scoreOne(const Program& program, int position, bool kill, const CountRule& rule) const;

    // The value of a program on every row (empty with the reason in `error`
    // when it cannot be evaluated on some row).
    std::vector<double> values(const Program& program, std::string* error) const;
    // The same from row `from` on, for a program `ranges` prove evaluable on
    // every row (the rows before are left 0); any other program as above.
    std::vector<double> values(const Program& program, std::string* error, int from,
                               const ColumnRanges& ranges) const;

    // Whether the program hits each counted row (1) or misses it (0), as its
    // score counts them; empty with the reason in `error` when it cannot be
    // evaluated on some row.
    std::vector<std::uint8_t> hitFlags(const Program& program, int position, bool kill,
                                       const CountRule& rule, std::string* error) const;

  private:
    std::vector<Score> run(const std::vector<FormulaJob>& jobs, int position, const CountRule& rule,
                           const std::function<bool(int)>& progress, int threads,
                           bool useKernel) const;

    const History& history_;
};

}  // namespace varnet
