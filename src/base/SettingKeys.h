#pragma once

namespace varnet {

// A value of the settings store (application "ZO10DI", INI): its section,
// its key and what it is when absent. Values are stored as texts ("True" /
// "False", decimal numbers).
template <typename T>
struct SettingKey {
    const char* section;
    const char* name;
    T fallback;
};

// Every key of the store, written once here.
namespace settings {

inline constexpr const char* kMain = "IniSetting";
// The main window's options.
inline constexpr SettingKey<int> kSearchDays{kMain, "IniSerchDay", 3};
inline constexpr SettingKey<bool> kComputeSelected{kMain, "JSFF", true};
inline constexpr SettingKey<bool> kShowOnCurrent{kMain, "LsXs", false};
inline constexpr SettingKey<bool> kExcludeCurrent{kMain, "SyBq", true};
inline constexpr SettingKey<bool> kWeighted{kMain, "ZqlJq", true};
inline constexpr SettingKey<int> kIssueCountIndex{kMain, "JSQS", 3};
inline constexpr SettingKey<int> kOwnIssueCount{kMain, "intJsqs", 0};
// How long a change waits for another program holding the data file, 0..3600 s.
inline constexpr SettingKey<int> kDbWaitSeconds{kMain, "DbWaitSeconds", 60};
// Addresses; an empty one hides its entry or stops its update.
inline constexpr SettingKey<const char*> kHistorySiteUrl{kMain, "HistorySiteUrl", ""};
inline constexpr SettingKey<const char*> kFormulaFileUrl{kMain, "FormulaFileUrl", ""};
inline constexpr SettingKey<const char*> kSlideDocUrl{kMain, "SlideDocUrl", ""};
inline constexpr SettingKey<const char*> kVideoDocUrl{kMain, "VideoDocUrl", ""};
// "OtherSoft1Url" .. "OtherSoft3Url" and their names "OtherSoft1Name" .. (%1 the entry).
inline constexpr const char* kOtherProgramUrlPattern = "OtherSoft%1Url";
inline constexpr const char* kOtherProgramNamePattern = "OtherSoft%1Name";
inline constexpr int kOtherPrograms = 3;

// The search window: section "1".."10" per position holds the thresholds
// (keys "0".."9" for kill formulas, "10".."19" for keep formulas) and the
// operand count under "text2"; section "SSSZ" holds the scheme's plan per
// position (keys "1".."10" kill, "11".."20" keep).
inline constexpr const char* kOperandsName = "text2";
inline constexpr const char* kPlanSection = "SSSZ";

// Each window's place and size: "WindowGeometry/<objectName>...".
inline constexpr const char* kWindowGeometry = "WindowGeometry";

}  // namespace settings

}  // namespace varnet
