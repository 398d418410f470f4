#include <gtest/gtest.h>

#include "base/TextCodec.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "history/HistoryCommands.h"
#include "support/DataFile.h"
#include "support/Draws.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

using test::TempDir;

class HistoryCommandsTest : public ::testing::Test, protected test::DataFile {
  protected:
    History load() { return HistoryTable(db).load(); }

    Draw draw(int issue, Numbers n) { return test::makeDraw(issue, n); }

    void store(std::initializer_list<int> issues) {
        Numbers n{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        for (int issue : issues) {
            std::rotate(n.begin(), n.begin() + 1, n.end());
            ASSERT_TRUE(commands.addDraw(draw(issue, n)).ok);
        }
    }

    std::vector<int> issues() {
        const History h = load();
        return {h.issues().begin(), h.issues().end()};
    }

    HistoryCommands commands{db};
};

TEST_F(HistoryCommandsTest, AddDrawStoresParametersAgainstTheGreatestIssue) {
    ASSERT_TRUE(commands.addDraw(draw(545549, {3, 1, 7, 10, 5, 2, 4, 9, 8, 6})).ok);
    ASSERT_TRUE(commands.addDraw(draw(545548, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})).ok);
    ASSERT_TRUE(commands.addDraw(draw(545550, {3, 7, 1, 10, 4, 2, 9, 5, 8, 6})).ok);
    const History h = load();
    ASSERT_EQ(h.size(), 3);
    EXPECT_EQ(h.issue(0), 545548) << "shown in issue order";
    EXPECT_EQ(h.param(2, 132), 5) << "previous draw is 545549, the greatest before";
    EXPECT_EQ(h.param(1, 132), 0) << "first stored draw had no previous draw";
    EXPECT_EQ(h.draw(2), draw(545550, {3, 7, 1, 10, 4, 2, 9, 5, 8, 6}));
}

TEST_F(HistoryCommandsTest, AddDrawRejectsBadDrawsAndStoresNothing) {
    store({100});
    for (const auto& bad :
         {draw(101, {1, 1, 3, 4, 5, 6, 7, 8, 9, 10}), draw(101, {0, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
          draw(100, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), draw(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
          // Eight digits would not survive the text file.
          draw(10000000, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})}) {
        const auto r = commands.addDraw(bad);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_EQ(issues(), std::vector<int>{100});
}

TEST_F(HistoryCommandsTest, ExportThenImportReproducesTheHistory) {
    store({545548, 545549, 545550});
    const History before = load();
    const std::string file = dir.file("历史号码/更新至545550期历史号码.txt");
    ASSERT_TRUE(HistoryCommands::exportFile(before, file).ok) << "creates the folder";
    ASSERT_TRUE(commands.deleteAll().ok);
    const auto r = commands.importFile(file, {});
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.rows, 3);
    const History after = load();
    ASSERT_EQ(after.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(after.draw(i), before.draw(i));
        EXPECT_EQ(after.params(i), before.params(i));
    }
    EXPECT_EQ(r.carry.numbers, before.numbers(2));
    EXPECT_EQ(r.carry.year, 2016);
}

TEST_F(HistoryCommandsTest, UnusableFilesLeaveTheHistoryAsItWas) {
    store({1, 2, 3});
    test::writeFile(dir.file("empty.txt"), "");
    test::writeFile(dir.file("garbage.txt"),
                    std::string("\x00\xFF\x12 hello 12 ab\n\n\x89PNG", 20));
    test::writeFile(dir.file("zeros.txt"), "0000007\n0000008 2016-01-01 01 01 01\n");
    for (const char* name : {"missing.txt", "empty.txt", "garbage.txt", "zeros.txt"}) {
        const auto r = commands.importFile(dir.file(name), {});
        EXPECT_FALSE(r.ok) << name;
        EXPECT_FALSE(r.message.empty()) << name;
        EXPECT_EQ(issues(), (std::vector<int>{1, 2, 3})) << name;
    }
}

TEST_F(HistoryCommandsTest, ImportSkipsLinesThatAreNoValidDraw) {
    test::writeFile(dir.file("mixed.txt"),
                    "0000010 2016-01-01 01 02 03 04 05 06 07 08 09 10\r\n"
                    "0000011 2016-01-01 01 01 03 04 05 06 07 08 09 10\r\n"
                    "0000012 2016-01-01 10 09 08 07 06 05 04 03 02 01\r\n");
    const auto r = commands.importFile(dir.file("mixed.txt"), {});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rows, 2);
    EXPECT_EQ(r.lines.badNumberLines, std::vector<int>{2});
    EXPECT_NE(r.message.find("第 2 行"), std::string::npos) << r.message;
    EXPECT_EQ(issues(), (std::vector<int>{10, 12}));
    EXPECT_EQ(load().param(1, 132), 0) << "previous draw of 12 is 10";
}

TEST_F(HistoryCommandsTest, ImportNamesEveryLineNotTakenAndStoresEachIssueOnce) {
    auto line = [](int issue, int shift = 0) {
        Numbers n{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        std::rotate(n.begin(), n.begin() + shift % 10, n.end());
        return HistoryText::formatLine(test::makeDraw(issue, n));
    };
    std::string far;
    for (int i = 0; i < 20; ++i) far += line(100 + i, i) + "\n";
    struct Case {
        std::string name, text;
        std::vector<int> stored;  // the draws kept; {1, 2, 3} when refused
        std::vector<int> text_, bad, repeated, carried;
        bool refused = false;
    };
    const std::string bad = "0000011 2016-01-01 01 01 03 04 05 06 07 08 09 10";
    const std::vector<Case> cases{
        {"text lines",
         "期号 日期 号码\n" + line(10) + "\n---- 分隔 ----\n" + line(11) + "\n",
         {10, 11},
         {1, 3}},
        {"bad numbers", line(10) + "\n" + bad + "\n" + line(12) + "\n", {10, 12}, {}, {2}},
        {"repeated",
         line(10, 1) + "\n" + line(10, 2) + "\n" + line(11) + "\n" + line(10, 3),
         {10, 11},
         {},
         {},
         {2, 4}},
        {"repeated far apart", far + line(100, 5) + "\n", {}, {}, {}, {21}},
        {"any order", line(12, 1) + "\n" + line(10, 2) + "\n" + line(11, 3) + "\n", {10, 11, 12}},
        {"CR only", line(10) + "\r" + line(11, 1) + "\r" + line(12, 2) + "\r", {10, 11, 12}},
        {"CR, LF and CR LF",
         line(10) + "\r\nxx\n" + line(12) + "\r" + line(13) + "\r\n\r\nyy",
         {10, 12, 13},
         {2, 6}},
        {"carried numbers", line(10, 4) + "\n0000011 2016-01-02\n", {10, 11}, {}, {}, {}, {2}},
        {"blank lines count nowhere", "\n  \n" + line(10) + "\n\n\t\nxx\n", {10}, {6}},
        {"half is enough", line(10) + "\nxx\n", {10}, {2}},
        {"mostly garbage",
         line(10) + "\nxx\n" + bad + "\n" + line(10),
         {1, 2, 3},
         {2},
         {3},
         {4},
         {},
         true},
    };
    for (auto c : cases) {
        if (c.stored.empty())
            for (int i = 0; i < 20; ++i) c.stored.push_back(100 + i);
        ASSERT_TRUE(commands.deleteAll().ok);
        store({1, 2, 3});
        test::writeFile(dir.file("in.txt"), c.text);
        const auto r = commands.importFile(dir.file("in.txt"), {});
        EXPECT_EQ(r.ok, !c.refused) << c.name << ": " << r.message;
        EXPECT_EQ(r.refused, c.refused) << c.name;
        EXPECT_EQ(issues(), c.stored) << c.name;
        EXPECT_EQ(r.lines.textLines, c.text_) << c.name;
        EXPECT_EQ(r.lines.badNumberLines, c.bad) << c.name;
        EXPECT_EQ(r.lines.repeatedLines, c.repeated) << c.name;
        EXPECT_EQ(r.lines.carriedLines, c.carried) << c.name;
        for (const auto* named : {&c.text_, &c.bad, &c.repeated, &c.carried}) {
            std::string list;
            for (int n : *named) list += (list.empty() ? "" : "、") + std::to_string(n);
            if (!list.empty())
                EXPECT_NE(r.message.find("（第 " + list + " 行）"), std::string::npos)
                    << c.name << ": " << r.message;
        }
        EXPECT_EQ(r.message.empty(),
                  c.text_.empty() && c.bad.empty() && c.repeated.empty() && c.carried.empty())
            << c.name << ": " << r.message;
        // Each draw is stored against the draw before it in issue order; of
        // a repeated issue, the first line.
        const History h = load();
        for (int row = 0; !c.refused && row < h.size(); ++row) {
            const Numbers previous = row ? h.numbers(row - 1) : Numbers{};
            EXPECT_EQ(h.params(row), computeParameters(h.draw(row), previous)) << c.name;
        }
        if (c.name == "repeated") EXPECT_EQ(h.number(0, 1), 2) << "the first line of issue 10";
    }
}

TEST_F(HistoryCommandsTest, CancelledImportChangesNothing) {
    store({1, 2});
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += std::to_string(1100000 + i) + " 2016-01-01 01 02 03 04 05 06 07 08 09 10\n";
    test::writeFile(dir.file("big.txt"), text);
    const auto r = commands.importFile(dir.file("big.txt"), {},
                                       [](long long done, long long) { return done < 4000; });
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(issues(), (std::vector<int>{1, 2}));
}

TEST_F(HistoryCommandsTest, Deletions) {
    store({545548, 545549, 545550});
    EXPECT_EQ(commands.deleteDownTo(545549).rows, 1);
    EXPECT_EQ(issues(), (std::vector<int>{545548, 545549}));
    EXPECT_EQ(commands.deleteLastN(10).rows, 2) << "more than stored deletes all";
    EXPECT_TRUE(issues().empty());
    EXPECT_TRUE(commands.deleteAll().ok) << "empty history: nothing to do, no error";
    EXPECT_TRUE(commands.deleteLast().ok);
    EXPECT_EQ(commands.deleteLastN(-3).rows, 0);

    // An issue that is not stored (a typo) deletes nothing and says so.
    store({7, 8, 10});
    for (int issue : {1, 9, 11}) {
        const auto r = commands.deleteDownTo(issue);
        EXPECT_FALSE(r.ok) << issue;
        EXPECT_NE(r.message.find(std::to_string(issue)), std::string::npos) << r.message;
    }
    EXPECT_EQ(issues(), (std::vector<int>{7, 8, 10}));
}

TEST_F(HistoryCommandsTest, DeleteLastRemovesOneOfTwoEqualGreatestIssues) {
    // Duplicates can be in a file an older version imported; manual entry
    // and import refuse them.
    {
        HistoryTable table(db);
        for (const auto& d :
             {draw(5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), draw(9, {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}),
              draw(9, {2, 1, 3, 4, 5, 6, 7, 8, 9, 10})})
            table.append(d.issue, computeParameters(d, {}));
    }
    EXPECT_EQ(commands.deleteLast().rows, 1);
    const History h = load();
    ASSERT_EQ(h.size(), 2);
    EXPECT_EQ(h.issue(1), 9);
    EXPECT_EQ(h.number(1, 1), 10) << "the later stored of the two went first";
}

}  // namespace
}  // namespace varnet
