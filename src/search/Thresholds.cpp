#include "search/Thresholds.h"

#include "history/NumericText.h"

namespace varnet {

Thresholds defaultThresholds(bool kill) {
    if (kill) return Thresholds{{93.6, 100, 0, 1, 32, 32768, 0, 0, 24, 32768}};
    return Thresholds{{12, 100, 0, 36, 2, 32768, 0, 0, 2, 32768}};
}

Thresholds thresholdsFromTexts(const std::array<std::string, 10>& texts) {
    Thresholds t;
    for (int i = 0; i < 10; ++i) t.th[i] = numericValue(texts[i]);
    return t;
}

bool QualifyCandidate(const Score& score, const Thresholds& t) {
    constexpr double kTolerance = 0.0001;
    auto within = [](double value, double lo, double hi) {
        return lo - kTolerance <= value && value <= hi + kTolerance;
    };
    const auto& th = t.th;
    // The rate is a single; its bounds are rounded to single precision too.
    const double rateLo = static_cast<float>(th[0]);
    const double rateHi = static_cast<float>(th[1]);
    return within(score.rate, rateLo, rateHi) && within(score.longestMiss, th[2], th[3]) &&
           within(score.longestHit, th[4], th[5]) && within(score.lastMiss, th[6], th[7]) &&
           within(score.lastHit, th[8], th[9]);
}

}  // namespace varnet
