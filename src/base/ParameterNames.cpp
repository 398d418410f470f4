#include "base/ParameterNames.h"

#include <array>
#include <cctype>

#include "base/Draw.h"

namespace varnet {

namespace {

const std::array<std::string, 10> kPositionNames = {"第一", "第二", "第三", "第四", "第五",
                                                    "第六", "第七", "第八", "第九", "第十"};
const std::array<std::string, 12> kKindNames = {"码",      "大小", "单双",   "5余",
                                                "3余",     "5段",  "平方",   "互补数",
                                                "2指数方", "立方", "邻号和", "邻号差"};
const std::array<std::string, 12> kWholeDrawNames = {"连顺号", "逆顺号", "连跳号",   "逆跳号",
                                                     "前期号", "上期号", "本期号",   "日期",
                                                     "月份",   "年份",   "最大振幅", "同上期数"};

struct Lists {
    std::array<std::string, kParamCount + 1> code;
    std::array<std::string, kParamCount + 1> chinese;
    Lists() {
        for (int k = 1; k <= kParamCount; ++k) {
            code[k] = std::string("L") + static_cast<char>('0' + k % 10) +
                      static_cast<char>('A' + (k - 1) / 10);
            chinese[k] = k <= 120 ? kPositionNames[(k - 1) % 10] + kKindNames[(k - 1) / 10]
                                  : kWholeDrawNames[k - 121];
        }
    }
};

const Lists& lists() {
    static const Lists instance;
    return instance;
}

const std::string& emptyName() {
    static const std::string empty;
    return empty;
}

}  // namespace

const std::string& ParameterNames::code(int k) {
    return k >= 1 && k <= kParamCount ? lists().code[k] : emptyName();
}

const std::string& ParameterNames::chinese(int k) {
    return k >= 1 && k <= kParamCount ? lists().chinese[k] : emptyName();
}

int ParameterNames::indexOfCode(std::string_view name) {
    if (name.size() != 3 || std::toupper(static_cast<unsigned char>(name[0])) != 'L') return 0;
    const char digit = name[1];
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[2])));
    if (digit < '0' || digit > '9' || letter < 'A' || letter > 'N') return 0;
    // k mod 10 = digit and (k - 1) div 10 = letter - 'A'.
    const int block = letter - 'A';
    const int k = block * 10 + (digit == '0' ? 10 : digit - '0');
    return k <= kParamCount ? k : 0;
}

const std::string& ParameterNames::positionName(int position) {
    return position >= 1 && position <= 10 ? kPositionNames[position - 1] : emptyName();
}

const std::string& ParameterNames::kindName(int letter) {
    return letter >= 0 && letter < 12 ? kKindNames[letter] : emptyName();
}

}  // namespace varnet
