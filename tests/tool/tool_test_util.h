#pragma once

// Helpers shared by the bundle tool's tests: scratch folders, whole-file I/O, and a bundle
// encoder and decoder of their own, written apart from the tool so they can check it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "portable/bundle/asset_bundle.h"
#include "cli/commands.h"

namespace vandrel::tool::testing_util {

namespace fs = std::filesystem;

// A fresh, empty folder, removed with everything in it at the end of the test.
class ScratchFolder {
public:
    ScratchFolder() {
        static int counter = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "vandrel_tool_";
        if (info != nullptr) {
            name += std::string(info->test_suite_name()) + "_" + info->name();
        }
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = fs::path(::testing::TempDir()) / (name + "_" + std::to_string(++counter));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& relative) const {
        return path_ / fs::path(std::u8string(relative.begin(), relative.end()));
    }

private:
    fs::path path_;
};

// What one in-process run of the tool gave.
struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline ToolRun Tool(const std::vector<std::string>& args, const ToolEnvironment& environment = {}) {
    std::ostringstream out;
    std::ostringstream err;
    ToolRun run;
    run.code = RunTool(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
}

inline std::string U8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every regular file under `root` (following no links), by relative UTF-8 name.
inline std::map<std::string, std::string> TreeFiles(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && !entry.is_symlink()) {
            const std::u8string name = entry.path().lexically_relative(root).generic_u8string();
            files[std::string(name.begin(), name.end())] = ReadFile(entry.path());
        }
    }
    return files;
}

// Names of everything directly or indirectly under `root`.
inline std::vector<std::string> TreeNames(const fs::path& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        names.push_back(entry.path().lexically_relative(root).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline void MakeTree(const fs::path& root, const std::map<std::string, std::string>& files) {
    for (const auto& [name, content] : files) {
        WriteFile(root / fs::path(std::u8string(name.begin(), name.end())), content);
    }
}

// The names in a bundle file as the host's reader sees them, one per line.
inline std::string PackedNames(const fs::path& bundle) {
    AssetBundle reader;
    const std::string bytes = ReadFile(bundle);
    reader.AttachMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    reader.Parse();
    std::string names;
    for (const auto& [name, entry] : reader.directory) {
        names += name + "\n";
    }
    return names;
}

// Big-endian integers, as the bundle format writes them.
using vandrel::AppendU32;
using vandrel::AppendU64;
inline void PutU32(std::string& out, uint32_t value) {
    AppendU32(out, value);
}
inline void PutU64(std::string& out, uint64_t value) {
    AppendU64(out, value);
}
inline uint32_t GetU32(const std::string& in, size_t at) {
    EXPECT_LE(at + 4, in.size());
    return at + 4 <= in.size() ? LoadU32(reinterpret_cast<const uint8_t*>(in.data()) + at) : 0;
}
inline uint64_t GetU64(const std::string& in, size_t at) {
    EXPECT_LE(at + 8, in.size());
    return at + 8 <= in.size() ? LoadU64(reinterpret_cast<const uint8_t*>(in.data()) + at) : 0;
}

// One directory entry as it is to be encoded; any field can be set to a wrong value.
struct RawEntry {
    std::string name;
    EntryFields fields;                  // fields.nameLength is taken from `nameLength`
    std::optional<uint32_t> nameLength;  // the name's real length when unset
};

inline std::string EncodeEntry(const RawEntry& entry) {
    EntryFields fields = entry.fields;
    fields.nameLength = entry.nameLength.value_or(static_cast<uint32_t>(entry.name.size()));
    std::string out;
    AppendEntry(out, fields, entry.name);
    return out;
}

// A bundle: header, "blob" with `blob`, "fdir" with `entries`.
inline std::string EncodeBundle(const std::string& blob, const std::vector<RawEntry>& entries) {
    std::string directory;
    AppendU32(directory, static_cast<uint32_t>(entries.size()));
    for (const RawEntry& entry : entries) {
        directory += EncodeEntry(entry);
    }
    return vandrel::EncodeBundleImage(blob, directory);
}

// A bundle of whole files laid out back to back, entries in the order given.
inline std::string EncodeFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    return vandrel::EncodeBundle(files);
}

// One run of the tool, in-process.
// The layout the tool writes, decoded strictly: any deviation fails the calling test.
struct DecodedBundle {
    std::string blob;
    uint64_t blobPosition = 0;
    uint64_t directoryPosition = 0;  // of the fdir payload
    std::vector<RawEntry> entries;   // in file order
    std::string Content(const RawEntry& entry) const {
        return blob.substr(static_cast<size_t>(entry.fields.offset),
                           static_cast<size_t>(entry.fields.size));
    }
};

inline DecodedBundle DecodeStrict(const std::string& bytes) {
    DecodedBundle decoded;
    EXPECT_GE(bytes.size(), 32u);
    if (bytes.size() < 32) {
        return decoded;
    }
    EXPECT_EQ(bytes.substr(0, 4), "vdab");
    EXPECT_EQ(GetU32(bytes, 4), 0u) << "version";
    EXPECT_EQ(GetU32(bytes, 8), 16u) << "chunk start";
    EXPECT_EQ(GetU32(bytes, 12), 0u) << "flags";
    EXPECT_EQ(bytes.substr(16, 4), "blob");
    const uint64_t blobSize = GetU64(bytes, 20);
    decoded.blobPosition = 28;
    EXPECT_LE(28 + blobSize + 16, bytes.size());
    decoded.blob = bytes.substr(28, static_cast<size_t>(blobSize));
    size_t at = static_cast<size_t>(28 + blobSize);
    EXPECT_EQ(bytes.substr(at, 4), "fdir");
    const uint64_t directorySize = GetU64(bytes, at + 4);
    decoded.directoryPosition = at + 12;
    EXPECT_EQ(at + 12 + directorySize, bytes.size()) << "nothing may follow the fdir chunk";
    at += 12;
    const uint32_t count = GetU32(bytes, at);
    at += 4;
    for (uint32_t i = 0; i < count; ++i) {
        RawEntry entry;
        EXPECT_LE(at + 37, bytes.size());
        if (at + 37 > bytes.size()) {
            break;
        }
        entry.fields = DecodeEntryFields(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
        const uint32_t nameLength = entry.fields.nameLength;
        entry.name = bytes.substr(at + 37, nameLength);
        at += 37 + nameLength;
        decoded.entries.push_back(entry);
    }
    EXPECT_EQ(at, bytes.size()) << "the directory must end the file";
    return decoded;
}

}  // namespace vandrel::tool::testing_util
