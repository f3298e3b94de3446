// Boost 1.74's asio/awaitable.hpp uses std::exchange without including <utility>, which MinGW's
// GCC 12 then does not find.
#include <utility>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include "serve.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>

#include "commands.h"
#include "portable/config/config_check.h"
#include "serve_content.h"

namespace vandrel::tool {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

constexpr const char* kServeUsage =
    "usage: vandrel serve [APP_FOLDER] [--port N] [--bundle-only] [--quiet]\n"
    "\n"
    "Serves the app in APP_FOLDER (default: the current folder) at http://127.0.0.1:PORT/ the way\n"
    "the host serves it: www/assets.dat first, then the www folder, with the host's names,\n"
    "content types, byte ranges and 404s; vandrel.js from the kit when the app has none. Only\n"
    "this machine can connect. Stop it with Ctrl+C.\n"
    "\n"
    "options:\n"
    "  --port N       listen on port N (default: a free port)\n"
    "  --bundle-only  serve the bundle alone, to find files missing from it\n"
    "  --quiet        no line per request\n"
    "\n"
    "Each request is logged as METHOD TARGET STATUS BODY-BYTES TIME SOURCE, and the range sent\n"
    "for a 206 answer. SOURCE is bundle, folder or kit.\n"
    "exit codes: 0 stopped with Ctrl+C, 1 failure, 2 bad command line or a remote-mode app\n";

constexpr size_t kChunkSize = size_t{256} << 10;

struct ServeOptions {
    std::string folder = ".";
    uint16_t port = 0;
    bool bundleOnly = false;
    bool quiet = false;
    bool help = false;
};

class UsageProblem : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

uint16_t ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoul(text) > 65535) {
        throw UsageProblem("--port takes a number from 0 to 65535, not '" + text + "'");
    }
    return static_cast<uint16_t>(std::stoul(text));
}

ServeOptions ParseServeArgs(const std::vector<std::string>& args) {
    ServeOptions options;
    bool haveFolder = false;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (haveFolder) {
                throw UsageProblem("serve takes one app folder, not also '" + arg + "'");
            }
            options.folder = arg;
            haveFolder = true;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--port") {
            if (i + 1 >= args.size()) {
                throw UsageProblem("--port needs a number");
            }
            options.port = ParsePort(args[++i]);
        } else if (arg.rfind("--port=", 0) == 0) {
            options.port = ParsePort(arg.substr(7));
        } else if (arg == "--bundle-only") {
            options.bundleOnly = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--host" || arg.rfind("--host=", 0) == 0 || arg == "--bind" ||
                   arg.rfind("--bind=", 0) == 0) {
            throw UsageProblem("serve listens on 127.0.0.1 only, so that no other machine can "
                               "reach the app; there is no " + arg.substr(0, 6) + " option");
        } else {
            throw UsageProblem("unknown option '" + arg + "'");
        }
    }
    return options;
}

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

class Server;

// One browser connection: reads requests one after the other and writes each answer, its body
// streamed from the mapped bundle or read from the folder file in pieces. A connection that
// stays idle, or a client that does not take an answer, is closed after the server's idle time.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, Server& server);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void ReadRequest();
    void Close();

private:
    void OnRequest(const error_code& ec);
    void SendBody();
    void Finish(bool complete);

    beast::tcp_stream stream_;
    Server& server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
    http::response<http::buffer_body> response_;
    std::optional<http::response_serializer<http::buffer_body>> serializer_;
    ServedAnswer answer_;
    std::string method_;
    std::string target_;
    bool keepAlive_ = false;
    uint64_t sent_ = 0;  // body bytes written
    uint64_t left_ = 0;  // body bytes still to write
    std::vector<char> chunk_;
    std::chrono::steady_clock::time_point start_;
    std::string refusal_;  // why the request was refused (403)
};

// How long a connection may stay idle, and how many may be open at once; more clients wait in
// the system's queue until one closes.
struct ServeLimits {
    std::chrono::milliseconds idle{60000};
    size_t connections = 256;
};

class Server {
public:
    Server(const AppContent& content, uint16_t port, std::ostream& out, bool quiet,
           const ServeLimits& limits)
        : content_(content),
          out_(out),
          quiet_(quiet),
          limits_(limits),
          acceptor_(io_),
          signals_(io_),
          retry_(io_) {
        const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
        error_code ec;
        acceptor_.open(endpoint.protocol(), ec);
#ifndef _WIN32
        // On Windows this option would let a second server take the same port.
        if (!ec) {
            acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
        }
#endif
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
        signals_.add(SIGINT);
        signals_.add(SIGTERM);
    }


    // Serves until SIGINT or SIGTERM, then closes every connection.
    void Run() {
        signals_.async_wait([this](const error_code& ec, int) {
            if (ec) {
                return;
            }
            error_code ignored;
            acceptor_.close(ignored);
            retry_.cancel();
            for (Session* session : sessions_) {
                session->Close();
            }
        });
        Accept();
        io_.run();
    }

    const AppContent& Content() const { return content_; }
    const ServeLimits& Limits() const { return limits_; }
    uint16_t OwnPort() const { return port_; }
    void Add(Session* session) { sessions_.insert(session); }
    void Remove(Session* session) {
        sessions_.erase(session);
        // A place is free again: accept the next client, unless accepting already goes on.
        if (!accepting_ && !waiting_ && acceptor_.is_open()) {
            Accept();
        }
    }

    void Log(const std::string& line) {
        if (!quiet_) {
            out_ << Shown(line, false) << std::endl;
        }
    }

private:
    void Accept() {
        if (sessions_.size() >= limits_.connections) {
            return;  // Remove accepts again
        }
        accepting_ = true;
        acceptor_.async_accept([this](const error_code& ec, tcp::socket socket) {
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
                std::make_shared<Session>(std::move(socket), *this)->ReadRequest();
            }
            Accept();
        });
    }

    const AppContent& content_;
    std::ostream& out_;
    bool quiet_;
    ServeLimits limits_;
    asio::io_context io_;
    tcp::acceptor acceptor_;
    asio::signal_set signals_;
    asio::steady_timer retry_;
    std::set<Session*> sessions_;
    uint16_t port_ = 0;
    bool accepting_ = false;
    bool waiting_ = false;
    std::chrono::milliseconds backoff_{0};
};

Session::Session(tcp::socket socket, Server& server) : stream_(std::move(socket)), server_(server) {
    server_.Add(this);
}

Session::~Session() {
    server_.Remove(this);
}

void Session::Close() {
    error_code ignored;
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
    method_ = std::string(request.method_string());
    target_ = std::string(request.target());
    // A request with a body is answered, then the connection is closed instead of reading on.
    keepAlive_ = request.keep_alive() && parser_->is_done();
    const bool head = request.method() == http::verb::head;

    serializer_.reset();
    response_ = {};
    response_.version(request.version());
    answer_ = {};
    sent_ = 0;
    left_ = 0;
    refusal_.clear();
    if (std::optional<std::string> refusal = Refusal(request, server_.OwnPort())) {
        refusal_ = std::move(*refusal);
        static constexpr std::string_view kForbidden = "Forbidden";
        response_.result(http::status::forbidden);
        response_.set(http::field::content_type, "text/plain");
        response_.set(http::field::cache_control, "no-store");
        response_.content_length(kForbidden.size());
        answer_.bytes = reinterpret_cast<const uint8_t*>(kForbidden.data());
        answer_.plan.bodyLength = kForbidden.size();
        left_ = head ? 0 : kForbidden.size();
    } else if (request.method() != http::verb::get && !head) {
        response_.result(http::status::method_not_allowed);
        response_.set(http::field::allow, "GET, HEAD");
        response_.set(http::field::cache_control, "no-store");
        response_.content_length(0);
    } else {
        std::optional<std::string> range;
        if (const auto field = request.find(http::field::range); field != request.end()) {
            range = std::string(field->value());
        }
        answer_ = server_.Content().Answer(target_, range);
        const ResponsePlan& plan = answer_.plan;
        response_.result(static_cast<unsigned>(plan.status));
        response_.reason(plan.reason);
        bool hasLength = false;
        for (const std::string& line : plan.headers) {
            const size_t colon = line.find(": ");
            const std::string name = line.substr(0, colon);
            response_.insert(name, line.substr(colon + 2));
            hasLength = hasLength || name == "Content-Length";
        }
        const uint64_t bodyLength = plan.body == BodyKind::None ? 0 : plan.bodyLength;
        if (!hasLength) {  // the 404 text, or no body: HTTP/1.1 needs the length to go on
            response_.content_length(bodyLength);
        }
        left_ = head ? 0 : bodyLength;
    }
    response_.keep_alive(keepAlive_);
    response_.body().data = nullptr;
    response_.body().size = 0;
    response_.body().more = left_ > 0;
    serializer_.emplace(response_);

    stream_.expires_after(server_.Limits().idle);
    if (left_ == 0) {
        http::async_write(stream_, *serializer_,
                          [self = shared_from_this()](const error_code& ec, size_t) {
                              self->Finish(!ec);
                          });
        return;
    }
    http::async_write_header(stream_, *serializer_,
                             [self = shared_from_this()](const error_code& ec, size_t) {
                                 if (ec) {
                                     self->Finish(false);
                                 } else {
                                     self->SendBody();
                                 }
                             });
}

void Session::SendBody() {
    const char* data = nullptr;
    size_t n = 0;
    if (answer_.bytes != nullptr) {
        // Straight from the mapped image, in pieces the size of size_t.
        n = static_cast<size_t>(std::min<uint64_t>(left_, size_t{1} << 30));
        data = reinterpret_cast<const char*>(answer_.bytes) + sent_;
    } else {
        n = static_cast<size_t>(std::min<uint64_t>(left_, kChunkSize));
        chunk_.resize(kChunkSize);
        bool read = false;
        try {
            read = answer_.file &&
                   answer_.file->ReadAt(answer_.plan.bodyOffset + sent_, chunk_.data(), n);
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
        data = chunk_.data();
    }
    response_.body().data = const_cast<char*>(data);
    response_.body().size = n;
    response_.body().more = left_ > n;
    stream_.expires_after(server_.Limits().idle);
    http::async_write(stream_, *serializer_,
                      [self = shared_from_this(), n](error_code ec, size_t) {
                          if (ec == http::error::need_buffer) {
                              ec = {};
                          }
                          if (ec) {
                              self->Finish(false);
                              return;
                          }
                          self->sent_ += n;
                          self->left_ -= n;
                          if (self->left_ > 0) {
                              self->SendBody();
                          } else {
                              self->Finish(true);
                          }
                      });
}

void Session::Finish(bool complete) {
    const double ms = std::chrono::duration<double, std::milli>(
                          std::chrono::steady_clock::now() - start_)
                          .count();
    char time[32];
    std::snprintf(time, sizeof time, "%.1fms", ms);
    std::string line = method_ + " " + target_ + " " + std::to_string(response_.result_int()) +
                       " " + std::to_string(sent_) + " " + time;
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
    if (complete && keepAlive_) {
        ReadRequest();
    } else {
        Close();
    }
}

}  // namespace

int Serve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
          const ToolEnvironment& environment) {
    ServeOptions options;
    try {
        options = ParseServeArgs(args);
    } catch (const UsageProblem& problem) {
        err << "vandrel: " << Shown(problem.what(), false)
            << " (run 'vandrel serve --help' for usage)\n";
        return kExitUsage;
    }
    if (options.help) {
        out << kServeUsage;
        return kExitOk;
    }
    const std::filesystem::path app = PathFromUtf8(options.folder);
    const AppConfig config = ReadPackageJson(app);
    if (config.contentMode == ContentMode::Remote) {
        err << "vandrel: " << ShownPath(app / "package.json")
            << " sets settings.content-mode to \"remote\": the app is the page at "
            << Shown(config.main) << ", so there is nothing to serve\n";
        return kExitUsage;
    }
    const AppContent content(app, config, options.bundleOnly);
    ServeLimits limits;
    limits.idle = environment.serveIdleTime;
    limits.connections = environment.serveConnections;
    Server server(content, options.port, out, options.quiet, limits);
    for (const std::string& warning : content.Warnings()) {
        err << "vandrel: warning: " << Shown(warning, false) << '\n';
    }
    err.flush();
    out << "Serving " << Shown(content.Describe(), false) << " to this machine only.\n"
        << "Start page: http://127.0.0.1:" << server.OwnPort() << "/"
        << Shown(config.main, false) << '\n'
        << "Press Ctrl+C to stop." << std::endl;
    AtTestPoint(environment, "serve-listening", std::to_string(server.OwnPort()));
    server.Run();
    out << "Stopped." << std::endl;
    return kExitOk;
}

}  // namespace vandrel::tool
