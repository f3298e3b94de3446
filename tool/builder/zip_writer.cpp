#include "builder/zip_writer.h"

#include <algorithm>
#include <memory>

#include <zlib.h>

#include "app/pe_image.h"

namespace vandrel::tool {

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint16_t kVersionNeeded = 20;  // 2.0: deflate and folders
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
constexpr uint16_t kDosTime = 0;
constexpr uint32_t kFolderAttribute = 0x10;
constexpr uint64_t kLimit = UINT32_MAX;
constexpr size_t kChunk = size_t{1} << 20;

struct Written {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = kMethodStored;
    uint32_t crc = 0;
    uint64_t compressed = 0;
    uint64_t size = 0;
    uint64_t offset = 0;
    bool folder = false;
};

std::string Header(uint32_t signature, const Written& w, bool central) {
    std::string h;
    AppendLe32(h, signature);
    if (central) {
        AppendLe16(h, kVersionNeeded);  // made by: MS-DOS, 2.0
    }
    AppendLe16(h, kVersionNeeded);
    AppendLe16(h, w.flags);
    AppendLe16(h, w.method);
    AppendLe16(h, kDosTime);
    AppendLe16(h, kDosDate);
    AppendLe32(h, w.crc);
    AppendLe32(h, static_cast<uint32_t>(w.compressed));
    AppendLe32(h, static_cast<uint32_t>(w.size));
    AppendLe16(h, static_cast<uint16_t>(w.name.size()));
    AppendLe16(h, 0);  // extra field
    if (central) {
        AppendLe16(h, 0);  // comment
        AppendLe16(h, 0);  // disk
        AppendLe16(h, 0);  // internal attributes
        AppendLe32(h, w.folder ? kFolderAttribute : 0);
        AppendLe32(h, static_cast<uint32_t>(w.offset));
    }
    return h + w.name;
}

class Writer {
public:
    explicit Writer(TempOutputFile& file)
        : file_(file), buffer_(new uint8_t[kChunk]), output_(new uint8_t[kChunk]) {}

    void Add(const ZipEntry& entry) {
        Written w;
        w.name = entry.name;
        w.folder = !w.name.empty() && w.name.back() == '/';
        w.offset = position_;
        if (std::any_of(w.name.begin(), w.name.end(), [](char c) { return c & 0x80; })) {
            w.flags = kFlagUtf8;
        }
        if (w.name.empty() || w.name.size() > 0xFFFF) {
            throw ToolError("cannot zip " + Quoted(w.name) + ": the name is empty or too long");
        }
        const size_t headerSize = Header(kLocalHeaderSignature, w, false).size();
        const uint64_t dataStart = position_ + headerSize;
        if (!w.folder) {
            w.method = kMethodDeflated;
            Deflate(entry.source, dataStart, w);
            if (w.compressed >= w.size) {
                w.method = kMethodStored;
                Store(entry.source, dataStart, w);
            }
        }
        position_ = dataStart + w.compressed;
        if (position_ > kLimit || w.size > kLimit) {
            throw ToolError("cannot zip " + Quoted(w.name) +
                            ": the archive would pass 4 GiB, the limit of the zip format "
                            "written here");
        }
        file_.WriteAt(w.offset, Header(kLocalHeaderSignature, w, false).data(), headerSize);
        written_.push_back(std::move(w));
    }

    ZipStats Finish() {
        if (written_.size() > 0xFFFF) {
            throw ToolError("cannot zip more than 65535 files and folders");
        }
        std::string directory;
        for (const Written& w : written_) {
            directory += Header(kCentralHeaderSignature, w, true);
        }
        const uint64_t directoryStart = position_;
        std::string end;
        AppendLe32(end, kEndSignature);
        AppendLe16(end, 0);
        AppendLe16(end, 0);
        AppendLe16(end, static_cast<uint16_t>(written_.size()));
        AppendLe16(end, static_cast<uint16_t>(written_.size()));
        AppendLe32(end, static_cast<uint32_t>(directory.size()));
        AppendLe32(end, static_cast<uint32_t>(directoryStart));
        AppendLe16(end, 0);
        directory += end;
        if (directoryStart + directory.size() > kLimit) {
            throw ToolError("cannot zip: the archive would pass 4 GiB");
        }
        file_.WriteAt(directoryStart, directory.data(), directory.size());
        file_.Truncate(directoryStart + directory.size());
        ZipStats stats;
        stats.files = static_cast<uint64_t>(std::count_if(
            written_.begin(), written_.end(), [](const Written& w) { return !w.folder; }));
        stats.bytes = directoryStart + directory.size();
        return stats;
    }

private:
    static std::string Quoted(const std::string& name) { return "'" + name + "'"; }

    void Deflate(const std::filesystem::path& source, uint64_t at, Written& w) {
        z_stream stream{};
        if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            throw ToolError("cannot zip " + Quoted(w.name) + ": zlib could not start");
        }
        const std::unique_ptr<z_stream, int (*)(z_streamp)> owner(&stream, deflateEnd);
        InputFile in(source);
        uLong crc = crc32(0, nullptr, 0);
        int flush = Z_NO_FLUSH;
        do {
            const size_t got = in.Read(buffer_.get(), kChunk);
            crc = crc32(crc, buffer_.get(), static_cast<uInt>(got));
            w.size += got;
            flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
            stream.next_in = buffer_.get();
            stream.avail_in = static_cast<uInt>(got);
            do {
                stream.next_out = output_.get();
                stream.avail_out = static_cast<uInt>(kChunk);
                deflate(&stream, flush);
                const size_t out = kChunk - stream.avail_out;
                file_.WriteAt(at + w.compressed, output_.get(), out);
                w.compressed += out;
            } while (stream.avail_out == 0);
            if (w.compressed > kLimit) {
                throw ToolError("cannot zip " + Quoted(w.name) + ": it is larger than 4 GiB");
            }
        } while (flush != Z_FINISH);
        w.crc = static_cast<uint32_t>(crc);
    }

    void Store(const std::filesystem::path& source, uint64_t at, Written& w) {
        InputFile in(source);
        uint64_t done = 0;
        uLong crc = crc32(0, nullptr, 0);
        for (;;) {
            const size_t got = in.Read(buffer_.get(), kChunk);
            if (got == 0) {
                break;
            }
            crc = crc32(crc, buffer_.get(), static_cast<uInt>(got));
            file_.WriteAt(at + done, buffer_.get(), got);
            done += got;
        }
        if (done != w.size || static_cast<uint32_t>(crc) != w.crc) {
            throw ToolError("cannot zip " + Quoted(w.name) + ": it changed while it was read");
        }
        w.compressed = done;
    }

    TempOutputFile& file_;
    std::unique_ptr<uint8_t[]> buffer_;
    std::unique_ptr<uint8_t[]> output_;
    uint64_t position_ = 0;
    std::vector<Written> written_;
};

}  // namespace

ZipStats WriteZip(std::vector<ZipEntry> entries, TempOutputFile& file) {
    std::sort(entries.begin(), entries.end(),
              [](const ZipEntry& a, const ZipEntry& b) { return a.name < b.name; });
    Writer writer(file);
    for (const ZipEntry& entry : entries) {
        writer.Add(entry);
    }
    return writer.Finish();
}

}  // namespace vandrel::tool
