#include "analysis/Exports.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/History.h"
#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "base/TextCodec.h"
#include "db/FormulaTable.h"

namespace varnet {

namespace {

constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kGreen = 0x00FF00;

}  // namespace

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

}  // namespace varnet
