#pragma once

#include <functional>
#include <string>
#include <vector>

#include "analysis/Calculation.h"
#include "base/Paths.h"
#include "base/Workbook.h"
#include "formula/FormulaExport.h"
#include "formula/Verification.h"

namespace varnet {

class Database;
class History;

// The history grid: "期号", "第一" .. "第十", then, when `perDraw` is given,
// one column per formula with its Chinese form over it and the per-draw
// numbers with their blue (hit) and green (miss) interiors.
WorkbookResult exportHistoryWorkbook(const std::string& path, const History& history,
                                     const std::vector<PerDrawColumn>* perDraw,
                                     const std::vector<std::string>& formulaNames,
                                     const std::function<bool(int)>& progress = {});

// The result window's export: "排序序号", "号码", "杀留Err值（公式错误值）" and
// one row per number ordered by its kill votes (ties in number order).
WorkbookResult exportResultWorkbook(const std::string& path, const PositionVotes& votes);

}  // namespace varnet
