#include "commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iomanip>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "build.h"
#include "bundle_names.h"
#include "check.h"
#include "extract.h"
#include "portable/bundle/asset_bundle.h"
#include "file_io.h"
#include "folder_scan.h"
#include "serve.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// The machine ran out of memory for what a command had to hold: reported as such, with its own
// exit code, never as a fault of the input.
class OutOfMemory : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr const char* kUsage =
    "usage: vandrel COMMAND ARGUMENTS\n"
    "\n"
    "Checks, builds and previews apps for the Vandrel host, and makes and examines its\n"
    "assets.dat bundles.\n"
    "\n"
    "commands:\n"
    "  check [APP_FOLDER]     report what the host would refuse or not do as meant (--json)\n"
    "  build APP_FOLDER -o OUT  make the finished app folder (--bundle, --zip, --host, --loader)\n"
    "  pack FOLDER -o FILE    pack every file under FOLDER into the bundle FILE\n"
    "  list FILE              list a bundle's files with their sizes and offsets\n"
    "  verify FILE            check that the host accepts a bundle, or say why not\n"
    "  extract FILE FOLDER    write every file of a bundle out under FOLDER\n"
    "  serve [APP_FOLDER]     preview an app at http://127.0.0.1:PORT/ as the host serves it\n"
    "  --help                 show this help\n"
    "\n"
    "pack names each file by its path under FOLDER, with '/' between folder names, and leaves\n"
    "out FOLDER/assets.dat and FILE itself. Symbolic links are followed when they stay inside\n"
    "FOLDER. Files with identical content are stored once. Bundles must stay below 2 GiB.\n"
    "extract writes nothing outside FOLDER: it refuses a bundle when a link (or junction) in\n"
    "FOLDER is in the way, and checks every name before it writes anything.\n"
    "\n"
    "exit codes: 0 success, 1 failure, errors found or a bundle the host rejects, 2 bad command\n"
    "line or a check that could not run, 3 out of memory\n";

}  // namespace

std::string Plural(uint64_t n, const char* singular, const char* plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

std::string LimitText(uint64_t limit) {
    if (limit == kBundleSizeLimit) {
        return "2 GiB (2147483648 bytes)";
    }
    return std::to_string(limit) + " bytes";
}

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint64_t BigEndian64(const uint8_t* p) {
    return (uint64_t{BigEndian32(p)} << 32) | BigEndian32(p + 4);
}

std::string ChunkIdText(uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>((id >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(id));
            return hex;
        }
        text.push_back(static_cast<char>(c));
    }
    return "'" + text + "'";
}

// ---- Command-line parsing

struct ParsedArgs {
    std::vector<std::string> positional;
    std::optional<std::string> output;
    bool help = false;
};

ParsedArgs ParseArgs(const std::vector<std::string>& args, size_t first, bool takesOutput) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            parsed.help = true;
        } else if (takesOutput && (arg == "-o" || arg == "--output")) {
            if (i + 1 >= args.size()) {
                throw UsageError("option " + arg + " needs a file name");
            }
            parsed.output = args[++i];
        } else if (takesOutput && arg.rfind("--output=", 0) == 0) {
            parsed.output = arg.substr(9);
        } else {
            throw UsageError("unknown option " + Shown(arg));
        }
    }
    return parsed;
}

// ---- Progress display

class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled, uint64_t files, uint64_t bytes)
        : err_(err), enabled_(enabled), totalFiles_(files), totalBytes_(bytes) {}
    ~ProgressLine() { Clear(); }

    void Update(uint64_t files, uint64_t bytes) {
        if (!enabled_) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (shown_ > 0 && now - last_ < std::chrono::milliseconds(100) && files < totalFiles_) {
            return;
        }
        last_ = now;
        const uint64_t percent =
            totalBytes_ > 0 ? std::min<uint64_t>(100, bytes * 100 / totalBytes_) : 100;
        char line[160];
        std::snprintf(line, sizeof line, "packing: %llu/%llu files, %.1f/%.1f MB (%llu%%)",
                      static_cast<unsigned long long>(files),
                      static_cast<unsigned long long>(totalFiles_), bytes / 1e6, totalBytes_ / 1e6,
                      static_cast<unsigned long long>(percent));
        std::string text = line;
        const size_t length = text.size();
        if (length < shown_) {
            text.append(shown_ - length, ' ');
        }
        err_ << '\r' << text << std::flush;
        shown_ = length;
    }

    void Clear() {
        if (shown_ > 0) {
            err_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
            shown_ = 0;
        }
    }

private:
    std::ostream& err_;
    bool enabled_;
    uint64_t totalFiles_;
    uint64_t totalBytes_;
    size_t shown_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace

// ---- Opening bundles

// Opens and reads a bundle as the host would; a bundle of the size limit or more is rejected as
// the host rejects it, without reading it.
std::unique_ptr<OpenedBundle> OpenBundle(const fs::path& path, const ToolEnvironment& environment) {
    auto bundle = std::make_unique<OpenedBundle>();
    bundle->path = path;
    std::error_code ec;
    bundle->length = fs::file_size(path, ec);
    if (ec) {
        throw ToolError("cannot read " + ShownPath(path) + ": " + ErrorCodeText(ec));
    }
    if (bundle->length >= environment.sizeLimit) {
        bundle->rejection = "the bundle is " + std::to_string(bundle->length) +
                            " bytes; the host reads bundles smaller than " +
                            LimitText(environment.sizeLimit);
        bundle->tooLarge = true;
        return bundle;
    }
    bundle->stream = OpenStdioForRead(path);
    bundle->reader.AttachFile(bundle->stream.get(), bundle->length);
    try {
        AtTestPoint(environment, "bundle-opened", PathToUtf8(path));
        bundle->reader.Parse();
    } catch (const std::bad_alloc&) {
        const uint32_t entries = bundle->reader.entryCount;
        throw OutOfMemory("out of memory while reading the directory of " + ShownPath(path) +
                          (entries > 0 ? " (" + Plural(entries, "entry", "entries") + ")" : ""));
    } catch (const std::exception& error) {
        const std::string message = error.what();
        if (message == "file read error") {
            throw ToolError("cannot read " + ShownPath(path) + ": it changed or could not be read");
        }
        bundle->rejection = message;
    }
    return bundle;
}

namespace {

void RequireAccepted(const OpenedBundle& bundle) {
    if (bundle.rejection) {
        throw ToolError(ShownPath(bundle.path) + " is not a bundle the host accepts: " +
                        *bundle.rejection + (bundle.tooLarge ? "" : " (run 'vandrel verify' for details)"));
    }
}

uint64_t DirectoryBytes(const AssetBundle& reader) {
    uint64_t total = 0;
    for (const auto& [name, entry] : reader.directory) {
        total += entry.size;
    }
    return total;
}

// ---- Explaining a rejection

// The lines that say where and why the reader stopped, read from the file itself.
std::vector<std::string> ExplainRejection(const OpenedBundle& bundle) {
    const AssetBundle& reader = bundle.reader;
    const std::string& message = *bundle.rejection;
    const uint64_t length = bundle.length;
    InputFile file(bundle.path);
    std::vector<std::string> lines;

    // At most `n` bytes at `offset` (fewer at the end of the file), read through a window of
    // 1 MiB, so walking a long directory entry by entry costs few reads.
    std::vector<uint8_t> window;
    uint64_t windowStart = 0;
    const auto readAt = [&](uint64_t offset, size_t n) {
        std::vector<uint8_t> bytes;
        if (offset >= length) {
            return bytes;
        }
        n = static_cast<size_t>(std::min<uint64_t>(n, length - offset));
        if (offset < windowStart || offset + n > windowStart + window.size()) {
            windowStart = offset;
            window.resize(static_cast<size_t>(
                std::min<uint64_t>(std::max<uint64_t>(n, uint64_t{1} << 20), length - offset)));
            if (!file.ReadAt(offset, window.data(), window.size())) {
                window.clear();
                return bytes;
            }
        }
        const auto first = window.begin() + static_cast<ptrdiff_t>(offset - windowStart);
        bytes.assign(first, first + static_cast<ptrdiff_t>(n));
        return bytes;
    };

    if (reader.currentEntry) {
        const uint32_t index = *reader.currentEntry;
        const BundleChunk& fdir = reader.chunks.at(kDirectoryChunkId);
        const uint64_t end = fdir.position + fdir.size;
        uint64_t position = fdir.position + 4;
        for (uint32_t i = 0; i < index; ++i) {
            const std::vector<uint8_t> fixed = readAt(position, kEntryFixedSize);
            if (fixed.size() < kEntryFixedSize) {
                return lines;  // the file changed under us
            }
            position += kEntryFixedSize + BigEndian32(fixed.data() + 33);
        }
        std::string where = "at entry index " + std::to_string(index) + " of " +
                            std::to_string(reader.entryCount) + " (counting from 0)";
        const uint64_t left = end > position ? end - position : 0;
        if (left < kEntryFixedSize) {
            lines.push_back(where + ", whose name is not present");
            lines.push_back("the entry needs " + std::to_string(kEntryFixedSize) +
                            " bytes before its name, but only " + std::to_string(left) +
                            " remain in the fdir chunk");
            return lines;
        }
        const std::vector<uint8_t> fixed = readAt(position, kEntryFixedSize);
        if (fixed.size() < kEntryFixedSize) {
            return lines;
        }
        const uint32_t reserved0 = BigEndian32(fixed.data());
        const uint32_t reserved1 = BigEndian32(fixed.data() + 4);
        const uint64_t offset = BigEndian64(fixed.data() + 8);
        const uint64_t size = BigEndian64(fixed.data() + 16);
        const unsigned compression = fixed[32];
        const uint32_t nameLength = BigEndian32(fixed.data() + 33);
        const uint64_t nameRoom = left - kEntryFixedSize;
        if (nameLength <= nameRoom) {
            constexpr uint32_t kShownLength = 1024;  // a longer name is cut for display
            const std::vector<uint8_t> name =
                readAt(position + kEntryFixedSize, std::min(nameLength, kShownLength));
            lines.push_back(where + ": " + Shown(std::string(name.begin(), name.end())) +
                            (nameLength > kShownLength
                                 ? " (first " + std::to_string(kShownLength) + " of " +
                                       std::to_string(nameLength) + " bytes)"
                                 : std::string()));
        } else {
            lines.push_back(where + ", whose name is not present");
        }
        if (message == "bad file entry") {
            if (reserved0 != 0 || reserved1 != 0) {
                lines.push_back("its reserved fields are " + std::to_string(reserved0) + " and " +
                                std::to_string(reserved1) + "; both must be 0");
            } else {
                lines.push_back("its bytes (offset " + std::to_string(offset) + ", size " +
                                std::to_string(size) + ") run past the end of the blob chunk (" +
                                std::to_string(reader.blobSize) + " bytes)");
            }
        } else if (message == "bad file compression") {
            lines.push_back("its compression is " + std::to_string(compression) +
                            "; only 0 (stored) is accepted");
        } else if (message == "bundle read error" && nameLength > nameRoom) {
            lines.push_back("its name length is " + std::to_string(nameLength) + ", but only " +
                            std::to_string(nameRoom) + " bytes remain in the fdir chunk");
        }
        return lines;
    }

    const std::vector<uint8_t> header = readAt(0, kHeaderSize);
    if (message == "bad format") {
        std::string text = "the file starts with bytes";
        for (size_t i = 0; i < 4 && i < header.size(); ++i) {
            char hex[8];
            std::snprintf(hex, sizeof hex, " %02x", header[i]);
            text += hex;
        }
        lines.push_back(text + " where \"vdab\" (76 64 61 62) belongs");
        return lines;
    }
    if (message == "unsupported version" && header.size() >= 8) {
        lines.push_back("its version is " + std::to_string(BigEndian32(header.data() + 4)) +
                        "; only 0 is accepted");
        return lines;
    }
    if (message == "invalid flags" && header.size() >= 16) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08x",
                      static_cast<unsigned>(BigEndian32(header.data() + 12)));
        lines.push_back(std::string("its flags are ") + hex +
                        "; no flags are defined, so they must be 0");
        return lines;
    }
    if (header.size() < kHeaderSize) {
        lines.push_back("the file is " + Plural(length, "byte", "bytes") +
                        " long, shorter than the " + std::to_string(kHeaderSize) + "-byte header");
        return lines;
    }

    if (message == "missing blob chunk" || message == "missing fdir chunk") {
        if (reader.chunks.empty()) {
            const uint64_t chunkStart = BigEndian32(header.data() + 8);
            lines.push_back("the file holds no chunks (chunk start " + std::to_string(chunkStart) +
                            ", file length " + std::to_string(length) + ")");
        } else {
            std::string text = "chunks found:";
            for (const auto& [id, chunk] : reader.chunks) {
                text += " " + ChunkIdText(id) + " (" + std::to_string(chunk.size) + " bytes at " +
                        std::to_string(chunk.position - kChunkHeaderSize) + ")";
            }
            lines.push_back(text);
        }
        return lines;
    }

    // The reader walks all chunks before it reads the directory's entry count.
    if (message == "bundle read error" && reader.chunks.count(kBlobChunkId) != 0 &&
        reader.chunks.count(kDirectoryChunkId) != 0 &&
        reader.chunks.at(kDirectoryChunkId).size < 4) {
        lines.push_back("the fdir chunk holds " +
                        Plural(reader.chunks.at(kDirectoryChunkId).size, "byte", "bytes") +
                        ", too few for its 4-byte entry count");
        return lines;
    }

    // Walk the chunk headers to the one the reader stopped at.
    uint64_t position = BigEndian32(header.data() + 8);
    while (position < length) {
        const std::vector<uint8_t> chunkHeader = readAt(position, kChunkHeaderSize);
        if (chunkHeader.size() < kChunkHeaderSize) {
            lines.push_back(Plural(chunkHeader.size(), "byte remains", "bytes remain") +
                            " at offset " + std::to_string(position) +
                            ", too few for a 12-byte chunk header");
            return lines;
        }
        const uint32_t id = BigEndian32(chunkHeader.data());
        const uint64_t size = BigEndian64(chunkHeader.data() + 4);
        const uint64_t remaining = length - position - kChunkHeaderSize;
        if (size > remaining) {
            lines.push_back("chunk " + ChunkIdText(id) + " at offset " + std::to_string(position) +
                            " declares " + std::to_string(size) + " payload bytes, but only " +
                            std::to_string(remaining) + " remain in the file");
            return lines;
        }
        position += kChunkHeaderSize + size;
    }
    return lines;
}

// ---- Commands

int Pack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
         const ToolEnvironment& environment) {
    const ParsedArgs parsed = ParseArgs(args, 1, true);
    if (parsed.help) {
        out << kUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1 || !parsed.output) {
        throw UsageError("pack takes one folder and an output file: vandrel pack FOLDER -o FILE");
    }
    const fs::path folder = PathFromUtf8(parsed.positional[0]);
    const fs::path output = PathFromUtf8(*parsed.output);
    std::error_code ec;
    if (fs::is_directory(output, ec)) {
        throw ToolError("cannot write " + ShownPath(output) + ": " +
                        ErrorCodeText(std::make_error_code(std::errc::is_a_directory)));
    }

    FolderScan scan = ScanFolder(folder, output, environment.sizeLimit);
    for (const std::string& warning : scan.warnings) {
        err << "vandrel: warning: " << warning << '\n';
    }
    AtTestPoint(environment, "pack-scanned", PathToUtf8(folder));

    const bool large = scan.totalBytes > 50'000'000 || scan.files.size() > 2000;
    ProgressLine progress(err, environment.errIsTerminal && large, scan.files.size(),
                          scan.totalBytes);
    PackOptions options;
    options.sizeLimit = environment.sizeLimit;
    options.progress = [&progress](uint64_t files, uint64_t bytes) {
        progress.Update(files, bytes);
    };
    options.open = [&scan](const BundleInput& input) { return scan.Open(input); };
    const PackStats stats = WriteBundle(scan.files, output, options);
    progress.Clear();

    out << "packed " << Plural(stats.files, "file", "files") << " ("
        << Plural(stats.bytes, "byte", "bytes") << ") into " << ShownPath(output) << ": "
        << Plural(stats.bundleBytes, "byte", "bytes") << ", "
        << Plural(stats.savedBytes, "byte", "bytes") << " saved by sharing "
        << Plural(stats.sharedFiles, "identical file", "identical files") << '\n';
    return kExitOk;
}

int List(const std::vector<std::string>& args, std::ostream& out,
         const ToolEnvironment& environment) {
    const ParsedArgs parsed = ParseArgs(args, 1, false);
    if (parsed.help) {
        out << kUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        throw UsageError("list takes one bundle file: vandrel list FILE");
    }
    const auto bundle = OpenBundle(PathFromUtf8(parsed.positional[0]), environment);
    RequireAccepted(*bundle);
    const AssetBundle& reader = bundle->reader;

    uint64_t largestSize = 0;
    uint64_t largestOffset = 0;
    for (const auto& [name, entry] : reader.directory) {
        largestSize = std::max(largestSize, entry.size);
        largestOffset = std::max(largestOffset, entry.offset);
    }
    const int sizeWidth = static_cast<int>(std::max<size_t>(4, std::to_string(largestSize).size()));
    const int offsetWidth =
        static_cast<int>(std::max<size_t>(6, std::to_string(largestOffset).size()));
    std::ostringstream text;
    text << std::setw(sizeWidth) << "size"
         << "  " << std::setw(offsetWidth) << "offset"
         << "  name\n";
    for (const auto& [name, entry] : reader.directory) {
        text << std::setw(sizeWidth) << entry.size << "  " << std::setw(offsetWidth) << entry.offset
             << "  " << Shown(name, false) << '\n';
    }
    text << Plural(reader.directory.size(), "file", "files") << ", "
         << Plural(DirectoryBytes(reader), "byte", "bytes") << " (blob "
         << Plural(reader.blobSize, "byte", "bytes") << ")\n";
    out << text.str();
    return kExitOk;
}

int Verify(const std::vector<std::string>& args, std::ostream& out,
           const ToolEnvironment& environment) {
    const ParsedArgs parsed = ParseArgs(args, 1, false);
    if (parsed.help) {
        out << kUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        throw UsageError("verify takes one bundle file: vandrel verify FILE");
    }
    const auto bundle = OpenBundle(PathFromUtf8(parsed.positional[0]), environment);
    if (bundle->rejection) {
        out << "rejected: " << *bundle->rejection << '\n';
        if (!bundle->tooLarge) {
            for (const std::string& line : ExplainRejection(*bundle)) {
                out << "  " << line << '\n';
            }
        }
        return kExitFailure;
    }
    const AssetBundle& reader = bundle->reader;
    out << "accepted: " << Plural(reader.directory.size(), "file", "files") << ", "
        << Plural(DirectoryBytes(reader), "byte", "bytes") << '\n';
    const uint64_t repeated = reader.entryCount - reader.directory.size();
    if (repeated > 0) {
        out << "  note: " << Plural(repeated, "entry repeats", "entries repeat")
            << " an earlier name; the host uses the first\n";
    }
    return kExitOk;
}

int Extract(const std::vector<std::string>& args, std::ostream& out,
            const ToolEnvironment& environment) {
    const ParsedArgs parsed = ParseArgs(args, 1, false);
    if (parsed.help) {
        out << kUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 2) {
        throw UsageError("extract takes a bundle file and a folder: vandrel extract FILE FOLDER");
    }
    const auto bundle = OpenBundle(PathFromUtf8(parsed.positional[0]), environment);
    RequireAccepted(*bundle);
    const fs::path folder = PathFromUtf8(parsed.positional[1]);
    const ExtractResult result = ExtractBundle(bundle->reader, bundle->path, folder, environment);
    out << "extracted " << Plural(result.files, "file", "files") << " ("
        << Plural(result.bytes, "byte", "bytes") << ") into " << ShownPath(folder) << '\n';
    return kExitOk;
}

}  // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const ToolEnvironment& environment) {
    try {
        if (args.empty()) {
            err << kUsage;
            return kExitUsage;
        }
        const std::string& command = args[0];
        if (command == "--help" || command == "-h" || command == "help") {
            out << kUsage;
            return kExitOk;
        }
        if (command == "check") {
            return CheckCommand(args, out, err, environment);
        }
        if (command == "build") {
            return BuildCommand(args, out, err, environment);
        }
        if (command == "pack") {
            return Pack(args, out, err, environment);
        }
        if (command == "list") {
            return List(args, out, environment);
        }
        if (command == "verify") {
            return Verify(args, out, environment);
        }
        if (command == "extract") {
            return Extract(args, out, environment);
        }
        if (command == "serve") {
            return Serve(args, out, err);
        }
        throw UsageError("unknown command " + Shown(command));
    } catch (const UsageError& error) {
        err << "vandrel: " << error.what() << " (run 'vandrel --help' for usage)\n";
        return kExitUsage;
    } catch (const OutOfMemory& error) {
        err << "vandrel: " << error.what() << '\n';
        return kExitOutOfMemory;
    } catch (const std::bad_alloc&) {
        err << "vandrel: out of memory\n";
        return kExitOutOfMemory;
    } catch (const std::exception& error) {
        err << "vandrel: " << error.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace vandrel::tool
