// The POSIX half of serve_send: sendfile from the file's descriptor to the socket's, waiting for
// the socket through asio when it is full.

#include <sys/sendfile.h>

#include <cerrno>
#include <csignal>
#include <memory>

#include "platform/file_io.h"
#include "serve/serve_send.h"

namespace vandrel::tool {

namespace {

// At most this much per sendfile call, so that one large file does not hold the thread.
constexpr size_t kSendSlice = size_t{8} << 20;

struct FileSend : BodySend, std::enable_shared_from_this<FileSend> {
    FileSend(BodySend body, LoopTimer& t) : BodySend(std::move(body)), timer(t) {}

    LoopTimer& timer;

    void Next() {
        tcp_socket().native_non_blocking(true);
        while (left > 0) {
            off_t at = static_cast<off_t>(offset + sent);
            const ssize_t n = sendfile(tcp_socket().native_handle(), file.NativeHandle(), &at,
                                       static_cast<size_t>(std::min<uint64_t>(left, kSendSlice)));
            if (n > 0) {
                sent += static_cast<uint64_t>(n);
                left -= static_cast<uint64_t>(n);
                continue;
            }
            if (n == 0) {
                return done(sent, false, "the file got shorter while it was sent");
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN) {
                return done(sent, false,
                            errno == EPIPE || errno == ECONNRESET
                                ? std::string()
                                : "cannot send the file: " + LastErrorText());
            }
            Wait();
            return;
        }
        done(sent, true, {});
    }

    // The socket is full: on when the browser has taken some, unless it takes nothing for the
    // idle time.
    void Wait() {
        timer.expires_after(idle);
        timer.async_wait([self = shared_from_this()](const error_code& ec) {
            if (!ec) {
                error_code ignored;
                self->tcp_socket().cancel(ignored);
            }
        });
        tcp_socket().async_wait(asio::socket_base::wait_write,
                                [self = shared_from_this()](const error_code& ec) {
                                    self->timer.cancel();
                                    if (ec) {
                                        return self->done(self->sent, false, {});
                                    }
                                    self->Next();
                                });
    }

    BrowserSocket& tcp_socket() { return stream.socket(); }
};

}  // namespace

void SendFileBody(BrowserStream& stream, LoopTimer& timer, std::chrono::milliseconds idle,
                  InputFile& file, uint64_t offset, uint64_t length, std::vector<char>&,
                  BodySent done) {
    // sendfile cannot be told to spare the program the signal of a connection the browser has
    // closed: it is ignored, so that the send ends with EPIPE instead of ending the server.
    static const bool ignored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)ignored;
    std::make_shared<FileSend>(BodySend(stream, idle, file, offset, length, std::move(done)), timer)
        ->Next();
}

void AllowQuickRebind(boost::asio::ip::tcp::acceptor& acceptor, boost::system::error_code& ec) {
    acceptor.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true), ec);
}

}  // namespace vandrel::tool
