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

detail::Created detail::CreateNewFile(const TreeFolder* folder, const std::string& name,
                                      const fs::path& path, int& file) {
    file = folder != nullptr ? openat(folder->Fd(), name.c_str(),
                                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)
                             : open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file < 0) {
        return errno == EEXIST ? Created::Taken : Created::Failed;
    }
    if (folder != nullptr) {
        ArmInterruptCleanup(folder->Fd(), name);
    } else {
        ArmInterruptCleanup(AT_FDCWD, path.native());
    }
    return Created::Yes;
}

size_t detail::WriteSomeAt(int fd, uint64_t offset, const uint8_t* data, size_t n) {
    for (;;) {
        const ssize_t done = pwrite(fd, data, n, static_cast<off_t>(offset));
        if (done > 0) {
            return static_cast<size_t>(done);
        }
        if (done == 0) {
            errno = EIO;
            return 0;
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

void detail::RemoveNewFile(const TreeFolder& folder, const std::string& name, int& file) {
    CloseNative(file);
    unlinkat(folder.Fd(), name.c_str(), 0);
}

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
