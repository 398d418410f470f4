#include "history/HistoryCommands.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/TextCodec.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Transaction.h"

namespace varnet {

namespace fs = std::filesystem;

namespace {

HistoryCommands::Result failure(std::string message) {
    HistoryCommands::Result r;
    r.message = std::move(message);
    return r;
}

HistoryCommands::Result success(int rows) {
    HistoryCommands::Result r;
    r.ok = true;
    r.rows = rows;
    return r;
}

// Line numbers named a kind in the window's message.
constexpr std::size_t kNamedInMessage = 10;

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    bytes = ss.str();
    return true;
}

}  // namespace

HistoryCommands::Result HistoryCommands::addDraw(const Draw& draw, ParamValues* stored) {
    if (draw.issue < 1 || draw.issue > HistoryText::kMaxIssue)
        return failure("期号必须是1到" + std::to_string(HistoryText::kMaxIssue) +
                       "之间的整数，这一期没有保存。");
    if (!isValidNumbers(draw.numbers))
        return failure("十个号码必须是1到10，每个号码各一次。这一期的号码有误，没有保存。");
    ParamValues params{};
    try {
        Transaction tx(db_);
        HistoryTable table(db_);
        if (table.containsIssue(draw.issue))
            return failure("期号 " + std::to_string(draw.issue) + " 已经存在，这一期没有保存。");
        params = computeParameters(draw, table.lastNumbers());
        table.append(draw.issue, params);
        tx.commit();
    } catch (const DbError& e) {
        return failure(std::string("保存失败：") + e.what());
    }
    if (stored) *stored = params;
    return success(1);
}

HistoryCommands::ImportResult HistoryCommands::importFile(const std::string& path,
                                                          const HistoryText::Carry& carry,
                                                          const ProgressCallback& progress) {
    ImportResult result;
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        result.message = "无法读取文件 " + path + "，历史号码没有改变。";
        return result;
    }
    result.carry = carry;
    result.lines = HistoryText::read(TextCodec::decodeFile(bytes), result.carry);
    const bool enough = result.lines.enough();
    std::vector<HistoryText::Line> lines = std::move(result.lines.draws);
    result.lines.draws.clear();
    if (!enough) {
        result.refused = true;
        result.message = importReport(result, path, kNamedInMessage);
        return result;
    }

    std::vector<Draw> draws;
    draws.reserve(lines.size());
    for (const auto& line : lines) {
        draws.push_back(line.draw);
    }
    lines.clear();
    lines.shrink_to_fit();  // the parsed lines are not needed while writing

    const long long total = static_cast<long long>(draws.size());
    try {
        Transaction tx(db_);
        HistoryTable table(db_);
        table.replaceDraws(draws, [&](int done) { return !progress || progress(done, total); });
        if (progress && !progress(total, total)) throw DbError("cancelled");
        tx.commit();
    } catch (const DbError& e) {
        if (std::string(e.what()) == "cancelled") {
            result.cancelled = true;
            result.message = "读入已取消，历史号码没有改变。";
        } else {
            result.message = std::string("读入失败，历史号码没有改变：") + e.what();
        }
        return result;
    }
    result.ok = true;
    result.rows = static_cast<int>(draws.size());
    result.message = importReport(result, path, kNamedInMessage);
    return result;
}

namespace {

// "N 行…（第 a、b 行）", at most `named` line numbers, then "等".
std::string linesPart(const std::vector<int>& lines, const std::string& what, std::size_t named) {
    std::string list;
    for (std::size_t i = 0; i < lines.size() && i < named; ++i)
        list += (i ? "、" : "") + std::to_string(lines[i]);
    if (lines.size() > named) list += " 等";
    return std::to_string(lines.size()) + " 行" + what + "（第 " + list + " 行）";
}

}  // namespace

std::string HistoryCommands::importReport(const ImportResult& result, const std::string& path,
                                          std::size_t named) {
    const auto& r = result.lines;
    std::string skipped;
    const std::pair<const std::vector<int>*, const char*> kinds[] = {
        {&r.textLines, "没有七位期号，不是历史号码"},
        {&r.badNumberLines, "的号码不是1到10各一次"},
        {&r.repeatedLines, "的期号在前面的行中已经有了，只读入了第一次出现的一行"},
    };
    for (const auto& [lines, what] : kinds)
        if (!lines->empty())
            skipped += (skipped.empty() ? "" : "；") + linesPart(*lines, what, named);

    std::string text;
    if (result.refused) {
        if (r.nonEmptyLines == 0)
            return "文件 " + path + " 中没有可以读入的历史号码，历史号码没有改变。";
        text = "文件 " + path + " 的 " + std::to_string(r.nonEmptyLines) + " 行中只有 " +
               std::to_string(r.nonEmptyLines - r.skipped()) +
               " 行可以读入，不到一半，整个文件没有读入，历史号码没有改变。";
        if (!skipped.empty()) text += "没有读入的：" + skipped + "。";
        return text;
    }
    if (!skipped.empty())
        text += "有 " + std::to_string(r.skipped()) + " 行没有读入：" + skipped + "。";
    if (!r.carriedLines.empty())
        text += linesPart(r.carriedLines, "没有十个号码，按上一行的号码补齐", named) + "。";
    if (text.empty()) return text;
    return "已读入 " + std::to_string(result.rows) + " 期。" + text;
}

HistoryCommands::Result HistoryCommands::exportFile(const History& history,
                                                    const std::string& path) {
    const fs::path target = fs::u8path(path);
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    const fs::path temp = target.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return failure("无法写入文件 " + path + "。");
        out << TextCodec::utf8ToGbk(HistoryText::format(history));
        out.close();
        if (!out) {
            fs::remove(temp, ec);
            return failure("写入文件 " + path + " 失败（磁盘已满？）。");
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return failure("无法写入文件 " + path + "。");
    }
    return success(history.size());
}

namespace {

std::string notStored(std::int32_t issue) {
    return "历史号码中没有第 " + std::to_string(issue) +
           " 期，没有删除任何一期。请输入一个已有的期号（保留到该期）。";
}

// `op` returns the result of the deletion; one that is not ok rolls it back.
template <typename Op>
HistoryCommands::Result runDeletion(Database& db, bool compact, Op op) {
    HistoryCommands::Result r;
    try {
        Transaction tx(db);
        r = op(HistoryTable(db));
        if (!r.ok) return r;
        tx.commit();
    } catch (const DbError& e) {
        return failure(std::string("删除失败，历史号码没有改变：") + e.what());
    }
    if (compact) {
        try {
            CompactDb(db);
        } catch (const DbError&) {
            // The deletion stands; a failed compaction only leaves the file larger.
        }
    }
    return r;
}

template <typename Query>
HistoryCommands::Span span(Query query) {
    HistoryCommands::Span s;
    try {
        const auto range = query();
        s.ok = true;
        s.rows = range.count;
        s.first = range.first;
        s.last = range.last;
    } catch (const DbError& e) {
        s.message = std::string("无法读取历史号码：") + e.what();
    }
    return s;
}

}  // namespace

HistoryCommands::Result HistoryCommands::deleteLast() {
    return runDeletion(db_, false, [](HistoryTable t) { return success(t.deleteLast()); });
}

HistoryCommands::Result HistoryCommands::deleteAll() {
    return runDeletion(db_, false, [](HistoryTable t) { return success(t.Delrec()); });
}

HistoryCommands::Result HistoryCommands::deleteDownTo(std::int32_t issue) {
    return runDeletion(db_, true, [issue](HistoryTable t) {
        if (!t.containsIssue(issue)) return failure(notStored(issue));
        return success(t.deleteAbove(issue));
    });
}

HistoryCommands::Result HistoryCommands::deleteLastN(int n) {
    return runDeletion(db_, true, [n](HistoryTable t) { return success(t.deleteLastN(n)); });
}

HistoryCommands::Span HistoryCommands::spanDownTo(std::int32_t issue) {
    auto s = span([&] { return HistoryTable(db_).spanAbove(issue); });
    if (s.ok && !HistoryTable(db_).containsIssue(issue)) {
        s = Span{};
        s.message = notStored(issue);
    }
    return s;
}

HistoryCommands::Span HistoryCommands::spanLastN(int n) {
    return span([&] { return HistoryTable(db_).spanOfLast(n); });
}

HistoryCommands::Span HistoryCommands::spanAll() {
    return span([&] { return HistoryTable(db_).spanAbove(INT32_MIN); });
}

}  // namespace varnet
