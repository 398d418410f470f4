#include "engine/Thresholds.h"

#include <charconv>

#include "base/NumericText.h"

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

std::string singleText(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(v));
    return std::string(buf, r.ptr);
}

std::optional<ThresholdFault> checkThresholds(const Thresholds& t) {
    for (int i : {0, 1})
        if (!(t.th[i] >= 0 && t.th[i] <= 100))
            return ThresholdFault{i, ThresholdFault::RateOutOfRange};
    for (int i = 0; i < 10; i += 2)
        if (t.th[i] > t.th[i + 1]) return ThresholdFault{i, ThresholdFault::LowerAboveUpper};
    return std::nullopt;
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
