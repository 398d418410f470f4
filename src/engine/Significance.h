#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Scoring.h"

namespace varnet {

// How much of a score chance alone explains. Draws are uniformly random
// orders of 1..10, so the number at a position is one of ten with equal
// chance: a kill formula hits (its number is not drawn there) with
// probability 0.9 and a keep formula with 0.1, whatever the formula.

// The chance hit probability of a kind: 0.9 kill, 0.1 keep.
double chanceBaseline(bool kill);

// P[X >= k] for X ~ Binomial(n, p): the one-sided p-value of k hits in n
// draws. Summed exactly from the binomial terms (their logarithms from
// lgamma), stopping once the terms no longer change the sum in double
// precision; 1 for k <= 0, 0 for k > n.
double binomialUpperTail(std::int64_t n, std::int64_t k, double p);

// P[X <= k] for X ~ Binomial(n, p), computed the same way.
double binomialLowerTail(std::int64_t n, std::int64_t k, double p);

// The probability that n independent trials, each a miss with probability
// q, hold a run of at least `length` misses. O(n).
double missRunProbability(std::int64_t n, int length, double q);

// The chance view of one score: its unweighted hits over its counted draws
// against the baseline of its kind.
struct ChanceView {
    double baseline = 0.0;  // probability, 0.9 or 0.1
    double pValue = 1.0;    // P[hits >= observed] by chance; 1 with nothing counted
    double expected = 0.0;  // baseline * counted draws
};
ChanceView chanceViewOf(const Score& score, bool kill);

// The probability that a formula of the kind, hitting by chance alone, has a
// miss run at least as long as the score's longest over as many draws.
double longestMissChance(const Score& score, bool kill);

// Benjamini-Hochberg adjusted p-values, in the order given: the smallest
// false discovery rate at which each test would be declared, min over
// j >= rank of p_(j) * m / j, capped at 1. It corrects for the m tests of
// the list only, not for how the list was chosen.
std::vector<double> benjaminiHochberg(const std::vector<double>& pValues);

// "90%" / "10%".
std::string baselineText(bool kill);

// A p-value for a list or a line: four significant digits, "<1e-300" below
// what a double holds, e.g. "0.5123", "0.0004213", "3.125e-12".
std::string pValueText(double p);

}  // namespace varnet
