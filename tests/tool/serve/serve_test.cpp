// `vandrel serve` against clients that hold on: connections that stay idle, more clients than it
// holds at once, and no descriptors left to accept with. The server runs in this process, with
// short limits, and stops on SIGINT as it does for Ctrl+C.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;
using namespace std::chrono_literals;

// 300 KiB that differ from offset to offset: sent from the file by the system.
std::string LargeBody() {
    std::string bytes(300 << 10, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 1000);
    }
    return bytes;
}

class RunningServe {
public:
    explicit RunningServe(ToolEnvironment environment) {
        WriteFile(app_ / "package.json", R"({"name":"t"})");
        WriteFile(app_ / "www/index.html", "<p>hi</p>");
        WriteFile(app_ / "www/loose.txt", "0123456789");
        WriteFile(app_ / "www/large.bin", LargeBody());
        WriteFile(app_ / "www/assets.dat", EncodeFiles({{"packed.txt", "from the bundle"}}));
        std::promise<uint16_t> listening;
        environment.testHook = [&listening](std::string_view point, const std::string& port) {
            if (point == "serve-listening") {
                listening.set_value(static_cast<uint16_t>(std::stoi(port)));
            }
        };
        std::future<uint16_t> port = listening.get_future();
        thread_ = std::thread([this, environment] {
            code_ = RunTool({"serve", U8(app_.Path())}, out_, err_, environment);
        });
        port_ = port.get();
    }
    ~RunningServe() { Stop(); }

    // The log, once stopped.
    std::string Stop() {
        if (thread_.joinable()) {
            kill(getpid(), SIGINT);
            thread_.join();
        }
        return out_.str();
    }

    // A new connection to the server; -1 when it cannot be made.
    int Connect(int fd = -1) const {
        if (fd < 0) {
            fd = socket(AF_INET, SOCK_STREAM, 0);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return -1;
        }
        return fd;
    }

    uint16_t Port() const { return port_; }
    const fs::path& App() const { return app_.Path(); }

    void Request(int fd) const {
        const std::string request =
            "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n\r\n";
        ASSERT_EQ(send(fd, request.data(), request.size(), 0), ssize_t(request.size()));
    }

private:
    ScratchFolder app_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::thread thread_;
    uint16_t port_ = 0;
    int code_ = -1;
};

// What arrives on `fd` within `wait`: the bytes, "<closed>" when the server closed it, or ""
// when nothing came.
std::string Receive(int fd, std::chrono::milliseconds wait) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(wait.count())) <= 0) {
        return "";
    }
    char buffer[4096];
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    return got <= 0 ? "<closed>" : std::string(buffer, static_cast<size_t>(got));
}

// Everything the server sends on one connection for `request`, until it closes it.
std::string Exchange(const RunningServe& server, std::string request) {
    const std::string port = std::to_string(server.Port());
    for (size_t at; (at = request.find("PORT")) != std::string::npos;) {
        request.replace(at, 4, port);
    }
    const int fd = server.Connect();
    send(fd, request.data(), request.size(), 0);
    std::string answer;
    for (std::string part; (part = Receive(fd, 5s)) != "<closed>" && !part.empty();) {
        answer += part;
    }
    close(fd);
    return answer;
}

// Every answer, byte for byte: status line, header lines in their order, body.
TEST(ServeTest, AnswersByteForByte) {
    RunningServe server({});
    const std::string html = "Cache-Control: no-store\r\nContent-Type: text/html; charset=utf-8\r\n"
                             "Accept-Ranges: bytes\r\nContent-Length: 9\r\n";
    const std::string text = "Cache-Control: no-store\r\nContent-Type: text/plain; charset=utf-8\r\n"
                             "Accept-Ranges: bytes\r\n";
    const struct {
        const char* request;
        std::string answer;
    } cases[] = {
        {"GET /index.html HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200 OK\r\n" + html + "Connection: close\r\n\r\n<p>hi</p>"},
        {"GET /packed.txt HTTP/1.1\r\nHost: localhost:PORT\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200 OK\r\n" + text +
             "Content-Length: 15\r\nConnection: close\r\n\r\nfrom the bundle"},
        {"GET /loose.txt HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nRange: bytes=2-4\r\n"
         "Connection: close\r\n\r\n",
         "HTTP/1.1 206 Partial Content\r\n" + text +
             "Content-Range: bytes 2-4/10\r\nContent-Length: 3\r\nConnection: close\r\n\r\n234"},
        {"GET /loose.txt HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nRange: bytes=10-\r\n"
         "Connection: close\r\n\r\n",
         "HTTP/1.1 416 Range Not Satisfiable\r\n" + text +
             "Content-Length: 0\r\nConnection: close\r\n\r\n"},
        {"GET /missing.js HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 404 Not Found\r\nCache-Control: no-store\r\nContent-Length: 14\r\n"
         "Connection: close\r\n\r\nFile not found"},
        {"HEAD /index.html HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200 OK\r\n" + html + "Connection: close\r\n\r\n"},
        {"POST /index.html HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nContent-Length: 0\r\n"
         "Connection: close\r\n\r\n",
         "HTTP/1.1 405 Method Not Allowed\r\nAllow: GET, HEAD\r\nCache-Control: no-store\r\n"
         "Content-Length: 0\r\nConnection: close\r\n\r\n"},
        {"GET /index.html HTTP/1.0\r\nHost: 127.0.0.1:PORT\r\n\r\n",
         "HTTP/1.0 200 OK\r\n" + html + "\r\n<p>hi</p>"},
        {"GET /index.html HTTP/1.1\r\nHost: evil.example:PORT\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 403 Forbidden\r\nContent-Type: text/plain\r\nCache-Control: no-store\r\n"
         "Content-Length: 9\r\nConnection: close\r\n\r\nForbidden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        EXPECT_EQ(Exchange(server, c.request), c.answer);
    }
    // A large folder file, whole and a range in the middle of it.
    const std::string large = LargeBody();
    EXPECT_TRUE(Exchange(server, "GET /large.bin HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n"
                                 "Connection: close\r\n\r\n") ==
                "HTTP/1.1 200 OK\r\nCache-Control: no-store\r\nContent-Type: "
                "application/octet-stream\r\nAccept-Ranges: bytes\r\nContent-Length: 307200\r\n"
                "Connection: close\r\n\r\n" + large);
    EXPECT_TRUE(Exchange(server, "GET /large.bin HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n"
                                 "Range: bytes=100000-299999\r\nConnection: close\r\n\r\n") ==
                "HTTP/1.1 206 Partial Content\r\nCache-Control: no-store\r\nContent-Type: "
                "application/octet-stream\r\nAccept-Ranges: bytes\r\nContent-Range: bytes "
                "100000-299999/307200\r\nContent-Length: 200000\r\nConnection: close\r\n\r\n" +
                    large.substr(100000, 200000));
    // Kept alive: two answers on one connection, the second after the first in full.
    EXPECT_EQ(Exchange(server,
                       "GET /loose.txt HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n\r\n"
                       "GET /packed.txt HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nConnection: close\r\n\r\n"),
              "HTTP/1.1 200 OK\r\n" + text + "Content-Length: 10\r\n\r\n0123456789" +
                  "HTTP/1.1 200 OK\r\n" + text +
                  "Content-Length: 15\r\nConnection: close\r\n\r\nfrom the bundle");
}

// Browsers that go away in the middle of a large answer end their connections, not the server.
TEST(ServeTest, ClientsThatLeaveMidAnswerDoNotStopTheServer) {
    RunningServe server({});
    WriteFile(server.App() / "www/huge.bin", std::string(32 << 20, 'h'));
    for (int round = 0; round < 4; ++round) {
        const int fd = server.Connect();
        const std::string request = "GET /huge.bin HTTP/1.1\r\nHost: 127.0.0.1:" +
                                    std::to_string(server.Port()) + "\r\n\r\n";
        send(fd, request.data(), request.size(), 0);
        EXPECT_NE(Receive(fd, 5s), "");
        close(fd);  // with most of the answer unread
    }
    EXPECT_EQ(Exchange(server, "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n"
                               "Connection: close\r\n\r\n")
                  .substr(0, 15),
              "HTTP/1.1 200 OK");
}

TEST(ServeTest, IdleConnectionsAreClosed) {
    ToolEnvironment environment;
    environment.serveIdleTime = 200ms;
    RunningServe server(environment);
    const int idle = server.Connect();
    const int halfway = server.Connect();
    ASSERT_GE(idle, 0);
    ASSERT_GE(halfway, 0);
    send(halfway, "GET / HTTP/1.1\r\n", 16, 0);  // and never the rest
    const int served = server.Connect();
    server.Request(served);
    EXPECT_EQ(Receive(served, 5s).substr(0, 15), "HTTP/1.1 200 OK");
    for (const int fd : {idle, halfway, served}) {
        std::string last;
        for (int reads = 0; reads < 10 && last != "<closed>" && (reads == 0 || !last.empty());
             ++reads) {
            last = Receive(fd, 5s);
        }
        EXPECT_EQ(last, "<closed>");
        close(fd);
    }
}

TEST(ServeTest, ClientsBeyondTheLimitWaitTheirTurn) {
    ToolEnvironment environment;
    environment.serveConnections = 2;
    RunningServe server(environment);
    const int first = server.Connect();
    const int second = server.Connect();
    server.Request(second);
    EXPECT_NE(Receive(second, 5s), "");
    const int third = server.Connect();  // queued by the system, not yet accepted
    ASSERT_GE(third, 0);
    server.Request(third);
    EXPECT_EQ(Receive(third, 300ms), "") << "a third connection is not taken while two are open";
    close(first);
    EXPECT_EQ(Receive(third, 5s).substr(0, 15), "HTTP/1.1 200 OK");
    close(second);
    close(third);
}

TEST(ServeTest, NoDescriptorsLeftMeansWaitingNotSpinning) {
    RunningServe server({});
    // The clients' sockets are made first; then no descriptor is left for the server to accept
    // them with.
    int waiting[3];
    for (int& fd : waiting) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
    }
    rlimit before{};
    getrlimit(RLIMIT_NOFILE, &before);
    rlimit tight = before;
    tight.rlim_cur = static_cast<rlim_t>(std::max({waiting[0], waiting[1], waiting[2]}) + 1);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    for (int& fd : waiting) {
        fd = server.Connect(fd);
        ASSERT_GE(fd, 0);
    }
    const auto busy = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double start = busy();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(busy() - start, 0.25) << "seconds of processor time in one second of waiting";
    // Descriptors come back: the clients are answered.
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &before), 0);
    server.Request(waiting[0]);
    EXPECT_EQ(Receive(waiting[0], 5s).substr(0, 15), "HTTP/1.1 200 OK");
    for (const int fd : waiting) {
        close(fd);
    }
    const std::string log = server.Stop();
    EXPECT_NE(log.find("cannot accept connections (Too many open files); trying again"),
              std::string::npos)
        << log;
}

}  // namespace
}  // namespace vandrel::tool
