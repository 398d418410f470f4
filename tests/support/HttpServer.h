#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace varnet::test {

// A small HTTP server on 127.0.0.1 for the download tests: one thread per
// connection, every answer bounded in bytes and time, and everything closed
// and joined when it goes out of scope. It never reaches beyond the machine.
class HttpServer {
  public:
    struct Reply {
        enum class Kind {
            Body,       // status and body with its length
            Redirect,   // 302 to `location`
            Silent,     // reads the request and never answers
            Endless,    // a body without length, sent until the client stops
            Truncated,  // announces `body` but sends half of it and closes
        };
        Kind kind = Kind::Body;
        int status = 200;
        std::string body;
        std::string location;
        int delayMs = 0;  // before answering
    };
    using Handler = std::function<Reply(const std::string& path)>;

    static Reply ok(std::string body, int delayMs = 0) {
        return {Reply::Kind::Body, 200, std::move(body), {}, delayMs};
    }
    static Reply status(int code) { return {Reply::Kind::Body, code, "<html>error</html>", {}, 0}; }
    static Reply redirect(std::string to) { return {Reply::Kind::Redirect, 302, {}, to, 0}; }
    static Reply of(Reply::Kind kind, std::string body = std::string(4000, 'x')) {
        return {kind, 200, std::move(body), {}, 0};
    }

    explicit HttpServer(Handler handler) : handler_(std::move(handler)) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listen_, 32);
        socklen_t len = sizeof addr;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~HttpServer() {
        stop_ = true;
        acceptor_.join();
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            threads.swap(connections_);
        }
        for (auto& t : threads) t.join();
        close(listen_);
    }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::string url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int requests() const { return requests_; }
    std::vector<std::string> paths() const {
        std::lock_guard lock(mutex_);
        return paths_;
    }

    // An address where nothing listens: the site is down.
    static std::string downUrl() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
        close(s);
        return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    }

  private:
    static constexpr auto kMaxLife = std::chrono::seconds(20);
    static constexpr std::size_t kMaxEndless = 100u * 1024 * 1024;

    void acceptLoop() {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int c = accept(listen_, nullptr, nullptr);
            if (c < 0) continue;
            std::lock_guard lock(mutex_);
            connections_.emplace_back([this, c] {
                serve(c);
                shutdown(c, SHUT_RDWR);
                close(c);
            });
        }
    }

    // Waits up to `ms` unless the server stops or the client goes away.
    bool pause(int fd, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 10) > 0) {
                char b;
                if (recv(fd, &b, 1, MSG_PEEK | MSG_DONTWAIT) == 0) return false;
            }
        }
        return !stop_;
    }

    bool sendAll(int fd, const char* data, std::size_t size) {
        while (size > 0 && !stop_) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return size == 0;
    }
    bool sendAll(int fd, const std::string& s) { return sendAll(fd, s.data(), s.size()); }

    void serve(int fd) {
        std::string request;
        const auto start = std::chrono::steady_clock::now();
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            if (stop_ || std::chrono::steady_clock::now() - start > kMaxLife) return;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buf[4096];
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return;
            request.append(buf, static_cast<std::size_t>(n));
        }
        const auto sp = request.find(' ');
        const std::string path = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
        {
            std::lock_guard lock(mutex_);
            paths_.push_back(path);
        }
        ++requests_;
        const Reply r = handler_(path);
        if (r.delayMs > 0 && !pause(fd, r.delayMs)) return;
        const std::string head =
            "HTTP/1.1 " + std::to_string(r.status) + " X\r\nConnection: close\r\n";
        switch (r.kind) {
            case Reply::Kind::Body:
            case Reply::Kind::Truncated: {
                sendAll(fd, head + "Content-Type: text/html\r\nContent-Length: " +
                                std::to_string(r.body.size()) + "\r\n\r\n");
                const std::size_t n =
                    r.kind == Reply::Kind::Body ? r.body.size() : r.body.size() / 2;
                sendAll(fd, r.body.data(), n);
                break;
            }
            case Reply::Kind::Redirect:
                sendAll(fd, "HTTP/1.1 302 Found\r\nConnection: close\r\nLocation: " + r.location +
                                "\r\nContent-Length: 0\r\n\r\n");
                break;
            case Reply::Kind::Silent:
                pause(fd, static_cast<int>(std::chrono::milliseconds(kMaxLife).count()));
                break;
            case Reply::Kind::Endless: {
                if (!sendAll(fd, head + "Content-Type: text/html\r\n\r\n")) break;
                const std::string chunk(64 * 1024, 'a');
                for (std::size_t sent = 0;
                     sent < kMaxEndless && std::chrono::steady_clock::now() - start < kMaxLife;
                     sent += chunk.size())
                    if (!sendAll(fd, chunk)) break;
                break;
            }
        }
    }

    Handler handler_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> connections_;
    std::vector<std::string> paths_;
};

}  // namespace varnet::test
