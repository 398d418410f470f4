#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>

#include "analysis/Exports.h"
#include "base/TextCodec.h"
#include "db/FormulaTable.h"
#include "db/Schema.h"
#include "formula/FormulaCommands.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

std::string unzipped(const std::string& book, const std::string& member) {
    const std::string command = "unzip -p '" + book + "' " + member;
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// A workbook read back from its XML, apart from the writer: cell text and
// interior colour ("FF0000FF"; empty for none) by reference ("B2").
struct Sheet {
    std::map<std::string, std::pair<std::string, std::string>> cells;

    explicit Sheet(const std::string& book) {
        const std::string styles = unzipped(book, "xl/styles.xml");
        std::vector<std::string> fills, xfFills;
        const std::regex fill("<fill>(.*?)</fill>"), rgb("fgColor rgb=\"([0-9A-F]+)\"");
        for (std::sregex_iterator i(styles.begin(), styles.end(), fill), e; i != e; ++i) {
            std::smatch m;
            const std::string f = (*i)[1];
            fills.push_back(std::regex_search(f, m, rgb) ? m[1].str() : "");
        }
        const auto xfs = styles.substr(styles.find("<cellXfs"));
        const std::regex xf("<xf [^>]*fillId=\"(\\d+)\"");
        for (std::sregex_iterator i(xfs.begin(), xfs.end(), xf), e; i != e; ++i)
            xfFills.push_back(fills.at(std::stoul((*i)[1])));
        const std::string sheet = unzipped(book, "xl/worksheets/sheet1.xml");
        const std::regex cell("<c r=\"([A-Z]+\\d+)\"( s=\"(\\d+)\")?[^>]*?(/>|>(.*?)</c>)");
        const std::regex text("<t[^>]*>(.*?)</t>|<v>(.*?)</v>");
        for (std::sregex_iterator i(sheet.begin(), sheet.end(), cell), e; i != e; ++i) {
            const std::string body = (*i)[5];
            std::smatch m;
            std::string value;
            if (std::regex_search(body, m, text)) value = m[1].matched ? m[1].str() : m[2].str();
            cells[(*i)[1]] = {value, (*i)[3].matched ? xfFills.at(std::stoul((*i)[3])) : ""};
        }
    }
    std::string text(const std::string& ref) const {
        auto it = cells.find(ref);
        return it == cells.end() ? "" : it->second.first;
    }
    std::string fill(const std::string& ref) const {
        auto it = cells.find(ref);
        return it == cells.end() ? "" : it->second.second;
    }
};

std::string ref(int column, int row) {
    std::string s;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) s.insert(s.begin(), char('A' + (c - 1) % 26));
    return s + std::to_string(row + 1);
}

TEST(Export, HistoryAndResultWorkbooksReadBack) {
    test::TempDir dir;
    const History h = test::randomHistory(30, 9);
    std::vector<ListedFormula> list(3);
    const char* codes[] = {"L1A+3", "L2B*L3C", "L4A/(L5A-L5A)"};
    for (int i = 0; i < 3; ++i) {
        list[i].row.id = i + 1;
        list[i].program = parseFormula(codes[i]).program;
    }
    const auto columns = perDrawBlock(h, list, 0, 500, 1, false);
    const std::string path = dir.file("lishi.xlsx");
    ASSERT_TRUE(exportHistoryWorkbook(path, h, &columns, {"甲", "乙", "丙"}).ok);
    const Sheet sheet(path);
    EXPECT_EQ(sheet.text("A1"), "期号");
    EXPECT_EQ(sheet.text("K1"), "第十");
    EXPECT_EQ(sheet.text("M1"), "乙");
    for (int r = 0; r < h.size(); ++r) {
        EXPECT_EQ(sheet.text(ref(0, r + 1)), std::to_string(h.issue(r)));
        EXPECT_EQ(sheet.text(ref(4, r + 1)), std::to_string(h.number(r, 4)));
        for (int f = 0; f < 3; ++f) {
            const auto& c = columns[f];
            const std::string cell = ref(11 + f, r + 1);
            const bool has = !c.numbers.empty() && c.numbers[r] != PerDrawColumn::kNoNumber;
            EXPECT_EQ(sheet.text(cell), has ? std::to_string(c.numbers[r]) : "") << cell;
            const int mark = c.marks.empty() ? int(PerDrawColumn::None) : int(c.marks[r]);
            EXPECT_EQ(sheet.fill(cell), mark == PerDrawColumn::Hit    ? "FF0000FF"
                                        : mark == PerDrawColumn::Miss ? "FF00FF00"
                                                                      : "")
                << cell;
        }
    }

    PositionVotes votes;
    votes.kill = {0, 3, 0, 2, 0, 1, 0, 0, 0, 0, 5};
    votes.total = votes.kill;
    ASSERT_TRUE(exportResultWorkbook(dir.file("ErrarrLei.xlsx"), votes).ok);
    const Sheet result(dir.file("ErrarrLei.xlsx"));
    EXPECT_EQ(result.text("C1"), "杀留Err值（公式错误值）");
    const std::vector<std::string> numbers{"2", "4", "6", "7", "8", "9", "5", "3", "1", "10"};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(result.text(ref(1, k + 1)), numbers[k]);
    EXPECT_EQ(result.text("C11"), "5");

    // A file that cannot be written is reported and nothing is left.
    std::filesystem::create_directories(dir.file("taken.xlsx"));
    const auto failed = exportResultWorkbook(dir.file("taken.xlsx"), votes);
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.message.find("taken.xlsx"), std::string::npos) << failed.message;
    EXPECT_FALSE(std::filesystem::exists(dir.file("taken.xlsx.part")));
}

TEST(Export, FormulaTextLayoutAndReadBack) {
    test::TempDir dir;
    std::vector<ExportedFormula> formulas;
    for (int i = 0; i < 120; ++i)
        formulas.push_back({(i % 7 ? "第一码+第二大小+" : "[第三杀]第一码+") + std::to_string(i) +
                                (i % 7 ? "=下期杀第四" : ""),
                            i % 5});
    const std::string path = dir.file(ExportNames::formulaText("545551"));
    EXPECT_EQ(std::filesystem::path(path).filename().string(), "545551期北京赛车公式.txt");
    ASSERT_TRUE(writeFormulaText(path, formulas, FormulaPadding::Block).ok);
    const std::string text = TextCodec::gbkToUtf8(test::readFile(path));
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 3u + 1 + 120 + 3);
    EXPECT_EQ(lines[0], "本组公式由《Varnet》软件搜索而来");
    EXPECT_EQ(lines[1].substr(0, 11), "          \xe5");
    EXPECT_TRUE(lines[3].empty());
    for (int at : {54, 105})
        EXPECT_NE(lines[at].find("——" + std::to_string(at == 54 ? 50 : 100) + "——"),
                  std::string::npos)
            << lines[at];
    EXPECT_NE(lines.back().find("——120——"), std::string::npos);
    // The first formula of a block gets 11 ideographic spaces, a longer one
    // fewer, and every line ends with its final hit run.
    const std::string spaces11 = [] {
        std::string s;
        for (int i = 0; i < 11; ++i) s += "\u3000";
        return s;
    }();
    EXPECT_EQ(lines[4], formulas[0].chinese + spaces11 + "连准：0期");
    EXPECT_EQ(lines[5].find(spaces11), std::string::npos);
    EXPECT_NE(lines[5].find("连准：1期"), std::string::npos);

    EXPECT_EQ(text.find("(&"), std::string::npos) << "captions without their mnemonic";
    // One separator after every 50 formulas and at the end, never the same count twice.
    for (const std::size_t n : {0, 49, 100}) {
        const std::vector<ExportedFormula> some(formulas.begin(), formulas.begin() + n);
        ASSERT_TRUE(writeFormulaText(path, some, FormulaPadding::Block).ok);
        const std::string written = TextCodec::gbkToUtf8(test::readFile(path));
        std::vector<std::string> counts;
        for (std::size_t at = 0; (at = written.find("————————————", at)) != std::string::npos;) {
            at += std::string("————————————").size();
            counts.push_back(written.substr(at, written.find("——", at) - at));
            at = written.find("\r\n", at);
        }
        const std::vector<std::string> want = n == 100
                                                  ? std::vector<std::string>{"50", "100"}
                                                  : std::vector<std::string>{std::to_string(n)};
        EXPECT_EQ(counts, want) << n;
    }

    ASSERT_TRUE(writeFormulaText(path, formulas, FormulaPadding::Own).ok);
    const std::string own = TextCodec::gbkToUtf8(test::readFile(path));
    EXPECT_NE(own.find(formulas[1].chinese + spaces11 + "连准"), std::string::npos);

    ASSERT_TRUE(writeFormulaText(path, formulas, FormulaPadding::Bare).ok);
    const std::string bare = TextCodec::gbkToUtf8(test::readFile(path));
    EXPECT_NE(bare.find("\r\n" + formulas[7].chinese + "\r\n"), std::string::npos);
    EXPECT_EQ(bare.find("连准："), std::string::npos);

    // Read back through the import: the same formulas.
    Database db = Schema::openDataFile(dir.file("formula.mdb"));
    const auto r = FormulaCommands(db).importFile(path, dir.path(), 3, true);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.appended, 120);
    std::vector<std::string> back;
    for (int p : {3, 4})
        for (const auto& row : FormulaTable(db, p).rows()) back.push_back(row.chinese);
    std::vector<std::string> want;
    for (const auto& f : formulas) want.push_back(f.chinese);
    std::sort(back.begin(), back.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(back, want);
}

}  // namespace
}  // namespace varnet
