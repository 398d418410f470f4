#pragma once

#include <optional>

#include "engine/Thresholds.h"

class QSettings;

namespace varnet {

// The search window's stored settings in the store of application "ZO10DI":
// per position (section "1" .. "10") the thresholds of each kind (keys "0" ..
// "9" kill, "10" .. "19" keep) and the operand count ("text2"); the scheme
// plan in section "SSSZ" (keys "1" .. "10" kill, "11" .. "20" keep). Values
// are decimal texts; absent keys take their defaults.
class SearchSettings {
  public:
    static constexpr int kDefaultOperands = 8;
    static constexpr int kDefaultPlan = 80;

    explicit SearchSettings(QSettings& store) : store_(store) {}

    Thresholds thresholds(int position, bool kill);
    void setThresholds(int position, bool kill, const Thresholds& t);
    // 2..24; a stored value outside that range reads as the default.
    int operands(int position);
    void setOperands(int position, int operands);
    // Both in one write of the settings file: a program stopped part way
    // leaves neither, never new thresholds beside the old operand count.
    void setThresholdsAndOperands(int position, bool kill, const Thresholds& t, int operands);
    int plan(int position, bool kill);
    void setPlan(int position, bool kill, int count);

  private:
    void putThresholds(int position, bool kill, const Thresholds& t);

    QSettings& store_;
};

}  // namespace varnet
