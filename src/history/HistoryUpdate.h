#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Draw.h"
#include "base/Outcome.h"
#include "base/SettingKeys.h"
#include "history/HistoryCommands.h"
#include "net/Fetcher.h"

namespace varnet {

class Database;

// The online history update: the day pages of a results site, from the day
// of the last stored draw (or the first day of the days window) up to today.
// Every page is downloaded and read before anything changes; then one
// transaction drops a history that has left the days window and appends the
// new draws. A network fault never costs a draw, and stored draws go only
// when the caller asked for the replacement.
class HistoryUpdate {
  public:
    using Date = std::chrono::year_month_day;

    static constexpr const char* kTitle = "在线更新";
    static constexpr const char* kQuestion =
        "确实要在线更新最新历史号码吗？更新可能要花费一段时间，网络不通或者我方服务器更新不及时可能"
        "都造成更新失败！";
    static constexpr const char* kSiteKey = settings::kHistorySiteUrl.name;
    static constexpr int kMaxDays = 10;

    // The site's page of a day: site + "/draw-pk10-" + YYYYMMDD + ".html".
    static std::string pageAddress(const std::string& site, Date day);
    // A stored draw's date (L0M, L9M, L8M); not ok() when it is no date.
    static Date dateOf(const Draw& draw);

    // What to do with a history whose oldest draw has left the days window:
    // keep it and append, or replace it with the window's draws.
    enum class OldDraws { Keep, Replace };

    struct Plan {
        std::vector<Date> days;  // oldest first, ending with today
        bool dropHistory = false;
    };
    // `days` is the days window (below 1 counts as 1, above kMaxDays as
    // kMaxDays). Under Replace the history is dropped when its first draw is
    // more than `days` days old or has no date; under Keep the pages run
    // from the last draw's day as for a history inside the window.
    static Plan plan(const std::optional<Draw>& first, const std::optional<Draw>& last, int days,
                     Date today, OldDraws old = OldDraws::Replace);

    // Before anything is read: what the replacement would delete.
    struct Preview {
        bool outsideWindow = false;  // the replacement would empty the history
        int stored = 0;              // draws stored (all of them go)
        int olderThanWindow = 0;     // of which dated before the window, or undated
        std::int32_t firstIssue = 0, lastIssue = 0;
    };
    Preview preview(int days, Date today);

    struct DayOutcome {
        Date day;
        std::string address;
        bool read = false;
        std::string reason;                // why not, when !read
        int rows = 0;                      // table rows found on the page
        int usable = 0;                    // of which usable draws
        std::vector<std::string> dropped;  // rows left out, with why
    };

    struct Result : Outcome {  // message: what changed or why nothing did
        bool cancelled = false;
        int added = 0;    // draws appended
        int deleted = 0;  // stored draws dropped with the days window
        std::vector<DayOutcome> days;
        int daysRead() const;
        int daysFailed() const;
        int rowsDropped() const;
    };

    HistoryUpdate(Database& db, Fetcher& fetcher) : db_(db), fetcher_(fetcher) {}

    // `progress(done, total)` counts pages and may return false to cancel
    // (nothing changes); Fetcher::cancel() stops a page under way.
    // Under Replace the history is emptied only when every page was read.
    Result run(const std::string& site, int days, Date today, const ProgressCallback& progress = {},
               const Fetcher::Limits& limits = {}, OldDraws old = OldDraws::Keep);

  private:
    Database& db_;
    Fetcher& fetcher_;
};

}  // namespace varnet
