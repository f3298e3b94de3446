#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

#include "platform/file_io.h"
#include "platform/file_io_detail.h"
#include "platform/safe_tree_detail.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace detail {

uint64_t ProcessId() {
    return static_cast<uint64_t>(getpid());
}

void CloseNative(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

bool ReadAtNative(int fd, uint64_t offset, void* buffer, size_t n) {
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

}  // namespace detail

namespace {

// The temporary file being written, removed when the user interrupts the program (Ctrl+C, or a
// termination signal) so that no half-written file stays behind. Only one exists at a time. It is
// unlinked by name, relative to its folder's descriptor.
char interruptName[4096];
volatile int interruptFolder = AT_FDCWD;

void OnInterrupt(int signal) {
    if (detail::scopeOpen && detail::interruptSignal == 0) {
        detail::interruptSignal = signal;
        return;
    }
    if (detail::interruptArmed) {
        unlinkat(interruptFolder, interruptName, 0);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallInterruptCleanup() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            struct sigaction action {};
            action.sa_handler = OnInterrupt;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
    }
}

// `name` is relative to `folder` (AT_FDCWD: a path).
void ArmInterruptCleanup(int folder, const std::string& name) {
    InstallInterruptCleanup();
    detail::interruptArmed = 0;
    if (name.size() < std::size(interruptName)) {
        std::copy(name.begin(), name.end(), interruptName);
        interruptName[name.size()] = 0;
        interruptFolder = folder;
        detail::interruptArmed = 1;
    }
}

}  // namespace

InterruptScope::InterruptScope() {
    InstallInterruptCleanup();
    detail::interruptSignal = 0;
    detail::scopeOpen = 1;
}

InterruptScope::~InterruptScope() {
    detail::scopeOpen = 0;
}

std::string LastErrorText() {
    return std::strerror(errno);
}

std::string ErrorCodeText(const std::error_code& code) {
    return code.message();
}

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

StdioFile StdioFromInput(InputFile& file) {
    const int copy = fcntl(file.NativeHandle(), F_DUPFD_CLOEXEC, 0);
    std::FILE* stream = copy < 0 ? nullptr : fdopen(copy, "rb");
    if (stream == nullptr) {
        const std::string reason = LastErrorText();
        if (copy >= 0) {
            close(copy);
        }
        throw ToolError("cannot read " + ShownPath(file.Path()) + ": " + reason);
    }
    return StdioFile(stream);
}

fs::path ProgramPath() {
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : path;
}

// ---- InputFile

InputFile::InputFile(const fs::path& path) : path_(path) {
    // Opened without waiting, so that a pipe cannot stall the open; then only a regular file is
    // kept, since a pipe or a device could block a read forever or never end.
    file_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file_ < 0) {
        throw ToolError("cannot read " + ShownPath(path) + ": " + LastErrorText());
    }
    struct stat info {};
    if (fstat(file_, &info) != 0) {
        const std::string reason = LastErrorText();
        Close();
        throw ToolError("cannot read " + ShownPath(path) + ": " + reason);
    }
    if (!S_ISREG(info.st_mode)) {
        Close();
        throw ToolError("cannot read " + ShownPath(path) + ": " +
                        (S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file"));
    }
    // O_NONBLOCK changes nothing for a regular file: it stays.
    size_ = static_cast<uint64_t>(info.st_size);
}

InputFile::InputFile(int fd, const fs::path& path, std::optional<uint64_t> size)
    : path_(path), size_(size), file_(fd) {}

size_t InputFile::Read(void* buffer, size_t n) {
    for (;;) {
        ThrowIfInterrupted();
        const ssize_t got = read(file_, buffer, n);
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            throw ToolError("cannot read " + ShownPath(path_) + ": " + LastErrorText());
        }
    }
}

uint64_t InputFile::Size() {
    if (size_) {
        return *size_;
    }
    struct stat info {};
    if (fstat(file_, &info) != 0) {
        throw ToolError("cannot read " + ShownPath(path_) + ": " + LastErrorText());
    }
    return static_cast<uint64_t>(info.st_size);
}

// ---- TempOutputFile

TempOutputFile::TempOutputFile(const fs::path& target) : target_(target) {
    for (int attempt = 0;; ++attempt) {
        tempPath_ = target.parent_path() / detail::TempName();
        file_ = open(tempPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file_ >= 0) {
            ArmInterruptCleanup(AT_FDCWD, tempPath_.native());
            return;
        }
        if (errno != EEXIST || attempt >= 100) {
            throw ToolError("cannot write " + ShownPath(target_) + ": " + LastErrorText());
        }
    }
}

TempOutputFile::TempOutputFile(const TreeFolder& folder, std::string name)
    : folder_(&folder), name_(std::move(name)) {
    const fs::path shownFolder = folder.ShownPath();
    target_ = shownFolder / PathFromUtf8(name_);
    for (int attempt = 0;; ++attempt) {
        tempName_ = detail::TempName();
        tempPath_ = shownFolder / tempName_;
        file_ = openat(folder.Fd(), tempName_.c_str(),
                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file_ >= 0) {
            ArmInterruptCleanup(folder.Fd(), tempName_);
            return;
        }
        if (errno != EEXIST || attempt >= 100) {
            throw ToolError("cannot write " + ShownPath(target_) + ": " + LastErrorText());
        }
    }
}

TempOutputFile::~TempOutputFile() {
    CloseHandle();
    if (!committed_ && folder_ != nullptr) {
        // Removed through the folder's descriptor, so a changed path cannot send the removal
        // elsewhere.
        unlinkat(folder_->Fd(), tempName_.c_str(), 0);
    } else if (!committed_) {
        std::error_code ignored;
        fs::remove(tempPath_, ignored);
    }
    detail::DisarmInterruptCleanup();
}

void TempOutputFile::WriteAt(uint64_t offset, const void* data, size_t n) {
    const auto* in = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ThrowIfInterrupted();
        const ssize_t done = pwrite(file_, in, n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = EIO;
            }
            Fail("write");
        }
        in += done;
        offset += static_cast<uint64_t>(done);
        n -= static_cast<size_t>(done);
    }
}

void TempOutputFile::Truncate(uint64_t length) {
    while (ftruncate(file_, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR) {
            Fail("write");
        }
    }
}

void TempOutputFile::Commit() {
    const int result = close(file_);
    file_ = -1;
    if (result != 0) {
        Fail("write");
    }
    const bool renamed = folder_ != nullptr ? renameat(folder_->Fd(), tempName_.c_str(),
                                                       folder_->Fd(), name_.c_str()) == 0
                                            : std::rename(tempPath_.c_str(), target_.c_str()) == 0;
    if (!renamed) {
        Fail("write");
    }
    committed_ = true;
    detail::DisarmInterruptCleanup();
}

void TempOutputFile::Close() {
    const bool closed = file_ < 0 || close(file_) == 0;
    file_ = -1;
    if (!closed) {
        Fail("write");
    }
}

FileIdentity TempOutputFile::Identity() {
    struct stat info {};
    if (fstat(file_, &info) != 0) {
        Fail("write");
    }
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

}  // namespace vandrel::tool
