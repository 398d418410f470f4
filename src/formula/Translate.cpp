#include "formula/Translate.h"

#include <array>
#include <utility>

namespace varnet {

namespace {

// Applied top to bottom. Position words go first (第一码 → L1码 → L1A, 第一5余 →
// L15余 → L1D), and the three words ending in 期号 before 日期.
constexpr std::array<std::pair<std::string_view, std::string_view>, 36> kRows{{
    {"第一", "L1"},    {"第二", "L2"},    {"第三", "L3"},      {"第四", "L4"},
    {"第五", "L5"},    {"第六", "L6"},    {"第七", "L7"},      {"第八", "L8"},
    {"第九", "L9"},    {"第十", "L0"},    {"码", "A"},         {"大小", "B"},
    {"单双", "C"},     {"5余", "D"},      {"3余", "E"},        {"5段", "F"},
    {"平方", "G"},     {"互补数", "H"},   {"2指数方", "I"},    {"立方", "J"},
    {"邻号和", "K"},   {"邻号差", "L"},   {"邻数和", "K"},     {"邻数差", "L"},
    {"连顺号", "L1M"}, {"逆顺号", "L2M"}, {"连跳号", "L3M"},   {"逆跳号", "L4M"},
    {"前期号", "L5M"}, {"上期号", "L6M"}, {"本期号", "L7M"},   {"日期", "L8M"},
    {"月份", "L9M"},   {"年份", "L0M"},   {"最大振幅", "L1N"}, {"同上期数", "L2N"},
}};

}  // namespace

std::string AsReplace(std::string& text, std::string_view find, std::string_view with) {
    if (find.empty()) return text;
    if (with.find(find) != std::string_view::npos) {
        // Rescanning would never end; one left-to-right pass is the only finite meaning.
        std::string out;
        std::size_t from = 0;
        for (std::size_t at; (at = text.find(find, from)) != std::string::npos;
             from = at + find.size()) {
            out.append(text, from, at - from);
            out.append(with);
        }
        out.append(text, from);
        text = std::move(out);
        return text;
    }
    // Text before the replaced occurrence held no occurrence, so a new first
    // occurrence can only start within find.size() - 1 bytes of it: rescanning
    // from there finds the same one as rescanning from the start.
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(find, from)) != std::string::npos;) {
        text.replace(at, find.size(), with);
        from = at >= find.size() - 1 ? at - (find.size() - 1) : 0;
    }
    return text;
}

std::string translateChinese(std::string_view chinese) {
    std::string text(chinese);
    for (const auto& [word, code] : kRows) AsReplace(text, word, code);
    return trimSpaces(text);
}

bool passesCharacterTest(std::string_view codeForm) {
    for (const char ch : codeForm) {
        const bool ok = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                        (ch >= '0' && ch <= '9') || ch == '(' || ch == ')' || ch == '*' ||
                        ch == '+' || ch == '-' || ch == '/' || ch == ' ' || ch == '[' ||
                        ch == '`' || ch == '{';
        if (!ok) return false;
    }
    return true;
}

std::string trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace varnet
