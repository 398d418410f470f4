#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Backtest.h"
#include "analysis/Calculation.h"
#include "base/Outcome.h"
#include "db/HoldOutTable.h"

namespace varnet {

class Database;
class History;

// The check report: one HTML page that puts side by side, per position, what
// the formula list's p-values look like, what the method's clean walk-forward
// found and what the last hold-out search found, against chance.

constexpr const char* kReportFileName = "检验报告.html";
// Tested draws of the walk-forward unless asked otherwise (fewer when the
// history is shorter).
constexpr int kReportDraws = 1000;
constexpr int kReportBins = 10;  // p-value histogram bins over 0..1

struct ReportPosition {
    int position = 0;
    int formulas = 0;  // formulas of the kind in the list
    int tested = 0;    // of those, with a p-value (valid, some draws counted)
    std::array<int, kReportBins> histogram{};
    std::optional<HoldOutRecord> holdOut;  // the last one stored for position and kind
};

struct ReportData : Outcome {  // message: why there is no report
    bool cancelled = false;
    std::string dataFile;
    std::string writtenAt;  // local "YYYY-MM-DD HH:MM:SS"
    int historySize = 0;
    std::int32_t firstIssue = 0, lastIssue = 0;
    CalcRequest request;  // positions 1..10
    int draws = 0;        // M, the walk-forward's tested draws
    std::vector<ReportPosition> positions;
    BacktestResult backtest;
};

// Gathers the report's numbers for ten positions of the request's kind and
// method: the list's p-values scored with the request's rule, the clean
// walk-forward over the last `draws` draws and the stored hold-out
// summaries. `progress(done, total)` may return false to stop.
ReportData gatherReport(Database& db, const History& history, CalcRequest request, int draws,
                        const std::function<bool(int done, int total)>& progress = {});

// The page, self-contained (inline styles and SVG, no script).
std::string reportHtml(const ReportData& data);

// "选定公式法" or "最优公式法（保留 K 个）".
std::string reportMethodText(const CalcRequest& request);

// The verdict on a position in one plain sentence: on the claimed numbers'
// Holm-corrected p-value, or why nothing could be tested.
std::string reportVerdict(const BacktestResult& result, const BacktestPosition& position);

}  // namespace varnet
