#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/FormulaTable.h"
#include "engine/Expression.h"
#include "engine/PerDrawColumn.h"
#include "engine/Scoring.h"

namespace varnet {

class Database;
class History;

// A formula of the list with its compiled program (none, with the reason,
// when the code form does not parse).
struct ListedFormula {
    FormulaRow row;
    std::optional<Program> program;
    std::string parseError;
};

// The formulas of one position and kind (both kinds without one), in `idx`
// order (what the list shows), with their stored statistics when `statistics`.
std::vector<ListedFormula> loadFormulaList(Database& db, int position, std::optional<bool> kill,
                                           bool statistics = true);

// Scores every listed formula over the history. A formula that does not
// parse gets an invalid score with the parser's reason. `progress(done)` may
// return false to stop; the scores are then incomplete and `*cancelled` set.
std::vector<Score> scoreFormulaList(const History& history, const std::vector<ListedFormula>& list,
                                    int position, const CountRule& rule,
                                    const std::function<bool(int)>& progress = {},
                                    bool* cancelled = nullptr);

// Stores each listed formula's scores in its own row and renumbers the table
// 1..N in `idx` order; the list's `idx` values follow. One transaction.
// A row that holds another formula by now (the table was changed by another
// process since the list was read) gets nothing, and its entry in the list
// stays as read; `stored`, when given, says entry by entry. Returns how many
// entries were not stored so.
int storeFormulaScores(Database& db, int position, std::vector<ListedFormula>& list,
                       const std::vector<Score>& scores, std::vector<bool>* stored = nullptr);

// `onCurrent`: the current-draw display (a row shows the value computed on
// itself and the outcome two draws later); otherwise the next-draw display (a
// row shows the number aimed at it, rows 1 and 2 empty and white).
// `first` is 0-based; at most `count` formulas from there.
std::vector<PerDrawColumn> perDrawBlock(const History& history,
                                        const std::vector<ListedFormula>& list, int first,
                                        int count, int position, bool onCurrent);

}  // namespace varnet
