#include "file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iterator>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "portable/util/long_path.h"
#include "win32/util/text.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "bundle_names.h"
#include "safe_tree_detail.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// Closes an open file of the system's (a handle, or a descriptor) and marks it closed.
#ifdef _WIN32
void CloseNative(void*& handle) {
    if (handle != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle));
        handle = nullptr;
    }
}
#else
void CloseNative(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}
#endif

std::string Quoted(const fs::path& path) {
    return ShownPath(path);
}

// A short unique name for a temporary file, ".vandrel-" and 8 hex digits mixed from the process
// id, a clock reading and a counter (".tmp" follows): its length does not depend on the name of
// the file it becomes, so a target whose name is as long as the system allows still gets one.
std::string TempName() {
    static std::atomic<uint32_t> counter{0};
#ifdef _WIN32
    const uint64_t pid = GetCurrentProcessId();
#else
    const uint64_t pid = static_cast<uint64_t>(getpid());
#endif
    const auto ticks =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t mix = (pid << 32) ^ ticks ^ (uint64_t{counter.fetch_add(1)} * 0x9E3779B97F4A7C15ULL);
    mix ^= mix >> 29;
    mix *= 0xBF58476D1CE4E5B9ULL;
    mix ^= mix >> 32;
    char text[24];
    std::snprintf(text, sizeof text, ".vandrel-%08x.tmp", static_cast<unsigned>(mix));
    return text;
}

#ifdef _WIN32

std::string WindowsErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) {
        text = WideToUtf8(std::wstring_view(buffer, length));
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "system error " + std::to_string(code);
    }
    return text;
}

bool ReadAtHandle(HANDLE handle, uint64_t offset, void* buffer, size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        ThrowIfInterrupted();
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
        DWORD got = 0;
        if (!ReadFile(handle, out, want, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                return false;
            }
            throw ToolError(LastErrorText());
        }
        if (got == 0) {
            return false;
        }
        out += got;
        offset += got;
        n -= got;
    }
    return true;
}

#else

bool ReadAtFd(int fd, uint64_t offset, void* buffer, size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        ThrowIfInterrupted();
        const ssize_t got = pread(fd, out, n, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw ToolError(LastErrorText());
        }
        if (got == 0) {
            return false;
        }
        out += got;
        offset += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

#endif

// The temporary file being written, removed when the user interrupts the program (Ctrl+C, or a
// termination signal) so that no half-written file stays behind. Only one exists at a time. On
// Windows it is marked for deletion through its handle (it goes when the process ends); on POSIX
// it is unlinked by name, relative to its folder's descriptor.
#ifdef _WIN32
HANDLE volatile interruptHandle = nullptr;
#else
char interruptName[4096];
volatile int interruptFolder = AT_FDCWD;
#endif
volatile std::sig_atomic_t interruptArmed = 0;

// While an InterruptScope is open, the first interruption is only recorded: the next read or
// write throws Interrupted, and the program removes what it made on the way out.
volatile std::sig_atomic_t scopeOpen = 0;
volatile std::sig_atomic_t interruptSignal = 0;

#ifdef _WIN32
HANDLE scopeClosed = nullptr;  // set when the scope closes, for a console that is closing

BOOL WINAPI OnConsoleInterrupt(DWORD type) {
    if (scopeOpen && interruptSignal == 0) {
        interruptSignal = SIGINT;
        if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
            return TRUE;
        }
        // A closing console ends the process when this returns: first let the program clean up.
        WaitForSingleObject(scopeClosed, 4500);
        return FALSE;
    }
    if (interruptArmed) {
        FILE_DISPOSITION_INFO dispose{TRUE};
        SetFileInformationByHandle(interruptHandle, FileDispositionInfo, &dispose, sizeof dispose);
    }
    return FALSE;  // on to the default handler, which ends the process
}
#else
void OnInterrupt(int signal) {
    if (scopeOpen && interruptSignal == 0) {
        interruptSignal = signal;
        return;
    }
    if (interruptArmed) {
        unlinkat(interruptFolder, interruptName, 0);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
#endif

void InstallInterruptCleanup() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleInterrupt, TRUE);
#else
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            struct sigaction action {};
            action.sa_handler = OnInterrupt;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
    }
#endif
}

#ifdef _WIN32
void ArmInterruptCleanup(HANDLE handle) {
    InstallInterruptCleanup();
    interruptArmed = 0;
    interruptHandle = handle;
    interruptArmed = 1;
}
#else
// `name` is relative to `folder` (AT_FDCWD: a path).
void ArmInterruptCleanup(int folder, const std::string& name) {
    InstallInterruptCleanup();
    interruptArmed = 0;
    if (name.size() < std::size(interruptName)) {
        std::copy(name.begin(), name.end(), interruptName);
        interruptName[name.size()] = 0;
        interruptFolder = folder;
        interruptArmed = 1;
    }
}
#endif

void DisarmInterruptCleanup() {
    interruptArmed = 0;
}

}  // namespace

InterruptScope::InterruptScope() {
    InstallInterruptCleanup();
#ifdef _WIN32
    if (scopeClosed == nullptr) {
        scopeClosed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ResetEvent(scopeClosed);
#endif
    interruptSignal = 0;
    scopeOpen = 1;
}

InterruptScope::~InterruptScope() {
    scopeOpen = 0;
#ifdef _WIN32
    SetEvent(scopeClosed);
#endif
}

void ThrowIfInterrupted() {
    if (scopeOpen && interruptSignal != 0) {
        throw Interrupted("interrupted");
    }
}

int InterruptSignal() {
    return interruptSignal;
}

#ifdef _WIN32
std::wstring WidePath(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) {
        full = path;
    }
    std::wstring text = full.lexically_normal().wstring();
    if (text.size() >= 240) {
        return AddLongPathPrefix(text);
    }
    for (wchar_t& c : text) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return text;
}

#endif

fs::path PathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string LastErrorText() {
#ifdef _WIN32
    return WindowsErrorText(GetLastError());
#else
    return std::strerror(errno);
#endif
}

std::string ErrorCodeText(const std::error_code& code) {
#ifdef _WIN32
    if (code.category() == std::system_category()) {
        return WindowsErrorText(static_cast<DWORD>(code.value()));
    }
#endif
    return code.message();
}

bool StderrIsTerminal() {
#ifdef _WIN32
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

#ifdef _WIN32
StdioFile StdioFromInput(InputFile& file) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(file.NativeHandle()),
                         GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        throw ToolError("cannot read " + Quoted(file.Path()) + ": " + LastErrorText());
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        ::CloseHandle(copy);
        throw ToolError("cannot read " + Quoted(file.Path()) + ": " + std::strerror(errno));
    }
    std::FILE* stream = _fdopen(descriptor, "rb");
    if (stream == nullptr) {
        _close(descriptor);
        throw ToolError("cannot read " + Quoted(file.Path()) + ": " + std::strerror(errno));
    }
    return StdioFile(stream);
}
#else
StdioFile StdioFromInput(InputFile& file) {
    const int copy = fcntl(file.NativeHandle(), F_DUPFD_CLOEXEC, 0);
    std::FILE* stream = copy < 0 ? nullptr : fdopen(copy, "rb");
    if (stream == nullptr) {
        const std::string reason = LastErrorText();
        if (copy >= 0) {
            close(copy);
        }
        throw ToolError("cannot read " + Quoted(file.Path()) + ": " + reason);
    }
    return StdioFile(stream);
}
#endif

// ---- InputFile

#ifdef _WIN32
InputFile::InputFile(const fs::path& path) : path_(path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw ToolError("cannot read " + Quoted(path) + ": " + LastErrorText());
    }
    handle_ = handle;
    // A pipe or a device could block a read forever or never end.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        Close();
        throw ToolError("cannot read " + Quoted(path) + ": it is not a regular file");
    }
}
#else
InputFile::InputFile(const fs::path& path) : path_(path) {
    // Opened without waiting, so that a pipe cannot stall the open; then only a regular file is
    // kept, since a pipe or a device could block a read forever or never end.
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        throw ToolError("cannot read " + Quoted(path) + ": " + LastErrorText());
    }
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        const std::string reason = LastErrorText();
        Close();
        throw ToolError("cannot read " + Quoted(path) + ": " + reason);
    }
    if (!S_ISREG(info.st_mode)) {
        Close();
        throw ToolError("cannot read " + Quoted(path) + ": " +
                        (S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file"));
    }
    // O_NONBLOCK changes nothing for a regular file: it stays.
    size_ = static_cast<uint64_t>(info.st_size);
}
#endif

#ifdef _WIN32
InputFile::InputFile(void* handle, const fs::path& path, std::optional<uint64_t> size)
    : path_(path), size_(size), handle_(handle) {}
#else
InputFile::InputFile(int fd, const fs::path& path, std::optional<uint64_t> size)
    : path_(path), size_(size), fd_(fd) {}
#endif

InputFile::~InputFile() {
    Close();
}

void InputFile::Close() {
#ifdef _WIN32
    CloseNative(handle_);
#else
    CloseNative(fd_);
#endif
}

size_t InputFile::Read(void* buffer, size_t n) {
    ThrowIfInterrupted();
#ifdef _WIN32
    const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), buffer, want, &got, nullptr)) {
        throw ToolError("cannot read " + Quoted(path_) + ": " + LastErrorText());
    }
    return got;
#else
    for (;;) {
        ThrowIfInterrupted();
        const ssize_t got = read(fd_, buffer, n);
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            throw ToolError("cannot read " + Quoted(path_) + ": " + LastErrorText());
        }
    }
#endif
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
    try {
#ifdef _WIN32
        return ReadAtHandle(static_cast<HANDLE>(handle_), offset, buffer, n);
#else
        return ReadAtFd(fd_, offset, buffer, n);
#endif
    } catch (const ToolError& error) {
        throw ToolError("cannot read " + Quoted(path_) + ": " + error.what());
    }
}

uint64_t InputFile::Size() {
    if (size_) {
        return *size_;
    }
#ifdef _WIN32
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(static_cast<HANDLE>(handle_), &size)) {
        throw ToolError("cannot read " + Quoted(path_) + ": " + LastErrorText());
    }
    return static_cast<uint64_t>(size.QuadPart);
#else
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        throw ToolError("cannot read " + Quoted(path_) + ": " + LastErrorText());
    }
    return static_cast<uint64_t>(info.st_size);
#endif
}

// ---- TempOutputFile

TempOutputFile::TempOutputFile(const fs::path& target) : target_(target) {
    for (int attempt = 0;; ++attempt) {
        tempPath_ = target.parent_path() / TempName();
#ifdef _WIN32
        HANDLE handle =
            CreateFileW(WidePath(tempPath_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            handle_ = handle;
            ArmInterruptCleanup(handle);
            return;
        }
        const bool exists = GetLastError() == ERROR_FILE_EXISTS;
#else
        fd_ = open(tempPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            ArmInterruptCleanup(AT_FDCWD, tempPath_.native());
            return;
        }
        const bool exists = errno == EEXIST;
#endif
        if (!exists || attempt >= 100) {
            throw ToolError("cannot write " + Quoted(target_) + ": " + LastErrorText());
        }
    }
}

TempOutputFile::TempOutputFile(const TreeFolder& folder, std::string name)
    : folder_(&folder), name_(std::move(name)) {
    const fs::path shownFolder = folder.ShownPath();
    target_ = shownFolder / PathFromUtf8(name_);
    for (int attempt = 0;; ++attempt) {
        tempName_ = TempName();
        tempPath_ = shownFolder / tempName_;
#ifdef _WIN32
        unsigned long error = 0;
        handle_ = detail::CreateNewFileIn(folder.Handle(), tempName_, error);
        if (handle_ != nullptr) {
            ArmInterruptCleanup(static_cast<HANDLE>(handle_));
            return;
        }
        SetLastError(error);
        const bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
#else
        fd_ = openat(folder.Fd(), tempName_.c_str(),
                     O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            ArmInterruptCleanup(folder.Fd(), tempName_);
            return;
        }
        const bool exists = errno == EEXIST;
#endif
        if (!exists || attempt >= 100) {
            throw ToolError("cannot write " + Quoted(target_) + ": " + LastErrorText());
        }
    }
}

TempOutputFile::~TempOutputFile() {
    if (!committed_ && folder_ != nullptr) {
        // Removed through the folder's handle, so a changed path cannot send the removal
        // elsewhere.
#ifdef _WIN32
        if (handle_ != nullptr) {
            FILE_DISPOSITION_INFO dispose{TRUE};
            SetFileInformationByHandle(static_cast<HANDLE>(handle_), FileDispositionInfo, &dispose,
                                       sizeof dispose);
        }
        CloseHandle();
#else
        CloseHandle();
        unlinkat(folder_->Fd(), tempName_.c_str(), 0);
#endif
    } else {
        CloseHandle();
        if (!committed_) {
            std::error_code ignored;
            fs::remove(tempPath_, ignored);
        }
    }
    DisarmInterruptCleanup();
}

void TempOutputFile::CloseHandle() {
#ifdef _WIN32
    CloseNative(handle_);
#else
    CloseNative(fd_);
#endif
}

void TempOutputFile::Fail(const char* what) {
    throw ToolError(std::string("cannot ") + what + " " + Quoted(target_) + ": " + LastErrorText());
}

void TempOutputFile::WriteAt(uint64_t offset, const void* data, size_t n) {
    const auto* in = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ThrowIfInterrupted();
#ifdef _WIN32
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
        DWORD done = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), in, want, &done, &at) || done == 0) {
            Fail("write");
        }
#else
        const ssize_t done = pwrite(fd_, in, n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = EIO;
            }
            Fail("write");
        }
#endif
        in += done;
        offset += static_cast<uint64_t>(done);
        n -= static_cast<size_t>(done);
    }
}

void TempOutputFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
    bool complete = false;
    try {
#ifdef _WIN32
        complete = ReadAtHandle(static_cast<HANDLE>(handle_), offset, buffer, n);
#else
        complete = ReadAtFd(fd_, offset, buffer, n);
#endif
    } catch (const ToolError& error) {
        throw ToolError("cannot read back " + Quoted(tempPath_) + ": " + error.what());
    }
    if (!complete) {
        throw ToolError("cannot read back " + Quoted(tempPath_) + ": file ends early");
    }
}

void TempOutputFile::Truncate(uint64_t length) {
#ifdef _WIN32
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFileInformationByHandle(static_cast<HANDLE>(handle_), FileEndOfFileInfo, &info,
                                    sizeof info)) {
        Fail("write");
    }
#else
    while (ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR) {
            Fail("write");
        }
    }
#endif
}

void TempOutputFile::Commit() {
#ifdef _WIN32
    if (folder_ != nullptr) {
        // Renamed through the handles of the file and of its folder, then closed.
        unsigned long error = 0;
        if (!detail::RenameFileIn(handle_, folder_->Handle(), name_, error)) {
            SetLastError(error);
            Fail("write");
        }
        const BOOL closed = ::CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
        committed_ = true;
        DisarmInterruptCleanup();
        if (!closed) {
            Fail("write");
        }
        return;
    }
    const BOOL closed = ::CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    if (!closed) {
        Fail("write");
    }
    // MoveFileExW replaces an existing target, which a plain rename may refuse to do.
    if (!MoveFileExW(WidePath(tempPath_).c_str(), WidePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("write");
    }
#else
    const int result = close(fd_);
    fd_ = -1;
    if (result != 0) {
        Fail("write");
    }
    const bool renamed = folder_ != nullptr ? renameat(folder_->Fd(), tempName_.c_str(),
                                                       folder_->Fd(), name_.c_str()) == 0
                                            : std::rename(tempPath_.c_str(), target_.c_str()) == 0;
    if (!renamed) {
        Fail("write");
    }
#endif
    committed_ = true;
    DisarmInterruptCleanup();
}

void TempOutputFile::Close() {
#ifdef _WIN32
    const bool closed = handle_ == nullptr || ::CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
#else
    const bool closed = fd_ < 0 || close(fd_) == 0;
    fd_ = -1;
#endif
    if (!closed) {
        Fail("write");
    }
}

void TempOutputFile::Placed() {
    committed_ = true;
    DisarmInterruptCleanup();
}

FileIdentity TempOutputFile::Identity() {
#ifdef _WIN32
    const std::optional<FileIdentity> identity = detail::IdentityOfHandle(handle_);
    if (!identity) {
        Fail("write");
    }
    return *identity;
#else
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        Fail("write");
    }
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
#endif
}

// ---- Whole files

std::string ReadFileBytes(const fs::path& path, uint64_t limit) {
    InputFile file(path);
    const uint64_t size = file.Size();
    if (size > limit) {
        throw ToolError("cannot read " + Quoted(path) + ": it is larger than " +
                        std::to_string(limit) + " bytes");
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !file.ReadAt(0, bytes.data(), bytes.size())) {
        throw ToolError("cannot read " + Quoted(path) + ": it changed while it was read");
    }
    return bytes;
}

void WriteFileBytes(const fs::path& path, std::string_view bytes) {
    TempOutputFile file(path);
    file.WriteAt(0, bytes.data(), bytes.size());
    file.Commit();
}

fs::path TempPathBeside(const fs::path& target) {
    return target.parent_path() / TempName();
}

fs::path ProgramPath() {
#ifdef _WIN32
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        return {};
    }
    buffer.resize(length);
    return fs::path(buffer);
#else
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : path;
#endif
}

}  // namespace vandrel::tool
