#pragma once

#include <string>
#include <vector>

#include "engine/Scoring.h"

namespace varnet {

class Database;

// Scores search candidates the slow way: for each candidate, SQL statements
// on the history table's work columns (evaluate into canshu, a row-by-row
// walk filling PreCanshu, the GSGL hit flags, a scoring walk), one
// transaction per candidate. The benchmark's baseline, and a second,
// independent check of the in-memory engines.
std::vector<Score> statementSearchScores(Database& db, const std::vector<std::string>& codeForms,
                                         int position, bool kill, const CountRule& rule);

}  // namespace varnet
