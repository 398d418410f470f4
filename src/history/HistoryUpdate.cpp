#include "history/HistoryUpdate.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Transaction.h"
#include "history/PageScan.h"
#include "net/PageText.h"
#include "net/UpdateLock.h"

namespace varnet {

namespace {

using std::chrono::days;
using std::chrono::sys_days;

std::string dateText(HistoryUpdate::Date d, const char* format) {
    char buf[16];
    std::snprintf(buf, sizeof buf, format, static_cast<int>(d.year()),
                  static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
    return buf;
}

std::string failureList(const std::vector<HistoryUpdate::DayOutcome>& outcomes) {
    std::string s;
    for (const auto& d : outcomes)
        if (!d.read) {
            s += '\n';
            s += dateText(d.day, "%04d-%02d-%02d");
            s += "：";
            s += d.reason;
        }
    return s;
}

}  // namespace

int HistoryUpdate::Result::daysRead() const {
    return static_cast<int>(
        std::count_if(days.begin(), days.end(), [](auto& d) { return d.read; }));
}

int HistoryUpdate::Result::daysFailed() const { return static_cast<int>(days.size()) - daysRead(); }

int HistoryUpdate::Result::rowsDropped() const {
    int n = 0;
    for (const auto& d : days) n += static_cast<int>(d.dropped.size());
    return n;
}

std::string HistoryUpdate::pageAddress(const std::string& site, Date day) {
    std::string base = site;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/draw-pk10-" + dateText(day, "%04d%02d%02d") + ".html";
}

HistoryUpdate::Date HistoryUpdate::dateOf(const Draw& draw) {
    if (draw.year < 1 || draw.year > 9999 || draw.month < 1 || draw.month > 12 || draw.day < 1)
        return Date{};
    return Date{std::chrono::year{draw.year}, std::chrono::month{static_cast<unsigned>(draw.month)},
                std::chrono::day{static_cast<unsigned>(draw.day)}};
}

HistoryUpdate::Plan HistoryUpdate::plan(const std::optional<Draw>& first,
                                        const std::optional<Draw>& last, int windowDays, Date today,
                                        OldDraws old) {
    const int window = std::clamp(windowDays, 1, kMaxDays);
    Plan plan;
    int pages = window;
    if (first && last) {
        const Date oldest = dateOf(*first);
        // A draw without a date counts as very old.
        plan.dropHistory = old == OldDraws::Replace &&
                           (!oldest.ok() || (sys_days{today} - sys_days{oldest}).count() > window);
        const Date newest = dateOf(*last);
        if (!plan.dropHistory && newest.ok())
            // From the day of the last draw; never more than the window holds,
            // and at least today even when a stored date lies ahead.
            pages = std::clamp(static_cast<int>((sys_days{today} - sys_days{newest}).count()) + 1,
                               1, window + 1);
    }
    for (int k = pages; k >= 1; --k) plan.days.push_back(Date{sys_days{today} - days{k - 1}});
    return plan;
}

HistoryUpdate::Preview HistoryUpdate::preview(int windowDays, Date today) {
    const int window = std::clamp(windowDays, 1, kMaxDays);
    Preview p;
    HistoryTable table(db_);
    const History h = table.load();
    p.stored = h.size();
    if (p.stored == 0) return p;
    p.firstIssue = h.issue(0);
    p.lastIssue = h.issue(p.stored - 1);
    for (int row = 0; row < p.stored; ++row) {
        const Date d = dateOf(h.draw(row));
        if (!d.ok() || (sys_days{today} - sys_days{d}).count() > window) ++p.olderThanWindow;
    }
    p.outsideWindow = plan(h.draw(0), h.draw(p.stored - 1), window, today).dropHistory;
    return p;
}

HistoryUpdate::Result HistoryUpdate::run(const std::string& site, int windowDays, Date today,
                                         const ProgressCallback& progress,
                                         const Fetcher::Limits& limits, OldDraws old) {
    Result result;
    UpdateLock lock;
    if (!lock.acquired()) {
        result.message = UpdateLock::kBusyText;
        return result;
    }
    if (site.find_first_not_of(" \t") == std::string::npos) {
        result.message =
            std::string("没有设置开奖网站的地址（设置项 ") + kSiteKey + "），历史号码没有改变。";
        return result;
    }
    const auto cancelled = [&result] {
        result.cancelled = true;
        result.message = "在线更新已取消，历史号码没有改变。";
        return result;
    };

    Plan plan;
    try {
        HistoryTable table(db_);
        plan = HistoryUpdate::plan(table.firstDraw(), table.lastDraw(), windowDays, today, old);
    } catch (const DbError& e) {
        result.message = std::string("无法读取历史号码：") + e.what();
        return result;
    }

    // Everything is read before anything changes.
    struct Dated {
        Draw draw;
        std::size_t order;
    };
    std::vector<Dated> read;
    const long long total = static_cast<long long>(plan.days.size());
    for (std::size_t i = 0; i < plan.days.size(); ++i) {
        if (progress && !progress(static_cast<long long>(i), total)) return cancelled();
        DayOutcome day;
        day.day = plan.days[i];
        day.address = pageAddress(site, day.day);
        const Fetcher::Result page = fetcher_.get(day.address, limits);
        if (page.cancelled) return cancelled();
        const std::string text = page.ok ? PageText::fromHtml(page.bytes) : std::string();
        if (!page.ok) {
            day.reason = page.reason;
        } else if (text.find(PageScan::kMarker) == std::string::npos) {
            // An error page, garbage or an empty answer is no day read: it
            // must not pass for a day without draws.
            day.reason = page.bytes.empty() ? "服务器返回了空白页面"
                                            : std::string("页面中没有开奖号码表（缺少“") +
                                                  PageScan::kMarker + "”）";
        } else {
            const PageScan::Draws draws = PageScan::read(text);
            day.read = true;
            day.rows = draws.rows;
            day.usable = static_cast<int>(draws.draws.size());
            day.dropped = draws.dropped;
            for (Draw d : draws.draws) {
                d.year = static_cast<int>(day.day.year());
                d.month = static_cast<int>(static_cast<unsigned>(day.day.month()));
                d.day = static_cast<int>(static_cast<unsigned>(day.day.day()));
                read.push_back({d, read.size()});
            }
        }
        result.days.push_back(std::move(day));
    }
    if (progress && !progress(total, total)) return cancelled();
    if (read.empty()) {
        result.message = result.daysRead() == 0
                             ? "没有读到任何开奖页面，历史号码没有改变。"
                             : "开奖页面上没有找到可用的开奖号码，历史号码没有改变。";
        result.message += failureList(result.days);
        return result;
    }

    // In issue order, so that each draw's parameters compare it with the
    // draw before it; a draw shown on two pages keeps the earlier page's date.
    std::stable_sort(read.begin(), read.end(),
                     [](const Dated& a, const Dated& b) { return a.draw.issue < b.draw.issue; });
    // The stored draws make way for the window's pages only when every page
    // came: a day that failed must not take its stored draws with it.
    const bool drop = plan.dropHistory && result.daysFailed() == 0;
    try {
        Transaction tx(db_);
        HistoryTable table(db_);
        if (drop) result.deleted = table.Delrec();
        const auto last = table.lastDraw();
        const std::int32_t greatest = last ? last->issue : 0;
        Numbers previous = last ? last->numbers : Numbers{};
        std::vector<Draw> draws;
        std::vector<ParamValues> params;
        for (const Dated& d : read) {
            if (d.draw.issue <= greatest || (!draws.empty() && draws.back().issue == d.draw.issue))
                continue;
            draws.push_back(d.draw);
            params.push_back(computeParameters(d.draw, previous));
            previous = d.draw.numbers;
        }
        table.appendAll(draws, params);
        tx.commit();
        result.added = static_cast<int>(draws.size());
        // A replaced history leaves the old draws' pages free.
        if (result.deleted > 0) compactIfSparse(db_);
    } catch (const DbError& e) {
        result.deleted = 0;
        result.message = std::string("保存失败，历史号码没有改变：") + e.what();
        return result;
    }

    result.ok = true;
    // "Up to date" only when every day was read.
    result.message = result.added > 0
                         ? std::string("新增 ") + std::to_string(result.added) + " 期开奖号码。"
                     : result.daysFailed() == 0 ? "没有新的开奖号码，历史号码已是最新。"
                                                : "没有读到新的开奖号码。";
    if (result.deleted > 0)
        result.message += std::string("最早的一期已超出更新天数，原有的 ") +
                          std::to_string(result.deleted) + " 期已删除。";
    if (plan.dropHistory && !drop)
        result.message += "最早的一期已超出更新天数，但有页面未能读取，原有的历史号码保留。";
    result.message += std::string("读取 ") + std::to_string(result.daysRead()) + " 天";
    if (result.daysFailed() > 0)
        result.message += std::string("，") + std::to_string(result.daysFailed()) +
                          " 天未能读取：" + failureList(result.days);
    else
        result.message += "。";
    if (result.rowsDropped() > 0)
        result.message +=
            std::string("\n有 ") + std::to_string(result.rowsDropped()) + " 行号码有误，没有读入。";
    return result;
}

}  // namespace varnet
