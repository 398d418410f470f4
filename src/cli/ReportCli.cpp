#include "cli/ReportCli.h"

#include <algorithm>

#include "analysis/Report.h"
#include "app/AppSettings.h"
#include "base/History.h"
#include "base/Paths.h"
#include "cli/CliArgs.h"
#include "db/Database.h"
#include "db/HistoryTable.h"

namespace varnet {

namespace {

constexpr int kFailed = 1;

}  // namespace

int reportCommand(const Args& a, Database& db, const std::string& dataDir, std::ostream& out,
                  std::ostream& err) {
    onlyOptions(a, {"--kind", "--method", "--backtest"});
    if (a.words.size() > 1) throw UsageError{"report takes at most one FILE"};
    CalcRequest request;
    request.kill = killKind(a, true);
    request.rule = verificationRule(a);
    // The method the desktop program last computed with, unless given.
    request.best = bestMethod(a, !AppSettings().load().computeSelected);
    const History history = HistoryTable(db).load();
    const int most = maxBacktestDraws(history);
    // As calc --backtest: a given M must fit the history; the default
    // shrinks to what the history allows.
    int draws = std::clamp(kReportDraws, 1, std::max(1, most));
    if (const auto m = a.option("--backtest"); m && most >= 1)
        draws = static_cast<int>(integerArg(*m, "--backtest", 1, most));
    const std::string path = a.words.empty() ? joinPath(dataDir, kReportFileName) : a.words[0];

    const ReportData data = gatherReport(db, history, request, draws);
    if (!data.ok) {
        err << "varnet-cli: " << data.message << '\n';
        return kFailed;
    }
    // Written beside and renamed over: a failed write keeps the old file.
    if (!writeReplacing(path, reportHtml(data))) {
        err << "varnet-cli: cannot write " << path << '\n';
        return kFailed;
    }
    out << path << '\n';
    return 0;
}

}  // namespace varnet
