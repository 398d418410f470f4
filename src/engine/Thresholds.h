#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/Scoring.h"

namespace varnet {

// The ten threshold values: (lower, upper) pairs for the rate, the longest
// miss run, the longest hit run, the last miss run and the last hit run.
struct Thresholds {
    std::array<double, 10> th{};
};

// The thresholds a search starts from on a fresh installation.
Thresholds defaultThresholds(bool kill);

// Each text read as its leading number (0 when there is none).
Thresholds thresholdsFromTexts(const std::array<std::string, 10>& texts);

// The shortest decimal text that reads back as the same single-precision
// value: "93.6", not "93.5999985".
std::string singleText(double v);

// A bound that cannot stand: a rate bound outside 0..100, or a lower bound
// above its upper bound. `box` is the index of the bound at fault (for a pair,
// the lower one).
struct ThresholdFault {
    enum Kind { RateOutOfRange, LowerAboveUpper };
    int box = 0;
    Kind kind = RateOutOfRange;
};
std::optional<ThresholdFault> checkThresholds(const Thresholds& thresholds);

// Every statistic within its bounds, with a tolerance of 0.0001; the rate
// bounds are rounded to single precision first.
bool QualifyCandidate(const Score& score, const Thresholds& thresholds);

}  // namespace varnet
