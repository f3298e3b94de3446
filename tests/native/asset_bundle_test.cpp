#include "portable/bundle/asset_bundle.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <ranges>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "bundle_builder.h"

namespace vandrel {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

constexpr uint64_t kMaxU64 = std::numeric_limits<uint64_t>::max();
constexpr uint32_t kJunkChunkId = FourCc("junk");

// The blob used by most images: ten bytes, so offsets and sizes are easy to follow.
constexpr std::string_view kBlob = "0123456789";
// With SimpleBundle: header (16) + blob chunk header (12).
constexpr uint64_t kSimpleBlobPosition = 28;

// ---------------------------------------------------------------------------------------------
// Running a parse and describing what it left behind.

// "ok", or the exception's type and text. range_error is tested first: it is a runtime_error too.
std::string Outcome(AssetBundle& bundle) {
    try {
        bundle.Parse();
    } catch (const std::range_error& e) {
        return "range_error: "s + e.what();
    } catch (const std::runtime_error& e) {
        return "runtime_error: "s + e.what();
    } catch (const std::exception& e) {
        return "other exception: "s + e.what();
    }
    return "ok";
}

std::string ReadError() {
    return "range_error: bundle read error";
}
std::string Rejected(const std::string& message) {
    return "runtime_error: " + message;
}

std::string Escape(const std::string& text) {
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            result.push_back(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof(buffer), "\\x%02X", byte);
            result += buffer;
        }
    }
    return result;
}

std::string ChunkName(uint32_t id) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        name.push_back(static_cast<char>(id >> shift));
    }
    return Escape(name);
}

// "name@offset+size" per entry, with "~extra" when extra is not 0, in map order.
std::string DescribeDirectory(const AssetBundle& bundle) {
    std::string result;
    for (const auto& [name, entry] : bundle.directory) {
        if (!result.empty()) {
            result += ", ";
        }
        result +=
            Escape(name) + "@" + std::to_string(entry.offset) + "+" + std::to_string(entry.size);
        if (entry.extra != 0) {
            result += "~" + std::to_string(entry.extra);
        }
        // The key and the stored name must agree, and only stored files are ever accepted.
        if (entry.name != name) {
            result += "(name " + Escape(entry.name) + ")";
        }
        if (entry.compression != 0) {
            result += "(compression " + std::to_string(entry.compression) + ")";
        }
    }
    return result;
}

// "id@position+size" per chunk, in map order.
std::string DescribeChunks(const AssetBundle& bundle) {
    std::string result;
    for (const auto& [id, chunk] : bundle.chunks) {
        if (!result.empty()) {
            result += ", ";
        }
        result +=
            ChunkName(id) + "@" + std::to_string(chunk.position) + "+" + std::to_string(chunk.size);
        if (chunk.id != id) {
            result += "(id " + ChunkName(chunk.id) + ")";
        }
    }
    return result;
}

// Everything Parse leaves behind, for comparing two readers.
std::string DescribeState(const AssetBundle& bundle) {
    return "blob " + std::to_string(bundle.blobPosition) + "+" + std::to_string(bundle.blobSize) +
           " | chunks " + DescribeChunks(bundle) + " | files " + DescribeDirectory(bundle) +
           " | entry " +
           (bundle.currentEntry ? std::to_string(*bundle.currentEntry) : std::string("none")) +
           " of " + std::to_string(bundle.entryCount);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// An anonymous temporary file holding `bytes`, positioned at its start.
FilePtr TempStream(const Bytes& bytes) {
    FilePtr file(std::tmpfile());
    if (!file) {
        ADD_FAILURE() << "tmpfile failed";
        return file;
    }
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
    }
    std::rewind(file.get());
    return file;
}

// A named file under the system's temporary folder, removed again when the object goes.
class TempFile {
public:
    explicit TempFile(const Bytes& bytes) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vandrel-bundle-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            ADD_FAILURE() << "mkstemp failed";
            return;
        }
        close(fd);
        path_ = pattern;
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good());
    }
    ~TempFile() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Parses `bytes` in Memory mode and, through a temporary stream, in File mode. Both readers must
// end in the same state with the same outcome; the Memory-mode outcome is returned and its reader
// left in `memory` (which points into `bytes`).
std::string ParseBothWays(const Bytes& bytes, AssetBundle& memory) {
    memory.AttachMemory(bytes.data(), bytes.size());
    const std::string memoryOutcome = Outcome(memory);

    FilePtr stream = TempStream(bytes);
    AssetBundle file;
    file.AttachFile(stream.get(), bytes.size());
    const std::string fileOutcome = Outcome(file);

    EXPECT_EQ(fileOutcome, memoryOutcome) << "File mode and Memory mode disagree";
    EXPECT_EQ(DescribeState(file), DescribeState(memory)) << "File mode and Memory mode disagree";
    return memoryOutcome;
}

// The valid two-file image most tests start from.
Bytes TwoFileBundle() {
    return SimpleBundle(kBlob, {{"a.txt", 0, 4, 7}, {"b/c.txt", 4, 6}});
}

// ---------------------------------------------------------------------------------------------
// Rejections.

struct RejectCase {
    const char* what;
    Bytes image;
    std::string expected;
};

BundleBuilder ValidHeader() {
    BundleBuilder image;
    image.Header();
    return image;
}

// Header and blob chunk; the caller appends an fdir chunk.
BundleBuilder WithBlob(std::string_view blob = kBlob) {
    BundleBuilder image = ValidHeader();
    image.Chunk(kBlobChunkId, blob);
    return image;
}

Bytes WithDirectory(const std::vector<BundleEntrySpec>& entries,
                    std::optional<uint32_t> count = std::nullopt) {
    return WithBlob().Chunk(kDirectoryChunkId, BundleDirectory(entries, count)).bytes;
}

Bytes WithDirectoryPayload(const Bytes& payload) {
    return WithBlob().Chunk(kDirectoryChunkId, payload).bytes;
}

Bytes Concat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::vector<RejectCase> RejectCases() {
    const Bytes chunks = BundleBuilder()
                             .Chunk(kBlobChunkId, kBlob)
                             .Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 1}}))
                             .bytes;
    const Bytes validDirectory = BundleDirectory({{"a", 0, 1}});
    return {
        // Header, in field order.
        {"empty image", {}, ReadError()},
        {"three bytes", BundleBuilder().Bytes("vda").bytes, ReadError()},
        {"wrong last magic byte", Concat(BundleBuilder().Header(16, FourCc("vdaB")).bytes, chunks),
         Rejected("bad format")},
        {"magic in little-endian order",
         Concat(BundleBuilder().Header(16, FourCc("badv")).bytes, chunks), Rejected("bad format")},
        {"wrong magic before a bad version and flags",
         BundleBuilder().Header(16, FourCc("VDAB"), 1, 1).bytes, Rejected("bad format")},
        {"magic alone", BundleBuilder().U32(kBundleMagic).bytes, ReadError()},
        {"magic and half a version", BundleBuilder().U32(kBundleMagic).U8(0).U8(0).bytes,
         ReadError()},
        {"version 1", Concat(BundleBuilder().Header(16, kBundleMagic, 1).bytes, chunks),
         Rejected("unsupported version")},
        {"version high bit before bad flags",
         BundleBuilder().Header(16, kBundleMagic, 0x80000000u, 1).bytes,
         Rejected("unsupported version")},
        {"version 1 with the header cut after it", BundleBuilder().U32(kBundleMagic).U32(1).bytes,
         Rejected("unsupported version")},
        {"header cut in the chunk start", BundleBuilder().U32(kBundleMagic).U32(0).U8(0).bytes,
         ReadError()},
        {"header cut one byte short",
         [] {
             Bytes header = BundleBuilder().Header().bytes;
             header.pop_back();
             return header;
         }(),
         ReadError()},
        {"flags 1", Concat(BundleBuilder().Header(16, kBundleMagic, 0, 1).bytes, chunks),
         Rejected("invalid flags")},
        {"flags high bit before a chunk start past the end",
         BundleBuilder().Header(0xFFFFFFFFu, kBundleMagic, 0, 0x80000000u).bytes,
         Rejected("invalid flags")},

        // Chunk walk.
        {"header alone", ValidHeader().bytes, Rejected("missing blob chunk")},
        {"chunk start one past the end", BundleBuilder().Header(17).bytes,
         Rejected("missing blob chunk")},
        {"chunk start far beyond valid chunks", Concat(BundleBuilder().Header(1000).bytes, chunks),
         Rejected("missing blob chunk")},
        {"largest chunk start", Concat(BundleBuilder().Header(0xFFFFFFFFu).bytes, chunks),
         Rejected("missing blob chunk")},
        {"chunk header cut in the id", ValidHeader().Bytes("blo").bytes, ReadError()},
        {"chunk header cut in the size", ValidHeader().U32(kBlobChunkId).U32(0).U8(0).bytes,
         ReadError()},
        {"three stray bytes after the last chunk",
         Concat(TwoFileBundle(), BundleBuilder().Bytes("xyz").bytes), ReadError()},
        {"last chunk one byte longer than what remains",
         ValidHeader()
             .Chunk(kDirectoryChunkId, validDirectory)
             .ChunkHeader(kBlobChunkId, kBlob.size() + 1)
             .Bytes(kBlob)
             .bytes,
         Rejected("bad chunk")},
        {"chunk size 2^64-1", ValidHeader().ChunkHeader(kBlobChunkId, kMaxU64).Bytes(kBlob).bytes,
         Rejected("bad chunk")},
        // 28 + (2^64 - 28) wraps to 0 and 2^64 - 12 would wrap back to the chunk start: a reader
        // that added first and compared afterwards would loop or go backwards.
        {"chunk size wrapping the position to 0",
         ValidHeader().ChunkHeader(kJunkChunkId, 0 - uint64_t{28}).Bytes(kBlob).bytes,
         Rejected("bad chunk")},
        {"chunk size wrapping the position to the chunk start",
         ValidHeader().ChunkHeader(kJunkChunkId, 0 - uint64_t{12}).Bytes(kBlob).bytes,
         Rejected("bad chunk")},
        {"chunk size 2^63", ValidHeader().ChunkHeader(kJunkChunkId, uint64_t{1} << 63).bytes,
         Rejected("bad chunk")},
        {"bad chunk after a complete bundle",
         Concat(TwoFileBundle(), BundleBuilder().ChunkHeader(kJunkChunkId, 1).bytes),
         Rejected("bad chunk")},
        {"bad chunk before any blob", ValidHeader().ChunkHeader(kBlobChunkId, 100).bytes,
         Rejected("bad chunk")},
        {"fdir without blob", ValidHeader().Chunk(kDirectoryChunkId, validDirectory).bytes,
         Rejected("missing blob chunk")},
        {"blob without fdir", WithBlob().bytes, Rejected("missing fdir chunk")},
        {"neither blob nor fdir", ValidHeader().Chunk(kJunkChunkId, "x").bytes,
         Rejected("missing blob chunk")},
        {"ids that differ from blob and fdir in case",
         ValidHeader().Chunk(FourCc("BLOB"), kBlob).Chunk(FourCc("FDIR"), validDirectory).bytes,
         Rejected("missing blob chunk")},

        // Directory.
        {"empty directory payload", WithDirectoryPayload({}), ReadError()},
        {"count cut short", WithDirectoryPayload({0, 0, 0}), ReadError()},
        {"count past the entries", WithDirectory({{"a", 0, 1}}, 2), ReadError()},
        {"entry cut after the reserved fields",
         WithDirectoryPayload(BundleBuilder().U32(1).U32(0).U32(0).U64(0).bytes), ReadError()},
        {"first reserved field set", WithDirectory({{"a", 0, 1, 0, 0, 1, 0}}),
         Rejected("bad file entry")},
        // Both reserved fields are read before either is checked.
        {"first reserved field set in an entry cut after it",
         WithDirectoryPayload(BundleBuilder().U32(1).U32(1).bytes), ReadError()},
        {"second reserved field set", WithDirectory({{"a", 0, 1, 0, 0, 0, 0x80000000u}}),
         Rejected("bad file entry")},
        {"reserved field checked before the range and compression",
         WithDirectory({{"a", kMaxU64, kMaxU64, 0, 1, 1, 1}}), Rejected("bad file entry")},
        {"end one past the blob", WithDirectory({{"a", 4, 7}}), Rejected("bad file entry")},
        {"whole blob plus one", WithDirectory({{"a", 0, 11}}), Rejected("bad file entry")},
        {"empty file one past the blob", WithDirectory({{"a", 11, 0}}), Rejected("bad file entry")},
        {"offset + size wrapping to inside the blob", WithDirectory({{"a", kMaxU64, 2}}),
         Rejected("bad file entry")},
        {"size wrapping past a small offset", WithDirectory({{"a", 1, kMaxU64}}),
         Rejected("bad file entry")},
        {"range checked against the blob, not the file",
         WithBlob("").Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 1}})).bytes,
         Rejected("bad file entry")},
        {"range checked before the compression", WithDirectory({{"a", 0, 11, 0, 1}}),
         Rejected("bad file entry")},
        {"compression 1", WithDirectory({{"a", 0, 1, 0, 1}}), Rejected("bad file compression")},
        {"compression 255", WithDirectory({{"a", 0, 1, 0, 255}}), Rejected("bad file compression")},
        {"compression checked before the name length",
         WithDirectory({{"a", 0, 1, 0, 2, 0, 0, 0xFFFFFFFFu}}), Rejected("bad file compression")},
        {"entry cut in the name length",
         WithDirectoryPayload(
             BundleBuilder().U32(1).U32(0).U32(0).U64(0).U64(1).U64(0).U8(0).U8(0).bytes),
         ReadError()},
        {"name one byte past the directory", WithDirectory({{"abc", 0, 1, 0, 0, 0, 0, 4}}),
         ReadError()},
        {"largest name length", WithDirectory({{"abc", 0, 1, 0, 0, 0, 0, 0xFFFFFFFFu}}),
         ReadError()},
        // The name would fit in the file, but not in the fdir payload.
        {"name running into the next chunk",
         WithBlob()
             .Chunk(kDirectoryChunkId, BundleDirectory({{"abc", 0, 1, 0, 0, 0, 0, 5}}))
             .Chunk(kJunkChunkId, "0123456789")
             .bytes,
         ReadError()},
        {"entry running into the next chunk",
         ValidHeader()
             .Chunk(kDirectoryChunkId, BundleBuilder().U32(1).U32(0).U32(0).bytes)
             .Chunk(kBlobChunkId, Bytes(40, 0))
             .bytes,
         ReadError()},
    };
}

TEST(AssetBundleTest, RejectsEachFaultWithItsMessageInCheckOrder) {
    for (const RejectCase& c : RejectCases()) {
        SCOPED_TRACE(c.what);
        AssetBundle bundle;
        EXPECT_EQ(ParseBothWays(c.image, bundle), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------
// Accepted images.

struct AcceptCase {
    const char* what;
    Bytes image;
    std::string files;   // DescribeDirectory
    std::string chunks;  // DescribeChunks
};

std::vector<AcceptCase> AcceptCases() {
    return {
        {"two files", TwoFileBundle(), "a.txt@0+4~7, b/c.txt@4+6", "blob@28+10, fdir@50+90"},
        {"count 0", WithDirectory({}), "", "blob@28+10, fdir@50+4"},
        {"file ending exactly at the blob end", WithDirectory({{"a", 4, 6}}), "a@4+6",
         "blob@28+10, fdir@50+42"},
        {"whole blob", WithDirectory({{"a", 0, 10}}), "a@0+10", "blob@28+10, fdir@50+42"},
        {"empty file at the blob end", WithDirectory({{"a", 10, 0}}), "a@10+0",
         "blob@28+10, fdir@50+42"},
        {"empty file in an empty blob",
         WithBlob("").Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 0}})).bytes, "a@0+0",
         "blob@28+0, fdir@40+42"},
        {"files sharing bytes, out of order", WithDirectory({{"z", 2, 8}, {"y", 0, 5}}),
         "y@0+5, z@2+8", "blob@28+10, fdir@50+80"},
        {"largest extra", WithDirectory({{"a", 0, 1, kMaxU64}}), "a@0+1~18446744073709551615",
         "blob@28+10, fdir@50+42"},
        {"empty name", WithDirectory({{"", 1, 2}}), "@1+2", "blob@28+10, fdir@50+41"},
        {"name with a zero byte and UTF-8", WithDirectory({{"a\0b/\xC3\xA9"s, 1, 2}}),
         "a\\x00b/\\xC3\\xA9@1+2", "blob@28+10, fdir@50+47"},
        {"same name twice: the first counts", WithDirectory({{"a", 0, 1, 5}, {"a", 2, 3, 6}}),
         "a@0+1~5", "blob@28+10, fdir@50+80"},
        {"bytes after the last entry are ignored",
         WithDirectoryPayload(Concat(BundleDirectory({{"a", 0, 1}}), {1, 2, 3, 4, 5})), "a@0+1",
         "blob@28+10, fdir@50+47"},
        {"count below the entries present", WithDirectory({{"a", 0, 1}, {"b", 0, 1}}, 1), "a@0+1",
         "blob@28+10, fdir@50+80"},
        {"fdir before blob, blob reaching the end exactly",
         ValidHeader()
             .Chunk(kDirectoryChunkId, BundleDirectory({{"a", 3, 4}}))
             .Chunk(kBlobChunkId, kBlob)
             .bytes,
         "a@3+4", "blob@82+10, fdir@28+42"},
        {"unknown chunks are recorded and skipped",
         WithBlob()
             .Chunk(kJunkChunkId, BundleDirectory({{"not-me", 0, 1}}))
             .Chunk(0, "")
             .Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 1}}))
             .bytes,
         "a@0+1", "\\x00\\x00\\x00\\x00@109+0, blob@28+10, fdir@121+42, junk@50+47"},
        {"duplicate chunks: the first of each counts, later ones are never read",
         WithBlob()
             .Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 10}}))
             .Chunk(kBlobChunkId, "xy")
             .Chunk(kDirectoryChunkId, "garbage")
             .bytes,
         "a@0+10", "blob@28+10, fdir@50+42"},
        {"gap between header and chunk start is not read",
         BundleBuilder()
             .Header(20)
             .U32(0xDEADBEEF)
             .Chunk(kBlobChunkId, kBlob)
             .Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 1}}))
             .bytes,
         "a@0+1", "blob@32+10, fdir@54+42"},
        // Chunk start 12: the flags (0) are read as a chunk id and the next 8 bytes as its size.
        {"chunk start 12 reads the flags as a chunk",
         BundleBuilder()
             .Header(12)
             .U64(0)
             .Chunk(kBlobChunkId, kBlob)
             .Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 1}}))
             .bytes,
         "a@0+1", "\\x00\\x00\\x00\\x00@24+0, blob@36+10, fdir@58+42"},
        // Chunk start 0: "vdab" becomes a chunk whose size is the version and chunk start (0).
        {"chunk start 0 reads the header as chunks",
         BundleBuilder()
             .Header(0)
             .U64(0)
             .Chunk(kBlobChunkId, kBlob)
             .Chunk(kDirectoryChunkId, BundleDirectory({{"a", 0, 1}}))
             .bytes,
         "a@0+1", "\\x00\\x00\\x00\\x00@24+0, blob@36+10, fdir@58+42, vdab@12+0"},
    };
}

TEST(AssetBundleTest, AcceptsValidImagesAtTheirLimits) {
    for (const AcceptCase& c : AcceptCases()) {
        SCOPED_TRACE(c.what);
        AssetBundle bundle;
        ASSERT_EQ(ParseBothWays(c.image, bundle), "ok");
        EXPECT_EQ(DescribeDirectory(bundle), c.files);
        EXPECT_EQ(DescribeChunks(bundle), c.chunks);
        ASSERT_TRUE(bundle.chunks.contains(kBlobChunkId));
        EXPECT_EQ(bundle.blobPosition, bundle.chunks.at(kBlobChunkId).position);
        EXPECT_EQ(bundle.blobSize, bundle.chunks.at(kBlobChunkId).size);
        EXPECT_FALSE(bundle.currentEntry.has_value());
    }
}

TEST(AssetBundleTest, DuplicateNamesAreStillValidated) {
    AssetBundle bundle;
    const Bytes image = WithDirectory({{"a", 0, 1}, {"a", 0, 1, 0, 1}});
    EXPECT_EQ(ParseBothWays(image, bundle), Rejected("bad file compression"));
    EXPECT_EQ(DescribeDirectory(bundle), "a@0+1");
}

// ---------------------------------------------------------------------------------------------
// State after a failure, and the diagnostics fields.

struct ProgressCase {
    const char* what;
    Bytes image;
    std::string outcome;
    std::optional<uint32_t> currentEntry;
    uint32_t entryCount;
    std::string files;
};

TEST(AssetBundleTest, KeepsCheckedEntriesAndNamesTheFailingOne) {
    const std::vector<BundleEntrySpec> twoGood = {{"one", 0, 1}, {"two", 1, 2}};
    auto withThird = [&](BundleEntrySpec third, uint32_t count = 4) {
        std::vector<BundleEntrySpec> entries = twoGood;
        entries.push_back(std::move(third));
        entries.push_back({"four", 0, 1});
        return WithDirectory(entries, count);
    };
    const ProgressCase cases[] = {
        {"success", withThird({"three", 3, 3}), "ok", std::nullopt, 4,
         "four@0+1, one@0+1, three@3+3, two@1+2"},
        {"bad range at the third entry", withThird({"three", 3, 30}), Rejected("bad file entry"), 2,
         4, "one@0+1, two@1+2"},
        {"reserved field at the third entry", withThird({"three", 3, 3, 0, 0, 9}),
         Rejected("bad file entry"), 2, 4, "one@0+1, two@1+2"},
        {"compression at the third entry", withThird({"three", 3, 3, 0, 1}),
         Rejected("bad file compression"), 2, 4, "one@0+1, two@1+2"},
        {"third name past the directory end",
         WithDirectory({{"one", 0, 1}, {"two", 1, 2}, {"three", 3, 3, 0, 0, 0, 0, 6}}), ReadError(),
         2, 3, "one@0+1, two@1+2"},
        {"count past the entries", WithDirectory(twoGood, 3), ReadError(), 2, 3,
         "one@0+1, two@1+2"},
        {"bad first entry", WithDirectory({{"one", 0, 11}}), Rejected("bad file entry"), 0, 1, ""},
        {"count 0", WithDirectory({}), "ok", std::nullopt, 0, ""},
        {"count cut short", WithDirectoryPayload({0, 0}), ReadError(), std::nullopt, 0, ""},
        {"before the directory", WithBlob().bytes, Rejected("missing fdir chunk"), std::nullopt, 0,
         ""},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.what);
        AssetBundle bundle;
        EXPECT_EQ(ParseBothWays(c.image, bundle), c.outcome);
        EXPECT_EQ(bundle.currentEntry, c.currentEntry);
        EXPECT_EQ(bundle.entryCount, c.entryCount);
        EXPECT_EQ(DescribeDirectory(bundle), c.files);
    }
}

TEST(AssetBundleTest, EntriesKeptAfterAFailureAreServedFromTheBlob) {
    const Bytes image = WithDirectory({{"one", 0, 3}, {"two", 7, 3}, {"three", 3, 8}});
    AssetBundle bundle;
    bundle.AttachMemory(image.data(), image.size());
    EXPECT_EQ(Outcome(bundle), Rejected("bad file entry"));
    const BundleFileInfo two = bundle.Find("two");
    ASSERT_TRUE(two.found);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bundle.GetFileData(two.offset)), two.size),
              "789");
    EXPECT_FALSE(bundle.Find("three").found);
}

TEST(AssetBundleTest, EntriesKeptAfterAFailureAreInNameOrder) {
    // Out of order and with a repeated name before the failure: what was accepted is still sorted,
    // the first "two" counts, and every kept name is found.
    const Bytes image = WithDirectory({{"two", 1, 2},
                                       {"one", 0, 1},
                                       {"two", 5, 1, 9},
                                       {"a/b", 3, 3},
                                       {"bad", 0, 99},
                                       {"z", 0, 1}});
    AssetBundle bundle;
    EXPECT_EQ(ParseBothWays(image, bundle), Rejected("bad file entry"));
    EXPECT_EQ(bundle.currentEntry, 4u);
    EXPECT_EQ(DescribeDirectory(bundle), "a/b@3+3, one@0+1, two@1+2");
    EXPECT_EQ(bundle.Find("two").offset, 1u);
    EXPECT_EQ(bundle.Find("two").extra, 0u);
    EXPECT_TRUE(bundle.Find("one").found);
    EXPECT_TRUE(bundle.Find("a/b").found);
    EXPECT_FALSE(bundle.Find("bad").found);
    EXPECT_FALSE(bundle.Find("z").found);
}

TEST(AssetBundleTest, FailureInTheChunksKeepsTheChunksReadSoFar) {
    const Bytes image = WithBlob().ChunkHeader(kDirectoryChunkId, 100).bytes;
    AssetBundle bundle;
    EXPECT_EQ(ParseBothWays(image, bundle), Rejected("bad chunk"));
    EXPECT_EQ(DescribeChunks(bundle), "blob@28+10");
    EXPECT_EQ(bundle.blobSize, 0u) << "the blob is located only after the walk";
    EXPECT_FALSE(bundle.Find("a").found);
}

// ---------------------------------------------------------------------------------------------
// Find and GetFileData.

TEST(AssetBundleTest, FindMatchesNamesByteForByte) {
    const Bytes image =
        SimpleBundle(kBlob, {{"index.html", 0, 4, 11}, {"img/logo.png", 4, 6}, {"a%20b", 1, 1}});
    AssetBundle bundle;
    bundle.AttachMemory(image.data(), image.size());
    ASSERT_EQ(Outcome(bundle), "ok");

    struct FindCase {
        std::string name;
        bool found;
        uint64_t offset, size, extra;
    };
    const FindCase cases[] = {
        {"index.html", true, 0, 4, 11},
        {"img/logo.png", true, 4, 6, 0},
        {"a%20b", true, 1, 1, 0},
        {"Index.html", false, 0, 0, 0},
        {"INDEX.HTML", false, 0, 0, 0},
        {"/index.html", false, 0, 0, 0},
        {"./index.html", false, 0, 0, 0},
        {"index.html/", false, 0, 0, 0},
        {"index.htm", false, 0, 0, 0},
        {"index.html\0"s, false, 0, 0, 0},
        {"img\\logo.png", false, 0, 0, 0},
        {"img//logo.png", false, 0, 0, 0},
        {"a b", false, 0, 0, 0},
        {"a%20B", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(Escape(c.name));
        const BundleFileInfo info = bundle.Find(c.name);
        EXPECT_EQ(info.found, c.found);
        EXPECT_EQ(info.offset, c.offset);
        EXPECT_EQ(info.size, c.size);
        EXPECT_EQ(info.extra, c.extra);
        EXPECT_EQ(info.compression, 0u);
    }
}

TEST(AssetBundleTest, FindMissesOnReadersWithoutADirectory) {
    const Bytes badMagic = BundleBuilder().Header(16, 0).bytes;
    AssetBundle empty;
    AssetBundle failedEarly;
    failedEarly.AttachMemory(badMagic.data(), badMagic.size());
    EXPECT_EQ(Outcome(failedEarly), Rejected("bad format"));
    for (const AssetBundle* bundle : {&empty, &failedEarly}) {
        for (const char* name : {"", "index.html", "a.txt"}) {
            const BundleFileInfo info = bundle->Find(name);
            EXPECT_FALSE(info.found) << name;
            EXPECT_EQ(info.offset + info.size + info.extra + info.compression, 0u) << name;
        }
    }
}

TEST(AssetBundleTest, GetFileDataPointsIntoTheBlobPayload) {
    const Bytes image = TwoFileBundle();
    AssetBundle bundle;
    bundle.AttachMemory(image.data(), image.size());
    ASSERT_EQ(Outcome(bundle), "ok");
    EXPECT_EQ(bundle.blobPosition, kSimpleBlobPosition);
    EXPECT_EQ(bundle.GetFileData(0), image.data() + kSimpleBlobPosition);
    EXPECT_EQ(*bundle.GetFileData(0), '0');
    for (const char* name : {"a.txt", "b/c.txt"}) {
        const BundleFileInfo info = bundle.Find(name);
        ASSERT_TRUE(info.found) << name;
        const std::string content(reinterpret_cast<const char*>(bundle.GetFileData(info.offset)),
                                  info.size);
        EXPECT_EQ(content, kBlob.substr(info.offset, info.size)) << name;
    }
}

TEST(AssetBundleTest, GetFileDataNeedsMemoryMode) {
    const Bytes image = TwoFileBundle();
    FilePtr stream = TempStream(image);
    AssetBundle fileMode;
    fileMode.AttachFile(stream.get(), image.size());
    ASSERT_EQ(Outcome(fileMode), "ok");
    AssetBundle empty;
    for (const AssetBundle* bundle : {&empty, &fileMode}) {
        try {
            bundle->GetFileData(0);
            ADD_FAILURE() << "no exception";
        } catch (const std::range_error& e) {
            ADD_FAILURE() << "range_error: " << e.what();
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "wrong read mode");
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The directory as a container.

// What the directory must hold after the first `accepted` entries of `entries` were read: a map
// filled in file order where the first entry with a name counts. Described like DescribeDirectory.
std::string DescribeExpected(const std::vector<BundleEntrySpec>& entries, size_t accepted) {
    std::map<std::string, const BundleEntrySpec*> expected;
    for (size_t i = 0; i < accepted; ++i) {
        expected.try_emplace(entries[i].name, &entries[i]);
    }
    std::string result;
    for (const auto& [name, entry] : expected) {
        if (!result.empty()) {
            result += ", ";
        }
        result +=
            Escape(name) + "@" + std::to_string(entry->offset) + "+" + std::to_string(entry->size);
        if (entry->extra != 0) {
            result += "~" + std::to_string(entry->extra);
        }
    }
    return result;
}

TEST(AssetBundleTest, DirectoryMatchesAMapFilledInFileOrder) {
    // Names from a few pieces, so that repeats, prefixes, empty names, zero bytes and bytes above
    // 0x7F (which sort after every ASCII byte) all come up. Entries come shuffled, sorted, sorted
    // with repeats next to each other, or reversed; some directories fail part way.
    const std::string pieces[] = {"a", "b", "/", "B", "\x7F", "\x80", "\xC3\xA9", ""s, "\0"s};
    std::mt19937 random(20240611);
    const auto below = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    for (int round = 0; round < 400; ++round) {
        std::vector<BundleEntrySpec> entries;
        const uint32_t count = below(40);
        for (uint32_t i = 0; i < count; ++i) {
            std::string name;
            for (uint32_t piece = below(4); piece > 0; --piece) {
                name += pieces[below(std::size(pieces))];
            }
            const uint64_t offset = below(11);
            entries.push_back({name, offset, below(static_cast<uint32_t>(11 - offset)), below(3)});
        }
        const uint32_t order = below(4);
        const auto byName = [](const BundleEntrySpec& a, const BundleEntrySpec& b) {
            return a.name < b.name;
        };
        if (order == 1 || order == 2) {
            std::stable_sort(entries.begin(), entries.end(), byName);
        }
        if (order == 1) {  // strictly ascending: no repeats at all
            entries.erase(std::unique(entries.begin(), entries.end(),
                                      [](const BundleEntrySpec& a, const BundleEntrySpec& b) {
                                          return a.name == b.name;
                                      }),
                          entries.end());
        }
        if (order == 3) {
            std::stable_sort(entries.begin(), entries.end(), byName);
            std::reverse(entries.begin(), entries.end());
        }
        // A third of the directories fail at some entry: its range leaves the blob.
        size_t accepted = entries.size();
        std::string outcome = "ok";
        if (!entries.empty() && below(3) == 0) {
            accepted = below(static_cast<uint32_t>(entries.size()));
            entries[accepted].size = 11;
            outcome = Rejected("bad file entry");
        }
        SCOPED_TRACE("round " + std::to_string(round));

        AssetBundle bundle;
        const Bytes image = WithDirectory(entries);
        ASSERT_EQ(ParseBothWays(image, bundle), outcome);
        ASSERT_EQ(DescribeDirectory(bundle), DescribeExpected(entries, accepted));
        for (size_t i = 0; i < entries.size(); ++i) {
            const BundleFileInfo info = bundle.Find(entries[i].name);
            const auto first =
                std::find_if(entries.begin(), entries.begin() + accepted,
                             [&](const BundleEntrySpec& e) { return e.name == entries[i].name; });
            ASSERT_EQ(info.found, first != entries.begin() + accepted) << Escape(entries[i].name);
            if (info.found) {
                EXPECT_EQ(std::tie(info.offset, info.size, info.extra),
                          std::tie(first->offset, first->size, first->extra));
            }
        }
        EXPECT_TRUE(std::ranges::is_sorted(bundle.directory.entries(), std::less<>(),
                                           &BundleFileEntry::name));
    }
}

TEST(AssetBundleTest, BuilderHoldsOneEntryPerDistinctName) {
    // A hostile directory repeats a few names, out of order, a great many times: what the builder
    // holds must stay at one entry per distinct name while it reads, the first of each.
    BundleFileIndex index;
    {
        BundleFileIndex::Builder builder(index, 0);
        builder.Add("m", 1, 0, 0);
        builder.Add("m", 2, 0, 0);  // in order so far
        for (uint64_t i = 0; i < 30000; ++i) {
            builder.Add(i % 3 == 0 ? "" : i % 3 == 1 ? "z" : "a", 10 + i, 0, 0);
            ASSERT_LE(builder.size(), 4u) << "after entry " << i;
        }
        builder.Add("b", 5, 0, 0);
        EXPECT_EQ(builder.size(), 5u);
    }
    std::string held;
    for (const auto& [name, entry] : index) {
        held += "'" + name + "'@" + std::to_string(entry.offset) + " ";
    }
    EXPECT_EQ(held, "''@10 'a'@12 'b'@5 'm'@1 'z'@11 ");
}

TEST(AssetBundleTest, DirectoryReadsLikeAConstMap) {
    static_assert(std::random_access_iterator<BundleFileIndex::const_iterator>);
    static_assert(std::ranges::random_access_range<const BundleFileIndex>);
    static_assert(std::ranges::sized_range<const BundleFileIndex>);

    const Bytes image = SimpleBundle(
        kBlob,
        {{"b", 1, 2, 5}, {"\xC3\xA9", 2, 2}, {"a", 0, 1}, {"Z", 9, 1}, {"c/d", 3, 4}, {"a", 4, 4}});
    AssetBundle bundle;
    bundle.AttachMemory(image.data(), image.size());
    ASSERT_EQ(Outcome(bundle), "ok");
    const BundleFileIndex& directory = bundle.directory;

    EXPECT_EQ(directory.size(), 5u);
    EXPECT_FALSE(directory.empty());
    EXPECT_EQ(std::ranges::distance(directory), 5);

    // Iteration: byte order, with bytes above 0x7F last; the name is the entry's own.
    std::vector<std::string> names;
    for (const auto& [name, entry] : directory) {
        names.push_back(name);
        EXPECT_EQ(&name, &entry.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Z", "a", "b", "c/d", "\xC3\xA9"}));
    EXPECT_EQ(std::prev(directory.end())->first, "\xC3\xA9");
    EXPECT_EQ(directory.begin()[3].first, "c/d");
    EXPECT_EQ(directory.entries()[1].name, "a");
    EXPECT_EQ(directory.cend() - directory.cbegin(), 5);

    // find, count, contains, at, Lookup: exact names only.
    const auto b = directory.find("b");
    ASSERT_NE(b, directory.end());
    EXPECT_EQ(b - directory.begin(), 2);
    EXPECT_EQ(b->first, "b");
    EXPECT_EQ(b->second.offset, 1u);
    EXPECT_EQ(b->second.extra, 5u);
    EXPECT_EQ(directory.at("a").offset, 0u) << "the first \"a\" counts";
    EXPECT_EQ(directory.Lookup("c/d"), &directory.at("c/d"));
    EXPECT_EQ(directory.count("Z"), 1u);
    EXPECT_TRUE(directory.contains("\xC3\xA9"));
    for (const std::string& name :
         {"B"s, "z"s, ""s, "c"s, "c/"s, "c/d/"s, "a\0"s, "\xC3"s, "bb"s}) {
        SCOPED_TRACE(Escape(name));
        EXPECT_EQ(directory.find(name), directory.end());
        EXPECT_EQ(directory.Lookup(name), nullptr);
        EXPECT_EQ(directory.count(name), 0u);
        EXPECT_FALSE(directory.contains(name));
        EXPECT_THROW(directory.at(name), std::out_of_range);
    }

    bundle.Clear();
    EXPECT_TRUE(directory.empty());
    EXPECT_EQ(directory.begin(), directory.end());
    EXPECT_EQ(directory.find("a"), directory.end());
}

TEST(AssetBundleTest, HugeCountsInASmallDirectoryReserveNothingBig) {
    // The count claims four billion entries; the payload holds two. Parsing fails at the third
    // entry as it did, without trying to reserve room for the count.
    const Bytes image = WithDirectory({{"a", 0, 1}, {"b", 1, 1}}, 0xFFFFFFFFu);
    AssetBundle bundle;
    EXPECT_EQ(ParseBothWays(image, bundle), ReadError());
    EXPECT_EQ(bundle.entryCount, 0xFFFFFFFFu);
    EXPECT_EQ(DescribeDirectory(bundle), "a@0+1, b@1+1");
}

// ---------------------------------------------------------------------------------------------
// Read modes.

TEST(AssetBundleTest, ParseWithNothingAttached) {
    AssetBundle bundle;
    EXPECT_EQ(Outcome(bundle), Rejected("invalid read mode"));
    EXPECT_TRUE(bundle.chunks.empty());
    EXPECT_TRUE(bundle.directory.empty());
}

TEST(AssetBundleTest, NamedFileAndAnonymousStreamMatchMemoryMode) {
    const Bytes image =
        ValidHeader()
            .Chunk(kJunkChunkId, std::string(300, 'j'))
            .Chunk(
                kDirectoryChunkId,
                BundleDirectory({{"x/y.css", 2, 5, 42}, {"index.html", 0, 10}, {"x/y.css", 0, 1}}))
            .Chunk(kBlobChunkId, kBlob)
            .bytes;
    AssetBundle memory;
    memory.AttachMemory(image.data(), image.size());
    ASSERT_EQ(Outcome(memory), "ok");
    ASSERT_EQ(DescribeDirectory(memory), "index.html@0+10, x/y.css@2+5~42");

    TempFile named(image);
    FilePtr fromPath(std::fopen(named.path().c_str(), "rb"));
    ASSERT_TRUE(fromPath);
    FilePtr anonymous = TempStream(image);
    for (std::FILE* stream : {fromPath.get(), anonymous.get()}) {
        AssetBundle file;
        file.AttachFile(stream, image.size());
        EXPECT_EQ(Outcome(file), "ok");
        EXPECT_EQ(DescribeState(file), DescribeState(memory));
    }
}

TEST(AssetBundleTest, FileModeReportsShortReads) {
    // The attached length promises the whole image, the stream holds only the first `cut` bytes.
    // Every byte past the blob payload is read; a cut inside the skipped payload lets the seek over
    // it succeed (regular files seek past their end) and the next chunk header comes up short.
    const Bytes image = TwoFileBundle();
    for (size_t cut = 0; cut < image.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        FilePtr stream = TempStream(Bytes(image.begin(), image.begin() + cut));
        AssetBundle bundle;
        bundle.AttachFile(stream.get(), image.size());
        EXPECT_EQ(Outcome(bundle), Rejected("file read error"));
    }
}

TEST(AssetBundleTest, FileModeReportsFailedSeeks) {
    // A pipe delivers the header but cannot seek to the chunk start.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const Bytes header = ValidHeader().bytes;
    ASSERT_EQ(write(fds[1], header.data(), header.size()), static_cast<ssize_t>(header.size()));
    close(fds[1]);
    FilePtr stream(fdopen(fds[0], "rb"));
    ASSERT_TRUE(stream);
    AssetBundle bundle;
    bundle.AttachFile(stream.get(), 1000);
    EXPECT_EQ(Outcome(bundle), Rejected("file read error"));
}

TEST(AssetBundleTest, ParseAgainAfterANewAttachStartsOver) {
    const Bytes first = SimpleBundle(kBlob, {{"a", 0, 1}, {"b", 1, 1}});
    const Bytes second = ValidHeader()
                             .Chunk(kJunkChunkId, "zz")
                             .Chunk(kBlobChunkId, "abc")
                             .Chunk(kDirectoryChunkId, BundleDirectory({{"c", 1, 2}}))
                             .bytes;
    const Bytes broken = BundleBuilder().Header(16, kBundleMagic, 3).bytes;

    AssetBundle bundle;
    bundle.AttachMemory(first.data(), first.size());
    ASSERT_EQ(Outcome(bundle), "ok");
    EXPECT_EQ(DescribeDirectory(bundle), "a@0+1, b@1+1");

    bundle.AttachMemory(second.data(), second.size());
    ASSERT_EQ(Outcome(bundle), "ok");
    EXPECT_EQ(
        DescribeState(bundle),
        "blob 42+3 | chunks blob@42+3, fdir@57+42, junk@28+2 | files c@1+2 | entry none of 1");
    EXPECT_EQ(*bundle.GetFileData(1), 'b');

    // A failing parse starts from nothing too.
    bundle.AttachMemory(broken.data(), broken.size());
    EXPECT_EQ(Outcome(bundle), Rejected("unsupported version"));
    EXPECT_EQ(DescribeState(bundle), "blob 0+0 | chunks  | files  | entry none of 0");
}

TEST(AssetBundleTest, ClearEmptiesTheTables) {
    const Bytes image = TwoFileBundle();
    AssetBundle bundle;
    bundle.AttachMemory(image.data(), image.size());
    ASSERT_EQ(Outcome(bundle), "ok");
    bundle.Clear();
    EXPECT_TRUE(bundle.chunks.empty());
    EXPECT_TRUE(bundle.directory.empty());
    EXPECT_FALSE(bundle.Find("a.txt").found);
}

// ---------------------------------------------------------------------------------------------
// Primitive reads.

TEST(AssetBundleTest, PrimitiveReadsDecodeBigEndianAndAdvance) {
    const Bytes image = {0xFF, 0x01, 0x02, 0x03, 0x04, 0x11, 0x22, 0x33,
                         0x44, 0x55, 0x66, 0x77, 0x88, 0xAB, 0xCD};
    FilePtr stream = TempStream(image);
    AssetBundle memory;
    memory.AttachMemory(image.data(), image.size());
    AssetBundle file;
    file.AttachFile(stream.get(), image.size());
    for (AssetBundle* bundle : {&memory, &file}) {
        SCOPED_TRACE(bundle == &memory ? "memory" : "file");
        // Multi-byte values start at odd offsets: reads must not assume alignment.
        EXPECT_EQ(bundle->ReadU8(), 0xFF);
        EXPECT_EQ(bundle->ReadU32(), 0x01020304u);
        EXPECT_EQ(bundle->position, 5u);
        EXPECT_EQ(bundle->ReadU64(), 0x1122334455667788u);
        EXPECT_EQ(bundle->position, 13u);
        uint8_t two[2] = {};
        bundle->ReadBytes(two, 2);
        EXPECT_EQ(two[0], 0xAB);
        EXPECT_EQ(two[1], 0xCD);
        EXPECT_EQ(bundle->position, image.size());
        bundle->ReadBytes(two, 0);  // nothing left, nothing asked: fine
        EXPECT_THROW(bundle->ReadU8(), std::range_error);
        bundle->Seek(1);
        EXPECT_EQ(bundle->position, 1u);
        EXPECT_EQ(bundle->ReadU32(), 0x01020304u);
    }
}

TEST(AssetBundleTest, ReadsStopAtTheEndBound) {
    const Bytes image(16, 0x5A);
    struct BoundCase {
        uint64_t position;
        uint64_t endBound;
        uint64_t n;
        bool fits;
    };
    const BoundCase cases[] = {
        {0, 16, 16, true},       {0, 16, 17, false},      {12, 16, 4, true},
        {13, 16, 4, false},      {16, 16, 0, true},       {16, 16, 1, false},
        {17, 16, 0, false},      {20, 16, 1, false},      {0, 8, 9, false},
        {4, 8, 4, true},         {0, 16, kMaxU64, false}, {1, 16, kMaxU64, false},
        {kMaxU64, 16, 1, false}, {kMaxU64, 16, 0, false},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE("position " + std::to_string(c.position) + " end " +
                     std::to_string(c.endBound) + " n " + std::to_string(c.n));
        AssetBundle bundle;
        bundle.AttachMemory(image.data(), image.size());
        bundle.position = c.position;
        bundle.endBound = c.endBound;
        Bytes destination(16, 0);
        if (c.fits) {
            EXPECT_NO_THROW(bundle.ReadBytes(destination.data(), c.n));
            EXPECT_EQ(bundle.position, c.position + c.n);
        } else {
            EXPECT_THROW(bundle.ReadBytes(destination.data(), c.n), std::range_error);
        }
    }
}

TEST(AssetBundleTest, TheBoundIsTestedBeforeTheReadMode) {
    AssetBundle bundle;
    EXPECT_THROW(bundle.ReadU8(), std::range_error);  // end bound 0
    bundle.endBound = 8;
    try {
        bundle.ReadU32();
        ADD_FAILURE() << "no exception";
    } catch (const std::range_error& e) {
        ADD_FAILURE() << "range_error: " << e.what();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "invalid read mode");
    }
}

}  // namespace
}  // namespace vandrel
