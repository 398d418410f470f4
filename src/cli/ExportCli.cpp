#include "cli/ExportCli.h"

#include "analysis/Exports.h"
#include "analysis/Replay.h"
#include "app/AppSettings.h"
#include "app/DataFolder.h"
#include "base/History.h"
#include "base/Paths.h"
#include "cli/CliArgs.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "formula/Verification.h"

namespace varnet {

namespace {

constexpr int kFailed = 1;
constexpr int kPerDrawBlock = 500;

// The entry issue box's text after a refresh: the greatest issue + 1.
std::string entryIssueText(const History& h) {
    return h.empty() ? "2007001"
                     : std::to_string(static_cast<long long>(h.issue(h.size() - 1)) + 1);
}

int report(const WorkbookResult& r, const std::string& path, std::ostream& out, std::ostream& err) {
    if (!r.ok) {
        err << "varnet-cli: " << r.message << '\n';
        return kFailed;
    }
    out << path << '\n';
    return 0;
}

}  // namespace

int replayCommand(const Args& a, Database& db, std::ostream& out, std::ostream&) {
    onlyOptions(a, {"--position", "--kind", "--compare-position"});
    if (!a.words.empty()) throw UsageError{"replay takes only options"};
    const int position = positionArg(a);
    const bool kill = killKind(a);
    int compared = position;
    if (const auto c = a.option("--compare-position"))
        compared = static_cast<int>(integerArg(*c, "--compare-position", 1, 10));
    const History h = HistoryTable(db).load();
    const Replay replay = replayFormulas(h, loadFormulaList(db, position, kill, false), {});
    for (const QueryRow& q : queryRows(replay, compared)) {
        out << q.issue << '\t' << q.drawn << '\t';
        if (q.place)
            out << q.place << '\t' << q.error;
        else
            out << '\t';
        out << '\t' << q.levels << '\t' << q.level << '\t' << q.onLevel;
        for (int r = 0; r < 10; ++r) out << '\t' << int(q.ranking->ranked[r]);
        for (int r = 0; r < 10; ++r) out << '\t' << q.ranking->rankedErrors[r];
        out << '\n';
    }
    return 0;
}

int exportCommand(const std::string& what, const Args& a, Database& db, const std::string& dataDir,
                  std::ostream& out, std::ostream& err) {
    if (a.words.size() > 1) throw UsageError{"export " + what + " takes at most one FILE"};
    const History h = HistoryTable(db).load();
    if (what == "formulas") {
        onlyOptions(
            a, {"--position", "--kind", "--all", "--count", "--exclude-current", "--weighting"});
        const CountRule rule = verificationRule(a);
        const std::string path =
            a.words.empty() ? joinPath(dataDir, ExportNames::formulaText(entryIssueText(h)))
                            : a.words[0];
        std::vector<ExportedFormula> formulas;
        FormulaPadding padding = FormulaPadding::Block;
        if (a.option("--all")) {
            if (a.option("--position") || a.option("--kind"))
                throw UsageError{"export formulas --all takes no --position or --kind"};
            formulas = everyFormulaForExport(db, h, rule);
            padding = FormulaPadding::Own;
        } else {
            const int position = positionArg(a);
            const auto list = loadFormulaList(db, position, killKind(a), false);
            const auto scores = scoreFormulaList(h, list, position, rule);
            for (std::size_t i = 0; i < list.size(); ++i)
                formulas.push_back({list[i].row.chinese, scores[i].valid ? scores[i].lastHit : 0});
        }
        return report(writeFormulaText(path, formulas, padding), path, out, err);
    }
    if (what == "history") {
        onlyOptions(a, {"--formulas-of", "--kind"});
        const std::string path =
            a.words.empty() ? joinPath(dataDir, ExportNames::kHistory) : a.words[0];
        if (!a.option("--formulas-of"))
            return report(exportHistoryWorkbook(path, h, nullptr, {}), path, out, err);
        const int position =
            static_cast<int>(integerArg(*a.option("--formulas-of"), "--formulas-of", 1, 10));
        const auto list = loadFormulaList(db, position, killKind(a), false);
        const bool onCurrent = AppSettings().load().showOnCurrent;
        const auto columns = perDrawBlock(h, list, 0, kPerDrawBlock, position, onCurrent);
        std::vector<std::string> names;
        for (const auto& c : columns) names.push_back(list[c.listNumber - 1].row.chinese);
        return report(exportHistoryWorkbook(path, h, &columns, names), path, out, err);
    }
    throw UsageError{"export needs formulas or history, not '" + what + "'"};
}

}  // namespace varnet
