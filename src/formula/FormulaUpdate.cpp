#include "formula/FormulaUpdate.h"

#include <algorithm>

#include "app/DataFolder.h"
#include "formula/FormulaCommands.h"
#include "history/TextCodec.h"
#include "net/UpdateLock.h"

namespace varnet {

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

    r.localCopy = DataFolder::join(dataFolder, kLocalCopy);
    if (!DataFolder::writeReplacing(r.localCopy, file.bytes)) {
        r.message = "无法写入文件 " + r.localCopy + "，公式没有改变。";
        return r;
    }
    const auto stored = FormulaCommands(db_).replaceAllWith(plan);
    if (!stored.ok) {
        r.message = stored.message;
        return r;
    }
    r.ok = true;
    r.formulas = stored.rows;
    r.kill = plan.kill;
    for (const auto& run : plan.runs)
        if (std::find(r.positions.begin(), r.positions.end(), run.position) == r.positions.end())
            r.positions.push_back(run.position);
    std::sort(r.positions.begin(), r.positions.end());
    r.message = "已读入 " + std::to_string(r.formulas) + " 条公式，原有公式已替换。";
    if (r.skipped > 0) r.message += "有 " + std::to_string(r.skipped) + " 行无法识别，已跳过。";
    return r;
}

}  // namespace varnet
