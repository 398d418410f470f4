#include "formula/FormulaExport.h"

#include "base/History.h"
#include "base/Paths.h"
#include "base/TextCodec.h"
#include "formula/Verification.h"

namespace varnet {

namespace {

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

    if (!writeReplacing(path, bytes)) {
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
