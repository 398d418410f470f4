#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace varnet {

class History;

// Reasons a formula cannot be evaluated on a row.
inline constexpr const char* kDivideByZero = "除数为零";
inline constexpr const char* kModByZero = "MOD 的除数为零";
inline constexpr const char* kModOutOfRange = "MOD 的运算数超出整数范围";
inline constexpr const char* kValueOutOfRange = "公式的值超出整数范围";

// "第 12 行（期号 545550）：除数为零".
std::string rowError(const History& history, int row, const char* what);

// Rounds half to even, as the default floating-point mode does, without a
// library call: below 2^51 adding and taking away 1.5 * 2^52 leaves only the
// integer part, rounded; larger values are integers already.
inline double roundHalfEven(double v) {
    if (!(std::fabs(v) < 0x1p51)) return v;
    constexpr double kMagic = 0x1.8p52;
    return (v + kMagic) - kMagic;
}

// Rounds half to even; nothing when the result leaves the 32-bit range (or
// the value is not finite).
inline std::optional<std::int32_t> roundToInt32(double v) {
    const double r = roundHalfEven(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::nullopt;
    return static_cast<std::int32_t>(r);
}

// The number of a value as the engine's MOD computes it: ((v - 1) MOD 10) + 1,
// the operand rounded half to even. `v` must round into the 32-bit range.
inline std::int64_t numberOfValue(double v) {
    return static_cast<std::int64_t>(roundHalfEven(v - 1.0)) % 10 + 1;
}

}  // namespace varnet
