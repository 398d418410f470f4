#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnet {

class Database;

// The summary of one search with draws held out, as it was shown.
struct HoldOutRecord {
    std::string at;  // local time "YYYY-MM-DD HH:MM:SS"; empty: when stored
    int position = 1;
    bool kill = true;
    int heldOut = 0;  // the last draws held out
    std::int64_t firstIssue = 0;
    std::int64_t lastIssue = 0;
    long long tried = 0;
    long long finds = 0;
    long long chanceFinds = 0;
    // None when no find could be scored on the held-out draws.
    std::optional<double> mean;  // percent
    std::optional<double> standardError;
    std::optional<double> pValue;

    bool operator==(const HoldOutRecord&) const = default;
};

// "12.34% ± 0.56": a held-out mean (percent) with its standard error, as
// the summary line prints it.
std::string heldOutMeanText(double mean, double standardError);

// `HoldOutRuns`: every hold-out search's summary, kept for the report. The
// table is made by the first summary stored, in that write's transaction,
// so opening or reading a file never changes it.
class HoldOutTable {
  public:
    static constexpr const char* kTable = "HoldOutRuns";

    explicit HoldOutTable(Database& db) : db_(db) {}

    // Adds one summary in a transaction of its own. Throws DbError.
    void store(const HoldOutRecord& record);
    // Oldest first; nothing when no summary was ever stored.
    std::vector<HoldOutRecord> load();

  private:
    Database& db_;
};

}  // namespace varnet
