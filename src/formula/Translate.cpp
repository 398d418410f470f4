#include "formula/Translate.h"

#include <array>
#include <cctype>
#include <utility>

#include "base/ParameterNames.h"

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
    // One pass over the text, building the result in `out`, which never holds
    // an occurrence: the first occurrence of the whole text can then only end
    // at the character just appended. Replacing it puts `with` back in front
    // of the input still to read, so an occurrence it makes with what stands
    // before or after it is found in turn, as the rescan from the start would.
    const std::size_t m = find.size();
    std::string out;
    out.reserve(text.size());
    std::string pending;  // characters to read before text[i], last one first
    std::size_t i = 0;
    while (!pending.empty() || i < text.size()) {
        if (!pending.empty()) {
            out.push_back(pending.back());
            pending.pop_back();
        } else {
            out.push_back(text[i++]);
        }
        if (out.size() >= m && out.back() == find.back() &&
            std::string_view(out).substr(out.size() - m) == find) {
            out.resize(out.size() - m);
            pending.append(with.rbegin(), with.rend());
        }
    }
    text = std::move(out);
    return text;
}

std::string translateChinese(std::string_view chinese) {
    std::string text(chinese);
    for (const auto& [word, code] : kRows) AsReplace(text, word, code);
    return trimSpaces(text);
}

namespace {

bool isAsciiAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isAsciiAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

bool isMod(std::string_view word) {
    return word.size() == 3 && std::toupper(static_cast<unsigned char>(word[0])) == 'M' &&
           std::toupper(static_cast<unsigned char>(word[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(word[2])) == 'D';
}

// A name as the formula parser reads it: letters and digits, optionally in brackets.
int codeIndex(std::string_view word) {
    if (word.size() > 2 && word.front() == '[' && word.back() == ']')
        word = word.substr(1, word.size() - 2);
    return ParameterNames::indexOfCode(word);
}

}  // namespace

std::string chineseOfCode(std::string_view code) {
    std::string out;
    std::size_t i = 0;
    while (i < code.size()) {
        const bool bracket = code[i] == '[';
        if (!isAsciiAlpha(code[i]) && !bracket) {
            out += code[i++];
            continue;
        }
        std::size_t e = bracket ? i + 1 : i;
        while (e < code.size() && isAsciiAlnum(code[e])) ++e;
        if (bracket && e < code.size() && code[e] == ']') ++e;
        const std::string_view word = code.substr(i, e - i);
        const int k = codeIndex(word);
        out += k != 0 ? std::string_view(ParameterNames::chinese(k)) : word;
        i = e > i ? e : i + 1;
    }
    return out;
}

std::vector<std::string> unknownWords(std::string_view chinese) {
    static constexpr std::string_view kBetween = " +-*/()";
    std::vector<std::string> unknown;
    std::size_t i = 0;
    while (i < chinese.size()) {
        if (kBetween.find(chinese[i]) != std::string_view::npos) {
            ++i;
            continue;
        }
        std::size_t e = i;
        while (e < chinese.size() && kBetween.find(chinese[e]) == std::string_view::npos) ++e;
        const std::string_view word = chinese.substr(i, e - i);
        const std::string code = translateChinese(word);
        const bool number = code.find_first_not_of("0123456789") == std::string::npos;
        if (!number && !isMod(code) && codeIndex(code) == 0) unknown.emplace_back(word);
        i = e;
    }
    return unknown;
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
