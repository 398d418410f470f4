#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnet {

class History;

// One row of the calculation steps of a formula: a stored draw, its numbers,
// the formula's terms on it and their sum.
struct StepRow {
    std::int32_t issue = 0;
    std::string numbers;  // "03 07 01 10 04 02 09 05 08 06"
    std::string terms;    // "8+1+7"; empty when the formula is not a sum of terms
    std::string value;    // the sum (not reduced); the formula's value otherwise; "" when it cannot
                          // be evaluated
};

// Works a formula out on every stored draw. A sum of column names, integer
// constants and "(COLUMN MOD m)" terms shows each term's value; any other
// valid formula shows only its value on each draw. An unparsable code form
// gives no rows and the reason in `error`.
std::vector<StepRow> formulaSteps(const History& history, const std::string& code,
                                  std::string* error);

}  // namespace varnet
