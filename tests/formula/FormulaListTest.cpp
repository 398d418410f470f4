#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

#include "base/TextCodec.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/Schema.h"
#include "engine/Evaluation.h"
#include "engine/Expression.h"
#include "engine/Reference.h"
#include "formula/FormulaCommands.h"
#include "formula/FormulaLine.h"
#include "formula/Translate.h"
#include "formula/Verification.h"
#include "support/DataFile.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

using test::TempDir;

class FormulaListTest : public ::testing::Test, protected test::DataFile {
  protected:
    void SetUp() override { history = storeRandomHistory(260, 5); }

    std::vector<std::string> chineseOf(int position) {
        std::vector<std::string> out;
        for (const auto& r : FormulaTable(db, position).rows()) out.push_back(r.chinese);
        return out;
    }

    FormulaCommands::ImportResult import(const std::string& text, int position = 1,
                                         bool kill = true) {
        test::writeFile(dir.file("in.txt"), TextCodec::utf8ToGbk(text));
        return FormulaCommands(db).importFile(dir.file("in.txt"), dir.path(), position, kill);
    }

    void verify(int position, bool kill, const CountRule& rule) {
        auto list = loadFormulaList(db, position, kill);
        storeFormulaScores(db, position, list, scoreFormulaList(history, list, position, rule));
    }

    History history;
};

// Each row keeps its own scores whichever kind was verified last, and the
// numbers stay 1..N over the whole table.
TEST_F(FormulaListTest, MixedKindTableKeepsEveryRowsOwnScores) {
    const std::vector<std::pair<bool, std::string>> formulas{
        {true, "L3A+L5B+7"}, {false, "L1A*L2B MOD 7"}, {true, "L2C+L9D"}, {false, "L1A/(L1B-L1B)"},
        {true, "L4E-L6F*2"}, {false, "L7G+3"},         {true, "L1+"}};
    FormulaTable table(db, 4);
    for (const auto& [kill, code] : formulas) table.append(kill, code, code);
    CountRule rule;
    rule.retrieval = 100;
    std::set<bool> verified;
    for (bool kill : {true, false, true}) {
        verify(4, kill, rule);
        verified.insert(kill);
        const auto rows = table.rows();
        ASSERT_EQ(rows.size(), formulas.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const FormulaRow& r = rows[i];
            EXPECT_EQ(r.idx, static_cast<int>(i) + 1);
            if (!verified.count(r.kill)) {
                EXPECT_FALSE(r.rate) << r.code;
                continue;
            }
            const auto parsed = parseFormula(r.code);
            if (!parsed.program) {
                EXPECT_FALSE(r.rate) << r.code;
                continue;
            }
            const Score s = referenceScore(*parsed.program, history, 4, r.kill, rule);
            if (!s.valid) {
                EXPECT_FALSE(r.rate) << r.code;
                continue;
            }
            ASSERT_TRUE(r.rate) << r.code;
            EXPECT_FLOAT_EQ(*r.rate, s.rate) << r.code;
            EXPECT_EQ(std::make_tuple(*r.longestMiss, *r.longestHit, *r.lastMiss, *r.lastHit),
                      std::make_tuple(s.longestMiss, s.longestHit, s.lastMiss, s.lastHit))
                << r.code;
        }
    }
}

TEST_F(FormulaListTest, ImportReadsBothShapesAndReportsWhatItCannotUse) {
    const auto r = import(
        "第三码+第五大小+7=下期杀第一\r\n"
        "第一码+第二码=下期杀第三    连准：12期\r\n"
        "\r\n"
        "第一和值+3=下期杀第一\r\n"
        "[第二生]第一码+3\r\n"
        "[第二]第一码+4\r\n"
        "第一码+第二码=下期生第三\n",
        1, false);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.appended, 5);
    EXPECT_EQ(r.unrecognised, 1);
    EXPECT_FALSE(r.kill) << "the last suffix line names keep";
    EXPECT_EQ(test::readFile(r.unrecognisedPath), TextCodec::utf8ToGbk("L1和值+3\r\n"));

    const auto one = FormulaTable(db, 1).rows();
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(std::make_tuple(one[0].kill, one[0].code, one[0].idx),
              std::make_tuple(true, std::string("L3A+L5B+7"), std::optional<int>(1)));
    // Prefix lines take the mode the suffix lines before them left (kill).
    const auto two = FormulaTable(db, 2).rows();
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].code, "L1A+3");
    EXPECT_EQ(two[1].code, "L1A+4");
    EXPECT_TRUE(two[0].kill && two[1].kill);
    EXPECT_EQ(chineseOf(3),
              (std::vector<std::string>{"第一码+第二码=下期杀第三", "第一码+第二码=下期生第三"}));

    // Without a suffix line the current mode decides.
    ASSERT_TRUE(import("[第五]第一码+3\r\n", 1, false).ok);
    EXPECT_FALSE(FormulaTable(db, 5).rows().at(0).kill);
}

TEST_F(FormulaListTest, ImportDropsDuplicatesOfATableItMovesTo) {
    const std::string text = "第一码+1=下期杀第二\r\n第一码+2=下期杀第二\r\n";
    ASSERT_TRUE(import(text).ok);
    ASSERT_TRUE(import(text).ok);
    EXPECT_EQ(chineseOf(2).size(), 4u) << "importing twice appends twice";
    ASSERT_TRUE(import(text).ok);
    EXPECT_EQ(chineseOf(2).size(), 4u) << "moving to the table dropped its copies first";
    // A table the import starts on as current is written as it stands;
    // appended formulas come last.
    ASSERT_TRUE(import("第一码+9=下期杀第二\r\n" + text, 2).ok);
    const auto rows = FormulaTable(db, 2).rows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[4].chinese, "第一码+9=下期杀第二");
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].idx, static_cast<int>(i) + 1);
}

TEST_F(FormulaListTest, AFailedOrCancelledImportChangesNothing) {
    ASSERT_TRUE(import("第一码+1=下期杀第二\r\n").ok);
    const auto before = chineseOf(2);
    test::writeFile(dir.file("in.txt"), "第一码+7=下期杀第二\r\n第一码+8=下期杀第三\r\n");
    const auto r = FormulaCommands(db).importFile(
        dir.file("in.txt"), dir.path(), 1, true, [](long long done, long long total) {
            return !(done == total && total == 1);  // cancel at the last moment
        });
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(chineseOf(2), before);
    EXPECT_TRUE(chineseOf(3).empty());
    EXPECT_FALSE(FormulaCommands(db).importFile(dir.file("missing.txt"), dir.path(), 1, true).ok);
}

// Entry stores what was typed, in either form, or refuses it and stores nothing.
TEST_F(FormulaListTest, Entry) {
    FormulaCommands commands(db);
    struct Case {
        std::string text;
        bool currentKill;
        bool ok;
        int position;
        bool kill;
        std::string code;
        std::string chinese;  // empty: the text itself; refused: what the message quotes
    };
    const std::vector<Case> cases{
        {"第三码+第五大小+7=下期杀第一", false, true, 1, true, "L3A+L5B+7", ""},
        {"第一码+3=下期生第十", true, true, 10, false, "L1A+3", ""},
        {"[第二生]第一码+3", false, true, 2, false, "L1A+3", ""},
        {"[第二杀]第一码+3", true, true, 2, true, "L1A+3", ""},
        // Code form: the current position and kind, the Chinese form written back.
        {" L3A+L5B+7 ", true, true, 3, true, "L3A+L5B+7", "第三码+第五大小+7=下期杀第三"},
        {"l1d mod 3 - (L0M*2)/[L2N]", false, true, 3, false, "l1d mod 3 - (L0M*2)/[L2N]",
         "第一5余 mod 3 - (年份*2)/同上期数=下期生第三"},
        {"L3I+L0K*L9L", true, true, 3, true, "L3I+L0K*L9L",
         "第三2指数方+第十邻号和*第九邻号差=下期杀第三"},
        {"   ", true, false, 0, true, "", ""},
        {"下期杀第一", true, false, 0, true, "", ""},
        {"[第二杀]", true, false, 0, true, "", ""},
        {"L3A+L5B+", true, false, 0, true, "", "缺少运算数"},
        {"L3A+XYZ+7", true, false, 0, true, "", "“XYZ”"},
        {"L1A L2A", true, false, 0, true, "", "“L2A”"},
        {"第十一码+abc=下期杀第一", true, false, 0, true, "", "“第十一码”、“abc”"},
        {"[第一杀]第一和值+3", true, false, 0, true, "", "“第一和值”"},
        {"第一码+第二码)=下期杀第一", true, false, 0, true, "", "第一码+第二码)"},
    };
    for (const auto& c : cases) {
        int before = 0;
        for (int p = 1; p <= 10; ++p) before += FormulaTable(db, p).count();
        const auto r = commands.add(c.text, 3, c.currentKill);
        EXPECT_EQ(r.ok, c.ok) << c.text;
        if (!c.ok) {
            if (c.chinese.empty())
                EXPECT_EQ(r.message, c.text == "   " ? FormulaCommands::kEmptyEntryText
                                                     : FormulaCommands::kEntryUnrecognisedText);
            else
                EXPECT_NE(r.message.find(c.chinese), std::string::npos) << r.message;
            EXPECT_EQ(r.message.find("L0"), std::string::npos) << r.message;
            int after = 0;
            for (int p = 1; p <= 10; ++p) after += FormulaTable(db, p).count();
            EXPECT_EQ(after, before) << c.text;
            continue;
        }
        EXPECT_EQ(std::make_tuple(r.position, r.kill), std::make_tuple(c.position, c.kill))
            << c.text;
        const auto rows = FormulaTable(db, c.position).rows();
        EXPECT_EQ(rows.back().code, c.code);
        EXPECT_EQ(rows.back().chinese, c.chinese.empty() ? c.text : c.chinese);
        EXPECT_EQ(rows.back().idx, r.idx);
        EXPECT_EQ(r.idx, static_cast<int>(rows.size()));
        // The Chinese form reads back as the same formula.
        const auto back = takeApartFormulaLine(rows.back().chinese, BracketRule::Import);
        ASSERT_TRUE(back) << c.text;
        EXPECT_EQ(back->position, c.position);
        EXPECT_EQ(back->kill.value_or(c.currentKill), c.kill);
        const auto ops = [](const std::string& code) {
            std::vector<std::tuple<int, int, double>> out;
            for (const Op& op : parseFormula(code).program.value_or(Program{}).ops)
                out.emplace_back(op.code, op.param, op.value);
            return out;
        };
        EXPECT_EQ(ops(translateChinese(back->expression)), ops(c.code)) << c.text;
    }
}

TEST_F(FormulaListTest, DeletionRenumbersAndKeepsTheOtherKind) {
    FormulaTable table(db, 6);
    for (int i = 1; i <= 5; ++i)
        table.append(i % 2 == 1, "L1A+" + std::to_string(i), "f" + std::to_string(i));
    FormulaCommands commands(db);
    ASSERT_EQ(commands.deleteFormulas(6, {3}).rows, 1);
    auto rows = table.rows();
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<std::string> left{"f1", "f2", "f4", "f5"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].chinese, left[i]);
        EXPECT_EQ(rows[i].idx, i + 1);
    }
    // Every kill formula (f1, f5) goes; the keep ones stay, numbered anew.
    ASSERT_EQ(commands.deleteFormulas(6, {1, 4}).rows, 2);
    rows = table.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::make_tuple(rows[0].chinese, rows[0].idx, rows[1].chinese, rows[1].idx),
              std::make_tuple(std::string("f2"), std::optional<int>(1), std::string("f4"),
                              std::optional<int>(2)));

    commands.add("第一码+1=下期杀第二", 1, true);
    ASSERT_TRUE(commands.clearAll().ok);
    for (int p = 1; p <= 10; ++p) EXPECT_EQ(FormulaTable(db, p).count(), 0);
}

// The per-draw display against the plain evaluation, row by row.
TEST_F(FormulaListTest, PerDrawDisplayFollowsThePlainEvaluation) {
    FormulaTable table(db, 3);
    for (const char* code : {"L3A+L5B+7", "L1A*L2B/3", "L1A/(L1B-L1B)", "L9C MOD 4 - 5"})
        table.append(false, code, code);
    const auto list = loadFormulaList(db, 3, false);
    for (bool onCurrent : {false, true}) {
        const auto block = perDrawBlock(history, list, 1, 500, 3, onCurrent);
        ASSERT_EQ(block.size(), 3u);
        EXPECT_FALSE(block[1].valid);
        for (int b : {0, 2}) {
            const Program& p = *list[b + 1].program;
            const int n = history.size();
            EXPECT_EQ(block[b].listNumber, b + 2);
            for (int i = 0; i < n; ++i) {
                const double v = *evaluateRow(p, history, i, nullptr);
                int shown, markRow;
                if (onCurrent) {
                    shown = static_cast<int>(numberOfValue(v));
                    markRow = i + 2;
                } else {
                    shown = i < 2 ? PerDrawColumn::kNoNumber
                                  : static_cast<int>(numberOf(
                                        *roundToInt32(*evaluateRow(p, history, i - 2, nullptr))));
                    markRow = i;
                }
                EXPECT_EQ(block[b].numbers[i], shown) << i;
                std::uint8_t mark = PerDrawColumn::None;
                if (markRow >= 2 && markRow < n) {
                    const auto pre = *roundToInt32(*evaluateRow(p, history, markRow - 2, nullptr));
                    mark = numberOf(pre) == history.number(markRow, 3) ? PerDrawColumn::Hit
                                                                       : PerDrawColumn::Miss;
                }
                ASSERT_EQ(block[b].marks[i], mark) << i;
            }
        }
    }
}

}  // namespace
}  // namespace varnet
