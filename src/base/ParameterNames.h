#pragma once

#include <string>
#include <string_view>

namespace varnet {

// The two name lists of the 132 draw parameters: code names (the columns of
// the history table, `L1A` .. `L2N`) and Chinese names (第一码 .. 同上期数).
// Indexes run 1..132. Built once, kept for the whole run.
class ParameterNames {
  public:
    static const std::string& code(int k);
    static const std::string& chinese(int k);
    // 1..132 for a code name in any letter case, 0 when it is not one.
    static int indexOfCode(std::string_view name);
    // "第一" .. "第十" for position 1..10.
    static const std::string& positionName(int position);
    // The per-position kind names: "码", "大小", .. "邻号差" for letter 0..11.
    static const std::string& kindName(int letter);
};

}  // namespace varnet
