#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "base/TextCodec.h"
#include "history/PageScan.h"
#include "net/PageText.h"
#include "support/DayPage.h"

namespace varnet {
namespace {

using test::NumberStyle;
using test::PageDraw;

TEST(PageTextTest, ShowsWhatABrowserShows) {
    const struct {
        std::string html, text;
    } cases[] = {
        {"<p>a  b\n c</p><p>d</p>", "a b c\nd"},
        {"<div>x<br>y<br><br>z</div>", "x\ny\n\nz"},
        {"<table><tr><td>1</td><td> 2 </td></tr><tr><th>3</th></tr></table>", "1\t2\n3"},
        {"<head><title>t</title><style>p{}</style></head><script>s()</script>可见&amp;&lt;",
         "可见&<"},
        {"<pre>a  b\n c</pre>", "a  b\n c"},
        {"<div><span>01</span><span>02</span>\n<span>03</span></div>", "0102 03"},
        {"<table><tr><td>open<td>cells</table><p>unclosed <b>bold", "open\tcells\nunclosed bold"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PageText::fromHtml(c.html), c.text) << c.html;

    // A GBK page, whatever its charset hint says.
    const std::string gbk = TextCodec::utf8ToGbk(
        "<html><head><meta charset=\"utf-8\"></head><body><p>1-5龙虎</p></body></html>");
    EXPECT_EQ(PageText::fromHtml(gbk), "1-5龙虎");
    // Nesting far beyond any stack: the parser gives up, nothing breaks.
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<div>";
    EXPECT_LE(PageText::fromHtml(deep + "x").size(), 1u);
}

Numbers perm(std::initializer_list<int> n) {
    Numbers a{};
    std::copy(n.begin(), n.end(), a.begin());
    return a;
}

const std::vector<PageDraw> kDraws = {
    {1000001, perm({3, 7, 1, 10, 4, 2, 9, 5, 8, 6})},
    {1000002, perm({10, 1, 2, 3, 4, 5, 6, 7, 8, 9})},
    {1000003, perm({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
};

std::vector<int> issuesOf(const PageScan::Draws& d) {
    std::vector<int> out;
    for (const auto& x : d.draws) out.push_back(x.issue);
    return out;
}

TEST(PageScanTest, ReadsEveryLayoutOfTheDrawTable) {
    for (const auto style :
         {NumberStyle::TwoDigit, NumberStyle::SingleBlank, NumberStyle::SingleJoined}) {
        const auto r = PageScan::read(PageText::fromHtml(test::dayPageHtml(kDraws, style)));
        ASSERT_EQ(r.draws.size(), kDraws.size()) << static_cast<int>(style);
        for (std::size_t i = 0; i < kDraws.size(); ++i) {
            EXPECT_EQ(r.draws[i].issue, kDraws[i].issue);
            EXPECT_EQ(r.draws[i].numbers, kDraws[i].numbers)
                << static_cast<int>(style) << " row " << i;
        }
    }
    EXPECT_TRUE(
        PageScan::read(PageText::fromHtml(test::dayPageHtml(kDraws, NumberStyle::TwoDigit, false)))
            .draws.empty())
        << "without the header the scan starts at the top and finds no table";
}

TEST(PageScanTest, FollowsTheOffsetsAndChecksEveryRow) {
    const std::string tail = "\t" + std::string(80, '.') + "\n";
    const std::string head = "x\t1-5龙虎\t备注\n";
    // Fixed width until a field of 11 or more: then the row is read digit by
    // digit from its start ("37" -> 3, 7, ...).
    auto r = PageScan::read(head + "0000007\t09:07\n37110425869" + tail);
    ASSERT_EQ(r.draws.size(), 1u);
    EXPECT_EQ(r.draws[0].numbers, perm({3, 7, 1, 10, 4, 2, 5, 8, 6, 9}));

    // A duplicate number, an issue that is no whole number: both reported.
    r = PageScan::read(head + "0000008\t09:07\n01010304050607080910" + tail + "12.5    \t09:07\n" +
                       "01020304050607080910" + tail + "0000009\t09:07\n01020304050607080910" +
                       tail);
    EXPECT_EQ(r.rows, 3);
    EXPECT_EQ(issuesOf(r), std::vector<int>{9});
    EXPECT_EQ(r.dropped,
              (std::vector<std::string>{"0000008：号码不是1到10各一次", "12.5：期号无效"}));

    // A row shorter than 74 characters from its numbers swallows the next
    // row: the line feed looked for lies beyond it.
    r = PageScan::read(head + "0000010\t09:07\n01020304050607080910\tshort\n0000011\t09:07\n" +
                       "10090807060504030201" + tail + "0000012\t09:07\n01020304050607080910" +
                       tail);
    EXPECT_EQ(issuesOf(r), (std::vector<int>{10, 12}));

    // The table ends where the issue field holds no number; 256 rows at most.
    r = PageScan::read(head + "0000013\t09:07\n01020304050607080910" + tail + "合计 3 期\n");
    EXPECT_EQ(issuesOf(r), std::vector<int>{13});
    std::vector<PageDraw> many;
    for (int i = 0; i < 300; ++i) many.push_back({2000000 + i, kDraws[0].numbers});
    EXPECT_EQ(PageScan::read(PageText::fromHtml(test::dayPageHtml(many))).draws.size(), 256u);
}

// Mutated pages: the scan must neither crash nor return a draw that is not a
// permutation of 1..10 with an issue in range.
TEST(PageScanTest, MutatedPagesGiveOnlyValidDraws) {
    std::mt19937 rng(20240501);
    const std::string pieces[] = {"0",       "1",  "10",       " ", "\t", "\n",
                                  "1-5龙虎", "龙", "\xC2\xA0", "5", "x",  "\xE4"};
    const std::string base =
        PageText::fromHtml(test::dayPageHtml(kDraws, NumberStyle::SingleJoined)) +
        PageText::fromHtml(test::dayPageHtml(kDraws, NumberStyle::TwoDigit));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int valid = 0;
    for (int round = 0; round < 3000 && std::chrono::steady_clock::now() < deadline; ++round) {
        std::string text = base;
        const int edits = 1 + static_cast<int>(rng() % 12);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 3) {
                case 0:
                    text.insert(at, pieces[rng() % std::size(pieces)]);
                    break;
                case 1:
                    text.erase(at, 1 + rng() % 4);
                    break;
                default:
                    text[at] = pieces[rng() % std::size(pieces)][0];
            }
        }
        for (const Draw& d : PageScan::read(text).draws) {
            ASSERT_TRUE(isValidNumbers(d.numbers));
            ASSERT_GE(d.issue, 1);
            ASSERT_LE(d.issue, 9999999);
            ++valid;
        }
        ASSERT_LE(PageScan::scan(text).size(), 256u);
    }
    EXPECT_GT(valid, 0) << "mutations small enough to leave some rows readable";
}

}  // namespace
}  // namespace varnet
