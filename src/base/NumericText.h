#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace varnet {

// The leading number of a text: blanks skipped, then sign, digits, decimal
// point and exponent; 0 when there is none. Every text box read as a number
// uses it.
double numericValue(std::string_view text);

// Rounds half to even and checks the 32-bit range.
std::optional<std::int32_t> toInt32(double value);

// A whole answer that is an integer (blanks around it allowed), else nothing.
std::optional<std::int64_t> parseWholeInteger(std::string_view text);

}  // namespace varnet
