#pragma once

// What serve does differently per system. The body of a folder file is sent on a browser's
// connection the fastest way the system has: on POSIX the kernel copies it from the file to the
// socket (sendfile) without passing through the program; on Windows it is read in large pieces
// and written.

// Boost 1.74's asio/awaitable.hpp uses std::exchange without including <utility>, which MinGW's
// GCC 12 then does not find.
#include <utility>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/tcp_stream.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vandrel::tool {

namespace asio = boost::asio;
using boost::system::error_code;

class InputFile;

// A browser's connection and its timers, on one event loop's own executor: the type-erased
// executor of the plain types would cost an allocation in every operation.
using LoopExecutor = boost::asio::io_context::executor_type;
using BrowserSocket = boost::asio::basic_stream_socket<boost::asio::ip::tcp, LoopExecutor>;
using BrowserStream = boost::beast::basic_stream<boost::asio::ip::tcp, LoopExecutor>;
using LoopTimer = boost::asio::basic_waitable_timer<
    std::chrono::steady_clock, boost::asio::wait_traits<std::chrono::steady_clock>, LoopExecutor>;

// How a body send ended: the bytes sent, whether they were all, and why not when the file is to
// blame (it got shorter, it cannot be read); an empty problem otherwise (the browser went away, or
// stopped taking bytes for `idle`).
using BodySent = std::function<void(uint64_t sent, bool complete, std::string problem)>;

// What one send of a file body keeps until it ends.
struct BodySend {
    BodySend(BrowserStream& s, std::chrono::milliseconds i, InputFile& f, uint64_t o, uint64_t l,
             BodySent d)
        : stream(s), idle(i), file(f), offset(o), left(l), done(std::move(d)) {}

    BrowserStream& stream;
    std::chrono::milliseconds idle;
    InputFile& file;
    uint64_t offset;  // where the body starts in the file
    uint64_t left;
    uint64_t sent = 0;
    BodySent done;
};

// Sends `length` bytes of `file` from `offset` on `stream`, then calls `done` on the stream's
// executor. A wait for the browser longer than `idle` ends the send (`timer` measures it);
// `buffer` is room the sender may use. `file`, `timer` and `buffer` must live until `done`.
void SendFileBody(BrowserStream& stream, LoopTimer& timer, std::chrono::milliseconds idle,
                  InputFile& file, uint64_t offset, uint64_t length, std::vector<char>& buffer,
                  BodySent done);

// Lets a restarted serve listen on its port again at once (POSIX's SO_REUSEADDR); nothing on
// Windows, where that option would let a second server take the same port.
void AllowQuickRebind(boost::asio::ip::tcp::acceptor& acceptor, boost::system::error_code& ec);

}  // namespace vandrel::tool
