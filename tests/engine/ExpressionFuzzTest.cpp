#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/TextCodec.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/Reference.h"
#include "support/RandomHistory.h"

namespace varnet {
namespace {

// Random text made of formula pieces, stray characters and raw bytes.
std::string randomText(std::mt19937_64& rng) {
    static const char* const pieces[] = {"L1A",         "l0b",        "L2N",
                                         "L9M",         "L0L",        "L11A",
                                         "LA",          "X",          "MOD",
                                         "mod",         "Mo",         "MODL1A",
                                         "+",           "-",          "*",
                                         "/",           "(",          ")",
                                         "((",          "))",         " ",
                                         "  ",          "0",          "7",
                                         "10",          "2147483648", "99999999999999999999",
                                         "[",           "]",          "[L1A]",
                                         "`",           "{",          "第一码",
                                         "=下期杀第一", ".",          "e5",
                                         "\t",          "--",         "*-",
                                         "/0",          "MOD 0"};
    std::string s;
    const int n = static_cast<int>(rng() % 14);
    for (int i = 0; i < n; ++i) {
        if (rng() % 9 == 0)
            s.push_back(static_cast<char>(rng() % 256));
        else
            s += pieces[rng() % (sizeof pieces / sizeof *pieces)];
    }
    return s;
}

// A formula that parses, before any mutation.
std::string wellFormedText(std::mt19937_64& rng, int depth = 0) {
    static const char* const leaves[] = {"L1A", "l2c", "L0M", "L2N", "3", "0", "12", "L5D"};
    static const char* const ops[] = {"+", "-", "*", "/", " MOD ", " mod "};
    switch (depth > 5 ? 0 : rng() % 5) {
        case 0:
            return leaves[rng() % 8];
        case 1:
            return std::string("(") + wellFormedText(rng, depth + 1) + ")";
        case 2:
            return std::string("-") + wellFormedText(rng, depth + 1);
        default:
            return wellFormedText(rng, depth + 1) + ops[rng() % 6] + wellFormedText(rng, depth + 1);
    }
}

// One random edit: a byte dropped, inserted or replaced.
void mutate(std::string& s, std::mt19937_64& rng) {
    if (s.empty()) return;
    const std::size_t at = rng() % s.size();
    switch (rng() % 4) {
        case 0:
            s.erase(at, 1);
            break;
        case 1:
            s.insert(s.begin() + at, static_cast<char>(rng() % 256));
            break;
        case 2:
            s[at] = "()+-*/ M1L"[rng() % 10];
            break;
        default:
            break;
    }
}

// The postfix program leaves exactly one value and never pops an empty stack.
bool wellFormed(const Program& p) {
    int depth = 0, deepest = 0;
    for (const Op& op : p.ops) {
        if (op.code == Op::Param || op.code == Op::Const) {
            ++depth;
        } else if (op.code == Op::Neg) {
            if (depth < 1) return false;
        } else {
            if (depth < 2) return false;
            --depth;
        }
        if (op.code == Op::Param && (op.param < 1 || op.param > 132)) return false;
        deepest = std::max(deepest, depth);
    }
    return depth == 1 && deepest == p.maxDepth;
}

TEST(ExpressionFuzz, RandomTextParsesOrIsRefusedWithAReason) {
    std::mt19937_64 rng(31337);
    const History h = test::randomHistory(5, 9);
    const FormulaEngine engine(h);
    const CountRule rule{0, true, true, false};
    int programs = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text = i % 2 ? randomText(rng) : wellFormedText(rng);
        if (i % 4 == 0) mutate(text, rng);
        const ParseResult r = parseFormula(text);
        if (!r.program) {
            ASSERT_FALSE(r.error.empty()) << text;
            ASSERT_TRUE(TextCodec::isValidUtf8(r.error) || !TextCodec::isValidUtf8(text)) << text;
            continue;
        }
        ++programs;
        ASSERT_TRUE(wellFormed(*r.program)) << text;
        // Both evaluations agree, whether the formula can be evaluated or not.
        ASSERT_EQ(engine.scoreOne(*r.program, 3, true, rule),
                  referenceScore(*r.program, h, 3, true, rule))
            << text;
    }
    EXPECT_GT(programs, 5000);
}

}  // namespace
}  // namespace varnet
