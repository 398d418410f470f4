#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "db/Statement.h"
#include "formula/FormulaCommands.h"
#include "formula/FormulaUpdate.h"
#include "history/HistoryCommands.h"
#include "history/HistoryUpdate.h"
#include "net/QtFetcher.h"
#include "net/UpdateLock.h"
#include "support/DataFile.h"
#include "support/DayPage.h"
#include "support/HttpServer.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

using test::HttpServer;
using test::NumberStyle;
using test::pageDraws;
using Date = HistoryUpdate::Date;
using Kind = HttpServer::Reply::Kind;
using namespace std::chrono_literals;

constexpr Date kToday{std::chrono::year{2024}, std::chrono::May, std::chrono::day{10}};

Date daysAgo(int n) { return Date{std::chrono::sys_days{kToday} - std::chrono::days{n}}; }

std::string pagePath(int ago) { return HistoryUpdate::pageAddress("", daysAgo(ago)); }

Draw datedDraw(int issue, Date d) {
    Draw x;
    x.issue = issue;
    x.numbers = test::pageDraw(issue).numbers;
    x.year = static_cast<int>(d.year());
    x.month = static_cast<int>(static_cast<unsigned>(d.month()));
    x.day = static_cast<int>(static_cast<unsigned>(d.day()));
    return x;
}

// Faults a site can have, each with the reason the update reports.
struct Fault {
    HttpServer::Reply reply;
    std::string reason;
};
std::vector<Fault> faults(const std::string& path, const std::string& wholePage) {
    return {{HttpServer::status(404), "HTTP 404"},
            {HttpServer::status(500), "HTTP 500"},
            {HttpServer::redirect(path), "重定向次数过多"},
            {HttpServer::of(Kind::Silent), "连接超时"},
            {HttpServer::of(Kind::Endless), "页面超过大小限制"},
            {HttpServer::of(Kind::Truncated, wholePage), "连接被服务器中断，内容不完整"}};
}

class UpdateTest : public ::testing::Test, protected test::DataFile {
  protected:
    UpdateTest() { test::ensureQtApp(); }

    void store(std::initializer_list<int> issues, Date date) {
        for (int i : issues) ASSERT_TRUE(HistoryCommands(db).addDraw(datedDraw(i, date)).ok);
    }
    void page(int ago, std::initializer_list<int> issues,
              NumberStyle style = NumberStyle::TwoDigit) {
        site.set(pagePath(ago), HttpServer::ok(test::dayPageHtml(pageDraws(issues), style)));
    }
    HistoryUpdate::Result update(int days = 3,
                                 HistoryUpdate::OldDraws old = HistoryUpdate::OldDraws::Keep) {
        return HistoryUpdate(db, fetcher).run(server.url(), days, kToday, {}, limits, old);
    }
    std::vector<int> issues() {
        const History h = HistoryTable(db).load();
        return {h.issues().begin(), h.issues().end()};
    }
    // Every stored value of the history, to see that nothing changed.
    std::vector<ParamValues> snapshot() {
        const History h = HistoryTable(db).load();
        std::vector<ParamValues> out;
        for (int r = 0; r < h.size(); ++r) out.push_back(h.params(r));
        return out;
    }
    std::vector<std::string> formulas(int position) {
        std::vector<std::string> out;
        for (const auto& r : FormulaTable(db, position).rows())
            out.push_back(std::to_string(r.idx.value_or(0)) + (r.kill ? " 杀 " : " 生 ") +
                          r.chinese);
        return out;
    }

    test::Site site;
    HttpServer server{[this](const std::string& p) { return site(p); }};
    QtFetcher fetcher;
    Fetcher::Limits limits{300, 300000, 3};
};

TEST(HistoryUpdatePlanTest, PagesRunFromTheLastDrawOrTheWindowUpToToday) {
    const auto at = [](int issue, int ago) {
        return std::optional<Draw>(datedDraw(issue, daysAgo(ago)));
    };
    const std::optional<Draw> none;
    Draw undated = *at(1, 0);
    undated.year = 0;
    const struct {
        std::optional<Draw> first, last;
        int days;
        int pages;  // the last is today
        bool drop;
    } cases[] = {
        {none, none, 3, 3, false},           // empty: the window
        {at(1, 2), at(5, 1), 3, 2, false},   // last draw yesterday
        {at(1, 5), at(5, 1), 3, 3, true},    // oldest five days back: dropped
        {at(1, 3), at(5, 3), 3, 4, false},   // exactly three days back stays
        {undated, at(5, 1), 3, 3, true},     // no date counts as very old
        {at(1, 0), at(5, -2), 3, 1, false},  // a date ahead: today only
        {none, none, 0, 1, false},           // days 0 counts as 1
        {none, none, 50, 10, false},
    };
    for (const auto& c : cases) {
        const auto plan = HistoryUpdate::plan(c.first, c.last, c.days, kToday);
        ASSERT_EQ(static_cast<int>(plan.days.size()), c.pages);
        EXPECT_EQ(plan.days.front(), daysAgo(c.pages - 1));
        EXPECT_EQ(plan.days.back(), kToday);
        EXPECT_EQ(plan.dropHistory, c.drop);
    }
    // Kept, an old history is brought up to date from its last draw's day.
    const auto kept =
        HistoryUpdate::plan(at(1, 5), at(5, 1), 3, kToday, HistoryUpdate::OldDraws::Keep);
    EXPECT_FALSE(kept.dropHistory);
    EXPECT_EQ(kept.days.size(), 2u);
    EXPECT_EQ(HistoryUpdate::pageAddress("http://h/", kToday), "http://h/draw-pk10-20240510.html");
}

TEST_F(UpdateTest, AnEmptyHistoryTakesEveryDrawOfTheWindowInIssueOrder) {
    page(2, {101, 102, 103});
    page(1, {106, 105, 104}, NumberStyle::SingleBlank);  // newest first
    page(0, {107, 108}, NumberStyle::SingleJoined);
    const auto r = update();
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.added, 8);
    EXPECT_EQ(r.daysRead(), 3);
    EXPECT_EQ(server.requests(), 3);
    const History h = HistoryTable(db).load();
    ASSERT_EQ(issues(), (std::vector<int>{101, 102, 103, 104, 105, 106, 107, 108}));
    Numbers previous{};
    for (int row = 0; row < h.size(); ++row) {
        const Date day = daysAgo(row < 3 ? 2 : row < 6 ? 1 : 0);
        const Draw expected = datedDraw(h.issue(row), day);
        EXPECT_EQ(h.draw(row), expected);
        EXPECT_EQ(h.params(row), computeParameters(expected, previous)) << "row " << row;
        previous = expected.numbers;
    }
}

TEST_F(UpdateTest, ALastDrawOfYesterdayLoadsTwoPagesAndAddsOnlyLaterDraws) {
    store({101, 102, 103, 104}, daysAgo(1));
    page(1, {101, 102, 103, 104, 105, 106});
    page(0, {107, 108});
    const auto r = update();
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.added, 4);
    EXPECT_EQ(server.paths(), (std::vector<std::string>{pagePath(1), pagePath(0)}));
    const History h = HistoryTable(db).load();
    ASSERT_EQ(issues(), (std::vector<int>{101, 102, 103, 104, 105, 106, 107, 108}));
    EXPECT_EQ(h.params(4), computeParameters(datedDraw(105, daysAgo(1)), h.numbers(3)))
        << "the first new draw compares with the last stored one";

    const auto again = update();
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.added, 0) << again.message;
    EXPECT_EQ(issues().size(), 8u);
}

TEST_F(UpdateTest, AHistoryOutsideTheWindowMakesWayOnlyForACompleteRead) {
    store({50, 51, 52}, daysAgo(5));
    const auto before = snapshot();
    const auto update = [this] { return UpdateTest::update(3, HistoryUpdate::OldDraws::Replace); };
    // Pages without the table: nothing usable, nothing changes.
    for (int ago = 0; ago < 3; ++ago)
        site.set(pagePath(ago),
                 HttpServer::ok(test::dayPageHtml(pageDraws({200}), NumberStyle::TwoDigit, false)));
    auto r = update();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(snapshot(), before);

    // One day missing: the stored draws stay, the read ones are added.
    page(2, {101});
    page(1, {102});
    site.set(pagePath(0), HttpServer::status(500));
    r = update();
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.deleted, 0);
    EXPECT_EQ(r.daysFailed(), 1);
    EXPECT_EQ(issues(), (std::vector<int>{50, 51, 52, 101, 102}));

    // Every page read: the history is the window's draws alone.
    page(0, {103});
    r = update();
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.deleted, 5);
    EXPECT_EQ(issues(), (std::vector<int>{101, 102, 103}));
    EXPECT_EQ(HistoryTable(db).load().params(0), computeParameters(datedDraw(101, daysAgo(2)), {}));
}

// 3,000 draws over 17 days, days 3: the replacement would take them all.
TEST_F(UpdateTest, ALongHistoryGoesOnlyWhenAskedAndEveryPageWasARealDayPage) {
    test::storeSpreadHistory(db, 3000, 17, std::chrono::sys_days{kToday});
    const auto p = HistoryUpdate(db, fetcher).preview(3, kToday);
    EXPECT_TRUE(p.outsideWindow);
    EXPECT_EQ(p.stored, 3000);
    EXPECT_EQ(p.olderThanWindow, 2471);  // dated 4..17 days back
    EXPECT_EQ(p.firstIssue, 1);
    EXPECT_EQ(p.lastIssue, 3000);
    page(2, {2999, 3000});
    page(1, {3000, 3001});
    page(0, {3002});

    // Asked for nothing: the old draws stay and the new ones follow them.
    auto r = update();
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.deleted, 0);
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(issues().size(), 3002u);

    // Asked to replace, but one day is no day page: nothing goes, and the
    // message names the day instead of calling the history up to date.
    for (const auto& bad :
         {HttpServer::ok("<html><body>" + std::string(500, 'x') + "</body></html>"),
          HttpServer::ok("<html><body>502 Bad Gateway</body></html>"), HttpServer::ok("")}) {
        site.set(pagePath(0), bad);
        r = update(3, HistoryUpdate::OldDraws::Replace);
        EXPECT_EQ(r.deleted, 0);
        EXPECT_EQ(r.daysFailed(), 1);
        EXPECT_EQ(issues().size(), 3002u);
        EXPECT_EQ(r.message.find("已是最新"), std::string::npos) << r.message;
        EXPECT_NE(r.message.find("2024-05-10"), std::string::npos) << r.message;
    }

    page(0, {3002});
    r = update(3, HistoryUpdate::OldDraws::Replace);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.deleted, 3002);
    EXPECT_EQ(issues(), (std::vector<int>{2999, 3000, 3001, 3002}));
    auto freePages = db.prepare("PRAGMA freelist_count");
    ASSERT_TRUE(freePages.step());
    EXPECT_EQ(freePages.int64(0), 0) << "the replaced draws' pages are given back";
}

TEST_F(UpdateTest, NetworkFaultsLeaveTheHistoryAsItWasAndSayWhy) {
    store({101, 102}, daysAgo(1));
    const auto before = snapshot();
    page(1, {101, 102, 103});
    for (const auto& f : faults(pagePath(0), test::dayPageHtml(pageDraws({104, 105})))) {
        site.set(pagePath(0), f.reply);
        const auto start = std::chrono::steady_clock::now();
        const auto r = update();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << f.reason;
        ASSERT_TRUE(r.ok) << "yesterday's page was read: " << r.message;
        ASSERT_EQ(r.days.size(), 2u);
        EXPECT_FALSE(r.days[1].read);
        EXPECT_EQ(r.days[1].reason, f.reason);
        EXPECT_NE(r.message.find(f.reason), std::string::npos) << r.message;
        EXPECT_EQ(issues(), (std::vector<int>{101, 102, 103})) << f.reason;
        ASSERT_TRUE(HistoryCommands(db).deleteLast().ok);
    }
    EXPECT_EQ(snapshot(), before);

    // Nothing read at all: a failure, and nothing changes.
    site.clear();
    auto r = HistoryUpdate(db, fetcher).run(HttpServer::downUrl(), 3, kToday, {}, limits);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.daysFailed(), 2);
    EXPECT_EQ(r.days[0].reason, "无法连接服务器（连接被拒绝）");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(UpdateTest, RefusalsAndCancelChangeNothing) {
    page(2, {101});
    auto r = HistoryUpdate(db, fetcher).run("  ", 3, kToday);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("HistorySiteUrl"), std::string::npos);
    r = HistoryUpdate(db, fetcher)
            .run(
                server.url(), 3, kToday, [](long long done, long long) { return done < 2; },
                limits);
    EXPECT_TRUE(r.cancelled);
    {
        UpdateLock running;
        r = update();
        EXPECT_EQ(r.message, UpdateLock::kBusyText);
        EXPECT_FALSE(FormulaUpdate(db, fetcher).run(server.url("/f"), dir.path(), 1, true).ok);
    }
    EXPECT_TRUE(issues().empty());
}

// A formula file: the lines, then blank lines up to `size` bytes.
std::string formulaFile(const std::vector<std::string>& lines, std::size_t size) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    if (s.size() < size) s += std::string(size - s.size(), '\n');
    return s;
}

class FormulaUpdateTest : public UpdateTest {
  protected:
    void SetUp() override {
        FormulaCommands c(db);
        ASSERT_TRUE(c.add("第一码+1=下期杀第一", 1, true).ok);
        ASSERT_TRUE(c.add("第二码+2=下期生第三", 1, true).ok);
        before1 = formulas(1);
        before3 = formulas(3);
    }
    FormulaUpdate::Result update(const std::string& bytes) {
        site.set("/ZO10DI.txt", HttpServer::ok(bytes));
        return FormulaUpdate(db, fetcher)
            .run(server.url("/ZO10DI.txt"), dir.path(), 1, true, limits);
    }
    void expectUnchanged(const std::string& what) {
        EXPECT_EQ(formulas(1), before1) << what;
        EXPECT_EQ(formulas(3), before3) << what;
    }
    std::string localCopy() { return test::readFile(dir.file(FormulaUpdate::kLocalCopy)); }

    std::vector<std::string> before1, before3;
};

TEST_F(FormulaUpdateTest, AFileNamingPositionThreeIsAllThatRemains) {
    const std::vector<std::string> lines = {"第一码+第二码=下期杀第三    连准：12期",
                                            "第一码+第二码=下期杀第三    连准：12期",
                                            "第一和值+3=下期杀第三",
                                            "[第三]第五码+1",
                                            "第四大小+7=下期生第三",
                                            "[第三]第六码"};
    const std::string file = formulaFile(lines, 1025);
    const auto r = update(file);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.formulas, 5);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_FALSE(r.kill) << "the mode of the last suffix-shape line";
    EXPECT_EQ(r.positions, std::vector<int>{3});
    ASSERT_EQ(r.stored.size(), 1u);
    EXPECT_EQ(std::tie(r.stored[0].position, r.stored[0].kill, r.stored[0].keep),
              std::make_tuple(3, 3, 2));
    EXPECT_NE(r.message.find("第三名：杀 3 条，生 2 条"), std::string::npos) << r.message;
    EXPECT_EQ(formulas(3),
              (std::vector<std::string>{"1 杀 第一码+第二码=下期杀第三",
                                        "2 杀 第一码+第二码=下期杀第三", "3 杀 [第三]第五码+1",
                                        "4 生 第四大小+7=下期生第三", "5 生 [第三]第六码"}));
    for (int p = 1; p <= 10; ++p) EXPECT_TRUE(p == 3 || formulas(p).empty()) << p;
    EXPECT_EQ(localCopy(), file);
}

TEST_F(FormulaUpdateTest, OnlyAFileOfMoreThan1024BytesWithAFormulaReplacesTheFormulas) {
    const std::vector<std::string> one = {"第三码+4=下期杀第一"};
    auto r = update(formulaFile(one, 1024));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("1024"), std::string::npos) << r.message;
    expectUnchanged("1024 bytes");
    EXPECT_FALSE(std::filesystem::exists(dir.file(FormulaUpdate::kLocalCopy)));

    const std::string errorPage =
        "<html><body>" + std::string(2000, ' ') + "服务器错误</body></html>";
    r = update(errorPage);
    EXPECT_FALSE(r.ok);
    expectUnchanged("an error page");

    ASSERT_TRUE(update(formulaFile(one, 1025)).ok);
    EXPECT_EQ(formulas(1), std::vector<std::string>{"1 杀 第三码+4=下期杀第一"});
    EXPECT_TRUE(formulas(3).empty());
    before1 = formulas(1);
    before3 = formulas(3);
    const std::string kept = localCopy();

    for (const auto& f : faults("/ZO10DI.txt", formulaFile({"第三码+5=下期杀第二"}, 4000))) {
        site.set("/ZO10DI.txt", f.reply);
        r = FormulaUpdate(db, fetcher).run(server.url("/ZO10DI.txt"), dir.path(), 1, true, limits);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find(f.reason), std::string::npos) << r.message;
        expectUnchanged(f.reason);
        EXPECT_EQ(localCopy(), kept) << f.reason;
    }
    // Tables that refuse the new formulas keep the old copy beside them.
    db.exec("CREATE TRIGGER refuse BEFORE INSERT ON Gongshi2 BEGIN SELECT RAISE(ABORT, 'no'); END");
    r = update(formulaFile({"第三码+5=下期杀第二"}, 4000));
    EXPECT_FALSE(r.ok);
    expectUnchanged("tables that refuse");
    EXPECT_TRUE(localCopy() == kept) << "the copy goes with the formulas it holds";
    EXPECT_FALSE(std::filesystem::exists(dir.file(FormulaUpdate::kLocalCopy) + ".new"));
    r = FormulaUpdate(db, fetcher).run("", dir.path(), 1, true, limits);
    EXPECT_NE(r.message.find("FormulaFileUrl"), std::string::npos);
    expectUnchanged("no address");
}

}  // namespace
}  // namespace varnet
