// libFuzzer target for `vandrel extract`.
//
// Each input is a bundle file, extracted into a fresh folder `out` that already holds two links to
// the folder beside it, `outside`: out/link (to the folder) and out/flink (to its one file). After
// the run, whatever its outcome:
//   - the work folder holds only the bundle, out and outside, and outside holds only its file, with
//     its bytes unchanged: nothing was written outside `out`;
//   - under `out` everything is a plain file or folder, except the two links, which are as they
//     were; no temporary file is left;
//   - when the tool reports success, every entry of the bundle (as the host's reader sees it) is a
//     file under `out` with exactly its bytes, and nothing else is there; when it refuses the
//     bundle before writing, `out` is as it was.
// Any other outcome aborts. The exit code must be 0 or 1.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "portable/bundle/asset_bundle.h"
#include "cli/commands.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Violation(const std::string& what) {
    std::fprintf(stderr, "extract_fuzz: %s\n", what.c_str());
    std::abort();
}

void Require(bool condition, const std::string& what) {
    if (!condition) {
        Violation(what);
    }
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

constexpr const char* kWorkPrefix = "vandrel-extract-fuzz-";

// The work folder: in memory (/dev/shm) where there is one, for speed. libFuzzer may end the
// process without running exit handlers, so each start removes the folders of runs whose process
// is gone.
const fs::path& Work() {
    static const fs::path work = [] {
        std::error_code error;
        const fs::path base =
            access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
        for (const auto& entry : fs::directory_iterator(base, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(kWorkPrefix, 0) == 0 &&
                kill(static_cast<pid_t>(std::atol(name.c_str() + std::strlen(kWorkPrefix))), 0) !=
                    0 &&
                errno == ESRCH) {
                fs::remove_all(entry.path(), error);
            }
        }
        fs::path path = base / (kWorkPrefix + std::to_string(getpid()));
        fs::remove_all(path, error);
        fs::create_directories(path);
        return path;
    }();
    return work;
}

constexpr const char* kOutsideBytes = "outside, never to be touched";

void Prepare(const uint8_t* data, size_t size) {
    const fs::path& work = Work();
    fs::remove_all(work / "out");
    fs::remove_all(work / "outside");
    fs::create_directories(work / "outside");
    std::ofstream(work / "outside/f", std::ios::binary) << kOutsideBytes;
    fs::create_directories(work / "out");
    fs::create_symlink(work / "outside", work / "out/link");
    fs::create_symlink(work / "outside/f", work / "out/flink");
    std::ofstream bundle(work / "b.dat", std::ios::binary | std::ios::trunc);
    bundle.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Whether `name` ends in what the tool names its temporary files: ".vandrel-", 8 hex digits, ".tmp".
// A bundle may hold such a name itself; the caller tells the two apart.
bool LooksTemporary(const std::string& name) {
    const std::string last = fs::path(name).filename().string();
    static const std::string prefix = ".vandrel-";
    if (last.size() != prefix.size() + 8 + 4 || last.rfind(prefix, 0) != 0 ||
        last.compare(last.size() - 4, 4, ".tmp") != 0) {
        return false;
    }
    return last.find_first_not_of("0123456789abcdef", prefix.size()) == last.size() - 4;
}

// Every name under `out` (relative, not following links), and the files' bytes.
std::map<std::string, std::string> Extracted(const fs::path& out) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().lexically_relative(out).string();
        const fs::file_status status = it->symlink_status();
        if (fs::is_symlink(status)) {
            Require(name == "link" || name == "flink", "a link appeared: " + name);
            continue;
        }
        if (fs::is_directory(status)) {
            continue;
        }
        Require(fs::is_regular_file(status), "neither file nor folder: " + name);
        files[name] = ReadAll(it->path());
    }
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Prepare(data, size);
    const fs::path& work = Work();
    std::ostringstream out;
    std::ostringstream err;
    const int code = vandrel::tool::RunTool(
        {"extract", (work / "b.dat").string(), (work / "out").string()}, out, err);
    Require(code == 0 || code == 1, "exit code " + std::to_string(code) + ": " + err.str());

    std::set<std::string> top;
    for (const auto& entry : fs::directory_iterator(work)) {
        top.insert(entry.path().filename().string());
    }
    Require(top == std::set<std::string>{"b.dat", "out", "outside"}, "something appeared beside");
    std::set<std::string> outside;
    for (const auto& entry : fs::directory_iterator(work / "outside")) {
        outside.insert(entry.path().filename().string());
    }
    Require(outside == std::set<std::string>{"f"}, "something appeared outside");
    Require(ReadAll(work / "outside/f") == kOutsideBytes, "the file outside changed");
    Require(fs::read_symlink(work / "out/link") == work / "outside", "out/link changed");
    Require(fs::read_symlink(work / "out/flink") == work / "outside/f", "out/flink changed");

    const std::map<std::string, std::string> files = Extracted(work / "out");
    // The names the bundle lists, as far as the reader got: only those may look like temporaries.
    std::set<std::string> listed;
    vandrel::AssetBundle lister;
    lister.AttachMemory(data, size);
    try {
        lister.Parse();
    } catch (const std::exception&) {
    }
    for (const auto& [name, entry] : lister.directory) {
        listed.insert(name);
    }
    for (const auto& [name, bytes] : files) {
        Require(!LooksTemporary(name) || listed.count(name) != 0,
                "a temporary file was left: " + name);
    }
    if (code != 0) {
        const bool refusedBeforeWriting =
            err.str().find("nothing was written") != std::string::npos;
        Require(!refusedBeforeWriting || files.empty(), "a refusal left files: " + err.str());
        return 0;
    }
    vandrel::AssetBundle reader;
    reader.AttachMemory(data, size);
    reader.Parse();  // the tool accepted it, so the reader does
    std::map<std::string, std::string> expected;
    for (const auto& [name, entry] : reader.directory) {
        expected[name] = std::string(reinterpret_cast<const char*>(reader.GetFileData(entry.offset)),
                                     static_cast<size_t>(entry.size));
    }
    Require(files == expected, "the extracted files differ from the bundle");
    return 0;
}
