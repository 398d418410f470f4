#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/QtFetcher.h"
#include "support/DayPage.h"
#include "support/HttpServer.h"

namespace varnet {
namespace {

using test::HttpServer;
using Kind = HttpServer::Reply::Kind;

class FetcherTest : public ::testing::Test {
  protected:
    void SetUp() override { test::ensureQtApp(); }

    static HttpServer::Reply reply(const std::string& path) {
        if (path == "/page") return HttpServer::ok("<p>页面</p>");
        if (path == "/404") return HttpServer::status(404);
        if (path == "/500") return HttpServer::status(500);
        if (path.rfind("/hop", 0) == 0) {  // /hopN redirects N times, then answers
            const int n = std::stoi(path.substr(4));
            return n == 0 ? HttpServer::ok("end")
                          : HttpServer::redirect("/hop" + std::to_string(n - 1));
        }
        if (path == "/loop") return HttpServer::redirect("/loop");
        if (path == "/silent") return HttpServer::of(Kind::Silent);
        if (path == "/endless") return HttpServer::of(Kind::Endless);
        if (path == "/big") return HttpServer::ok(std::string(300000, 'b'));
        if (path == "/truncated") return HttpServer::of(Kind::Truncated);
        return HttpServer::status(404);
    }

    HttpServer server{reply};
    QtFetcher fetcher;
    Fetcher::Limits limits{400, 200000, 3};
};

TEST_F(FetcherTest, EveryOutcomeOfADownloadIsReportedWithinItsLimits) {
    const struct {
        std::string address;
        std::string body;    // when it succeeds
        std::string reason;  // when it fails
    } cases[] = {
        {server.url("/page"), "<p>页面</p>", ""},
        {server.url("/hop3"), "end", ""},
        {server.url("/hop4"), "", "重定向次数过多"},
        {server.url("/loop"), "", "重定向次数过多"},
        {server.url("/404"), "", "HTTP 404"},
        {server.url("/500"), "", "HTTP 500"},
        {server.url("/silent"), "", "连接超时"},
        {server.url("/endless"), "", "页面超过大小限制"},
        {server.url("/big"), "", "页面超过大小限制"},
        {server.url("/truncated"), "", "连接被服务器中断，内容不完整"},
        {HttpServer::downUrl() + "/page", "", "无法连接服务器（连接被拒绝）"},
        {"file:///etc/passwd", "", "地址无效：file:///etc/passwd"},
        {"not an address", "", "地址无效：not an address"},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const auto r = fetcher.get(c.address, limits);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(r.ok, c.reason.empty()) << c.address << ": " << r.reason;
        EXPECT_EQ(r.ok ? r.bytes : r.reason, r.ok ? c.body : c.reason) << c.address;
        EXPECT_LT(took, std::chrono::seconds(3)) << c.address;
    }
}

TEST_F(FetcherTest, WorksOnAWorkerThreadAndCancelsFromAnother) {
    Fetcher::Result r;
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] { r = fetcher.get(server.url("/silent"), {10000, 1000, 3}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    fetcher.cancel();
    worker.join();
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.reason, "已取消");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    EXPECT_TRUE(fetcher.get(server.url("/page"), limits).cancelled) << "stays cancelled";
    fetcher.reset();
    std::thread again([&] { r = fetcher.get(server.url("/page"), limits); });
    again.join();
    EXPECT_TRUE(r.ok) << r.reason;
}

}  // namespace
}  // namespace varnet
