#include "cli/CalcCli.h"

#include <climits>
#include <cstdio>
#include <sstream>

#include "analysis/Backtest.h"
#include "analysis/Calculation.h"
#include "analysis/FormulaSteps.h"
#include "analysis/ResultSummary.h"
#include "base/History.h"
#include "cli/CliArgs.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "engine/Significance.h"

namespace varnet {

namespace {

constexpr int kFailed = 1;

// KEY[:asc|desc],KEY[:asc|desc],KEY[:asc|desc]
SortSettings sortArg(const std::string& text, SortSettings sort) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    if (parts.size() != 3) throw UsageError{"--sort needs three keys, not '" + text + "'"};
    for (int i = 0; i < 3; ++i) {
        std::string key = parts[i];
        std::optional<bool> descending;
        if (const auto colon = key.find(':'); colon != std::string::npos) {
            const std::string dir = key.substr(colon + 1);
            if (dir != "asc" && dir != "desc")
                throw UsageError{"a --sort direction must be asc or desc, not '" + dir + "'"};
            descending = dir == "desc";
            key = key.substr(0, colon);
        }
        if (!SortSettings::isColumn(key))
            throw UsageError{"unknown --sort key '" + key +
                             "' (sglGsRate, intGsErrCon, intGsTrueCon, intGsErrLst, intGsTrueLst)"};
        sort.keys[i] = {key, descending.value_or(SortSettings::defaultDescending(key))};
    }
    return sort;
}

template <typename T>
std::string joined(const T& values) {
    std::string s;
    for (const auto& v : values) {
        if (!s.empty()) s += ' ';
        s += std::to_string(v);
    }
    return s;
}

// The walk-forward check over the clean draws (or all) of the last `draws`
// stored draws: per position, draws tested, successes, expected by chance,
// p-value; then the newer measures after them, and why draws were left out
// on stderr.
int backtestLines(Database& db, const History& history, const CalcRequest& request,
                  const std::string& draws, bool allDraws, std::ostream& out, std::ostream& err) {
    const int most = maxBacktestDraws(history);
    const int m = most < 1 ? 1 : static_cast<int>(integerArg(draws, "--backtest", 1, most));
    const BacktestResult r = backtest(db, history, request, m, {}, allDraws);
    if (!r.ok) {
        err << "varnet-cli: " << r.message << '\n';
        return kFailed;
    }
    for (const BacktestPosition& p : r.positions) {
        out << p.position << '\t' << p.draws << '\t' << p.successes << '\t'
            << fixedText(p.expected, 1) << '\t' << pValueText(p.pValue) << '\t'
            << pValueText(p.pHolm) << '\t' << p.keptDraws << '\t' << p.claimedHits << '\t'
            << fixedText(p.claimedExpected, 1) << '\t' << pValueText(p.claimedP) << '\t'
            << pValueText(p.claimedHolm) << '\t' << (p.placed > 0 ? fixedText(p.meanPlace, 3) : "-")
            << '\t' << pValueText(p.placeP) << '\t' << pValueText(p.placeHolm) << '\t'
            << (p.draws > p.cleanDraws ? "possibly-chosen" : "clean") << '\n';
        if (const std::string note = cleanDrawsNote(r, p); !note.empty())
            err << "varnet-cli: " << note << '\n';
    }
    return 0;
}

}  // namespace

int calcCommand(const Args& a, Database& db, std::ostream& out, std::ostream& err) {
    onlyOptions(a, {"--position", "--kind", "--method", "--issue", "--sort", "--keep", "--count",
                    "--exclude-current", "--weighting", "--backtest", "--draws"});
    if (!a.words.empty()) throw UsageError{"calc takes only options"};
    CalcRequest request;
    request.currentPosition = positionArg(a);
    request.kill = killKind(a);
    request.rule = verificationRule(a);
    request.best = bestMethod(a, request.best);
    if (const auto t = a.option("--issue"))
        request.issue = static_cast<std::int32_t>(integerArg(*t, "--issue", INT32_MIN, INT32_MAX));
    if (const auto s = a.option("--sort")) request.sort = sortArg(*s, request.sort);
    if (const auto k = a.option("--keep"))
        request.sort.keepLimit = static_cast<int>(integerArg(*k, "--keep", 0, INT32_MAX));

    const History history = HistoryTable(db).load();
    if (const auto m = a.option("--backtest")) {
        if (request.issue) throw UsageError{"--backtest and --issue do not go together"};
        bool allDraws = false;
        if (const auto d = a.option("--draws")) {
            if (*d != "clean" && *d != "all")
                throw UsageError{"--draws must be clean or all, not '" + *d + "'"};
            allDraws = *d == "all";
        }
        return backtestLines(db, history, request, *m, allDraws, out, err);
    }
    if (a.option("--draws")) throw UsageError{"--draws goes with --backtest"};
    const CalcResult result = calculate(db, history, request);
    if (!result.ok) {
        err << "varnet-cli: " << result.message << '\n';
        return kFailed;
    }
    const ResultSummary summary = summarise(result, request.kill);
    for (std::size_t i = 0; i < result.positions.size(); ++i) {
        const PositionVotes& v = result.positions[i];
        const PositionSummary& s = summary.positions[i];
        std::vector<int> order;
        for (const auto& r : s.rows) order.push_back(r.number);
        const int p = v.position;
        out << "votes\t" << p << '\t'
            << joined(std::vector<std::int64_t>(v.total.begin() + 1, v.total.end())) << '\n'
            << "order\t" << p << '\t' << joined(order) << '\n'
            << "claimed\t" << p << '\t' << joined(s.claimed) << '\n'
            << "grey\t" << p << '\t' << joined(s.grey) << '\n'
            << "examined\t" << p << '\t' << v.examined << '\n'
            << "invalid\t" << p << '\t' << v.invalid << '\n';
    }
    std::string arrangement = summary.arrangement;
    if (!arrangement.empty()) arrangement.pop_back();
    out << "arrangement\t" << arrangement << '\n';
    if (result.drawn)
        out << "drawn\t" << result.targetIssue << '\t'
            << joined(std::vector<int>(result.drawn->begin() + 1, result.drawn->end())) << '\n';
    return 0;
}

int stepsCommand(const Args& a, Database& db, std::ostream& out, std::ostream& err) {
    onlyOptions(a, {"--position", "--kind", "--idx"});
    if (!a.words.empty()) throw UsageError{"steps takes only options"};
    const int position = positionArg(a);
    const bool kill = killKind(a);
    const auto idxText = a.option("--idx");
    if (!idxText) throw UsageError{"--idx I is needed"};
    const int idx = static_cast<int>(integerArg(*idxText, "--idx", 1, INT32_MAX));
    std::optional<FormulaRow> formula;
    for (auto& r : FormulaTable(db, position).rows(kill))
        if (r.idx == idx) formula = std::move(r);
    if (!formula) {
        err << "varnet-cli: no " << (kill ? "kill" : "keep") << " formula with idx " << idx
            << " in Gongshi" << position << '\n';
        return kFailed;
    }
    std::string error;
    const auto rows = formulaSteps(HistoryTable(db).load(), formula->code, &error);
    if (!error.empty()) {
        err << "varnet-cli: " << error << '\n';
        return kFailed;
    }
    for (const StepRow& r : rows)
        out << r.issue << '\t' << r.numbers << '\t' << r.terms << '\t' << r.value << '\n';
    return 0;
}

}  // namespace varnet
