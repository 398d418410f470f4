#include "cli/Cli.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/BuildInfo.h"
#include "app/DataFolder.h"
#include "base/NumericText.h"
#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "base/TextCodec.h"
#include "cli/CalcCli.h"
#include "cli/CliArgs.h"
#include "cli/ExportCli.h"
#include "cli/FormulaCli.h"
#include "cli/ReportCli.h"
#include "cli/SearchCli.h"
#include "cli/TrendCli.h"
#include "cli/UpdateCli.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/Generator.h"
#include "engine/Thresholds.h"
#include "formula/FormulaLine.h"
#include "formula/Translate.h"
#include "history/HistoryCommands.h"
#include "history/HistoryText.h"
#include "search/SearchRun.h"

namespace varnet {

namespace {

namespace fs = std::filesystem;

constexpr int kUsage = 2;
constexpr int kFailed = 1;

const char* const kUsageText =
    "usage: varnet-cli [--data-dir DIR] COMMAND ...\n"
    "       varnet-cli --version\n"
    "  history import FILE\n"
    "  history export [FILE]\n"
    "  history list [--last N]\n"
    "  history add ISSUE N1 N2 ... N10 [--date YYYY-MM-DD]\n"
    "  history delete --last N | --down-to ISSUE | --all\n"
    "  history generate --draws N [--first-issue I] [--seed S] [--out FILE]\n"
    "  history update [--site URL] [--days N] [--today YYYY-MM-DD] [--replace-old]\n"
    "  params ISSUE\n"
    "  formula translate TEXT\n"
    "  formula add [--kind kill|keep] [--position P] TEXT\n"
    "  formula import [--kind kill|keep] [--position P] FILE\n"
    "  formula verify --position P --kind kill|keep [--count R] [--exclude-current yes|no]\n"
    "                 [--weighting yes|no] [--form chinese|code]\n"
    "  formula delete --position P --idx I[,I...]\n"
    "  formula clear\n"
    "  formula update [--url URL]\n"
    "  formula score --position P --kind kill|keep [--count R] [--exclude-current yes|no]\n"
    "                [--weighting yes|no] FORMULA...\n"
    "  calc --position P --kind kill|keep [--method selected|best] [--issue T]\n"
    "       [--sort KEY[:asc|desc],KEY[:asc|desc],KEY[:asc|desc]] [--keep N] [--count R]\n"
    "       [--exclude-current yes|no] [--weighting yes|no] [--backtest M [--draws clean|all]]\n"
    "  steps --position P --kind kill|keep --idx I\n"
    "  replay --position P --kind kill|keep [--compare-position C]\n"
    "  trend --param CODE|--position P [--last N]\n"
    "  report [--kind kill|keep] [--method selected|best] [--backtest M] [FILE]\n"
    "  export formulas --position P --kind kill|keep [FILE]\n"
    "  export formulas --all [FILE]\n"
    "  export history [--formulas-of P --kind kill|keep] [FILE]\n"
    "  search --position P --kind kill|keep [--operands K] --constant C|random --candidates N\n"
    "         [--seed S] [--count N] [--weighting yes|no] [--shape prefix|suffix]\n"
    "         [--thresholds L0,U0,L1,U1,L2,U2,L3,U3,L4,U4] [--print-all]\n"
    "         [--limit N] [--save append|replace] [--holdout M]\n"
    "  search scheme --kind kill|keep --plan N1,...,N10 [--mode add|hold]\n"
    "         [--save append|replace|none] [--seed S] [--max-candidates M]\n"
    "  search tune --position P --kind kill|keep --samples N [--seed S] [--save]\n"
    "         [--print-samples]\n";

std::string executableDir() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

// Date of today in local time.
void today(int& day, int& month, int& year) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    day = tm.tm_mday;
    month = tm.tm_mon + 1;
    year = tm.tm_year + 1900;
}

bool parseDate(const std::string& text, int& day, int& month, int& year) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d%c", &y, &m, &d, &tail) != 3) return false;
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
    day = d;
    month = m;
    year = y;
    return true;
}

class Session {
  public:
    Session(std::string dataDir, std::ostream& out, std::ostream& err)
        : dataDir_(std::move(dataDir)), out_(out), err_(err) {}

    const std::string& dataDir() const { return dataDir_; }

    Database& db() {
        if (!db_.isOpen()) {
            BusyWait wait;
            wait.seconds = AppSettings().waitSeconds();
            Database::setDefaultBusyWait(wait);
            const int seconds = Database::defaultWaitSeconds();
            wait.waiting = [this, seconds] {
                err_ << "varnet-cli: 数据文件正被另一个程序使用，等待中…（最多等 " << seconds
                     << " 秒）" << std::endl;
            };
            Database::setDefaultBusyWait(wait);
            DataFolder::Opened opened;
            try {
                opened = DataFolder::open(dataDir_);
            } catch (...) {
                Database::setDefaultBusyWait({});
                throw;
            }
            Database::setDefaultBusyWait({});
            if (opened.readOnly) err_ << "varnet-cli: " << opened.note << '\n';
            db_ = std::move(opened.db);
        }
        return db_;
    }

    int history(const std::vector<std::string>& raw) {
        if (raw.empty()) throw UsageError{"history needs a subcommand"};
        const std::string sub = raw[0];
        const std::vector<std::string> rest(raw.begin() + 1, raw.end());
        if (sub == "import") return import(splitArgs(rest, {}));
        if (sub == "export") return exportHistory(splitArgs(rest, {}));
        if (sub == "list") return list(splitArgs(rest, {}));
        if (sub == "add") return add(splitArgs(rest, {}));
        if (sub == "delete") return remove(splitArgs(rest, {"--all"}));
        if (sub == "generate") return generate(splitArgs(rest, {}));
        throw UsageError{"unknown history subcommand '" + sub + "'"};
    }

    int params(const Args& a) {
        onlyOptions(a, {});
        if (a.words.size() != 1) throw UsageError{"params needs one ISSUE"};
        const auto issue = integerArg(a.words[0], "ISSUE", 1, INT32_MAX);
        // One row read: the whole history is not needed for one draw.
        const auto params = HistoryTable(db()).paramsOf(static_cast<std::int32_t>(issue));
        if (!params) {
            err_ << "varnet-cli: issue " << issue << " is not stored\n";
            return kFailed;
        }
        for (int k = 1; k <= kParamCount; ++k)
            out_ << ParameterNames::code(k) << '\t' << ParameterNames::chinese(k) << '\t'
                 << (*params)[k - 1] << '\n';
        return 0;
    }

    int formula(const std::vector<std::string>& raw) {
        return formulaCommand(
            raw, [this]() -> Database& { return db(); }, dataDir_, out_, err_);
    }

  private:
    int import(const Args& a) {
        onlyOptions(a, {});
        if (a.words.size() != 1) throw UsageError{"history import needs one FILE"};
        const auto r = HistoryCommands(db()).importFile(a.words[0], HistoryText::Carry{});
        // Here every line not taken is named, however many.
        const std::string report =
            r.ok || r.refused ? HistoryCommands::importReport(r, a.words[0], SIZE_MAX) : r.message;
        if (!r.ok) {
            err_ << "varnet-cli: " << report << '\n';
            return kFailed;
        }
        if (!report.empty()) err_ << "varnet-cli: " << report << '\n';
        out_ << "imported " << r.rows << " draws\n";
        return 0;
    }

    int exportHistory(const Args& a) {
        onlyOptions(a, {});
        if (a.words.size() > 1) throw UsageError{"history export takes at most one FILE"};
        const History h = HistoryTable(db()).load();
        std::string path;
        if (!a.words.empty()) {
            path = a.words[0];
        } else {
            const std::string issue = h.empty() ? "2007001" : std::to_string(h.issue(h.size() - 1));
            path = joinPath(joinPath(dataDir_, HistoryText::kFolder),
                            HistoryText::exportFileName(issue));
        }
        const auto r = HistoryCommands::exportFile(h, path);
        if (!r.ok) {
            err_ << "varnet-cli: " << r.message << '\n';
            return kFailed;
        }
        out_ << path << '\n';
        return 0;
    }

    int list(const Args& a) {
        onlyOptions(a, {"--last"});
        if (!a.words.empty()) throw UsageError{"history list takes no words"};
        const History h = HistoryTable(db()).load();
        int from = 0;
        if (auto last = a.option("--last"))
            from =
                std::max(0, h.size() - static_cast<int>(integerArg(*last, "--last", 0, INT32_MAX)));
        for (int r = from; r < h.size(); ++r) out_ << HistoryText::formatLine(h.draw(r)) << '\n';
        return 0;
    }

    int add(const Args& a) {
        onlyOptions(a, {"--date"});
        if (a.words.size() != 11) throw UsageError{"history add needs ISSUE and ten numbers"};
        Draw d;
        d.issue = static_cast<std::int32_t>(integerArg(a.words[0], "ISSUE", 1, INT32_MAX));
        for (int i = 0; i < kPositions; ++i)
            d.numbers[i] = static_cast<int>(integerArg(a.words[i + 1], "a number", 0, 10));
        for (int& x : d.numbers) x = x == 0 ? 10 : x;  // 0 stands for 10, as in the entry boxes
        if (auto date = a.option("--date")) {
            if (!parseDate(*date, d.day, d.month, d.year))
                throw UsageError{"--date must be a date YYYY-MM-DD, not '" + *date + "'"};
        } else {
            today(d.day, d.month, d.year);
        }
        const auto r = HistoryCommands(db()).addDraw(d);
        if (!r.ok) {
            err_ << "varnet-cli: " << r.message << '\n';
            return kFailed;
        }
        out_ << HistoryText::formatLine(d) << '\n';
        return 0;
    }

    int remove(const Args& a) {
        onlyOptions(a, {"--last", "--down-to", "--all"});
        if (!a.words.empty() || a.options.size() != 1)
            throw UsageError{
                "history delete needs exactly one of --last N, --down-to ISSUE, --all"};
        HistoryCommands commands(db());
        HistoryCommands::Result r;
        if (auto n = a.option("--last"))
            r = commands.deleteLastN(static_cast<int>(integerArg(*n, "--last", 1, INT32_MAX)));
        else if (auto t = a.option("--down-to"))
            r = commands.deleteDownTo(
                static_cast<std::int32_t>(integerArg(*t, "--down-to", INT32_MIN, INT32_MAX)));
        else
            r = commands.deleteAll();
        if (!r.ok) {
            err_ << "varnet-cli: " << r.message << '\n';
            return kFailed;
        }
        out_ << "deleted " << r.rows << " draws\n";
        return 0;
    }

    int generate(const Args& a) {
        onlyOptions(a, {"--draws", "--first-issue", "--seed", "--out"});
        if (!a.words.empty()) throw UsageError{"history generate takes only options"};
        auto draws = a.option("--draws");
        if (!draws) throw UsageError{"history generate needs --draws N"};
        const auto n = integerArg(*draws, "--draws", 1, HistoryText::kMaxIssue);
        const auto first = integerArg(a.option("--first-issue").value_or("1000001"),
                                      "--first-issue", 1, HistoryText::kMaxIssue);
        if (first + n - 1 > HistoryText::kMaxIssue)
            throw UsageError{"--first-issue + --draws - 1 must not pass " +
                             std::to_string(HistoryText::kMaxIssue)};
        std::uint64_t seed = std::random_device{}();
        if (auto s = a.option("--seed"))
            seed = static_cast<std::uint64_t>(integerArg(*s, "--seed", 0, INT64_MAX));
        std::mt19937_64 rng(seed);

        std::string text;
        text.reserve(static_cast<std::size_t>(n) * 51);
        // About 179 draws a day, from 2016-01-01 on.
        std::tm date{};
        date.tm_year = 116;
        date.tm_mon = 0;
        date.tm_mday = 1;
        date.tm_hour = 12;
        Draw d;
        for (std::int64_t i = 0; i < n; ++i) {
            if (i > 0 && i % 179 == 0) {
                ++date.tm_mday;
                std::mktime(&date);
            }
            d.issue = static_cast<std::int32_t>(first + i);
            for (int p = 0; p < kPositions; ++p) d.numbers[p] = p + 1;
            std::shuffle(d.numbers.begin(), d.numbers.end(), rng);
            d.day = date.tm_mday;
            d.month = date.tm_mon + 1;
            d.year = date.tm_year + 1900;
            text += HistoryText::formatLine(d);
            text += "\r\n";
        }
        if (auto out = a.option("--out")) {
            // Written beside and renamed over: a full disk keeps the old file.
            if (!writeReplacing(*out, text)) {
                err_ << "varnet-cli: cannot write " << *out << '\n';
                return kFailed;
            }
            out_ << *out << '\n';
        } else {
            out_ << text;
        }
        return 0;
    }

    std::string dataDir_;
    std::ostream& out_;
    std::ostream& err_;
    Database db_;
};

}  // namespace

int runCli(int argc, char** argv) { return runCli(argc, argv, std::cout, std::cerr); }

int runCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string dataDir;
    if (args.size() >= 2 && args[0] == "--data-dir") {
        dataDir = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "varnet-cli " << build::kVersion << '\n';
        return 0;
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << kUsageText;
        return args.empty() ? kUsage : 0;
    }
    try {
        Session session(DataFolder::resolve(dataDir, executableDir()), out, err);
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (isUpdateCommand(args))
            return updateCommand(
                args, [&]() -> Database& { return session.db(); }, session.dataDir(), out, err);
        if (args[0] == "history") return session.history(rest);
        if (args[0] == "params") return session.params(splitArgs(rest, {}));
        if (args[0] == "formula") return session.formula(rest);
        if (args[0] == "calc") return calcCommand(splitArgs(rest, {}), session.db(), out, err);
        if (args[0] == "replay") return replayCommand(splitArgs(rest, {}), session.db(), out, err);
        if (args[0] == "export") {
            if (rest.empty()) throw UsageError{"export needs formulas or history"};
            return exportCommand(rest[0], splitArgs({rest.begin() + 1, rest.end()}, {"--all"}),
                                 session.db(), session.dataDir(), out, err);
        }
        if (args[0] == "steps") return stepsCommand(splitArgs(rest, {}), session.db(), out, err);
        if (args[0] == "search") return searchCommand(rest, session.db(), out, err);
        if (args[0] == "trend") return trendCommand(splitArgs(rest, {}), session.db(), out, err);
        if (args[0] == "report")
            return reportCommand(splitArgs(rest, {}), session.db(), session.dataDir(), out, err);
        throw UsageError{"unknown command '" + args[0] + "'"};
    } catch (const UsageError& e) {
        err << "varnet-cli: " << e.message << '\n' << kUsageText;
        return kUsage;
    } catch (const DbError& e) {
        err << "varnet-cli: " << e.what() << '\n';
        return kFailed;
    } catch (const std::exception& e) {
        err << "varnet-cli: " << e.what() << '\n';
        return kFailed;
    }
}

}  // namespace varnet
