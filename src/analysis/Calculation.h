#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/Outcome.h"
#include "engine/ScoreStat.h"

namespace varnet {

class Database;
class History;

// What one calculation asks for.
struct CalcRequest {
    int currentPosition = 1;  // positions 1..currentPosition are computed
    bool kill = true;
    bool best = false;                  // "最优公式法" (else the selected formulas)
    std::optional<std::int32_t> issue;  // "验证历史结果": the stored issue to predict
    CountRule rule;                     // verification options (the best method scores with them)
    SortSettings sort;                  // best method only
    // The selected formulas of a position (row ids of its table), or none
    // when every formula of the position counts as selected.
    std::function<const std::unordered_set<std::int64_t>*(int position)> selection;
};

// The votes of one position: index 1..10 the numbers (0 unused).
struct PositionVotes {
    int position = 0;
    std::array<std::int64_t, 11> total{}, kill{}, keep{};
    int examined = 0;         // formulas evaluated
    int invalid = 0;          // of those, formulas that cannot be evaluated on every row
    bool noFormulas = false;  // the position has no formula of the kind: it names nothing
};

// A voting formula of the current position (selected method): what the
// detail list shows.
struct VotingFormula {
    int position = 0;
    std::int64_t id = 0;
    int idx = 0;
    bool kill = true;
    std::string code, chinese;
    int number = 0;  // its number for the target draw
};

struct CalcResult : Outcome {              // message: why nothing was computed
    std::vector<PositionVotes> positions;  // 1..currentPosition in order
    int keepQuota = 1;                     // N: 1 for the selected method, the keep limit else
    int targetRow = -1;                    // history row whose values predict the target draw
    std::int32_t targetIssue = 0;  // the issue predicted (last stored + 1 in next-draw mode)
    // The numbers drawn at the target issue, positions 1..10 (a stored issue only).
    std::optional<std::array<int, 11>> drawn;
    std::vector<VotingFormula> voters;  // selected method only
};

// Counts a formula's number in the votes of its position; a value outside
// 1..10 names no number and counts nothing.
inline void addVote(PositionVotes& votes, bool kill, int number) {
    if (number < 1 || number > 10) return;  // names no number
    ++votes.total[number];
    ++(kill ? votes.kill : votes.keep)[number];
}

// The best method's walk down one position's ranking: formulas vote in rank
// order until `limit` numbers are hit or were left out by the positions
// before; the numbers no formula of the position hit are then left out for
// the positions after.
class BestWalk {
  public:
    BestWalk(std::array<bool, 11>& excluded, int limit) : excluded_(excluded), limit_(limit) {}
    bool open() const { return taken_ < limit_; }
    void take(PositionVotes& votes, bool kill, int number) {
        if (number >= 1 && number <= 10) hit_[number] = true;
        addVote(votes, kill, number);
        taken_ = 0;
        for (int n = 1; n <= 10; ++n) taken_ += hit_[n] || excluded_[n];
    }
    void finish() {
        for (int n = 1; n <= 10; ++n)
            if (!hit_[n]) excluded_[n] = true;
    }

  private:
    std::array<bool, 11>& excluded_;
    std::array<bool, 11> hit_{};
    int limit_ = 1;
    int taken_ = 0;
};

// The next-draw calculation. A formula votes with its number on the target
// row (two rows before the draw predicted); a formula that cannot be
// evaluated on some row of the history never votes. No target row (fewer
// than two draws, an issue not stored or one of the first two) computes
// nothing and says why.
CalcResult calculate(Database& db, const History& history, const CalcRequest& request,
                     const std::function<bool()>& cancelled = {});

// The rows of a history in which a formula's value predicts `issue`: the
// row two before it; nothing with the reason when there is none.
std::optional<int> targetRow(const History& history, std::optional<std::int32_t> issue,
                             std::string* why);

}  // namespace varnet
