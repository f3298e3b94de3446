// The Windows half of serve_send: the file read in large pieces, each written on the stream.

#include <boost/asio/write.hpp>

#include <memory>

#include "platform/file_io.h"
#include "serve/serve_send.h"

namespace vandrel::tool {

namespace {

constexpr size_t kPiece = size_t{256} << 10;

struct FileSend : BodySend, std::enable_shared_from_this<FileSend> {
    FileSend(BodySend body, std::vector<char>& b) : BodySend(std::move(body)), buffer(b) {}

    std::vector<char>& buffer;

    void Next() {
        if (left == 0) {
            return done(sent, true, {});
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kPiece));
        buffer.resize(kPiece);
        try {
            if (!file.ReadAt(offset + sent, buffer.data(), n)) {
                return done(sent, false, "the file got shorter while it was sent");
            }
        } catch (const ToolError& error) {
            return done(sent, false, error.what());
        }
        stream.expires_after(idle);
        asio::async_write(stream, asio::buffer(buffer.data(), n),
                          [self = shared_from_this(), n](const error_code& ec, size_t) {
                              if (ec) {
                                  return self->done(self->sent, false, {});
                              }
                              self->sent += n;
                              self->left -= n;
                              self->Next();
                          });
    }
};

}  // namespace

void SendFileBody(BrowserStream& stream, LoopTimer&, std::chrono::milliseconds idle,
                  InputFile& file, uint64_t offset, uint64_t length, std::vector<char>& buffer,
                  BodySent done) {
    std::make_shared<FileSend>(BodySend(stream, idle, file, offset, length, std::move(done)),
                               buffer)
        ->Next();
}

void AllowQuickRebind(boost::asio::ip::tcp::acceptor&, boost::system::error_code&) {}

}  // namespace vandrel::tool
