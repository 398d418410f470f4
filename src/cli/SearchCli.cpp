#include "cli/SearchCli.h"

#include <climits>
#include <cstdio>
#include <sstream>

#include "app/AppSettings.h"
#include "base/History.h"
#include "base/NumericText.h"
#include "cli/CliArgs.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/HoldOutTable.h"
#include "engine/Significance.h"
#include "search/HoldOut.h"
#include "search/SchemeSearch.h"
#include "search/SearchRun.h"
#include "search/SearchSettings.h"

namespace varnet {

namespace {

constexpr int kFailed = 1;

std::vector<std::string> commaList(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text + ",") {
        if (c == ',') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

Thresholds thresholdsArg(const std::string& text) {
    const auto parts = commaList(text);
    if (parts.size() != 10) throw UsageError{"--thresholds needs ten numbers"};
    Thresholds t;
    for (int i = 0; i < 10; ++i) t.th[i] = numericValue(parts[i]);
    return t;
}

// The search counts rows by the desktop program's settings unless told.
CountRule searchRule(const Args& a) {
    const AppSettings::Values settings = AppSettings().load();
    CountRule rule;
    rule.retrieval = settings.issueCount();
    rule.weighted = settings.weighted;
    rule.search = true;
    if (const auto c = a.option("--count"))
        rule.retrieval = static_cast<int>(integerArg(*c, "--count", 0, INT32_MAX));
    if (const auto w = a.option("--weighting")) rule.weighted = yesNo(*w, "--weighting");
    return rule;
}

std::uint64_t seedArg(const Args& a) {
    if (const auto seed = a.option("--seed"))
        return static_cast<std::uint64_t>(integerArg(*seed, "--seed", 0, INT64_MAX));
    return clockSeed();
}

void generatorShape(const Args& a, GeneratorSettings& g) {
    if (const auto constant = a.option("--constant")) {
        if (*constant != "random") {
            const auto c = specifiedConstant(*constant);
            if (!c) throw UsageError{"--constant must lie within -1000000..1000000"};
            g.constant = *c;
        } else {
            g.constant.reset();
        }
    }
    if (const auto shape = a.option("--shape")) {
        if (*shape != "prefix" && *shape != "suffix")
            throw UsageError{"--shape must be prefix or suffix"};
        g.shape = *shape == "prefix" ? FormulaShape::Prefix : FormulaShape::Suffix;
    }
}

std::optional<bool> saveArg(const Args& a, std::optional<bool> fallback) {
    const auto save = a.option("--save");
    if (!save) return fallback;
    if (*save == "append") return false;
    if (*save == "replace") return true;
    if (*save == "none") return std::nullopt;
    throw UsageError{"--save must be append, replace or none, not '" + *save + "'"};
}

int reportSave(Database& db, const std::vector<SearchResult>& batch, std::optional<bool> replace,
               std::ostream& out, std::ostream& err) {
    if (!replace) return 0;
    const auto saved = saveBatch(db, batch, *replace);
    if (!saved.ok) {
        err << "varnet-cli: " << saved.message << '\n';
        return kFailed;
    }
    out << "saved " << batch.size() << " formulas (" << (*replace ? "replace" : "append") << ") to";
    for (int p : saved.positions) out << " Gongshi" << p;
    out << '\n';
    return 0;
}

// "452/500 90.40%": a find's hits on the held-out draws.
std::string heldOutField(const Score& s) {
    if (!s.valid) return "invalid";
    char text[64];
    std::snprintf(text, sizeof text, "%lld/%lld %.2f%%", static_cast<long long>(s.plainHits),
                  static_cast<long long>(s.counted),
                  s.counted > 0 ? 100.0 * static_cast<double>(s.plainHits) / s.counted : 0.0);
    return text;
}

// The summary of a search with a hold-out, as comment lines.
void printHoldOut(const HoldOutReport& r, const History& h, bool kill, std::ostream& out) {
    const int first = h.size() - r.holdOut;
    out << "# held out the last " << r.holdOut << " draws (" << h.issue(first) << ".."
        << h.issue(h.size() - 1) << "); candidates chosen on the " << first << " before\n";
    const std::string mean =
        r.mean.finds > 0 ? heldOutMeanText(r.mean.mean, r.mean.standardError) : "n/a";
    out << "# tried " << r.tried << "\tfinds " << r.finds << "\tchance finds " << r.chanceFinds
        << "\theld-out mean " << mean << " (baseline " << baselineText(kill) << ")\tp "
        << pValueText(r.mean.pValue) << '\n';
    out << "# chance finds: the same candidates on the earlier draws in shuffled order; ± and p: "
           "from the spread over the held-out draws of the share of finds that hit each draw "
           "(similar finds hit together, so they are not counted as independent)\n";
}

int single(const Args& a, Database& db, std::ostream& out, std::ostream& err) {
    onlyOptions(a, {"--position", "--kind", "--operands", "--constant", "--candidates", "--seed",
                    "--count", "--weighting", "--thresholds", "--print-all", "--shape", "--limit",
                    "--save", "--holdout"});
    if (!a.words.empty()) throw UsageError{"search takes only options"};
    SearchRequest r;
    r.generator.position = positionArg(a);
    r.generator.kill = killKind(a);
    AppSettings app;
    SearchSettings stored(app.store());
    r.generator.operands = stored.operands(r.generator.position);
    if (const auto operands = a.option("--operands"))
        r.generator.operands = static_cast<int>(integerArg(*operands, "--operands", 2, 24));
    if (!a.option("--constant")) throw UsageError{"--constant C|random is needed"};
    generatorShape(a, r.generator);
    const auto candidates = a.option("--candidates");
    if (!candidates) throw UsageError{"--candidates N is needed"};
    r.candidates = integerArg(*candidates, "--candidates", 1, INT64_MAX / 2);
    r.seed = seedArg(a);
    r.rule = searchRule(a);
    r.thresholds = stored.thresholds(r.generator.position, r.generator.kill);
    if (const auto t = a.option("--thresholds")) r.thresholds = thresholdsArg(*t);
    std::optional<long long> limit;
    if (const auto l = a.option("--limit")) limit = integerArg(*l, "--limit", 0, INT32_MAX);
    int holdOut = 0;
    if (const auto m = a.option("--holdout"))
        holdOut = static_cast<int>(integerArg(*m, "--holdout", 0, INT32_MAX));
    const auto replace = saveArg(a, std::nullopt);
    if (replace && a.option("--print-all"))
        throw UsageError{"--save keeps the qualified candidates: leave out --print-all"};
    r.everyCandidate = a.option("--print-all").has_value();

    const History h = HistoryTable(db).load();
    if (holdOut > 0 && !holdOutFits(h.size(), holdOut)) {
        err << "varnet-cli: --holdout " << holdOut << " leaves fewer than three of the " << h.size()
            << " stored draws to search on\n";
        return kFailed;
    }
    const bool kill = r.generator.kill;
    std::vector<SearchResult> batch;
    const auto report = runHoldOutSearch(h, r, holdOut, [&](const HoldOutFind& hf) {
        const SearchFind& f = hf.find;
        if (!r.everyCandidate) {
            out << f.candidate.chinese;
        } else {
            char rate[32];
            std::snprintf(rate, sizeof rate, "%.4f", static_cast<double>(f.score.rate));
            out << f.candidate.code << '\t' << rate << '\t' << f.score.longestMiss << '\t'
                << f.score.longestHit << '\t' << f.score.lastMiss << '\t' << f.score.lastHit << '\t'
                << (f.qualified ? "yes" : "no");
        }
        if (holdOut > 0) out << '\t' << heldOutField(hf.heldOut);
        out << '\t' << (f.score.valid ? pValueText(chanceViewOf(f.score, kill).pValue) : "invalid")
            << '\n';
        if (f.qualified)
            batch.push_back(
                {r.generator.position, r.generator.kill, f.candidate.code, f.candidate.chinese});
        // With a limit the search stops at exactly that many results.
        return !limit || static_cast<long long>(batch.size()) < *limit;
    });
    const SearchSummary& summary = report.search;
    char line[160];
    std::snprintf(line, sizeof line,
                  "evaluated %lld candidates in %.3f s (%.0f per second), %lld qualified\n",
                  summary.evaluated, summary.seconds,
                  summary.seconds > 0 ? summary.evaluated / summary.seconds : 0.0,
                  static_cast<long long>(batch.size()));
    out << line;
    if (holdOut > 0) {
        printHoldOut(report, h, kill, out);
        // Kept for the report; a file that cannot be written still gets its search.
        try {
            HoldOutTable(db).store(holdOutRecord(report, h, r.generator.position, kill));
        } catch (const DbError& e) {
            err << "varnet-cli: the hold-out summary was not stored: " << e.what() << '\n';
        }
    }
    return reportSave(db, batch, replace, out, err);
}

int scheme(const Args& a, Database& db, std::ostream& out, std::ostream& err) {
    onlyOptions(a, {"--kind", "--plan", "--mode", "--save", "--seed", "--max-candidates", "--count",
                    "--weighting", "--constant", "--shape"});
    if (!a.words.empty()) throw UsageError{"search scheme takes only options"};
    SchemeRequest r;
    r.kill = killKind(a);
    const auto plan = a.option("--plan");
    if (!plan) throw UsageError{"--plan N1,...,N10 is needed"};
    const auto entries = commaList(*plan);
    if (entries.size() != 10)
        throw UsageError{"--plan needs ten entries (an empty one skips its position)"};
    if (const auto mode = a.option("--mode")) {
        if (*mode != "add" && *mode != "hold")
            throw UsageError{"--mode must be add or hold, not '" + *mode + "'"};
        r.hold = *mode == "hold";
    }
    GeneratorSettings g;
    g.constant = 0;
    generatorShape(a, g);
    r.shape = g.shape;
    r.constant = g.constant;
    r.rule = searchRule(a);
    r.seed = seedArg(a);
    if (const auto m = a.option("--max-candidates"))
        r.maxCandidates = integerArg(*m, "--max-candidates", 1, INT64_MAX / 2);
    // Nothing is written unless asked: a replacement deletes every stored
    // formula of its positions, and the command cannot ask first.
    const auto replace = saveArg(a, std::nullopt);
    AppSettings app;
    SearchSettings stored(app.store());
    for (int p = 1; p <= 10; ++p) {
        SchemePosition& sp = r.positions[p - 1];
        const std::string& e = entries[p - 1];
        if (!e.empty())
            sp.planned =
                static_cast<int>(integerArg(e, "--plan entry " + std::to_string(p), 0, INT32_MAX));
        sp.operands = stored.operands(p);
        sp.thresholds = stored.thresholds(p, r.kill);
        r.existing[p - 1] = FormulaTable(db, p).count();
    }
    const History h = HistoryTable(db).load();
    const SchemeReport report = runScheme(h, r);
    for (const auto& pr : report.positions) {
        out << "position\t" << pr.position << '\t';
        if (pr.skipped) {
            out << "skipped\n";
            continue;
        }
        out << "planned " << pr.planned << "\tfound " << pr.found << "\tevaluated " << pr.evaluated
            << (pr.unfinished ? "\tunfinished" : "") << '\n';
    }
    if (!replace) {
        out << "not saved\n";
        return 0;
    }
    return reportSave(db, report.batch, replace, out, err);
}

int tune(const Args& a, Database& db, std::ostream& out, std::ostream&) {
    onlyOptions(a, {"--position", "--kind", "--samples", "--seed", "--save", "--print-samples",
                    "--count", "--weighting", "--constant"});
    if (!a.words.empty()) throw UsageError{"search tune takes only options"};
    GeneratorSettings g;
    g.position = positionArg(a);
    g.kill = killKind(a);
    g.constant = 0;
    generatorShape(a, g);
    const auto samples = a.option("--samples");
    if (!samples) throw UsageError{"--samples N is needed"};
    const int n = static_cast<int>(integerArg(*samples, "--samples", 1, 1000000));
    AppSettings app;
    SearchSettings stored(app.store());
    g.operands = stored.operands(g.position);
    const Thresholds base = stored.thresholds(g.position, g.kill);
    const History h = HistoryTable(db).load();
    const TuningResult t = tunePosition(h, g, searchRule(a), n, seedArg(a), base);
    if (a.option("--print-samples"))
        for (const Score& s : t.samples) {
            char rate[32];
            std::snprintf(rate, sizeof rate, "%.4f", static_cast<double>(s.rate));
            out << "sample\t" << rate << '\t' << s.longestMiss << '\t' << s.longestHit << '\t'
                << s.lastMiss << '\t' << s.lastHit << '\n';
        }
    out << "thresholds";
    for (double v : t.proposal.th) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(static_cast<float>(v)));
        out << '\t' << text;
    }
    out << '\n';
    if (a.option("--save")) {
        stored.setThresholdsAndOperands(g.position, g.kill, t.proposal, g.operands);
        out << "saved\n";
    }
    return 0;
}

}  // namespace

int searchCommand(const std::vector<std::string>& raw, Database& db, std::ostream& out,
                  std::ostream& err) {
    if (!raw.empty() && raw[0] == "scheme")
        return scheme(splitArgs({raw.begin() + 1, raw.end()}, {}), db, out, err);
    if (!raw.empty() && raw[0] == "tune")
        return tune(splitArgs({raw.begin() + 1, raw.end()}, {"--save", "--print-samples"}), db, out,
                    err);
    return single(splitArgs(raw, {"--print-all"}), db, out, err);
}

}  // namespace varnet
