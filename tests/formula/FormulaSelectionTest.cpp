#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/Expression.h"
#include "formula/FormulaSelection.h"

namespace varnet {
namespace {

using Flags = FormulaSelection::Carry::Flags;
using Values = std::map<std::int64_t, int>;

ListedFormula formula(std::int64_t id, const std::string& code, bool parses = true) {
    ListedFormula f;
    f.row.id = id;
    f.row.code = code;
    f.row.chinese = "c" + code;
    if (parses) f.program = parseFormula("L1A+1").program;
    return f;
}

// The list shown: A, B, C of position 1, kill; A and C selected, A and B
// with calculation values. Each case reads a new list and checks which
// formulas are selected, which keep their values, and what the position
// that was left keeps.
TEST(FormulaSelectionTest, FlagsAndValuesFollowTheRules) {
    const std::vector<ListedFormula> shown{formula(1, "A"), formula(2, "B"), formula(3, "C")};
    struct Case {
        const char* name;
        std::vector<int> deleted;  // deleted rows of the shown list (a deletion)
        Flags how;
        std::vector<ListedFormula> list;
        int position;
        bool kill;
        std::set<std::int64_t> selected;
        Values values;
        std::optional<std::set<std::int64_t>> left;  // kept for position 1, kill
    };
    const std::vector<Case> cases{
        {"a verification keeps flags by id; a new formula starts selected",
         {},
         Flags::ById,
         {formula(1, "A"), formula(2, "B"), formula(3, "C"), formula(4, "D")},
         1,
         true,
         {1, 3, 4},
         {{1, 5}, {2, 7}},
         std::nullopt},
        {"a refill selects every formula and keeps the values",
         {},
         Flags::All,
         {formula(1, "A"), formula(2, "B"), formula(3, "C")},
         1,
         true,
         {1, 2, 3},
         {{1, 5}, {2, 7}},
         std::nullopt},
        {"another position: all selected, no values, the flags stay with position 1",
         {},
         Flags::ById,
         {formula(1, "X"), formula(2, "Y")},
         2,
         true,
         {1, 2},
         {},
         std::set<std::int64_t>{1, 3}},
        {"the other kind: the same",
         {},
         Flags::ById,
         {formula(1, "A"), formula(2, "B")},
         1,
         false,
         {1, 2},
         {},
         std::set<std::int64_t>{1, 3}},
        {"a deletion renumbers the ids: flags and values follow the content",
         {0},
         Flags::ByContent,
         {formula(1, "B"), formula(2, "C")},
         1,
         true,
         {2},
         {{1, 7}},
         std::nullopt},
        {"deleting the last formula keeps the flags row by row",
         {2},
         Flags::ByPosition,
         {formula(1, "A"), formula(2, "B")},
         1,
         true,
         {1},
         {{1, 5}, {2, 7}},
         std::nullopt},
        {"deleting by selection selects what stays, values follow",
         {0, 2},
         Flags::All,
         {formula(1, "B")},
         1,
         true,
         {1},
         {{1, 7}},
         std::nullopt},
        {"a formula that does not parse is never selected",
         {},
         Flags::All,
         {formula(1, "A"), formula(2, "B", false)},
         1,
         true,
         {1},
         {{1, 5}, {2, 7}},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormulaSelection::Ids selected{1, 3};
        FormulaSelection::CalcValues values{{1, 5}, {2, 7}};
        FormulaSelection selection(selected, values);
        selection.setListed(1, true);
        FormulaSelection::Carry carry;
        carry.flags = c.how;
        if (!c.deleted.empty())
            carry = selection.priorWithout(shown, {true, false, true}, c.deleted, c.how);
        const auto left = selection.fill(c.list, c.position, c.kill, carry, shown);
        EXPECT_EQ(std::set<std::int64_t>(selected.begin(), selected.end()), c.selected);
        EXPECT_EQ(Values(values.begin(), values.end()), c.values);
        ASSERT_EQ(left.has_value(), c.left.has_value());
        if (left) {
            EXPECT_EQ(left->position, 1);
            EXPECT_TRUE(left->kill);
            EXPECT_EQ(std::set<std::int64_t>(left->ids.begin(), left->ids.end()), *c.left);
        }
    }
}

}  // namespace
}  // namespace varnet
