#include "formula/FormulaCommands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "base/TextCodec.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/Transaction.h"
#include "engine/Expression.h"
#include "formula/FormulaLine.h"
#include "formula/Translate.h"

namespace varnet {

namespace fs = std::filesystem;

namespace {

struct Cancelled {};

// A file written in full beside its place first and moved there only when
// told, so a command that fails later leaves the old file; otherwise the
// staged copy goes away.
class StagedFile {
  public:
    explicit StagedFile(std::string path) : path_(std::move(path)), staged_(path_ + ".new") {}
    ~StagedFile() {
        std::error_code ec;
        if (!placed_) fs::remove(fs::u8path(staged_), ec);
    }
    bool write(const std::string& bytes) {
        std::ofstream out(fs::u8path(staged_), std::ios::binary | std::ios::trunc);
        out << bytes;
        out.close();
        return static_cast<bool>(out);
    }
    bool place() {
        std::error_code ec;
        fs::rename(fs::u8path(staged_), fs::u8path(path_), ec);
        placed_ = !ec;
        return placed_;
    }

  private:
    std::string path_, staged_;
    bool placed_ = false;
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t len = end - start;
        if (len > 0 && text[start + len - 1] == '\r') --len;
        lines.emplace_back(text, start, len);
        start = end + 1;
    }
    return lines;
}

// The rows a table will hold, with its duplicates dropped each time a run of
// the import starts on it. Rows already checked are unique, so only those
// added since the last check are looked at: a file that switches tables on
// every line costs no more than one that does not.
struct PendingTable {
    std::vector<FormulaRow> rows;
    std::unordered_map<std::string, std::size_t> seen;  // key: index of the kept row
    std::size_t checked = 0;

    static std::string key(const FormulaRow& r) {
        std::string k(1, r.kill ? '1' : '0');
        k += r.code;
        k += '\x01';
        k += r.chinese;
        return k;
    }

    void dropDuplicates() {
        std::size_t out = checked;
        for (std::size_t i = checked; i < rows.size(); ++i) {
            const auto [at, first] = seen.try_emplace(key(rows[i]), out);
            if (!first) {
                FormulaTable::keepEarliest(rows[at->second], rows[i]);
                continue;
            }
            if (out != i) rows[out] = std::move(rows[i]);
            ++out;
        }
        rows.resize(out);
        checked = rows.size();
    }
};

// Only code names, numbers, operators, parentheses, spaces and MOD: nothing
// that a Chinese-form line needs.
bool isCodeFormText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

FormulaTextPlan planFormulaText(const std::string& text, int currentPosition, bool currentKill,
                                const std::function<bool(long long, long long)>& progress) {
    FormulaTextPlan plan;
    plan.kill = currentKill;
    const auto lines = splitLines(text);
    int target = currentPosition;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (progress && i % 4096 == 0 &&
            !progress(static_cast<long long>(i), static_cast<long long>(lines.size())))
            throw Cancelled{};
        const auto parts = takeApartFormulaLine(lines[i], BracketRule::Import);
        if (!parts) continue;  // nothing stands where the expression should
        if (parts->kill) plan.kill = *parts->kill;
        const std::string code = trimSpaces(translateChinese(parts->expression));
        if (code.empty()) continue;
        if (!passesCharacterTest(code)) {
            plan.unrecognised.push_back(code);
            continue;
        }
        if (parts->position != 0) target = parts->position;
        // A table is prepared afresh whenever writing moves to it; the table
        // current before the import is written as it stands.
        const int previous = plan.runs.empty() ? currentPosition : plan.runs.back().position;
        if (plan.runs.empty() || target != previous) {
            FormulaTextPlan::Run run;
            run.position = target;
            run.rebuild = target != previous;
            plan.runs.push_back(std::move(run));
        }
        plan.runs.back().lines.push_back({target, plan.kill, code, parts->chinese});
    }
    return plan;
}

FormulaCommands::EntryResult FormulaCommands::add(const std::string& text, int currentPosition,
                                                  bool currentKill) {
    EntryResult r;
    r.kill = currentKill;
    r.position = currentPosition;
    const std::string chinese = trimSpaces(text);
    if (chinese.find_first_not_of(" \t\r\n") == std::string::npos) {
        r.title = kEmptyEntryTitle;
        r.message = kEmptyEntryText;
        return r;
    }
    std::string code, stored = chinese;
    if (isCodeFormText(chinese)) {
        // Typed in code form: that formula, of the current position and kind.
        const ParseResult parsed = parseFormula(chinese);
        if (!parsed.program) {
            r.title = kUnrecognisedTitle;
            r.message = "公式“" + chinese + "”无法识别：" + parsed.error + "。公式没有添加。";
            return r;
        }
        code = chinese;
        stored = chineseOfCode(code) + "=下期" + (currentKill ? "杀" : "生") +
                 ParameterNames::positionName(currentPosition);
    } else {
        const auto parts = takeApartFormulaLine(chinese, BracketRule::Entry);
        code = parts ? trimSpaces(translateChinese(parts->expression)) : "";
        if (!parts || code.empty()) {
            r.title = kUnrecognisedTitle;
            r.message = kEntryUnrecognisedText;
            return r;
        }
        // Refused in the user's own words, not in the code names they became.
        if (const auto unknown = unknownWords(parts->expression); !unknown.empty()) {
            std::vector<std::string> quoted;
            for (const auto& word : unknown)
                if (std::find(quoted.begin(), quoted.end(), word) == quoted.end())
                    quoted.push_back(word);
            std::string list;
            for (const auto& word : quoted) list += (list.empty() ? "“" : "、“") + word + "”";
            r.title = kUnrecognisedTitle;
            r.message = "公式中的" + list + "不是参数名，公式没有添加。";
            return r;
        }
        if (!parseFormula(code).program) {
            r.title = kUnrecognisedTitle;
            r.message = "公式“" + parts->expression +
                        "”不是完整的算式（参数名、数字、+ - * /、MOD 和括号），公式没有添加。";
            return r;
        }
        r.kill = parts->kill.value_or(currentKill);
        if (parts->position != 0) r.position = parts->position;
    }
    try {
        r.idx = FormulaTable(db_, r.position).append(r.kill, code, stored);
    } catch (const DbError& e) {
        r.title = kEmptyEntryTitle;
        r.message = std::string("无法保存公式，公式表没有改变：") + e.what();
        return r;
    }
    r.ok = true;
    return r;
}

FormulaCommands::ImportResult FormulaCommands::importFile(
    const std::string& path, const std::string& dataFolder, int currentPosition, bool currentKill,
    const std::function<bool(long long, long long)>& progress) {
    ImportResult r;
    r.kill = currentKill;
    std::string bytes;
    {
        std::ifstream in(fs::u8path(path), std::ios::binary);
        if (!in) {
            r.message = "无法打开公式文本文件 " + path + "，公式没有改变。";
            return r;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        if (in.bad()) {
            r.message = "读取公式文本文件 " + path + " 失败，公式没有改变。";
            return r;
        }
    }
    FormulaTextPlan plan;
    try {
        plan =
            planFormulaText(TextCodec::decodeFile(bytes), currentPosition, currentKill, progress);
    } catch (const Cancelled&) {
        r.cancelled = true;
        r.message = "已取消读取公式文本，公式没有改变。";
        return r;
    }

    // The list of unrecognised lines is written anew, even when empty; it
    // takes the old one's place only once the formulas are stored.
    r.unrecognisedPath = joinPath(dataFolder, kUnrecognisedFile);
    std::string report;
    for (const auto& line : plan.unrecognised) report += TextCodec::utf8ToGbk(line) + "\r\n";
    StagedFile list(r.unrecognisedPath);
    if (!list.write(report)) {
        r.message = "无法写入文件 " + r.unrecognisedPath + "，公式没有改变。";
        return r;
    }

    try {
        Transaction tx(db_);
        // Tables that a run rebuilds are rewritten whole; the others only
        // get their new rows appended.
        std::map<int, PendingTable> rewritten;
        std::map<int, std::vector<FormulaRow>> appended;
        for (const auto& run : plan.runs) {
            if (std::find(r.positions.begin(), r.positions.end(), run.position) ==
                r.positions.end())
                r.positions.push_back(run.position);
            std::vector<FormulaRow>* rows;
            auto it = rewritten.find(run.position);
            if (run.rebuild) {
                if (it == rewritten.end()) {
                    PendingTable table;
                    table.rows = FormulaTable(db_, run.position).rows();
                    std::stable_sort(
                        table.rows.begin(), table.rows.end(),
                        [](const FormulaRow& a, const FormulaRow& b) { return a.id < b.id; });
                    auto& extra = appended[run.position];
                    table.rows.insert(table.rows.end(), extra.begin(), extra.end());
                    appended.erase(run.position);
                    it = rewritten.emplace(run.position, std::move(table)).first;
                }
                it->second.dropDuplicates();
                rows = &it->second.rows;
            } else {
                rows = it != rewritten.end() ? &it->second.rows : &appended[run.position];
            }
            for (const auto& line : run.lines) {
                FormulaRow row;
                row.kill = line.kill;
                row.code = line.code;
                row.chinese = line.chinese;
                rows->push_back(std::move(row));
                ++r.appended;
            }
        }
        for (const auto& [position, table] : rewritten)
            FormulaTable(db_, position).replaceAll(table.rows);
        for (const auto& [position, rows] : appended) FormulaTable(db_, position).appendRows(rows);
        if (progress && !progress(1, 1)) {
            r.cancelled = true;
            r.message = "已取消读取公式文本，公式没有改变。";
            r.appended = 0;
            return r;  // the transaction rolls back
        }
        tx.commit();
    } catch (const DbError& e) {
        r.appended = 0;
        r.message = std::string("读取公式文本失败，公式没有改变：") + e.what();
        return r;
    }
    r.unrecognised = static_cast<int>(plan.unrecognised.size());
    if (!list.place()) {
        // The formulas are stored; only the list of what was left out is missing.
        r.message = "公式已读入，但无法写入文件 " + r.unrecognisedPath + "。";
        r.unrecognised = 0;
    }
    r.kill = plan.kill;
    r.ok = true;
    return r;
}

FormulaCommands::Result FormulaCommands::deleteFormulas(int position,
                                                        const std::vector<int>& idxs) {
    Result r;
    try {
        r.rows = FormulaTable(db_, position).deleteByIdx(idxs);
    } catch (const DbError& e) {
        r.message = std::string("删除失败，公式没有改变：") + e.what();
        return r;
    }
    r.ok = true;
    return r;
}

FormulaCommands::Result FormulaCommands::clearAll() {
    Result r;
    try {
        FormulaTable::clearAll(db_);
    } catch (const DbError& e) {
        r.message = std::string("清空失败，公式没有改变：") + e.what();
        return r;
    }
    r.ok = true;
    return r;
}

FormulaCommands::Result FormulaCommands::replaceAllWith(const FormulaTextPlan& plan) {
    Result r;
    std::map<int, std::vector<FormulaRow>> tables;
    for (int p = 1; p <= 10; ++p) tables[p];
    for (const auto& run : plan.runs)
        for (const auto& line : run.lines) {
            FormulaRow row;
            row.kill = line.kill;
            row.code = line.code;
            row.chinese = line.chinese;
            tables[line.position].push_back(std::move(row));
            ++r.rows;
        }
    try {
        Transaction tx(db_);
        for (const auto& [position, rows] : tables) FormulaTable(db_, position).replaceAll(rows);
        tx.commit();
    } catch (const DbError& e) {
        r.rows = 0;
        r.message = std::string("保存公式失败，公式没有改变：") + e.what();
        return r;
    }
    compactIfSparse(db_);
    r.ok = true;
    return r;
}

}  // namespace varnet
