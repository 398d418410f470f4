#include <QDate>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <atomic>

#include "GuiFixture.h"
#include "db/FormulaTable.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaUpdate.h"
#include "history/HistoryUpdate.h"
#include "support/DayPage.h"

namespace varnet::test {
namespace {

const QString kSiteEntry = "开奖网站地址设置...";
const QString kFileEntry = "公式文件地址设置...";

class OnlineUpdateWindowTest : public GuiTest {
  protected:
    // The page address of the day `ago` days before today.
    static std::string pagePath(int ago) {
        return "/draw-pk10-" + kToday.addDays(-ago).toString("yyyyMMdd").toStdString() + ".html";
    }
    void press(const char* name) {
        auto* button = window->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    std::vector<std::string> formulas(int position) {
        std::vector<std::string> out;
        for (const auto& r : FormulaTable(db, position).rows())
            out.push_back((r.kill ? "杀 " : "生 ") + r.chinese);
        return out;
    }
    QString lastMessage() {
        return asker.messages.empty() ? QString() : asker.messages.back().text;
    }

    Site site;
    std::atomic<int> requests{0};
    HttpServer server{[this](const std::string& p) {
        ++requests;
        return site(p);
    }};
};

TEST_F(OnlineUpdateWindowTest, HistoryUpdateAddsTheServedDrawsAndReports) {
    storeSetting(HistoryUpdate::kSiteKey, QString::fromStdString(server.url("/")));
    site.set(pagePath(2), HttpServer::ok(dayPageHtml(pageDraws({101, 102}))));
    site.set(pagePath(1), HttpServer::ok(dayPageHtml(pageDraws({103}))));
    site.set(pagePath(0), HttpServer::ok(dayPageHtml(pageDraws({104, 105}))));
    MainWindow& w = open();
    asker.confirms = {true};
    press("cmdWebUpdate");

    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_EQ(asker.questions[0].title, "在线更新");
    EXPECT_EQ(asker.questions[0].text, QString::fromUtf8(HistoryUpdate::kQuestion));
    EXPECT_EQ(storedIssues(), (std::vector<int>{101, 102, 103, 104, 105}));
    EXPECT_EQ(w.history().size(), 5) << "the grid shows the new draws";
    EXPECT_EQ(w.drawEntry()->issueText(), "106");
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(lastMessage().contains("新增 5 期")) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains("读取 3 天")) << lastMessage().toStdString();
    // The next manual entry takes today's date and follows the last draw.
    EXPECT_TRUE(w.state().dateFromImport);
    EXPECT_EQ(w.state().carry.numbers, pageDraw(105).numbers);
    EXPECT_EQ(w.state().carry.day, kToday.day());

    // Again: nothing new, nothing changes.
    asker.confirms = {true};
    press("cmdWebUpdate");
    EXPECT_EQ(storedIssues(), (std::vector<int>{101, 102, 103, 104, 105}));
    EXPECT_TRUE(lastMessage().contains("已是最新")) << lastMessage().toStdString();
}

// 3,000 draws over 17 days, days 3: the update says what the replacement
// would delete and keeps the draws unless told otherwise.
TEST_F(OnlineUpdateWindowTest, AnOldHistoryGoesOnlyWhenReplacingIsChosenAndEveryPageCame) {
    storeSetting("IniSerchDay", "3");
    storeSetting(HistoryUpdate::kSiteKey, QString::fromStdString(server.url()));
    storeSpreadHistory(
        db, 3000, 17,
        std::chrono::sys_days{std::chrono::year{kToday.year()} / kToday.month() / kToday.day()});
    site.set(pagePath(2), HttpServer::ok(dayPageHtml(pageDraws({2999, 3000}))));
    site.set(pagePath(1), HttpServer::ok(dayPageHtml(pageDraws({3000, 3001}))));
    site.set(pagePath(0), HttpServer::ok("<html><body>系统维护中</body></html>"));
    MainWindow& w = open();
    const QString failedDay = kToday.toString("yyyy-MM-dd");

    asker.confirms = {true};
    asker.choices = {2};
    press("cmdWebUpdate");
    ASSERT_EQ(asker.questions.size(), 2u);
    EXPECT_EQ(asker.questions[0].text, QString::fromUtf8(HistoryUpdate::kQuestion));
    const QString q = asker.questions[1].text;
    EXPECT_TRUE(q.contains("全部 3000 期") && q.contains("第 1 期至第 3000 期") &&
                q.contains("2471 期"))
        << q.toStdString();
    EXPECT_EQ(asker.questions[1].proposal, "保留|替换|取消");
    EXPECT_EQ(requests.load(), 0) << "cancelled before anything is read";

    asker.confirms = {true};  // the default: keep
    press("cmdWebUpdate");
    EXPECT_EQ(storedIssues().size(), 3001u);
    EXPECT_TRUE(lastMessage().contains(failedDay)) << lastMessage().toStdString();

    asker.confirms = {true};
    asker.choices = {1};  // replace, but today's page is no day page
    press("cmdWebUpdate");
    EXPECT_EQ(storedIssues().size(), 3001u);
    EXPECT_TRUE(lastMessage().contains(failedDay)) << lastMessage().toStdString();
    EXPECT_FALSE(lastMessage().contains("已是最新")) << lastMessage().toStdString();

    site.set(pagePath(0), HttpServer::ok(dayPageHtml(pageDraws({3002}))));
    asker.confirms = {true};
    asker.choices = {1};
    press("cmdWebUpdate");
    EXPECT_EQ(storedIssues(), (std::vector<int>{2999, 3000, 3001, 3002}));
    EXPECT_EQ(w.history().size(), 4);
}

TEST_F(OnlineUpdateWindowTest, ASiteAnswering500ChangesNothingAndSaysWhy) {
    store({11, 12, 13});
    storeSetting(HistoryUpdate::kSiteKey, QString::fromStdString(server.url()));
    for (int ago = 0; ago <= 3; ++ago) site.set(pagePath(ago), HttpServer::status(500));
    MainWindow& w = open();
    asker.confirms = {true};
    press("cmdWebUpdate");
    EXPECT_GT(requests.load(), 0);
    EXPECT_EQ(storedIssues(), (std::vector<int>{11, 12, 13}));
    EXPECT_EQ(w.history().size(), 3);
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(lastMessage().contains("HTTP 500")) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains("没有改变")) << lastMessage().toStdString();
}

TEST_F(OnlineUpdateWindowTest, TheCancelButtonStopsAPageThatNeverComes) {
    store({11});
    storeSetting(HistoryUpdate::kSiteKey, QString::fromStdString(server.url()));
    for (int ago = 0; ago <= 3; ++ago)
        site.set(pagePath(ago), HttpServer::of(HttpServer::Reply::Kind::Silent));
    MainWindow& w = open();
    asker.confirms = {true};
    QTimer::singleShot(1000, &w, [&w] {
        auto* cancel = w.findChild<QPushButton*>("cmdCancel");
        ASSERT_TRUE(cancel && cancel->isVisible());
        cancel->click();
    });
    QElapsedTimer clock;
    clock.start();
    press("cmdWebUpdate");
    EXPECT_LT(clock.elapsed(), 8000) << "the download is abandoned, not waited out";
    EXPECT_EQ(storedIssues(), std::vector<int>{11});
    EXPECT_TRUE(lastMessage().contains("已取消")) << lastMessage().toStdString();
}

TEST_F(OnlineUpdateWindowTest, CancelOnTheQuestionAndAnEmptyAddressChangeNothing) {
    store({11});
    site.set(pagePath(0), HttpServer::ok(dayPageHtml(pageDraws({20}))));
    open();
    press("cmdWebUpdate");
    EXPECT_TRUE(asker.questions.empty()) << "no address: nothing to ask";
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(lastMessage().contains(kSiteEntry)) << lastMessage().toStdString();
    press("cmdFormulaUpdate");
    ASSERT_EQ(asker.messages.size(), 2u);
    EXPECT_TRUE(lastMessage().contains(kFileEntry)) << lastMessage().toStdString();

    settings->setText(HistoryUpdate::kSiteKey, QString::fromStdString(server.url()));
    asker.confirms = {false};
    press("cmdWebUpdate");
    EXPECT_EQ(asker.questions.size(), 1u);
    EXPECT_EQ(asker.messages.size(), 2u);
    EXPECT_EQ(requests.load(), 0);
    EXPECT_EQ(storedIssues(), std::vector<int>{11});
}

TEST_F(OnlineUpdateWindowTest, FormulaUpdateReplacesTheFormulasOnlyWithAUsableFile) {
    FormulaTable(db, 1).append(true, "L1A", "第一码=下期杀第一");
    storeSetting(FormulaUpdate::kUrlKey, QString::fromStdString(server.url("/f/ZO10DI.txt")));
    site.set("/f/ZO10DI.txt",
             HttpServer::ok("<html><body>" + std::string(2048, '-') + "服务器错误</body></html>"));
    MainWindow& w = open();
    ASSERT_EQ(w.formulaPanel()->model()->rowCount(), 1);
    asker.confirms = {true};
    press("cmdFormulaUpdate");
    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_EQ(asker.questions[0].title, "读入历史");
    EXPECT_EQ(asker.questions[0].text, QString::fromUtf8(FormulaUpdate::kQuestion));
    EXPECT_EQ(formulas(1), std::vector<std::string>{"杀 第一码=下期杀第一"});
    EXPECT_TRUE(lastMessage().contains("没有可用的公式")) << lastMessage().toStdString();
    EXPECT_TRUE(w.state().kill);

    std::string file = "第一码+第二码=下期杀第三\r\n第四大小+7=下期生第三\r\n";
    file += std::string(1200, '\n');
    site.set("/f/ZO10DI.txt", HttpServer::ok(file));
    asker.confirms = {true};
    press("cmdFormulaUpdate");
    EXPECT_TRUE(formulas(1).empty());
    EXPECT_EQ(formulas(3), (std::vector<std::string>{"杀 第一码+第二码=下期杀第三",
                                                     "生 第四大小+7=下期生第三"}));
    EXPECT_TRUE(lastMessage().contains("2 条公式")) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains("第三名：杀 1 条，生 1 条")) << lastMessage().toStdString();
    EXPECT_FALSE(w.state().kill) << "the mode of the file's last line";
    // Position 1 got nothing: the list moves to the formulas that came.
    EXPECT_EQ(w.state().selectedPosition, 3);
    EXPECT_EQ(w.formulaPanel()->model()->rowCount(), 1);
}

TEST_F(OnlineUpdateWindowTest, AddressEntriesTakeOnlyWebAddresses) {
    open();
    asker.answers = {QString("ftp://x")};
    trigger(window->settingsMenu(), kSiteEntry);
    EXPECT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(storedSetting(HistoryUpdate::kSiteKey), "");

    asker.answers = {QString(" http://127.0.0.1:8080/site ")};
    trigger(window->settingsMenu(), kSiteEntry);
    EXPECT_EQ(storedSetting(HistoryUpdate::kSiteKey), "http://127.0.0.1:8080/site");
    asker.answers = {std::nullopt};
    trigger(window->settingsMenu(), kSiteEntry);
    EXPECT_EQ(asker.questions.back().proposal, "http://127.0.0.1:8080/site");
    EXPECT_EQ(storedSetting(HistoryUpdate::kSiteKey), "http://127.0.0.1:8080/site");
    asker.answers = {QString("")};
    trigger(window->settingsMenu(), kSiteEntry);
    EXPECT_EQ(storedSetting(HistoryUpdate::kSiteKey), "");

    asker.answers = {QString("ftp://x"), QString("https://h.example/SOFT/ZO10DI.txt")};
    trigger(window->settingsMenu(), kFileEntry);
    trigger(window->settingsMenu(), kFileEntry);
    EXPECT_EQ(asker.messages.size(), 2u);
    EXPECT_EQ(storedSetting(FormulaUpdate::kUrlKey), "https://h.example/SOFT/ZO10DI.txt");
}

}  // namespace
}  // namespace varnet::test
