#pragma once

#include <string>
#include <vector>

#include "base/Workbook.h"
#include "engine/Scoring.h"

namespace varnet {

class Database;
class History;

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
