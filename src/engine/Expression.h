#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnet {

// A code-form formula compiled to a postfix program over the draw parameters.
struct Op {
    enum Code : std::uint8_t { Param, Const, Neg, Add, Sub, Mul, Div, Mod };
    Code code = Const;
    int param = 0;       // 1..132 for Param
    double value = 0.0;  // for Const
};

struct Program {
    std::vector<Op> ops;
    int maxDepth = 0;  // deepest evaluation stack

    // Set when the formula is a plain sum of parameters and one integer
    // constant (the shape the search generates); the search kernel takes
    // these directly.
    bool paramSum = false;
    std::vector<int> sumParams;
    std::int64_t sumConstant = 0;
};

struct ParseResult {
    std::optional<Program> program;
    std::string error;  // why the text is not a formula, for the user
};

// Names are the 132 code names and MOD in any letter case; constants are
// unsigned decimal integers; precedence unary minus > * / > MOD > + -, left
// to right.
ParseResult parseFormula(std::string_view code);

}  // namespace varnet
