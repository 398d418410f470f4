#pragma once

#include <functional>
#include <string>
#include <vector>

#include "analysis/Calculation.h"
#include "analysis/Workbook.h"
#include "formula/Verification.h"

namespace varnet {

class Database;
class History;

// The exported files, in the data folder.
struct ExportNames {
    static constexpr const char* kHistory = "lishi.xlsx";
    static constexpr const char* kFormulas = "gongshi.xlsx";
    static constexpr const char* kSteps = "LSJS.xlsx";
    static constexpr const char* kQuery = "Print.xlsx";
    static constexpr const char* kQueryGrid = "Jieguo.xlsx";
    static constexpr const char* kResult = "ErrarrLei.xlsx";
    // "545551期北京赛车公式.txt" for the entry issue text 545551.
    static std::string formulaText(const std::string& entryIssueText);
};

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

// A formula of a Chinese text export: its Chinese form and final hit run.
struct ExportedFormula {
    std::string chinese;
    int lastHit = 0;
};

// How the export pads a formula with ideographic spaces before "连准：":
// up to the length of the first formula of each block of 50 lines + 11
// (the listed formulas), or always 11 spaces (every formula of every table).
// The search window's result list is written as it stands, without either.
enum class FormulaPadding { Block, Own, Bare };

// Writes the formula text file (GBK, CR LF): the banner, one line per
// formula, a separator after every 50 formulas and at the end (once, when
// the count is a multiple of 50). Written
// beside and renamed over, so an old file is never half overwritten.
WorkbookResult writeFormulaText(const std::string& path,
                                const std::vector<ExportedFormula>& formulas,
                                FormulaPadding padding);

// Every formula of every position table (both kinds) in `idx` order with
// its final hit run under `rule`, each scored with its own kind.
std::vector<ExportedFormula> everyFormulaForExport(Database& db, const History& history,
                                                   const CountRule& rule);

}  // namespace varnet
