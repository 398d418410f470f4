#include "cli/TrendCli.h"

#include <climits>
#include <cstdio>
#include <string>

#include "analysis/Trend.h"
#include "base/History.h"
#include "base/ParameterNames.h"
#include "cli/CliArgs.h"
#include "db/HistoryTable.h"
#include "engine/Significance.h"

namespace varnet {

namespace {

constexpr int kFailed = 1;

std::string fixed(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

int parameterOf(const Args& a) {
    const auto code = a.option("--param");
    if (code.has_value() == a.option("--position").has_value())
        throw UsageError{"trend needs one of --param CODE or --position P"};
    if (!code) return paramIndex(0, positionArg(a));
    const int k = ParameterNames::indexOfCode(*code);
    if (k == 0) throw UsageError{"--param: '" + *code + "' is not a parameter code (L1A .. L2N)"};
    if (!Trend::hasTrend(k))
        throw UsageError{"--param: " + ParameterNames::code(k) +
                         " is an issue or a date, it has no trend"};
    return k;
}

}  // namespace

int trendCommand(const Args& a, Database& db, std::ostream& out, std::ostream& err) {
    onlyOptions(a, {"--param", "--position", "--last"});
    if (!a.words.empty()) throw UsageError{"trend takes only options"};
    const int param = parameterOf(a);
    int last = 100;
    if (const auto n = a.option("--last"))
        last = static_cast<int>(integerArg(*n, "--last", 0, INT32_MAX));
    const History h = HistoryTable(db).load();
    if (h.empty()) {
        err << "varnet-cli: no draws are stored\n";
        return kFailed;
    }
    const Trend t = Trend::compute(h, param, last);
    std::string line;
    t.eachRow(0, t.rows(), [&](int r, const std::vector<int>& omissions) {
        line = std::to_string(t.issue(r)) + '\t' + std::to_string(t.value(r));
        for (int o : omissions) line += '\t' + std::to_string(o);
        out << line << '\n';
    });
    for (const TrendColumn& c : t.columns())
        out << c.value << '\t' << c.appearances << '\t' << fixed(c.expected) << '\t'
            << fixed(c.meanOmission) << '\t' << c.longestOmission << '\t'
            << pValueText(c.longestChance) << '\t' << c.currentOmission << '\t'
            << pValueText(c.currentChance) << '\t' << c.longestRepeat << '\n';
    return 0;
}

}  // namespace varnet
