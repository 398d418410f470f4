#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Outcome.h"

namespace varnet {

// A cell of an exported grid: its text and, when set, its interior colour
// (0xRRGGBB).
struct WorkbookCell {
    std::string text;
    std::uint32_t fill = kNoFill;
    static constexpr std::uint32_t kNoFill = 0xFFFFFFFFu;
};

// message: names the file and the reason.
struct WorkbookResult : Outcome {};

// Writes a grid of `rows` x `columns` cells to an .xlsx workbook with the one
// sheet "Sheet1", row by row in constant memory. Texts that are plain
// numbers become numbers, as a spreadsheet would take them when typed in.
// The workbook is written beside `path` and renamed over it, so nothing
// half-written is ever left under that name. `progress(row)` may return
// false to stop (nothing is left behind).
WorkbookResult writeWorkbook(const std::string& path, int rows, int columns,
                             const std::function<WorkbookCell(int row, int column)>& cell,
                             const std::function<bool(int)>& progress = {});

}  // namespace varnet
