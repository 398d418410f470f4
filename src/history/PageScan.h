#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Draw.h"

namespace varnet {

// Reads the table of draws from the plain text of a results site's day page.
// The table follows the column header "1-5龙虎"; each row is the issue (at
// most 8 characters), a line feed, the ten numbers (two-digit fields side by
// side, or single digits with "10" as two), further columns up to the row's
// line end. Positions count characters, not bytes.
class PageScan {
  public:
    static constexpr const char* kMarker = "1-5龙虎";
    static constexpr int kMaxRows = 256;

    struct Row {
        std::string issueText;   // the issue's characters, blanks removed
        std::int64_t issue = 0;  // -1 unless a whole number
        Numbers numbers{};       // as read, 0 where nothing readable stood
    };
    // Every row the scan reads, in page order, checked or not.
    static std::vector<Row> scan(std::string_view utf8Text);

    struct Draws {
        std::vector<Draw> draws;           // usable rows, in page order, without a date
        std::vector<std::string> dropped;  // "issue: why" of each row left out
        int rows = 0;                      // rows the scan read
    };
    // The scan's rows checked like manual entry: the issue 1..9999999, the
    // numbers 1..10 each once.
    static Draws read(std::string_view utf8Text);
};

}  // namespace varnet
