#include "analysis/Exports.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/DataFolder.h"
#include "db/FormulaTable.h"
#include "base/History.h"
#include "base/ParameterNames.h"
#include "base/TextCodec.h"

namespace varnet {

namespace {

constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kGreen = 0x00FF00;
const char* const kBanner[] = {"本组公式由《Varnet》软件搜索而来",
                               "          公式文本可用“读取公式文本”读入本软件",
                               "          每行一个公式，“连准”后为该公式最后连对期数"};
const char* const kContact = "（格式见使用说明）";
const std::string kIdeographicSpace = "\u3000";

std::size_t characters(const std::string& utf8) { return TextCodec::toU32(utf8).size(); }

std::string separator(int written) {
    return "————————————" + std::to_string(written) + "——————————————本公式由《Varnet》生成" +
           kContact;
}

}  // namespace

std::string ExportNames::formulaText(const std::string& entryIssueText) {
    return entryIssueText + "期北京赛车公式.txt";
}

WorkbookResult exportHistoryWorkbook(const std::string& path, const History& history,
                                     const std::vector<PerDrawColumn>* perDraw,
                                     const std::vector<std::string>& formulaNames,
                                     const std::function<bool(int)>& progress) {
    const int formulas = perDraw ? static_cast<int>(perDraw->size()) : 0;
    // Columns worked out on another history (one changed since) cannot be
    // laid beside this one.
    if (perDraw)
        for (const auto& c : *perDraw)
            if (!c.numbers.empty() &&
                (c.numbers.size() != static_cast<std::size_t>(history.size()) ||
                 c.marks.size() != c.numbers.size())) {
                WorkbookResult r;
                r.message = "无法写入工作簿 " + path +
                            "：公式各期验算结果与历史号码不一致，请重新验算后再导出。";
                return r;
            }
    return writeWorkbook(
        path, history.size() + 1, 11 + formulas,
        [&](int r, int c) -> WorkbookCell {
            if (r == 0) {
                if (c == 0) return {"期号"};
                if (c <= 10) return {ParameterNames::positionName(c)};
                const int k = c - 11;
                return {k < static_cast<int>(formulaNames.size()) ? formulaNames[k] : ""};
            }
            const int row = r - 1;
            if (c == 0) return {std::to_string(history.issue(row))};
            if (c <= 10) return {std::to_string(history.number(row, c))};
            const PerDrawColumn& col = (*perDraw)[c - 11];
            WorkbookCell cell;
            if (col.numbers.empty()) return cell;
            if (col.numbers[row] != PerDrawColumn::kNoNumber)
                cell.text = std::to_string(col.numbers[row]);
            if (col.marks[row] == PerDrawColumn::Hit) cell.fill = kBlue;
            if (col.marks[row] == PerDrawColumn::Miss) cell.fill = kGreen;
            return cell;
        },
        progress);
}

WorkbookResult exportResultWorkbook(const std::string& path, const PositionVotes& votes) {
    std::vector<int> order{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return votes.kill[a] < votes.kill[b]; });
    return writeWorkbook(path, 11, 3, [&](int r, int c) -> WorkbookCell {
        static const char* const headers[] = {"排序序号", "号码", "杀留Err值（公式错误值）"};
        if (r == 0) return {headers[c]};
        const int n = order[r - 1];
        const std::int64_t v = c == 0 ? r : c == 1 ? n : votes.total[n];
        return {std::to_string(v)};
    });
}

WorkbookResult writeFormulaText(const std::string& path,
                                const std::vector<ExportedFormula>& formulas,
                                FormulaPadding padding) {
    WorkbookResult result;
    std::string text;
    for (const char* line : kBanner) text += std::string(line) + "\r\n";
    text += "\r\n";
    std::size_t width = 0;
    for (std::size_t i = 0; i < formulas.size(); ++i) {
        const ExportedFormula& f = formulas[i];
        const std::size_t length = characters(f.chinese);
        if (padding == FormulaPadding::Own || i % 50 == 0) width = length + 10;
        std::string line = f.chinese;
        if (padding != FormulaPadding::Bare) {
            for (std::size_t n = length; n <= width; ++n) line += kIdeographicSpace;
            line += "连准：" + std::to_string(f.lastHit) + "期";
        }
        text += line + "\r\n";
        if ((i + 1) % 50 == 0) text += separator(static_cast<int>(i + 1)) + "\r\n";
    }
    // The end's separator, unless the last block's already says the same count.
    if (formulas.empty() || formulas.size() % 50 != 0)
        text += separator(static_cast<int>(formulas.size())) + "\r\n";
    const std::string bytes = TextCodec::utf8ToGbk(text);

    if (!DataFolder::writeReplacing(path, bytes)) {
        result.message = "无法写入文件 " + path + "（磁盘已满或没有写权限？）。";
        return result;
    }
    result.ok = true;
    return result;
}

std::vector<ExportedFormula> everyFormulaForExport(Database& db, const History& history,
                                                   const CountRule& rule) {
    std::vector<ExportedFormula> out;
    for (int p = 1; p <= 10; ++p) {
        const auto list = loadFormulaList(db, p, std::nullopt, false);
        const auto scores = scoreFormulaList(history, list, p, rule);
        for (std::size_t i = 0; i < list.size(); ++i)
            out.push_back({list[i].row.chinese, scores[i].valid ? scores[i].lastHit : 0});
    }
    return out;
}

}  // namespace varnet
