// The bundle writer: hashing, the layout it writes, sharing of identical files, the size limit
// and what it leaves behind when it fails.

#include "bundle/bundle_writer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

#include "portable/bundle/asset_bundle.h"
#include "platform/file_io.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

std::string RandomBytes(size_t n, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

// The host's reader over a bundle held in memory; fails the test when it rejects the bundle.
struct HostView {
    explicit HostView(std::string image) : bytes(std::move(image)) {
        reader.AttachMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        reader.Parse();
    }
    std::string Content(const std::string& name) const {
        const BundleFileInfo info = reader.Find(name);
        EXPECT_TRUE(info.found) << name;
        if (!info.found) {
            return {};
        }
        return std::string(reinterpret_cast<const char*>(reader.GetFileData(info.offset)),
                           static_cast<size_t>(info.size));
    }
    std::string bytes;
    AssetBundle reader;
};

std::vector<BundleInput> InputsFor(const ScratchFolder& folder,
                                   const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<BundleInput> inputs;
    for (const auto& [name, content] : files) {
        const fs::path path = folder / ("in/" + name);
        WriteFile(path, content);
        inputs.push_back(BundleInput{name, path, content.size()});
    }
    return inputs;
}

TEST(ToolContentHash, PiecesOfAnySizeGiveTheOneShotHash) {
    const std::string data = RandomBytes(300, 1);
    for (size_t length : {0, 1, 7, 8, 31, 32, 33, 63, 64, 65, 100, 300}) {
        const uint64_t whole = HashBytes(data.data(), length);
        for (size_t piece : {1, 3, 8, 13, 32, 40}) {
            ContentHasher hasher;
            for (size_t at = 0; at < length; at += piece) {
                hasher.Update(data.data() + at, std::min(piece, length - at));
            }
            EXPECT_EQ(hasher.Finish(), whole) << "length " << length << ", pieces of " << piece;
        }
    }
}

TEST(ToolContentHash, EveryByteAndTheLengthCount) {
    // Flipping any one bit of any byte, in full stripes and in the tail, changes the hash, and
    // runs of zero bytes of different lengths differ too.
    const std::string data = RandomBytes(77, 2);
    std::set<uint64_t> seen = {HashBytes(data.data(), data.size())};
    for (size_t i = 0; i < data.size(); ++i) {
        for (int bit = 0; bit < 8; bit += 3) {
            std::string changed = data;
            changed[i] = static_cast<char>(changed[i] ^ (1 << bit));
            EXPECT_TRUE(seen.insert(HashBytes(changed.data(), changed.size())).second)
                << "byte " << i << " bit " << bit;
        }
    }
    const std::string zeros(80, '\0');
    std::set<uint64_t> byLength;
    for (size_t length = 0; length <= zeros.size(); ++length) {
        EXPECT_TRUE(byLength.insert(HashBytes(zeros.data(), length)).second) << length;
    }
}

TEST(ToolBundleWriter, WritesTheHostLayoutSortedByteWise) {
    ScratchFolder folder;
    // Given out of order; names compare as bytes, so "Z" < "a" < "z" < "é" (0xC3 0xA9).
    const std::vector<std::pair<std::string, std::string>> files = {
        {"z.txt", "zed"}, {"été/b.txt", "accented"}, {"a/b/c.js", "let c = 1;"}, {"Z.txt", "upper"},
        {"a/b.css", ""},  {"日本/a.txt", "nihon"},   {"a.txt", "plain text"},
    };
    const fs::path output = folder / "assets.dat";
    const PackStats stats = WriteBundle(InputsFor(folder, files), output);

    const std::string bytes = ReadFile(output);
    const DecodedBundle decoded = DecodeStrict(bytes);
    std::vector<std::string> names;
    for (const RawEntry& entry : decoded.entries) {
        names.push_back(entry.name);
        EXPECT_EQ(entry.fields.reserved0, 0u);
        EXPECT_EQ(entry.fields.reserved1, 0u);
        EXPECT_EQ(entry.fields.extra, 0u);
        EXPECT_EQ(entry.fields.compression, 0);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Z.txt", "a.txt", "a/b.css", "a/b/c.js", "z.txt",
                                               "été/b.txt", "日本/a.txt"}));

    HostView host(bytes);
    EXPECT_EQ(host.reader.directory.size(), files.size());
    for (const auto& [name, content] : files) {
        EXPECT_EQ(host.Content(name), content) << name;
    }
    EXPECT_EQ(stats.files, files.size());
    EXPECT_EQ(stats.bundleBytes, bytes.size());
    EXPECT_EQ(stats.savedBytes, 0u);
    EXPECT_EQ(stats.bytes, stats.storedBytes);
}

TEST(ToolBundleWriter, StoresIdenticalFilesOnceAndOnlyThose) {
    ScratchFolder folder;
    // Larger than the 1 MiB write buffer, so earlier copies have already gone to the file
    // when a later one is compared, and the last one ends the blob.
    const std::string big = RandomBytes(2'500'000, 3);
    std::string nearlyBig = big;
    nearlyBig.back() = static_cast<char>(nearlyBig.back() ^ 1);
    std::string bigFirstByte = big;
    bigFirstByte.front() = static_cast<char>(bigFirstByte.front() ^ 1);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a/big.bin", big},     {"b/near.bin", nearlyBig}, {"c/first.bin", bigFirstByte},
        {"d/same.txt", "same"}, {"e/same.txt", "same"},    {"f/other.txt", "sama"},
        {"g/empty", ""},        {"h/empty", ""},           {"zz/big-copy.bin", big},
    };
    const fs::path output = folder / "out.dat";
    // With the full hash and with no hash bits at all (every file of the same size becomes a
    // candidate, so only the byte comparison keeps different files apart).
    for (const uint64_t mask : {~uint64_t{0}, uint64_t{0}}) {
        PackOptions options;
        options.hashMask = mask;
        const PackStats stats = WriteBundle(InputsFor(folder, files), output, options);
        const std::string bytes = ReadFile(output);
        HostView host(bytes);
        for (const auto& [name, content] : files) {
            EXPECT_EQ(host.Content(name), content) << name << " mask " << mask;
        }
        const auto offset = [&](const std::string& name) { return host.reader.Find(name).offset; };
        EXPECT_EQ(offset("zz/big-copy.bin"), offset("a/big.bin"));
        EXPECT_EQ(offset("e/same.txt"), offset("d/same.txt"));
        EXPECT_NE(offset("b/near.bin"), offset("a/big.bin"));
        EXPECT_NE(offset("c/first.bin"), offset("a/big.bin"));
        EXPECT_NE(offset("f/other.txt"), offset("d/same.txt"));

        EXPECT_EQ(stats.sharedFiles, 2u);
        EXPECT_EQ(stats.savedBytes, big.size() + 4);
        EXPECT_EQ(stats.storedBytes, 3 * big.size() + 4 + 4);
        EXPECT_EQ(host.reader.blobSize, stats.storedBytes);
        // The dropped last copy leaves nothing behind: the file ends with the directory.
        DecodeStrict(bytes);
        EXPECT_EQ(stats.bundleBytes, bytes.size());
    }
}

TEST(ToolBundleWriter, SameInputsGiveTheSameBytesAndReplaceTheOutput) {
    ScratchFolder folder;
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 40; ++i) {
        files.push_back({"f" + std::to_string(i % 7) + "/" + std::to_string(i),
                         RandomBytes(static_cast<size_t>(i) * 1000, i % 5)});
    }
    const fs::path output = folder / "out.dat";
    WriteFile(output, "an older, longer file that must be replaced entirely");
    std::vector<BundleInput> inputs = InputsFor(folder, files);
    WriteBundle(inputs, output);
    const std::string first = ReadFile(output);
    std::reverse(inputs.begin(), inputs.end());
    WriteBundle(inputs, output);
    EXPECT_EQ(ReadFile(output), first);
    HostView host(first);
    EXPECT_EQ(host.reader.directory.size(), files.size());
}

TEST(ToolBundleWriter, RefusesBundlesThatReachTheSizeLimit) {
    EXPECT_NO_THROW(CheckBundleSize(kBundleSizeLimit - 1, 3));
    try {
        CheckBundleSize(kBundleSizeLimit, 3);
        FAIL() << "2 GiB of files must be refused";
    } catch (const ToolError& error) {
        EXPECT_NE(std::string(error.what()).find("2 GiB"), std::string::npos) << error.what();
    }

    ScratchFolder folder;
    const std::vector<BundleInput> inputs =
        InputsFor(folder, {{"a.txt", std::string(600, 'a')}, {"b.txt", std::string(400, 'b')}});
    fs::create_directories(folder / "out");
    const fs::path output = folder / "out/assets.dat";
    // Planned file sizes at the limit: refused before any file is created.
    PackOptions options;
    options.sizeLimit = 1000;
    EXPECT_THROW(WriteBundle(inputs, output, options), ToolError);
    EXPECT_TRUE(fs::is_empty(folder / "out"));

    // The files fit, the finished bundle (header and directory included) does not.
    options.sizeLimit = 1001;
    EXPECT_THROW(WriteBundle(inputs, output, options), ToolError);
    EXPECT_TRUE(fs::is_empty(folder / "out"));

    const PackStats stats = WriteBundle(inputs, output);
    options.sizeLimit = stats.bundleBytes;
    EXPECT_THROW(WriteBundle(inputs, output, options), ToolError);
    options.sizeLimit = stats.bundleBytes + 1;
    EXPECT_NO_THROW(WriteBundle(inputs, output, options));
}

TEST(ToolBundleWriter, FailuresLeaveNothingBehind) {
    ScratchFolder folder;
    std::vector<BundleInput> inputs =
        InputsFor(folder, {{"a.bin", RandomBytes(3'000'000, 4)}, {"b.txt", "b"}, {"c.txt", "c"}});
    fs::create_directories(folder / "out");
    const fs::path output = folder / "out/assets.dat";
    WriteFile(output, "previous bundle");

    // A file that vanished after the folder was scanned: "b.txt" comes after 3 MB were written.
    fs::remove(inputs[1].source);
    try {
        WriteBundle(inputs, output);
        FAIL() << "a missing input must fail";
    } catch (const ToolError& error) {
        EXPECT_NE(std::string(error.what()).find("cannot read"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("b.txt"), std::string::npos);
    }
    EXPECT_EQ(TreeNames(folder / "out"), std::vector<std::string>{"assets.dat"});
    EXPECT_EQ(ReadFile(output), "previous bundle");

    // A source that opens but cannot be read (a folder).
    inputs[1].source = folder / "in";
    EXPECT_THROW(WriteBundle(inputs, output), ToolError);
    EXPECT_EQ(TreeNames(folder / "out"), std::vector<std::string>{"assets.dat"});

    // Two entries with one name.
    inputs[1] = inputs[2];
    EXPECT_THROW(WriteBundle(inputs, output), ToolError);

    // An output folder that does not exist.
    EXPECT_THROW(WriteBundle({inputs[0]}, folder / "missing/assets.dat"), ToolError);
    EXPECT_FALSE(fs::exists(folder / "missing"));
    EXPECT_EQ(ReadFile(output), "previous bundle");
}

TEST(ToolBundleWriter, AnInterruptRemovesTheTemporaryFile) {
    ScratchFolder folder;
    const std::vector<BundleInput> inputs =
        InputsFor(folder, {{"a.txt", "first"}, {"b.txt", "second"}});
    fs::create_directories(folder / "out");
    const fs::path output = folder / "out/assets.dat";
    // A child process is terminated by a signal while the bundle is half written.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PackOptions options;
        options.progress = [&](uint64_t, uint64_t) {
            if (fs::is_empty(folder / "out")) {
                _exit(3);  // the temporary file must exist at this point
            }
            std::raise(SIGTERM);
        };
        WriteBundle(inputs, output, options);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(fs::is_empty(folder / "out"));
}

}  // namespace
}  // namespace vandrel::tool
