#include "cli/UpdateCli.h"

#include <QCoreApplication>
#include <cstdio>
#include <ctime>
#include <memory>

#include "app/AppSettings.h"
#include "cli/CliArgs.h"
#include "formula/FormulaUpdate.h"
#include "history/HistoryUpdate.h"
#include "net/QtFetcher.h"

namespace varnet {

namespace {

constexpr int kFailed = 1;

std::string dateText(HistoryUpdate::Date d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(d.year()),
                  static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
    return buf;
}

HistoryUpdate::Date localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return HistoryUpdate::Date{std::chrono::year{tm.tm_year + 1900},
                               std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                               std::chrono::day{static_cast<unsigned>(tm.tm_mday)}};
}

HistoryUpdate::Date dateArg(const std::string& text) {
    int y = 0;
    unsigned m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d-%u-%u%c", &y, &m, &d, &tail) == 3) {
        const HistoryUpdate::Date date{std::chrono::year{y}, std::chrono::month{m},
                                       std::chrono::day{d}};
        if (date.ok() && y >= 1 && y <= 9999) return date;
    }
    throw UsageError{"--today must be a date YYYY-MM-DD, not '" + text + "'"};
}

// Qt Network needs an application object; the rest of the CLI does not.
std::unique_ptr<QCoreApplication> qtApplication() {
    if (QCoreApplication::instance()) return nullptr;
    static int argc = 1;
    static char name[] = "varnet-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

int historyUpdate(const Args& a, const std::function<Database&()>& db, std::ostream& out,
                  std::ostream& err) {
    onlyOptions(a, {"--site", "--days", "--today", "--replace-old"});
    if (!a.words.empty()) throw UsageError{"history update takes only options"};
    AppSettings settings;
    const std::string site = a.option("--site").value_or(
        settings.text(HistoryUpdate::kSiteKey, QString()).trimmed().toStdString());
    int days = settings.days();
    if (const auto d = a.option("--days"))
        days = static_cast<int>(integerArg(*d, "--days", 1, HistoryUpdate::kMaxDays));
    const auto today = a.option("--today") ? dateArg(*a.option("--today")) : localToday();

    const bool replace = a.option("--replace-old").has_value();

    const auto app = qtApplication();
    QtFetcher fetcher;
    HistoryUpdate update(db(), fetcher);
    if (!site.empty()) {
        const auto p = update.preview(days, today);
        out << p.olderThanWindow << " stored draws older than the " << days << "-day window";
        if (p.outsideWindow)
            out << (replace ? ": the history is replaced if every page is read"
                            : ": kept (--replace-old replaces the history)");
        out << '\n';
    }
    const auto r =
        update.run(site, days, today, {}, {},
                   replace ? HistoryUpdate::OldDraws::Replace : HistoryUpdate::OldDraws::Keep);
    for (const auto& day : r.days) {
        out << dateText(day.day) << '\t';
        if (day.read)
            out << "read\t" << day.usable << " draws";
        else
            out << "failed\t" << day.reason;
        out << '\n';
        for (const auto& why : day.dropped)
            out << dateText(day.day) << "\tdropped\t" << why << '\n';
    }
    if (!r.ok) {
        err << "varnet-cli: " << r.message << '\n';
        return kFailed;
    }
    out << "added " << r.added << " draws, days read " << r.daysRead() << ", days failed "
        << r.daysFailed() << ", rows dropped " << r.rowsDropped();
    if (r.deleted > 0) out << ", " << r.deleted << " stored draws outside the days window deleted";
    out << '\n';
    if (r.daysFailed() > 0) err << "varnet-cli: " << r.message << '\n';
    return 0;
}

int formulaUpdate(const Args& a, const std::function<Database&()>& db, const std::string& dataDir,
                  std::ostream& out, std::ostream& err) {
    onlyOptions(a, {"--url"});
    if (!a.words.empty()) throw UsageError{"formula update takes only options"};
    const std::string url = a.option("--url").value_or(
        AppSettings().text(FormulaUpdate::kUrlKey, QString()).trimmed().toStdString());

    const auto app = qtApplication();
    QtFetcher fetcher;
    Fetcher::Limits limits;
    limits.maxBytes = FormulaUpdate::kMaximumBytes;
    const auto r = FormulaUpdate(db(), fetcher).run(url, dataDir, 1, true, limits);
    if (!r.ok) {
        err << "varnet-cli: " << r.message << '\n';
        return kFailed;
    }
    out << "stored " << r.formulas << " formulas, skipped " << r.skipped << " lines, mode "
        << (r.kill ? "kill" : "keep") << '\n';
    for (const auto& s : r.stored)
        out << "position " << s.position << "\tkill " << s.kill << "\tkeep " << s.keep << '\n';
    out << r.localCopy << '\n';
    return 0;
}

}  // namespace

bool isUpdateCommand(const std::vector<std::string>& args) {
    return args.size() >= 2 && (args[0] == "history" || args[0] == "formula") &&
           args[1] == "update";
}

int updateCommand(const std::vector<std::string>& args, const std::function<Database&()>& db,
                  const std::string& dataDir, std::ostream& out, std::ostream& err) {
    const Args a = splitArgs({args.begin() + 2, args.end()}, {"--replace-old"});
    if (args[0] == "history") return historyUpdate(a, db, out, err);
    return formulaUpdate(a, db, dataDir, out, err);
}

}  // namespace varnet
