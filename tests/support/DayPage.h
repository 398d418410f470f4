#pragma once

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/Draw.h"
#include "db/HistoryTable.h"
#include "db/Transaction.h"
#include "support/HttpServer.h"

namespace varnet::test {

// The draw table as a results site lays it out: header row ending in the
// "1-5龙虎" column, then per draw a row with the issue and time and a row
// with the ten numbers and further columns.
enum class NumberStyle {
    TwoDigit,      // "03" "10" side by side
    SingleBlank,   // "3 7 10 ..."
    SingleJoined,  // "3710..." (read one digit at a time)
};

struct PageDraw {
    int issue = 0;
    Numbers numbers{};
};

inline std::string numbersHtml(const Numbers& n, NumberStyle style) {
    std::string s;
    for (int i = 0; i < kPositions; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf,
                      style == NumberStyle::TwoDigit ? "<span>%02d</span>" : "<span>%d</span>",
                      n[i]);
        if (style == NumberStyle::SingleBlank && i > 0) s += "\n  ";
        s += buf;
    }
    return s;
}

inline std::string dayPageHtml(const std::vector<PageDraw>& draws,
                               NumberStyle style = NumberStyle::TwoDigit, bool marker = true) {
    std::string html =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>北京赛车开奖</title>"
        "<style>td { color: red }</style>"
        "<script>var header = '1-5龙虎 0102030405';</script></head><body>\n"
        "<div class=\"nav\">首页 &gt; 2024-05-10 "
        "开奖结果</div>\n<table>\n<tr><th>期号</th><th>时间</th>"
        "<th>开奖号码</th><th>冠亚和</th><th>" +
        std::string(marker ? "1-5龙虎" : "龙虎") + "</th><th>备注</th></tr>\n";
    for (const auto& d : draws) {
        char issue[16];
        std::snprintf(issue, sizeof issue, "%07d", d.issue);
        html += "<tr><td>" + std::string(issue) + "</td><td>09:07</td></tr>\n<tr><td>" +
                numbersHtml(d.numbers, style) + "</td><td>" +
                std::to_string(d.numbers[0] + d.numbers[1]) +
                "</td><td>龙</td><td>虎</td><td>龙</td><td>虎</td><td>龙</td><td>" +
                std::string(90, '.') + "</td></tr>\n";
    }
    return html + "</table>\n<p>&copy; 开奖网</p></body></html>\n";
}

// A draw of its own for every issue.
inline PageDraw pageDraw(int issue) {
    PageDraw d{issue, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}};
    for (int i = 0; i < issue % 97; ++i) std::next_permutation(d.numbers.begin(), d.numbers.end());
    std::rotate(d.numbers.begin(), d.numbers.begin() + issue % 10, d.numbers.end());
    return d;
}

inline std::vector<PageDraw> pageDraws(std::initializer_list<int> issues) {
    std::vector<PageDraw> out;
    for (int i : issues) out.push_back(pageDraw(i));
    return out;
}

// A long history: draws 1..count spread evenly over the `days` days before
// `today` (the last of them yesterday), as the pages would show them.
inline void storeSpreadHistory(Database& db, int count, int days, std::chrono::sys_days today) {
    std::vector<Draw> draws;
    std::vector<ParamValues> params;
    Numbers previous{};
    for (int i = 0; i < count; ++i) {
        const std::chrono::year_month_day d{today - std::chrono::days{days - i * days / count}};
        Draw x;
        x.issue = i + 1;
        x.numbers = pageDraw(i + 1).numbers;
        x.year = static_cast<int>(d.year());
        x.month = static_cast<int>(static_cast<unsigned>(d.month()));
        x.day = static_cast<int>(static_cast<unsigned>(d.day()));
        params.push_back(computeParameters(x, previous));
        previous = x.numbers;
        draws.push_back(x);
    }
    Transaction tx(db);
    HistoryTable(db).appendAll(draws, params);
    tx.commit();
}

// What a test site answers, path by path (404 for the rest); changeable
// while the server runs.
class Site {
  public:
    void set(const std::string& path, HttpServer::Reply r) {
        std::lock_guard lock(mutex_);
        replies_[path] = std::move(r);
    }
    void clear() {
        std::lock_guard lock(mutex_);
        replies_.clear();
    }
    HttpServer::Reply operator()(const std::string& path) {
        std::lock_guard lock(mutex_);
        const auto it = replies_.find(path);
        return it == replies_.end() ? HttpServer::status(404) : it->second;
    }

  private:
    std::mutex mutex_;
    std::map<std::string, HttpServer::Reply> replies_;
};

// Qt Network needs an application object; tests share one.
inline void ensureQtApp() {
    static int argc = 1;
    static char name[] = "varnet-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

}  // namespace varnet::test
