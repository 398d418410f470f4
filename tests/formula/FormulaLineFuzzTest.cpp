#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/ParameterNames.h"
#include "base/TextCodec.h"
#include "formula/FormulaLine.h"
#include "formula/Translate.h"

namespace varnet {
namespace {

// Replaces by scanning from the very start after every replacement: the plain
// reading, against which AsReplace's shortcut is held.
std::string replaceByFullRescan(std::string text, const std::string& find,
                                const std::string& with) {
    for (std::size_t at; (at = text.find(find)) != std::string::npos;)
        text.replace(at, find.size(), with);
    return text;
}

class LineMaker {
  public:
    explicit LineMaker(std::uint64_t seed) : rng_(seed) {
        for (int k = 1; k <= 132; ++k) pieces_.push_back(ParameterNames::chinese(k));
        for (const char* p : {"第",   "一",   "十",   "码", "大小", "5",  "余",
                              "邻数", "期号", "日期", "[",  "]",    "=",  "下期",
                              "下",   "期",   "杀",   "生", "连准", "连", "准",
                              "：",   "+",    "-",    "*",  "/",    "(",  ")",
                              " ",    "  ",   "MOD",  "7",  "12",   "\t", "\xE3\x80\x80",
                              "和值", "abc",  "`",    "{"})
            pieces_.emplace_back(p);
    }

    // A third free mixtures of pieces; the rest shaped like suffix or prefix
    // lines whose parts are themselves mixtures, sometimes with a 连准 tail.
    // Built one statement at a time: the order of the draws must not depend on
    // the compiler's order of evaluation.
    std::string line() {
        const auto shape = rng_() % 3;
        if (shape == 0) return soup(14);
        std::string out = shape == 1 ? soup(6) : "[";
        if (shape == 1) {
            if (rng_() % 4) out += "=";
            out += "下期";
            out += soup(1);
        } else {
            out += soup(2);
            out += soup(2);
            if (rng_() % 4) out += "]";
        }
        out += soup(shape == 1 ? 4 : 6);
        if (rng_() % 4 == 0) {
            out += soup(2);
            out += "连准";
            out += soup(3);
        }
        return out;
    }

    std::string small(const std::string& alphabet, int maxLength) {
        std::string out(rng_() % (maxLength + 1), ' ');
        for (char& c : out) c = alphabet[rng_() % alphabet.size()];
        return out;
    }

  private:
    std::string soup(int maxPieces) {
        std::string out;
        const int count = static_cast<int>(rng_() % (maxPieces + 1));
        for (int i = 0; i < count; ++i) {
            const auto roll = rng_() % 20;
            if (roll == 0) {
                out += static_cast<char>(rng_() & 0xFF);  // often invalid UTF-8
            } else if (roll == 1 && !out.empty()) {
                out.resize(rng_() % out.size());  // may cut a character in half
            } else {
                out += pieces_[rng_() % pieces_.size()];
            }
        }
        return out;
    }

    std::mt19937_64 rng_;
    std::vector<std::string> pieces_;
};

bool hasOuterSpace(const std::string& s) {
    return !s.empty() && (s.front() == ' ' || s.back() == ' ');
}

TEST(FormulaLineFuzz, RandomLinesKeepTheRulesOfTakingApart) {
    LineMaker maker(0x5EED2026);
    for (int round = 0; round < 4000; ++round) {
        const std::string line = maker.line();
        const bool valid = TextCodec::isValidUtf8(line);
        const std::string cut = cutAtLianzhun(line);
        EXPECT_EQ(cut.find("连准"), std::string::npos);
        EXPECT_FALSE(hasOuterSpace(cut));

        const bool suffix = cut.find("下期") != std::string::npos;
        for (const auto rule : {BracketRule::Import, BracketRule::Entry}) {
            const auto parts = takeApartFormulaLine(line, rule);
            if (suffix && cut.rfind("下期", 0) != 0) {
                ASSERT_TRUE(parts) << line;
            }
            if (!parts) continue;

            EXPECT_EQ(parts->chinese, cut);
            EXPECT_EQ(parts->shape == FormulaLine::Shape::Suffix, suffix) << line;
            EXPECT_EQ(parts->kill.has_value(), suffix) << line;
            EXPECT_GE(parts->position, 0);
            EXPECT_LE(parts->position, 10);
            if (parts->position > 0) {
                EXPECT_NE(cut.find(ParameterNames::positionName(parts->position)),
                          std::string::npos)
                    << line;
            }
            EXPECT_FALSE(hasOuterSpace(parts->expression));
            EXPECT_NE(cut.find(parts->expression), std::string::npos) << line;
            EXPECT_LT(parts->expression.size(), cut.size()) << line;

            const std::string code = translateChinese(parts->expression);
            EXPECT_FALSE(hasOuterSpace(code));
            EXPECT_EQ(translateChinese(code), code) << line;
            if (passesCharacterTest(code)) {
                for (const char c : code) EXPECT_EQ(c & 0x80, 0);
            }
            if (valid) {
                EXPECT_TRUE(TextCodec::isValidUtf8(parts->expression)) << line;
                EXPECT_TRUE(TextCodec::isValidUtf8(code)) << line;
            }
        }
        // Both rules read a suffix line alike.
        if (suffix) {
            const auto imported = takeApartFormulaLine(line, BracketRule::Import);
            const auto typed = takeApartFormulaLine(line, BracketRule::Entry);
            ASSERT_EQ(imported.has_value(), typed.has_value());
            if (imported) {
                EXPECT_EQ(imported->expression, typed->expression);
                EXPECT_EQ(imported->position, typed->position);
                EXPECT_EQ(imported->kill, typed->kill);
            }
        }
        if (valid) {
            EXPECT_TRUE(TextCodec::isValidUtf8(cut));
        }
    }
}

TEST(FormulaLineFuzz, AsReplaceMatchesAFullRescan) {
    LineMaker maker(77);
    for (int round = 0; round < 3000; ++round) {
        std::string text = maker.small("ab", 12);
        const std::string find = maker.small("ab", 3);
        const std::string with = maker.small("ab", 3);
        if (find.empty() || with.find(find) != std::string::npos) continue;
        const std::string expected = replaceByFullRescan(text, find, with);
        EXPECT_EQ(AsReplace(text, find, with), expected) << find << " -> " << with;
        EXPECT_EQ(text, expected);
    }
}

}  // namespace
}  // namespace varnet
