// Boost 1.74's asio/awaitable.hpp uses std::exchange without including <utility>, which MinGW's
// GCC 12 then does not find.
#include <utility>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include "serve/serve.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "platform/shown_text.h"
#include "platform/tool_environment.h"
#include "portable/config/config_check.h"
#include "serve/folder_watch.h"
#include "serve/serve.h"
#include "serve/serve_content.h"
#include "serve/serve_send.h"
#include "serve/served_app.h"

namespace vandrel::tool {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// Why a request is refused before anything is looked up, or nullopt when it is answered. Only
// this machine's own names with the server's port are answered: a web page that points a name
// of its own at 127.0.0.1 (DNS rebinding) is not. Requests another site makes for the app's
// files are refused too, but for a top-level navigation, whose page that site cannot read.
// Boost's string view as the standard one.
std::string_view View(beast::string_view text) {
    return {text.data(), text.size()};
}

std::optional<std::string> Refusal(const http::request<http::empty_body>& request, uint16_t port) {
    const std::string suffix = ":" + std::to_string(port);
    const auto ownName = [&](std::string_view authority) {
        const std::string lower = AsciiLowercase(authority);
        for (const char* host : {"127.0.0.1", "localhost", "[::1]"}) {
            if (lower == host + suffix || (port == 80 && lower == host)) {
                return true;
            }
        }
        return false;
    };
    const auto quoted = [](std::string_view text) { return Shown(text.substr(0, 200)); };
    const auto host = request.find(http::field::host);
    if (host == request.end()) {
        return std::string("no Host header; only requests for 127.0.0.1") + suffix +
               ", localhost" + suffix + " and [::1]" + suffix + " are answered";
    }
    if (!ownName(View(host->value()))) {
        return "Host " + quoted(View(host->value())) + " is not this server's name; only 127.0.0.1" +
               suffix + ", localhost" + suffix + " and [::1]" + suffix + " are answered";
    }
    const std::string_view target = View(request.target());
    if (const size_t scheme = target.find("://");
        scheme != std::string_view::npos && target.front() != '/') {
        const std::string_view rest = target.substr(scheme + 3);
        if (!ownName(rest.substr(0, rest.find('/')))) {
            return "the target " + quoted(target) + " names another server";
        }
    }
    if (const auto origin = request.find(http::field::origin); origin != request.end()) {
        const std::string_view value = View(origin->value());
        if (!value.starts_with("http://") || !ownName(value.substr(7))) {
            return "the request comes from the page of another site, Origin " + quoted(value);
        }
    }
    const auto field = [&](const char* name) {
        const auto it = request.find(name);
        return it == request.end() ? std::string() : AsciiLowercase(View(it->value()));
    };
    if (field("Sec-Fetch-Site") == "cross-site" &&
        !(field("Sec-Fetch-Mode") == "navigate" && field("Sec-Fetch-Dest") == "document")) {
        return "the request comes from a page of another site (Sec-Fetch-Site: cross-site)";
    }
    return std::nullopt;
}

// How long a connection may stay idle, and how many may be open at once; more clients wait in
// the system's queue until one closes.
struct ServeLimits {
    std::chrono::milliseconds idle{60000};
    size_t connections = 256;
};

// Folder files up to this size are read whole and written with their header in one go; larger
// ones follow their header from the file (sendfile).
constexpr uint64_t kSmallBody = uint64_t{64} << 10;

// An answer's status line and header lines, as the host's core planned them, in the order given,
// with the length and the connection's fate as HTTP/1.x wants them.
class AnswerHeader {
public:
    AnswerHeader(unsigned version, int status, std::string_view reason) {
        text_.reserve(256);
        text_ += version == 10 ? "HTTP/1.0 " : "HTTP/1.1 ";
        text_ += std::to_string(status);
        text_ += ' ';
        text_ += reason;
        text_ += "\r\n";
    }
    void Line(std::string_view line) {
        text_ += line;
        text_ += "\r\n";
        hasLength_ = hasLength_ || line.starts_with("Content-Length: ");
    }
    void Field(std::string_view name, std::string_view value) {
        text_ += name;
        text_ += ": ";
        text_ += value;
        text_ += "\r\n";
        hasLength_ = hasLength_ || name == "Content-Length";
    }
    // Ends the header of a body that lasts until the connection closes.
    const std::string& EndOpen() {
        text_ += "\r\n";
        return text_;
    }
    // Ends the header: the length when no line gave it (HTTP/1.1 needs it to go on), and
    // "Connection" when the connection does not do what the version does by default.
    const std::string& End(uint64_t length, unsigned version, bool keepAlive) {
        if (!hasLength_) {
            Field("Content-Length", std::to_string(length));
        }
        if (version == 11 && !keepAlive) {
            Field("Connection", "close");
        } else if (version == 10 && keepAlive) {
            Field("Connection", "keep-alive");
        }
        text_ += "\r\n";
        return text_;
    }

private:
    std::string text_;
    bool hasLength_ = false;
};

class Server;

// One browser connection: reads requests one after the other and answers each: the header and a
// body from memory (the mapped bundle, or a small folder file read whole) in one write, or the
// header and then the folder file sent from the file by the system. Runs on one event loop;
// a connection that stays idle, or a client that does not take an answer, is closed after the
// server's idle time.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(BrowserSocket socket, Server& server);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // From any thread: starts reading requests, or closes the connection, on its loop.
    void Start();
    void CloseSoon();
    // From any thread: tells a page that listens for reloads to reload.
    void Reload();

private:
    void ReadRequest();
    // The live-reload paths and HTML documents with the script, with --watch; false for the rest.
    bool AnswerLive(unsigned version, bool head, asio::const_buffer& body);
    void Listen(unsigned version);
    void WriteEvent();
    void Close();
    void OnRequest(const error_code& ec);
    void Write(const std::string& header, asio::const_buffer body, bool fileFollows);
    void SendFile();
    void Finish(bool complete);

    BrowserStream stream_;
    LoopTimer waitTimer_;
    Server& server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
    ServedAnswer answer_;
    std::string method_;
    std::string target_;
    unsigned status_ = 0;
    std::string header_;
    std::vector<char> chunk_;
    bool keepAlive_ = false;
    uint64_t bodyLength_ = 0;  // body bytes to send
    uint64_t sent_ = 0;        // body bytes written
    std::chrono::steady_clock::time_point start_;
    std::string refusal_;  // why the request was refused (403)
    std::shared_ptr<const AppContent> content_;  // what this request is answered from
    std::string live_;                           // a live answer's body
    bool listening_ = false;                     // an event stream that stays open
    bool eventQueued_ = false;
    bool eventWriting_ = false;
    char peek_ = 0;
};

// What pages load with --watch: the reload listener.
constexpr std::string_view kLiveScriptText =
    "// vandrel serve --watch: reloads the page when the app's files change.\n"
    "new EventSource('/:vandrel/live').onmessage = (event) => {\n"
    "  if (event.data === 'reload') location.reload();\n"
    "};\n";

// `html` with the tag that loads the reload listener, before its last </body> (in any case), or
// at its end.
std::string WithLiveScript(std::string_view html) {
    static constexpr std::string_view kTag = "<script src=\"/:vandrel/live.js\"></script>";
    const std::string lower = AsciiLowercase(html);
    const size_t body = lower.rfind("</body");
    const size_t at = body == std::string::npos ? html.size() : body;
    std::string with(html.substr(0, at));
    with += kTag;
    with += html.substr(at);
    return with;
}

class Server {
public:
    Server(const ServedApp& app, bool live, uint16_t port, std::ostream& out, bool quiet,
           const ServeLimits& limits)
        : app_(app),
          live_(live),
          out_(out),
          quiet_(quiet),
          limits_(limits),
          loops_(MakeLoops()),
          acceptor_(*loops_[0]),
          signals_(*loops_[0]),
          retry_(*loops_[0]),
          flushTimer_(*loops_[0]) {
        const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
        error_code ec;
        acceptor_.open(endpoint.protocol(), ec);
        if (!ec) {
            AllowQuickRebind(acceptor_, ec);
        }
        if (!ec) {
            acceptor_.bind(endpoint, ec);
        }
        if (!ec) {
            acceptor_.listen(asio::socket_base::max_listen_connections, ec);
        }
        if (ec) {
            throw ToolError("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                            ec.message());
        }
        port_ = acceptor_.local_endpoint().port();
        // Each loop makes its descriptors (the system's event queue) when first used: now, while
        // descriptors are sure to be left, not when a connection first comes to it.
        for (const auto& loop : loops_) {
            readied_.emplace_back(*loop);
        }
        signals_.add(SIGINT);
        signals_.add(SIGTERM);
    }

    uint16_t OwnPort() const { return port_; }

    // Serves until SIGINT or SIGTERM, then closes every connection. There is one event loop per
    // core (two at least), each on a thread of its own, and each connection lives on one of them
    // (taken in turn), as a worker process of nginx holds its connections: a request that waits
    // for the disk holds up only the connections of its loop, and no loop wakes another.
    void Run() {
        std::vector<asio::executor_work_guard<asio::io_context::executor_type>> busy;
        for (const auto& loop : loops_) {
            busy.push_back(asio::make_work_guard(*loop));
        }
        signals_.async_wait([this, &busy](const error_code& ec, int) {
            if (ec) {
                return;
            }
            error_code ignored;
            acceptor_.close(ignored);
            retry_.cancel();
            for (const std::shared_ptr<Session>& session : Sessions()) {
                session->CloseSoon();
            }
            for (auto& guard : busy) {
                guard.reset();  // each loop ends once its connections have
            }
        });
        Accept();
        std::vector<std::thread> workers;
        for (size_t i = 1; i < loops_.size(); ++i) {
            workers.emplace_back([loop = loops_[i].get()] { loop->run(); });
        }
        loops_[0]->run();
        for (std::thread& worker : workers) {
            worker.join();
        }
        stopped_ = true;
        const std::lock_guard<std::mutex> lock(logLock_);
        WriteLog();
    }

    std::shared_ptr<const AppContent> Content() const { return app_.Content(); }
    const ServeLimits& Limits() const { return limits_; }
    bool Live() const { return live_; }

    // Pages listening for reloads.
    void Listening(std::weak_ptr<Session> session) {
        const std::lock_guard<std::mutex> lock(sessionsLock_);
        listeners_.push_back(std::move(session));
    }
    // Tells every listening page to reload; how many there were.
    size_t ReloadPages() {
        std::vector<std::shared_ptr<Session>> pages;
        {
            const std::lock_guard<std::mutex> lock(sessionsLock_);
            std::erase_if(listeners_, [&](const std::weak_ptr<Session>& listener) {
                if (std::shared_ptr<Session> page = listener.lock()) {
                    pages.push_back(std::move(page));
                    return false;
                }
                return true;  // gone
            });
        }
        for (const std::shared_ptr<Session>& page : pages) {
            page->Reload();
        }
        return pages.size();
    }

    void Add(Session* session, std::weak_ptr<Session> shared) {
        const std::lock_guard<std::mutex> lock(sessionsLock_);
        sessions_[session] = std::move(shared);
    }
    void Remove(Session* session) {
        {
            const std::lock_guard<std::mutex> lock(sessionsLock_);
            sessions_.erase(session);
        }
        if (stopped_) {
            return;
        }
        // A place is free again: accept the next client, unless accepting already goes on.
        asio::post(*loops_[0], [this] {
            if (!accepting_ && !waiting_ && acceptor_.is_open()) {
                Accept();
            }
        });
    }

    // Lines are gathered and written together a moment later (or when many are waiting), so
    // that a busy server does not make one write for each request.
    void Log(const std::string& line) {
        if (quiet_) {
            return;
        }
        const std::string shown = Shown(line, false) + '\n';
        const std::lock_guard<std::mutex> lock(logLock_);
        pendingLog_ += shown;
        if (pendingLog_.size() >= kLogBatch) {
            WriteLog();
        } else if (!flushScheduled_) {
            flushScheduled_ = true;
            flushTimer_.expires_after(kLogDelay);
            flushTimer_.async_wait([this](const error_code&) {
                const std::lock_guard<std::mutex> lock(logLock_);
                flushScheduled_ = false;
                WriteLog();
            });
        }
    }

private:
    static constexpr size_t kLogBatch = 64 << 10;
    static constexpr std::chrono::milliseconds kLogDelay{20};

    static std::vector<std::unique_ptr<asio::io_context>> MakeLoops() {
        std::vector<std::unique_ptr<asio::io_context>> loops;
        const unsigned count = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < count; ++i) {
            loops.push_back(std::make_unique<asio::io_context>(1));
        }
        return loops;
    }

    // With logLock_ held.
    void WriteLog() {
        if (!pendingLog_.empty()) {
            out_ << pendingLog_ << std::flush;
            pendingLog_.clear();
        }
    }

    std::vector<std::shared_ptr<Session>> Sessions() {
        std::vector<std::shared_ptr<Session>> open;
        const std::lock_guard<std::mutex> lock(sessionsLock_);
        for (const auto& [session, shared] : sessions_) {
            if (std::shared_ptr<Session> alive = shared.lock()) {
                open.push_back(std::move(alive));
            }
        }
        return open;
    }

    size_t SessionCount() {
        const std::lock_guard<std::mutex> lock(sessionsLock_);
        return sessions_.size();
    }

    // On the first loop.
    void Accept() {
        if (SessionCount() >= limits_.connections) {
            return;  // Remove accepts again
        }
        accepting_ = true;
        asio::io_context& loop = *loops_[nextLoop_++ % loops_.size()];
        acceptor_.async_accept(loop.get_executor(), [this](const error_code& ec,
                                                            BrowserSocket socket) {
            accepting_ = false;
            if (!acceptor_.is_open()) {
                return;
            }
            if (ec && ec != asio::error::connection_aborted) {
                // Out of descriptors or memory: retrying at once would only spin. Wait a little
                // longer each time, and say so once.
                if (backoff_ == std::chrono::milliseconds(0)) {
                    Log("cannot accept connections (" + ec.message() + "); trying again");
                }
                backoff_ = std::min<std::chrono::milliseconds>(
                    std::max<std::chrono::milliseconds>(backoff_ * 2,
                                                        std::chrono::milliseconds(10)),
                    std::chrono::milliseconds(1000));
                waiting_ = true;
                retry_.expires_after(backoff_);
                retry_.async_wait([this](const error_code& waited) {
                    waiting_ = false;
                    if (!waited && acceptor_.is_open()) {
                        Accept();
                    }
                });
                return;
            }
            backoff_ = std::chrono::milliseconds(0);
            if (!ec) {
                auto session = std::make_shared<Session>(std::move(socket), *this);
                Add(session.get(), session);
                session->Start();
            }
            Accept();
        });
    }

    const ServedApp& app_;
    bool live_;
    std::ostream& out_;
    bool quiet_;
    ServeLimits limits_;
    // Before the context, so that sessions its destruction releases can still leave.
    std::mutex sessionsLock_;
    std::map<Session*, std::weak_ptr<Session>> sessions_;
    std::vector<std::weak_ptr<Session>> listeners_;  // with sessionsLock_
    std::mutex logLock_;
    std::string pendingLog_;       // with logLock_
    bool flushScheduled_ = false;  // with logLock_
    std::atomic<bool> stopped_{false};
    std::vector<std::unique_ptr<asio::io_context>> loops_;
    tcp::acceptor acceptor_;  // these four on the first loop
    asio::signal_set signals_;
    asio::steady_timer retry_;
    asio::steady_timer flushTimer_;
    std::vector<asio::steady_timer> readied_;  // one on each loop
    size_t nextLoop_ = 0;
    uint16_t port_ = 0;
    bool accepting_ = false;  // these three on the first loop
    bool waiting_ = false;
    std::chrono::milliseconds backoff_{0};
};

Session::Session(BrowserSocket socket, Server& server)
    : stream_(std::move(socket)), waitTimer_(stream_.get_executor()), server_(server) {
    error_code ignored;
    // Small answers go out at once, not after the browser's delayed acknowledgement.
    stream_.socket().set_option(tcp::no_delay(true), ignored);
}

Session::~Session() {
    server_.Remove(this);
}

void Session::Start() {
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->ReadRequest(); });
}

void Session::CloseSoon() {
    asio::post(stream_.get_executor(), [self = shared_from_this()] { self->Close(); });
}

void Session::Close() {
    error_code ignored;
    waitTimer_.cancel();
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
}

void Session::ReadRequest() {
    parser_.emplace();
    parser_->header_limit(64 * 1024);
    stream_.expires_after(server_.Limits().idle);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](const error_code& ec, size_t) {
                                self->OnRequest(ec);
                            });
}

void Session::OnRequest(const error_code& ec) {
    if (ec) {  // the browser closed the connection, or did not speak HTTP
        Close();
        return;
    }
    start_ = std::chrono::steady_clock::now();
    const http::request<http::empty_body>& request = parser_->get();
    method_ = std::string(View(request.method_string()));
    target_ = std::string(View(request.target()));
    // A request with a body is answered, then the connection is closed instead of reading on.
    keepAlive_ = request.keep_alive() && parser_->is_done();
    const unsigned version = request.version();
    const bool head = request.method() == http::verb::head;

    answer_ = {};
    sent_ = 0;
    refusal_.clear();
    asio::const_buffer body;
    bool fromFile = false;
    if (std::optional<std::string> refusal = Refusal(request, server_.OwnPort())) {
        refusal_ = std::move(*refusal);
        static constexpr std::string_view kForbidden = "Forbidden";
        status_ = 403;
        AnswerHeader header(version, 403, "Forbidden");
        header.Field("Content-Type", "text/plain");
        header.Field("Cache-Control", "no-store");
        header.Field("Content-Length", std::to_string(kForbidden.size()));
        header_ = header.End(kForbidden.size(), version, keepAlive_);
        body = asio::buffer(kForbidden.data(), kForbidden.size());
    } else if (request.method() != http::verb::get && !head) {
        status_ = 405;
        AnswerHeader header(version, 405, "Method Not Allowed");
        header.Field("Allow", "GET, HEAD");
        header.Field("Cache-Control", "no-store");
        header_ = header.End(0, version, keepAlive_);
    } else if (server_.Live() && AnswerLive(version, head, body)) {
        if (listening_) {
            return;
        }
    } else {
        std::optional<std::string> range;
        if (const auto field = request.find(http::field::range); field != request.end()) {
            range = std::string(View(field->value()));
        }
        content_ = server_.Content();
        answer_ = content_->Answer(target_, range);
        const ResponsePlan& plan = answer_.plan;
        status_ = static_cast<unsigned>(plan.status);
        AnswerHeader header(version, plan.status, plan.reason);
        for (const std::string& line : plan.headers) {
            header.Line(line);
        }
        const uint64_t length = plan.body == BodyKind::None ? 0 : plan.bodyLength;
        header_ = header.End(length, version, keepAlive_);
        if (answer_.bytes != nullptr) {
            body = asio::buffer(answer_.bytes, static_cast<size_t>(length));
        } else if (length > 0) {
            fromFile = true;
            bodyLength_ = length;
        }
    }
    if (head) {
        body = {};
        fromFile = false;
    }
    bodyLength_ = fromFile ? bodyLength_ : body.size();
    if (fromFile && bodyLength_ <= kSmallBody) {
        // Read whole, and written with the header.
        chunk_.resize(static_cast<size_t>(bodyLength_));
        bool read = false;
        try {
            read = answer_.file->ReadAt(answer_.plan.bodyOffset, chunk_.data(), chunk_.size());
        } catch (const ToolError& error) {
            answer_.problem = error.what();
        }
        if (!read) {
            if (answer_.problem.empty()) {
                answer_.problem = "the file got shorter while it was sent";
            }
            Finish(false);  // the promised length cannot be kept: the connection ends
            return;
        }
        body = asio::buffer(chunk_.data(), chunk_.size());
        fromFile = false;
    }
    Write(header_, body, fromFile);
}

void Session::Write(const std::string& header, asio::const_buffer body, bool fileFollows) {
    const std::array<asio::const_buffer, 2> buffers{asio::buffer(header), body};
    stream_.expires_after(server_.Limits().idle);
    asio::async_write(stream_, buffers,
                      [self = shared_from_this(), fileFollows, bytes = body.size()](
                          const error_code& ec, size_t) {
                          if (ec) {
                              self->Finish(false);
                          } else if (fileFollows) {
                              self->SendFile();
                          } else {
                              self->sent_ = bytes;
                              self->Finish(true);
                          }
                      });
}

void Session::SendFile() {
    SendFileBody(stream_, waitTimer_, server_.Limits().idle, *answer_.file,
                 answer_.plan.bodyOffset, bodyLength_, chunk_,
                 [self = shared_from_this()](uint64_t sent, bool complete, std::string problem) {
                     self->sent_ = sent;
                     if (!problem.empty()) {
                         self->answer_.problem = std::move(problem);
                     }
                     self->Finish(complete);
                 });
}

void Session::Finish(bool complete) {
    // Tenths of a millisecond, rounded.
    const auto tenths = static_cast<unsigned long long>(
        (std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start_)
             .count() +
         50) /
        100);
    char time[32];
    std::snprintf(time, sizeof time, "%llu.%llums", tenths / 10, tenths % 10);
    std::string line = method_ + " " + target_ + " " + std::to_string(status_) + " " +
                       std::to_string(sent_) + " " + time;
    if (answer_.source != ContentSource::None) {
        line += std::string(" ") + SourceName(answer_.source);
    }
    for (const std::string& header : answer_.plan.headers) {
        if (header.rfind("Content-Range: ", 0) == 0) {
            line += " " + header.substr(15);  // "bytes START-END/TOTAL"
        }
    }
    if (!answer_.nameOnDisk.empty()) {
        line += " (found as '" + answer_.nameOnDisk +
                "' because Windows ignores case in folder names; a bundle needs the exact name)";
    }
    if (!refusal_.empty()) {
        line += " (refused: " + refusal_ + ")";
    }
    if (!answer_.problem.empty()) {
        line += " (" + answer_.problem + ")";
    }
    if (!complete) {
        line += " (connection closed before the whole answer was sent)";
    }
    server_.Log(line);

    answer_.file.reset();
    content_.reset();
    live_.clear();
    if (complete && keepAlive_) {
        ReadRequest();
    } else {
        Close();
    }
}

bool Session::AnswerLive(unsigned version, bool head, asio::const_buffer& body) {
    const std::string_view path = std::string_view(target_).substr(0, target_.find('?'));
    if (path == kLiveEvents && !head) {
        Listen(version);
        return true;
    }
    AnswerHeader header(version, 200, "OK");
    if (path == kLiveScript) {
        live_ = kLiveScriptText;
        header.Field("Content-Type", "text/javascript; charset=utf-8");
        header.Field("Cache-Control", "no-store");
    } else {
        // An HTML document, whole, gets the script; anything else is answered as usual.
        content_ = server_.Content();
        answer_ = content_->Answer(target_, std::nullopt);
        const ResponsePlan& plan = answer_.plan;
        const bool html = std::any_of(plan.headers.begin(), plan.headers.end(), [](const auto& h) {
            return AsciiLowercase(h).starts_with("content-type: text/html");
        });
        if (plan.status != 200 || !html || plan.body == BodyKind::None ||
            plan.bodyLength > (uint64_t{16} << 20)) {
            answer_ = {};
            content_.reset();
            return false;
        }
        live_.resize(static_cast<size_t>(plan.bodyLength));
        if (answer_.bytes != nullptr) {
            live_.assign(reinterpret_cast<const char*>(answer_.bytes), live_.size());
        } else if (!answer_.file->ReadAt(plan.bodyOffset, live_.data(), live_.size())) {
            answer_ = {};
            content_.reset();
            return false;
        }
        live_ = WithLiveScript(live_);
        for (const std::string& line : plan.headers) {
            if (!line.starts_with("Content-Length: ")) {
                header.Line(line);
            }
        }
    }
    status_ = 200;
    header_ = header.End(live_.size(), version, keepAlive_);
    body = asio::buffer(live_);
    return true;
}

// An event stream that stays open, without a length, until the page goes: a reload is one event.
void Session::Listen(unsigned version) {
    status_ = 200;
    listening_ = true;
    AnswerHeader header(version, 200, "OK");
    header.Field("Content-Type", "text/event-stream");
    header.Field("Cache-Control", "no-store");
    header_ = header.EndOpen() + "retry: 1000\n\n";
    stream_.expires_never();
    server_.Listening(weak_from_this());
    server_.Log(method_ + " " + target_ + " 200 (a page listens for reloads)");
    asio::async_write(stream_, asio::buffer(header_),
                      [self = shared_from_this()](const error_code& ec, size_t) {
                          if (ec) {
                              self->Close();
                          }
                      });
    // The page never sends more: the read ends when it goes away.
    stream_.async_read_some(asio::buffer(&peek_, 1),
                            [self = shared_from_this()](const error_code&, size_t) {
                                self->Close();
                            });
}

void Session::Reload() {
    asio::post(stream_.get_executor(), [self = shared_from_this()] {
        self->eventQueued_ = true;
        self->WriteEvent();
    });
}

void Session::WriteEvent() {
    if (eventWriting_ || !eventQueued_ || !stream_.socket().is_open()) {
        return;
    }
    eventQueued_ = false;
    eventWriting_ = true;
    static constexpr std::string_view kEvent = "data: reload\n\n";
    asio::async_write(stream_, asio::buffer(kEvent.data(), kEvent.size()),
                      [self = shared_from_this()](const error_code& ec, size_t) {
                          self->eventWriting_ = false;
                          if (ec) {
                              self->Close();
                          } else {
                              self->WriteEvent();
                          }
                      });
}

}  // namespace

int Serve(const ServeOptions& options, std::ostream& out, std::ostream& err,
          const ToolEnvironment& environment) {
    const std::filesystem::path& app = options.folder;
    ServedApp served(app, options.bundleOnly);
    const AppConfig config = served.Config();
    if (config.contentMode == ContentMode::Remote) {
        err << "vandrel: " << ShownPath(app / "package.json")
            << " sets settings.content-mode to \"remote\": the app is the page at "
            << Shown(config.main) << ", so there is nothing to serve\n";
        return kExitUsage;
    }
    const std::shared_ptr<const AppContent> content = served.Content();
    ServeLimits limits;
    limits.idle = environment.serveIdleTime;
    limits.connections = environment.serveConnections;
    std::optional<AppWatch> watch;
    if (options.watch) {
        watch.emplace(app);
    }
    Server server(served, options.watch, options.port, out, options.quiet, limits);
    for (const std::string& warning : content->Warnings()) {
        err << "vandrel: warning: " << Shown(warning, false) << '\n';
    }
    err.flush();
    out << "Serving " << Shown(content->Describe(), false) << " to this machine only.\n"
        << "Start page: http://127.0.0.1:" << server.OwnPort() << "/"
        << Shown(config.main, false) << '\n';
    if (watch) {
        out << "Watching package.json and www/: open pages reload when they change.\n";
    }
    out << "Press Ctrl+C to stop." << std::endl;
    // With --watch, a thread of its own waits for changes, reads the app again and reloads the
    // pages, once per burst of changes.
    std::thread watcher;
    if (watch) {
        watcher = std::thread([&] {
            while (watch->WaitForChanges(std::chrono::milliseconds(150))) {
                // Warnings go to standard error, which only this thread writes to by now.
                for (const std::string& line : served.Reload()) {
                    err << "vandrel: warning: " << Shown(line, false) << std::endl;
                }
                const size_t pages = server.ReloadPages();
                server.Log("changed: " + Plural(pages, "page", "pages") + " told to reload");
                AtTestPoint(environment, "serve-reloaded", std::to_string(pages));
            }
        });
    }
    AtTestPoint(environment, "serve-listening", std::to_string(server.OwnPort()));
    server.Run();
    if (watch) {
        watch->Stop();
        watcher.join();
    }
    out << "Stopped." << std::endl;
    return kExitOk;
}

}  // namespace vandrel::tool
