#include "formula/FormulaUpdate.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "base/TextCodec.h"
#include "formula/FormulaCommands.h"
#include "net/UpdateLock.h"

namespace varnet {

namespace fs = std::filesystem;

FormulaUpdate::Result FormulaUpdate::run(const std::string& url, const std::string& dataFolder,
                                         int currentPosition, bool currentKill,
                                         Fetcher::Limits limits) {
    Result r;
    r.kill = currentKill;
    UpdateLock lock;
    if (!lock.acquired()) {
        r.message = UpdateLock::kBusyText;
        return r;
    }
    if (url.find_first_not_of(" \t") == std::string::npos) {
        r.message = std::string("没有设置公式文件的地址（设置项 ") + kUrlKey + "），公式没有改变。";
        return r;
    }
    limits.maxBytes = std::min<std::int64_t>(limits.maxBytes, kMaximumBytes);
    const Fetcher::Result file = fetcher_.get(url, limits);
    if (file.cancelled) {
        r.cancelled = true;
        r.message = "在线更新已取消，公式没有改变。";
        return r;
    }
    if (!file.ok) {
        r.message = "无法下载公式文件（" + file.reason + "），公式没有改变。";
        return r;
    }
    r.bytes = static_cast<long long>(file.bytes.size());
    if (r.bytes < kMinimumBytes) {
        r.message = "下载的公式文件只有 " + std::to_string(r.bytes) +
                    " 字节，不是完整的公式文件，公式没有改变。";
        return r;
    }
    const FormulaTextPlan plan =
        planFormulaText(TextCodec::decodeFile(file.bytes), currentPosition, currentKill);
    r.skipped = static_cast<int>(plan.unrecognised.size());
    int lines = 0;
    for (const auto& run : plan.runs) lines += static_cast<int>(run.lines.size());
    if (lines == 0) {
        r.message = "下载的文件中没有可用的公式，公式没有改变。";
        return r;
    }

    // The copy is written in full beside its place and moved there only once
    // the tables hold the new formulas, so a command stopped in between
    // leaves the old copy beside the old formulas.
    r.localCopy = joinPath(dataFolder, kLocalCopy);
    const fs::path copy = fs::u8path(r.localCopy), staged = fs::u8path(r.localCopy + ".new");
    std::error_code ec;
    {
        std::ofstream out(staged, std::ios::binary | std::ios::trunc);
        out << file.bytes;
        out.close();
        if (!out) {
            fs::remove(staged, ec);
            r.message = "无法写入文件 " + r.localCopy + "，公式没有改变。";
            return r;
        }
    }
    const auto stored = FormulaCommands(db_).replaceAllWith(plan);
    if (!stored.ok) {
        fs::remove(staged, ec);
        r.message = stored.message;
        return r;
    }
    fs::rename(staged, copy, ec);
    const bool copyPlaced = !ec;
    if (!copyPlaced) fs::remove(staged, ec);
    r.ok = true;
    r.formulas = stored.rows;
    r.kill = plan.kill;
    for (const auto& run : plan.runs)
        if (std::find(r.positions.begin(), r.positions.end(), run.position) == r.positions.end())
            r.positions.push_back(run.position);
    std::sort(r.positions.begin(), r.positions.end());
    std::map<int, Result::Stored> perTable;
    for (const auto& run : plan.runs)
        for (const auto& line : run.lines) {
            auto& s = perTable[line.position];
            s.position = line.position;
            ++(line.kill ? s.kill : s.keep);
        }
    for (const auto& [p, s] : perTable) r.stored.push_back(s);
    r.message = "已读入 " + std::to_string(r.formulas) + " 条公式，原有公式已替换：";
    for (const auto& s : r.stored)
        r.message += "\n" + ParameterNames::positionName(s.position) + "名：杀 " +
                     std::to_string(s.kill) + " 条，生 " + std::to_string(s.keep) + " 条";
    if (r.skipped > 0) r.message += "\n有 " + std::to_string(r.skipped) + " 行无法识别，已跳过。";
    if (!copyPlaced) r.message += "\n无法保存文件 " + r.localCopy + "。";
    return r;
}

}  // namespace varnet
