#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "formula/Verification.h"

namespace varnet {

// Which formulas stay selected, and which keep their calculation value, when
// the formula list is filled anew: after a refill, a verification, a change
// of position or kind, and a deletion. The flags and values of the listed
// formulas are keyed by row id and live in the window's shared state.
class FormulaSelection {
  public:
    using Ids = std::unordered_set<std::int64_t>;
    using CalcValues = std::unordered_map<std::int64_t, int>;

    // A formula of the list before a deletion.
    struct Prior {
        bool kill = true;
        std::string code, chinese;
        bool selected = false;
        std::optional<int> calc;
    };
    // How selection flags reach the freshly loaded list.
    struct Carry {
        // ById: flags stay with the row ids of the same list, formulas new
        // to it start selected; All: everything selected; ByContent: the
        // prior formulas' flags, found again by content; ByPosition: the
        // flags stay where they were, row by row.
        enum class Flags { ById, All, ByContent, ByPosition };
        Flags flags = Flags::ById;
        // The list before a deletion, without the deleted formulas; the
        // calculation values go with their formulas.
        std::vector<Prior> prior;
        std::vector<bool> flagsByPosition;
    };
    // The flags a list had when it left its position and kind.
    struct Left {
        int position = 0;
        bool kill = true;
        Ids ids;
    };

    FormulaSelection(Ids& selected, CalcValues& values) : selected_(selected), values_(values) {}

    // What the list shows now.
    bool listed() const { return listed_; }
    int listedPosition() const { return position_; }
    bool listedKill() const { return kill_; }
    bool isListed(int position, bool kill) const {
        return listed_ && position == position_ && kill == kill_;
    }
    void setListed(int position, bool kill);

    // The shown `list` (its flags row by row in `flags`) without the
    // formulas at `deletedIndexes`, to carry over a deletion.
    Carry priorWithout(const std::vector<ListedFormula>& list, const std::vector<bool>& flags,
                       const std::vector<int>& deletedIndexes, Carry::Flags how) const;

    // Sets the flags and values for `list`, just read for `position` and
    // `kill`, from the list shown now (`shown`) and `carry`. A formula that
    // does not parse is never selected. When the list leaves its position or
    // kind, its flags are returned for the caller to keep with them.
    std::optional<Left> fill(const std::vector<ListedFormula>& list, int position, bool kill,
                             const Carry& carry, const std::vector<ListedFormula>& shown);

  private:
    Ids& selected_;
    CalcValues& values_;
    bool listed_ = false;
    int position_ = 0;
    bool kill_ = true;
};

}  // namespace varnet
