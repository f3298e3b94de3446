#pragma once

// The few file operations the bundle tool needs, over the platform's own calls (POSIX file
// descriptors, or Win32 handles with wide UTF-16 paths), so that reads and writes go straight to
// the system in large blocks. Every failure throws ToolError with a message that names the file.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/safe_tree.h"

namespace vandrel::tool {

// While one is open, an interruption does not end the program at once: it makes the next read or
// write of a file (InputFile, TempOutputFile) throw Interrupted, and ThrowIfInterrupted too. A
// second interruption ends the program as usual. One at a time.
class InterruptScope {
public:
    InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
    ~InterruptScope();
};

// Throws Interrupted when an interruption came within the open InterruptScope.
void ThrowIfInterrupted();
// The signal of the last interruption within a scope (SIGINT for Ctrl+C on Windows), or 0: the
// program ends by it once it has cleaned up.
int InterruptSignal();

// Paths <-> UTF-8 bytes. On POSIX the bytes are the file system's own; on Windows they are the
// UTF-8 form of the UTF-16 names.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// An open file of the system's: a HANDLE on Windows, a descriptor elsewhere.
#ifdef _WIN32
using NativeFile = void*;
inline constexpr NativeFile kNoNativeFile = nullptr;
#else
using NativeFile = int;
inline constexpr NativeFile kNoNativeFile = -1;
#endif

#ifdef _WIN32
// The absolute, normalised wide form of `path` for the file APIs, with the long-path prefix when
// it is long.
std::wstring WidePath(const std::filesystem::path& path);
#endif

// Text of the last system error (errno, or GetLastError on Windows), e.g. "No such file or
// directory".
std::string LastErrorText();
// Text of a std::error_code, with the same wording as LastErrorText where possible.
std::string ErrorCodeText(const std::error_code& code);

// True when the process's standard error is a terminal (a console on Windows).
bool StderrIsTerminal();

// A C stdio stream opened for binary reading.
struct StdioCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using StdioFile = std::unique_ptr<std::FILE, StdioCloser>;

class InputFile;
// A C stdio stream over the same open file as `file` (which keeps its own handle).
StdioFile StdioFromInput(InputFile& file);

// A file opened for reading.
class InputFile {
public:
    InputFile() = default;
    // Throws ToolError("cannot read 'path': reason"), also for a pipe, device or folder: the open
    // never waits, and only a regular file is kept.
    explicit InputFile(const std::filesystem::path& path);
    // Takes over a descriptor (POSIX) or handle (Windows) opened for reading; `path` names the
    // file in messages, and `size` is its size when the opener knows it.
    InputFile(NativeFile file, const std::filesystem::path& path,
              std::optional<uint64_t> size = std::nullopt);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Reads up to `n` bytes at the current position; returns 0 at the end of the file.
    size_t Read(void* buffer, size_t n);
    // Reads exactly `n` bytes at `offset` (does not move the current position); false when the
    // file ends first.
    bool ReadAt(uint64_t offset, void* buffer, size_t n);
    // The size when the file was opened, or asked now when the opener did not know it.
    uint64_t Size();
    void Close();
    const std::filesystem::path& Path() const { return path_; }
    // The open file's HANDLE (Windows) or descriptor (POSIX); the InputFile keeps owning it.
    NativeFile NativeHandle() const { return file_; }

private:
    std::filesystem::path path_;
    std::optional<uint64_t> size_;
    NativeFile file_ = kNoNativeFile;
};

// A new file created under a short unique temporary name (a fixed 21 bytes, whatever the
// target's name), written at explicit positions. Unless Commit is called, the destructor closes
// and removes it, so a failure at any point leaves nothing behind.
class TempOutputFile {
public:
    // Beside `target`, by path. Throws ToolError("cannot write 'target': reason").
    explicit TempOutputFile(const std::filesystem::path& target);
    // Inside `folder`, to become its file `name` (one segment): created and later renamed
    // relative to the folder's handle, never through a link. `folder` must stay open until the
    // file is committed or destroyed.
    TempOutputFile(const TreeFolder& folder, std::string name);
    TempOutputFile(const TempOutputFile&) = delete;
    TempOutputFile& operator=(const TempOutputFile&) = delete;
    ~TempOutputFile();

    void WriteAt(uint64_t offset, const void* data, size_t n);
    // Reads back exactly `n` bytes written earlier.
    void ReadAt(uint64_t offset, void* buffer, size_t n);
    // Sets the file's length (drops bytes past `length`).
    void Truncate(uint64_t length);
    // Closes the file and renames it over the target, replacing an existing file.
    void Commit();
    // Closes the file and leaves it under its temporary name (only for a file made beside its
    // target by path), for the caller to rename; the destructor still removes it unless Placed
    // is called.
    void Close();
    // The caller has renamed the closed file: the destructor leaves it alone.
    void Placed();
    // Which file this is (it keeps its identity when it is committed).
    FileIdentity Identity();

    const std::filesystem::path& TempPath() const { return tempPath_; }
    const std::filesystem::path& Target() const { return target_; }

private:
    [[noreturn]] void Fail(const char* what);
    // Creates the file under a new temporary name inside `shownFolder` (or folder_).
    void CreateTemp(const std::filesystem::path& shownFolder);
    void CloseHandle();

    std::filesystem::path target_;
    std::filesystem::path tempPath_;
    const TreeFolder* folder_ = nullptr;  // set when the file lives relative to a folder
    std::string tempName_;                // with folder_: the names inside it
    std::string name_;
    bool committed_ = false;
    NativeFile file_ = kNoNativeFile;
};

// The whole content of a file. Throws ToolError("cannot read 'path': reason"), also for a file
// larger than `limit` bytes.
std::string ReadFileBytes(const std::filesystem::path& path, uint64_t limit = uint64_t{1} << 30);

// Writes `bytes` as the whole content of `path`, through a temporary file renamed over it.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// A new unique name beside `target` (".name.vandrel-<unique>.tmp"), for a file or folder that
// is renamed over `target` when complete.
std::filesystem::path TempPathBeside(const std::filesystem::path& target);

// The running program's own file (empty when the system does not say).
std::filesystem::path ProgramPath();

}  // namespace vandrel::tool
