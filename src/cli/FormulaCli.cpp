#include "cli/FormulaCli.h"

#include <climits>
#include <sstream>

#include "base/History.h"
#include "cli/CliArgs.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/Significance.h"
#include "formula/FormulaCommands.h"
#include "formula/Verification.h"

namespace varnet {

namespace {

constexpr int kFailed = 1;

std::string runText(std::optional<int> v) { return v ? std::to_string(*v) : "-"; }

// The fields after the formula on a scored line: calculation value, rate
// text, the four runs, the chance baseline of the kind and the p-value of
// the plain hits; "invalid" and the reason for an invalid formula.
std::string scoreFields(const Score& s, bool kill) {
    if (!s.valid) return "invalid\t" + s.error;
    return runText(s.calcValue) + '\t' + rateText(s) + '\t' + std::to_string(s.longestMiss) + '\t' +
           std::to_string(s.longestHit) + '\t' + std::to_string(s.lastMiss) + '\t' +
           std::to_string(s.lastHit) + '\t' + baselineText(kill) + '\t' +
           pValueText(chanceViewOf(s, kill).pValue);
}

class FormulaCli {
  public:
    FormulaCli(const std::function<Database&()>& db, const std::string& dataDir, std::ostream& out,
               std::ostream& err)
        : db_(db), dataDir_(dataDir), out_(out), err_(err) {}

    int translate(const Args& a) {
        onlyOptions(a, {});
        if (a.words.size() != 1) throw UsageError{"formula translate needs one TEXT"};
        out_ << codeFormOf(a.words[0]) << '\n';
        return 0;
    }

    int score(const Args& a) {
        onlyOptions(a, {"--position", "--kind", "--count", "--exclude-current", "--weighting"});
        if (a.words.empty()) throw UsageError{"formula score needs at least one FORMULA"};
        const int position = positionArg(a);
        const bool kill = killKind(a);
        const CountRule rule = verificationRule(a);
        std::vector<ParseResult> parsed;
        for (const auto& f : a.words) parsed.push_back(parseFormula(codeFormOf(f)));
        std::vector<FormulaJob> jobs;
        for (const auto& p : parsed)
            if (p.program) jobs.push_back({&*p.program, kill});
        const History h = HistoryTable(db_()).load();
        const auto scores = FormulaEngine(h).score(jobs, position, rule);
        std::size_t next = 0;
        for (const auto& p : parsed) {
            if (!p.program)
                out_ << "invalid\t" << p.error << '\n';
            else
                out_ << scoreFields(scores[next++], kill) << '\n';
        }
        return 0;
    }

    int add(const Args& a) {
        onlyOptions(a, {"--kind", "--position"});
        if (a.words.size() != 1) throw UsageError{"formula add needs one TEXT"};
        const bool kill = killKind(a, true);
        const int position = a.option("--position") ? positionArg(a) : 1;
        const auto r = FormulaCommands(db_()).add(a.words[0], position, kill);
        if (!r.ok) return fail(r.message);
        out_ << "Gongshi" << r.position << '\t' << r.idx << '\n';
        return 0;
    }

    int import(const Args& a) {
        onlyOptions(a, {"--kind", "--position"});
        if (a.words.size() != 1) throw UsageError{"formula import needs one FILE"};
        const bool kill = killKind(a, true);
        const int position = a.option("--position") ? positionArg(a) : 1;
        const auto r = FormulaCommands(db_()).importFile(a.words[0], dataDir_, position, kill);
        if (!r.ok) return fail(r.message);
        out_ << "appended " << r.appended << " formulas\n";
        if (r.unrecognised > 0)
            out_ << "unrecognised " << r.unrecognised << " lines\t" << r.unrecognisedPath << '\n';
        return 0;
    }

    int verify(const Args& a) {
        onlyOptions(
            a, {"--position", "--kind", "--count", "--exclude-current", "--weighting", "--form"});
        if (!a.words.empty()) throw UsageError{"formula verify takes only options"};
        const int position = positionArg(a);
        const bool kill = killKind(a);
        const CountRule rule = verificationRule(a);
        bool chinese = true;
        if (const auto form = a.option("--form")) {
            if (*form != "chinese" && *form != "code")
                throw UsageError{"--form must be chinese or code, not '" + *form + "'"};
            chinese = *form == "chinese";
        }
        Database& db = db_();
        const History h = HistoryTable(db).load();
        auto list = loadFormulaList(db, position, kill);
        const auto scores = scoreFormulaList(h, list, position, rule);
        std::vector<bool> stored;
        const int changed = storeFormulaScores(db, position, list, scores, &stored);
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (!stored[i]) continue;
            const FormulaRow& row = list[i].row;
            out_ << row.idx.value_or(0) << '\t' << (chinese ? row.chinese : row.code) << '\t'
                 << scoreFields(scores[i], kill) << '\t' << FormulaTable::originText(row.entered)
                 << '\n';
        }
        if (changed > 0)
            return fail(std::to_string(changed) + " of " + std::to_string(list.size()) +
                        " formulas changed in Gongshi" + std::to_string(position) +
                        " while they were verified (another program wrote the table): their "
                        "scores were not stored; run formula verify again");
        return 0;
    }

    int remove(const Args& a) {
        onlyOptions(a, {"--position", "--idx"});
        if (!a.words.empty()) throw UsageError{"formula delete takes only options"};
        const int position = positionArg(a);
        const auto list = a.option("--idx");
        if (!list) throw UsageError{"--idx I[,I...] is needed"};
        std::vector<int> idxs;
        std::stringstream parts(*list);
        for (std::string part; std::getline(parts, part, ',');)
            idxs.push_back(static_cast<int>(integerArg(part, "--idx", 1, INT32_MAX)));
        if (idxs.empty()) throw UsageError{"--idx I[,I...] is needed"};
        const auto r = FormulaCommands(db_()).deleteFormulas(position, idxs);
        if (!r.ok) return fail(r.message);
        out_ << "deleted " << r.rows << " formulas\n";
        return 0;
    }

    int clear(const Args& a) {
        onlyOptions(a, {});
        if (!a.words.empty()) throw UsageError{"formula clear takes no words"};
        const auto r = FormulaCommands(db_()).clearAll();
        if (!r.ok) return fail(r.message);
        out_ << "cleared all formulas\n";
        return 0;
    }

  private:
    int fail(const std::string& message) {
        err_ << "varnet-cli: " << message << '\n';
        return kFailed;
    }

    const std::function<Database&()>& db_;
    const std::string& dataDir_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace

int formulaCommand(const std::vector<std::string>& raw, const std::function<Database&()>& db,
                   const std::string& dataDir, std::ostream& out, std::ostream& err) {
    if (raw.empty()) throw UsageError{"formula needs a subcommand"};
    const Args a = splitArgs({raw.begin() + 1, raw.end()}, {});
    FormulaCli cli(db, dataDir, out, err);
    const std::string& sub = raw[0];
    if (sub == "translate") return cli.translate(a);
    if (sub == "score") return cli.score(a);
    if (sub == "add") return cli.add(a);
    if (sub == "import") return cli.import(a);
    if (sub == "verify") return cli.verify(a);
    if (sub == "delete") return cli.remove(a);
    if (sub == "clear") return cli.clear(a);
    throw UsageError{"unknown formula subcommand '" + sub + "'"};
}

}  // namespace varnet
