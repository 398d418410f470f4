// Speed of formula scoring, side by side in one run on generated histories.
// Prints one `key: value` line per figure at the end.
//
// fast_candidates_per_s works out all five statistics of every candidate, as
// the statement way and the plain evaluation do. fast_search_candidates_per_s
// is the search as the program runs it: the threshold test of the fresh
// installation's kill thresholds, with the longest runs worked out only for
// candidates whose rate and last runs pass (the outcome is the same).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchData.h"
#include "analysis/Backtest.h"
#include "analysis/Calculation.h"
#include "analysis/Exports.h"
#include "analysis/Replay.h"
#include "analysis/Report.h"
#include "analysis/Trend.h"
#include "base/Parallel.h"
#include "base/ParameterNames.h"
#include "base/TextCodec.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "db/Transaction.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/Generator.h"
#include "engine/Reference.h"
#include "engine/SearchKernel.h"
#include "engine/Significance.h"
#include "formula/FormulaCommands.h"
#include "formula/Translate.h"
#include "formula/Verification.h"
#include "history/HistoryCommands.h"
#include "search/SchemeSearch.h"
#include "search/StatementSearch.h"
#include "support/RandomHistory.h"

using namespace varnet;
namespace fs = std::filesystem;

using namespace varnet::bench;

namespace {

constexpr int kMillion = 1000000;

// Runs `fn` over the batch on every core, repeating until at least `minSeconds`
// have passed; returns candidates per second.
template <class Fn>
double perSecondOnAllCores(const Batch& b, double minSeconds, Fn fn) {
    std::atomic<std::uint64_t> sink{0};
    long long done = 0;
    const auto start = Clock::now();
    do {
        parallelFor(b.size(), 256, [&](int begin, int end) {
            std::uint64_t local = 0;
            for (int i = begin; i < end; ++i) local += fn(i);
            sink += local;
        });
        done += b.size();
    } while (secondsSince(start) < minSeconds);
    const double s = secondsSince(start);
    if (sink.load() == 42) std::puts("");  // keeps the work observable
    return done / s;
}

// A data folder of one benchmark's own, removed with everything in it when
// the benchmark is done (its database closed first, being declared after).
struct ScratchFolder {
    fs::path dir;
    explicit ScratchFolder(const std::string& name)
        : dir(fs::temp_directory_path() /
              ("varnet-bench-" + name + "-" + std::to_string(::getpid()))) {
        fs::create_directories(dir);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    Database open() const { return Schema::openDataFile((dir / Schema::kFileName).string()); }
};

// Yansuan of one list: load, score on every core, store the scores.
// With `chance`, also the p-value of every score's hits against the chance
// baseline, as `formula verify` prints them and the list sorts by them (the
// chance of the longest miss run is worked out for the one row a tooltip
// shows).
double verifyListSeconds(Database& db, const History& h, int position, const CountRule& rule,
                         bool chance = false) {
    const auto start = Clock::now();
    auto list = loadFormulaList(db, position, true);
    const auto scores = scoreFormulaList(h, list, position, rule);
    storeFormulaScores(db, position, list, scores);
    if (chance) {
        double sum = 0;
        for (const Score& s : scores) sum += chanceViewOf(s, true).pValue;
        if (sum < 0) std::puts("");  // keeps the work observable
    }
    return secondsSince(start);
}

// One job of the million-draw figures, run in a process of its own so that
// its peak resident size is its own. Writes "seconds peak_kB" to `result`.
int runJob(const std::string& job, const fs::path& dir, const fs::path& result) {
    const fs::path text = dir / "history.txt";
    double seconds = -1;
    const auto start = Clock::now();
    if (job == "generate") {
        if (!HistoryCommands::exportFile(test::randomHistory(kMillion, 12), text.string()).ok)
            return 1;
        seconds = secondsSince(start);
    } else if (job == "import") {
        Database db = Schema::openDataFile((dir / Schema::kFileName).string());
        const auto r = HistoryCommands(db).importFile(text.string(), HistoryText::Carry{});
        if (!r.ok || r.rows != kMillion) return 1;
        seconds = secondsSince(start);
    } else if (job == "formulas") {
        Database db = Schema::openDataFile((dir / Schema::kFileName).string());
        storeFormulas(db, 1, 1000, 41);
        seconds = secondsSince(start);
    } else if (job == "params") {
        // As `params ISSUE` does: open the file, read the one draw.
        Database db = Schema::openDataFile((dir / Schema::kFileName).string());
        const auto p = HistoryTable(db).paramsOf(1000 + kMillion / 2);
        if (!p || (*p)[124] != 1000 + kMillion / 2) return 1;
        seconds = secondsSince(start);
    } else if (job == "replay") {
        // As `replay` does: the history and the list loaded, every draw ranked.
        Database db = Schema::openDataFile((dir / Schema::kFileName).string());
        const History h = HistoryTable(db).load();
        const Replay replay = replayFormulas(h, loadFormulaList(db, 1, true, false), {});
        const auto rows = queryRows(replay, 1);
        if (rows.size() + 1 != replay.draws.size() || h.size() != kMillion) return 1;
        seconds = secondsSince(start);
    } else {
        return 2;
    }
    std::ofstream(result) << seconds << ' ' << peakRssKb() << '\n';
    return 0;
}

struct ChildRun {
    double seconds = -1;  // wall clock
    double rssMb = -1;    // the child's peak resident size
};

// Runs a program and waits for it. Runs before this process has grown, as
// a child's peak size starts from its parent's at the fork.
ChildRun runChild(std::vector<std::string> args, const std::vector<std::string>& extraEnv = {}) {
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return {};
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return {};
    ChildRun r;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        r.seconds = secondsSince(start);
        r.rssMb = usage.ru_maxrss / 1024.0;
    }
    return r;
}

fs::path selfDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// A job in a child process: its own seconds and peak size, best of `runs`.
ChildRun runJobChild(const std::string& job, const fs::path& dir, int runs = 1) {
    ChildRun best;
    for (int i = 0; i < runs; ++i) {
        const fs::path result = dir / ("result-" + job);
        fs::remove(result);
        if (runChild({(selfDir() / "varnet-bench").string(), "--job", job, dir.string(),
                      result.string()})
                .seconds < 0)
            return {};
        ChildRun r;
        long kb = -1;
        std::ifstream in(result);
        if (!(in >> r.seconds >> kb)) return {};
        r.rssMb = kb / 1024.0;
        if (best.seconds < 0 || r.seconds < best.seconds) best.seconds = r.seconds;
        if (best.rssMb < 0 || r.rssMb < best.rssMb) best.rssMb = r.rssMb;
    }
    return best;
}

// The history at a million draws: import, the desktop start with 1,000
// formulas (shown and verified), the replay of those formulas and one
// draw's parameters, each in a process of its own.
struct MillionFigures {
    ChildRun import, startup, replay, params;
};

MillionFigures millionFigures() {
    MillionFigures m;
    const ScratchFolder scratch("million");
    const fs::path config = scratch.dir / "config";
    fs::create_directories(config);
    if (runJobChild("generate", scratch.dir).seconds < 0) return m;
    m.import = runJobChild("import", scratch.dir);
    if (m.import.seconds < 0 || runJobChild("formulas", scratch.dir).seconds < 0) return m;
    m.params = runJobChild("params", scratch.dir, 3);
    m.replay = runJobChild("replay", scratch.dir, 2);
    const fs::path gui = selfDir() / "varnet";
    if (fs::exists(gui)) {
        for (int i = 0; i < 3; ++i) {  // the first start warms the file cache
            const ChildRun r =
                runChild({gui.string(), "--data-dir", scratch.dir.string(), "--screenshot",
                          (scratch.dir / "shot.png").string()},
                         {"XDG_CONFIG_HOME=" + config.string(), "QT_QPA_PLATFORM=offscreen"});
            if (r.seconds < 0) return m;
            if (i > 0 && (m.startup.seconds < 0 || r.seconds < m.startup.seconds)) m.startup = r;
        }
    }
    return m;
}
// The trend of one position's number over every one of a million draws,
// best of three (the first also works out the chance of each value).
double trendSeconds() {
    const History h = test::randomHistory(1000000, 17);
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const Trend t = Trend::compute(h, paramIndex(0, 1), 0);
        best = std::min(best, secondsSince(start));
        if (t.rows() != h.size()) return -1.0;
    }
    return best;
}

struct CheckFigures {
    double backtest = 0, report = 0;
};

CheckFigures checkFigures() {
    // The formulas enter before the last 1,000 draws (later issues and
    // dates), so that every tested draw is clean and counts.
    auto cleanCheckFixture = [](Database& db, int draws) {
        const History all = test::randomHistory(draws, 8);
        History before = all, after;
        before.truncate(draws - 1000);
        for (int r = draws - 1000; r < all.size(); ++r) after.append(all.issue(r), all.params(r));
        test::storeHistory(db, before);
        for (int p = 1; p <= 10; ++p) storeFormulas(db, p, 1000, 500 + p);
        test::storeHistory(db, after);
        CalcRequest request;
        request.currentPosition = 10;
        request.best = true;
        request.rule = CountRule{300, true, true, false};
        request.sort.keepLimit = 3;
        loadFormulaList(db, 10, true, false);  // warm the file cache
        return request;
    };
    CheckFigures out;
    // The walk-forward check of the best method over the last 1,000 of
    // 10,000 draws with 1,000 formulas a position at ten positions: every
    // tested draw ranked on the scores of the draws before it.
    {
        const ScratchFolder scratch("backtest");
        {
            Database db = scratch.open();
            const CalcRequest request = cleanCheckFixture(db, 10000);
            const History h = HistoryTable(db).load();
            const auto start = Clock::now();
            const BacktestResult r = backtest(db, h, request, 1000);
            out.backtest = r.ok && r.positions.size() == 10 && r.positions[0].draws == 1000
                               ? secondsSince(start)
                               : -1.0;
        }
    }
    // The check report on the same fixture over 100,000 draws: the list's
    // p-values of ten positions, the walk-forward over the last 1,000 draws
    // and the page.
    {
        const ScratchFolder scratch("report");
        {
            Database db = scratch.open();
            const CalcRequest request = cleanCheckFixture(db, 100000);
            const History h = HistoryTable(db).load();
            const auto start = Clock::now();
            const ReportData r = gatherReport(db, h, request, 1000);
            const std::string page = r.ok ? reportHtml(r) : std::string();
            out.report = r.ok && r.positions[0].formulas == 1000 &&
                                 r.backtest.positions[9].draws == 1000 && !page.empty()
                             ? secondsSince(start)
                             : -1.0;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    // `--trend`: only the trend figure.
    if (argc == 2 && std::string(argv[1]) == "--trend") {
        std::printf("trend_h1000000_s: %.3f\n", trendSeconds());
        return 0;
    }
    // `--check`: only the walk-forward and report figures.
    if (argc == 2 && std::string(argv[1]) == "--check") {
        const CheckFigures f = checkFigures();
        std::printf("backtest_1000x10x1000_s: %.3f\nreport_10x1000_h100000_s: %.3f\n", f.backtest,
                    f.report);
        return 0;
    }
    if (argc == 5 && std::string(argv[1]) == "--job") return runJob(argv[2], argv[3], argv[4]);
    // First, while this process is small: children start from its size.
    const MillionFigures million = millionFigures();
    const auto printMillion = [&million] {
        std::printf("import_h1000000_s: %.3f\n", million.import.seconds);
        std::printf("import_h1000000_rss_mb: %.1f\n", million.import.rssMb);
        std::printf("startup_1000x1_h1000000_s: %.3f\n", million.startup.seconds);
        std::printf("startup_h1000000_rss_mb: %.1f\n", million.startup.rssMb);
        std::printf("replay_1000_h1000000_s: %.3f\n", million.replay.seconds);
        std::printf("replay_1000_h1000000_rss_mb: %.1f\n", million.replay.rssMb);
        std::printf("params_h1000000_s: %.4f\n", million.params.seconds);
    };
    // `--million`: only the million-draw figures.
    if (argc == 2 && std::string(argv[1]) == "--million") {
        printMillion();
        return 0;
    }

    const int k = 8;
    const int position = 1;
    const bool kill = true;
    CountRule searchRule{0, false, true, true};  // all draws, weighted
    const History h3000 = test::randomHistory(3000, 1);
    const Batch batch = candidates(20000, k, 99);

    // The statement-per-candidate way, on a data file.
    double specWay = 0;
    {
        const ScratchFolder scratch("statements");
        {
            Database db = scratch.open();
            test::storeHistory(db, h3000);
            std::vector<std::string> codes;
            for (int i = 0; i < 20; ++i)
                codes.push_back(candidateCode(asVector(batch, i), batch.constants[i]));
            const auto start = Clock::now();
            statementSearchScores(db, codes, position, kill, searchRule);
            specWay = codes.size() / secondsSince(start);
        }
    }

    // The plain evaluation, one candidate after another.
    double reference = 0;
    {
        const int n = 300;
        std::vector<Program> programs;
        for (int i = 0; i < n; ++i)
            programs.push_back(
                *parseFormula(candidateCode(asVector(batch, i), batch.constants[i])).program);
        const auto start = Clock::now();
        std::int64_t sink = 0;
        for (const auto& p : programs)
            sink += referenceScore(p, h3000, position, kill, searchRule).hits;
        reference = n / secondsSince(start);
        if (sink == 42) std::puts("");
    }

    const SearchKernel kernel(h3000, position, kill, searchRule);
    const double floorRate =
        perSecondOnAllCores(batch, 1.0, [&](int i) { return kernel.addOnly(batch.at(i), k); });
    const double full = perSecondOnAllCores(batch, 1.0, [&](int i) {
        return static_cast<std::uint64_t>(kernel.score(batch.at(i), k, batch.constants[i]).hits);
    });
    const Thresholds defaults{{93.6, 100, 0, 1, 32, 32768, 0, 0, 24, 32768}};
    const double searchPath = perSecondOnAllCores(batch, 1.0, [&](int i) {
        return static_cast<std::uint64_t>(
            kernel.qualifies(batch.at(i), k, batch.constants[i], defaults, nullptr));
    });

    const History h100k = test::randomHistory(100000, 2);
    const SearchKernel big(h100k, position, kill, searchRule);
    const Batch small = candidates(2000, k, 7);
    const double full100k = perSecondOnAllCores(small, 1.0, [&](int i) {
        return static_cast<std::uint64_t>(big.score(small.at(i), k, small.constants[i]).hits);
    });

    // 1,000 general formulas verified over 100,000 draws.
    double general = 0;
    {
        std::vector<Program> programs;
        for (const auto& f : generalFormulas(1000, 3)) programs.push_back(*parseFormula(f).program);
        std::vector<FormulaJob> jobs;
        for (const auto& p : programs) jobs.push_back({&p, true});
        CountRule verify{0, true, true, false};
        const FormulaEngine engine(h100k);
        const auto start = Clock::now();
        const auto scores = engine.score(jobs, position, verify);
        general = secondsSince(start);
        if (scores.size() != jobs.size()) return 1;
    }

    // The formula list: verification of 10,000 formulas over 10,000 draws
    // with the scores stored, and the text import of 100,000 lines.
    double verify10k = 0, verify10kChance = 0, verify10kAll = 0, import100k = 0;
    {
        const ScratchFolder scratch("list");
        {
            Database db = scratch.open();
            test::storeHistory(db, test::randomHistory(10000, 4));
            const History h = HistoryTable(db).load();
            storeFormulas(db, position, 10000, 21);
            const CountRule rule{300, true, true, false};
            verifyListSeconds(db, h, position, rule);  // warm the file cache
            // Alternate plain and with-chance runs, best of three each, so
            // the ratio is not one run's noise.
            verify10k = verify10kChance = 1e9;
            for (int run = 0; run < 3; ++run) {
                verify10k = std::min(verify10k, verifyListSeconds(db, h, position, rule));
                verify10kChance =
                    std::min(verify10kChance, verifyListSeconds(db, h, position, rule, true));
            }
            // Every draw counted: each formula runs over the whole history.
            verify10kAll = verifyListSeconds(db, h, position, CountRule{0, true, true, false});

            CandidateGenerator gen(5);
            GeneratorSettings g;
            g.operands = 6;
            std::string text;
            for (int i = 0; i < 100000; ++i) {
                g.position = 1 + i % 10;
                g.kill = i % 3 != 0;
                text += TextCodec::utf8ToGbk(gen.next(g).chinese) + "\r\n";
            }
            const std::string file = (scratch.dir / "formulas.txt").string();
            std::FILE* f = std::fopen(file.c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
            const auto start = Clock::now();
            const auto r = FormulaCommands(db).importFile(file, scratch.dir.string(), 1, true);
            import100k = secondsSince(start);
            if (!r.ok || r.appended != 100000) {
                std::fprintf(stderr, "import failed: %s\n", r.message.c_str());
                return 1;
            }
        }
    }

    // The next-draw calculation at position 10 with 10,000 formulas a
    // position: the selected method over 100,000 draws, the best method
    // (scoring every formula now) over 10,000.
    double calcSelected = 0, calcBest = 0;
    for (const bool best : {false, true}) {
        const ScratchFolder scratch("calc");
        {
            Database db = scratch.open();
            test::storeHistory(db, best ? test::randomHistory(10000, 6) : h100k);
            for (int p = 1; p <= 10; ++p) storeFormulas(db, p, 10000, 300 + p);
            const History h = HistoryTable(db).load();
            CalcRequest request;
            request.currentPosition = 10;
            request.best = best;
            request.rule = CountRule{300, true, true, false};
            request.sort.keepLimit = 3;
            calculate(db, h, request);  // warm the file cache
            const auto start = Clock::now();
            const CalcResult r = calculate(db, h, request);
            (best ? calcBest : calcSelected) = secondsSince(start);
            if (!r.ok) return 1;
        }
    }

    const CheckFigures checks = checkFigures();
    const double backtest1000 = checks.backtest, report1000 = checks.report;

    // The replay of a list over every draw with the query grid's rows, and
    // the history workbook.
    auto replaySeconds = [&](const History& h, int count) {
        std::vector<ListedFormula> list(count);
        const Batch sums = candidates(count, 4, 77);
        const auto general = generalFormulas(count, 78);
        for (int i = 0; i < count; ++i) {
            list[i].row.id = i + 1;
            list[i].row.kill = true;
            list[i].program =
                parseFormula(i % 2 ? general[i]
                                   : candidateCode(asVector(sums, i), sums.constants[i]))
                    .program;
        }
        const auto start = Clock::now();
        const Replay replay = replayFormulas(h, list, {});
        const auto rows = queryRows(replay, 1);
        const auto range = errorRange(replay);
        const double s = secondsSince(start);
        return rows.size() + 1 == replay.draws.size() && range.first <= range.second ? s : -1.0;
    };
    const double replay500 = replaySeconds(h3000, 500);
    const double replay1000 = replaySeconds(h100k, 1000);
    double exportHistory = 0;
    {
        const fs::path file =
            fs::temp_directory_path() / ("varnet-bench-" + std::to_string(::getpid()) + ".xlsx");
        const auto start = Clock::now();
        const bool ok = exportHistoryWorkbook(file.string(), h100k, nullptr, {}).ok;
        exportHistory = ok ? secondsSince(start) : -1.0;
        fs::remove(file);
    }

    // One Chinese formula line of 250,000 terms (about 3 MB) to its code form.
    double translate250k = 0;
    {
        std::string chinese, code;
        for (int i = 0; i < 250000; ++i) {
            chinese += ParameterNames::chinese(1 + i % kParamCount) + "+";
            code += ParameterNames::code(1 + i % kParamCount) + "+";
        }
        const auto start = Clock::now();
        const bool same = translateChinese(chinese + "7") == code + "7";
        translate250k = same ? secondsSince(start) : -1.0;
    }

    // A scheme of 80 kill formulas a position over 3,000 draws with the
    // fresh installation's thresholds, saved by appending.
    double schemeSeconds = 0, schemePerSecond = 0;
    {
        const ScratchFolder scratch("scheme");
        {
            Database db = scratch.open();
            test::storeHistory(db, h3000);
            SchemeRequest request;
            request.seed = 11;
            request.rule = CountRule{300, true, true, true};
            for (auto& p : request.positions) {
                p.planned = 80;
                p.thresholds = defaultThresholds(true);
            }
            const auto start = Clock::now();
            const SchemeReport report = runScheme(h3000, request);
            const bool saved = saveBatch(db, report.batch, false).ok;
            schemeSeconds = secondsSince(start);
            long long evaluated = 0;
            for (const auto& p : report.positions) evaluated += p.evaluated;
            schemePerSecond = saved && report.batch.size() == 800 ? evaluated / schemeSeconds : -1;
        }
    }

    std::printf("cores: %u\n", std::thread::hardware_concurrency());
    std::printf("spec_way_candidates_per_s: %.1f\n", specWay);
    std::printf("reference_candidates_per_s: %.0f\n", reference);
    std::printf("fast_candidates_per_s: %.0f\n", full);
    std::printf("fast_search_candidates_per_s: %.0f\n", searchPath);
    std::printf("floor_candidates_per_s: %.0f\n", floorRate);
    std::printf("fast_candidates_per_s_h100000: %.0f\n", full100k);
    std::printf("verify_general_1000_h100000_s: %.3f\n", general);
    std::printf("verify_position_10000_h10000_s: %.3f\n", verify10k);
    std::printf("verify_position_10000_h10000_with_chance_s: %.3f\n", verify10kChance);
    std::printf("chance_over_verify: %.3f\n", verify10kChance / verify10k);
    std::printf("verify_position_10000_h10000_all_draws_s: %.3f\n", verify10kAll);
    std::printf("import_formulas_100000_s: %.3f\n", import100k);
    std::printf("calc_selected_10x10000_h100000_s: %.3f\n", calcSelected);
    std::printf("calc_best_10x10000_h10000_s: %.3f\n", calcBest);
    std::printf("backtest_1000x10x1000_s: %.3f\n", backtest1000);
    std::printf("report_10x1000_h100000_s: %.3f\n", report1000);
    std::printf("scheme_10x80_h3000_s: %.3f\n", schemeSeconds);
    std::printf("scheme_10x80_h3000_candidates_per_s: %.0f\n", schemePerSecond);
    std::printf("scheme_over_fast_search: %.3f\n", schemePerSecond / searchPath);
    std::printf("replay_500_h3000_s: %.3f\n", replay500);
    std::printf("replay_1000_h100000_s: %.3f\n", replay1000);
    std::printf("export_history_h100000_s: %.3f\n", exportHistory);
    std::printf("translate_250000_terms_s: %.3f\n", translate250k);
    printMillion();
    std::printf("trend_h1000000_s: %.3f\n", trendSeconds());
    std::printf("fast_over_spec_way: %.0f\n", full / specWay);
    std::printf("fast_over_reference: %.1f\n", full / reference);
    std::printf("fast_over_floor: %.3f\n", full / floorRate);
    std::printf("fast_search_over_floor: %.3f\n", searchPath / floorRate);
    return 0;
}
