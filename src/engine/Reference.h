#pragma once

#include <optional>
#include <string>

#include "engine/Expression.h"
#include "engine/Scoring.h"

namespace varnet {

class History;

// The value of a program on one history row, or nothing (with the reason in
// `error`) when it cannot be evaluated there.
std::optional<double> evaluateRow(const Program& program, const History& history, int row,
                                  std::string* error);

// Scores a formula the plain way, one row after another, exactly as the
// rules state it. It is the oracle the fast engines are tested against.
Score referenceScore(const Program& program, const History& history, int position, bool kill,
                     const CountRule& rule);

}  // namespace varnet
