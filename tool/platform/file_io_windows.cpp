#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/file_io.h"
#include "platform/file_io_detail.h"
#include "platform/safe_tree_detail.h"
#include "platform/shown_text.h"
#include "portable/util/long_path.h"
#include "win32/util/text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// Where a positioned read or write starts, and how much of `n` bytes one call moves.
OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

DWORD Piece(size_t n) {
    return static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
}

}  // namespace

namespace detail {

uint64_t ProcessId() {
    return GetCurrentProcessId();
}

void CloseNative(void*& handle) {
    if (handle != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle));
        handle = nullptr;
    }
}

bool ReadAtNative(void* handle, uint64_t offset, void* buffer, size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        ThrowIfInterrupted();
        OVERLAPPED at = At(offset);
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(handle), out, Piece(n), &got, &at)) {
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

}  // namespace detail

namespace {

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

// The temporary file being written, removed when the user interrupts the program (Ctrl+C, or a
// closing console) so that no half-written file stays behind. Only one exists at a time. It is
// marked for deletion through its handle (it goes when the process ends).
HANDLE volatile interruptHandle = nullptr;
HANDLE scopeClosed = nullptr;  // set when the scope closes, for a console that is closing

BOOL WINAPI OnConsoleInterrupt(DWORD type) {
    if (detail::scopeOpen && detail::interruptSignal == 0) {
        detail::interruptSignal = SIGINT;
        if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
            return TRUE;
        }
        // A closing console ends the process when this returns: first let the program clean up.
        WaitForSingleObject(scopeClosed, 4500);
        return FALSE;
    }
    if (detail::interruptArmed) {
        FILE_DISPOSITION_INFO dispose{TRUE};
        SetFileInformationByHandle(interruptHandle, FileDispositionInfo, &dispose, sizeof dispose);
    }
    return FALSE;  // on to the default handler, which ends the process
}

void InstallInterruptCleanup() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        SetConsoleCtrlHandler(OnConsoleInterrupt, TRUE);
    }
}

void ArmInterruptCleanup(HANDLE handle) {
    InstallInterruptCleanup();
    detail::interruptArmed = 0;
    interruptHandle = handle;
    detail::interruptArmed = 1;
}

}  // namespace

detail::Created detail::CreateNewFile(const TreeFolder* folder, const std::string& name,
                                      const fs::path& path, void*& file) {
    if (folder != nullptr) {
        unsigned long error = 0;
        file = CreateNewFileIn(folder->Handle(), name, error);
        SetLastError(error);
    } else {
        HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        file = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    if (file == nullptr) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::Taken
                                                                           : Created::Failed;
    }
    ArmInterruptCleanup(static_cast<HANDLE>(file));
    return Created::Yes;
}

size_t detail::WriteSomeAt(void* file, uint64_t offset, const uint8_t* data, size_t n) {
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    if (!WriteFile(static_cast<HANDLE>(file), data, Piece(n), &done, &at)) {
        return 0;
    }
    if (done == 0) {
        SetLastError(ERROR_WRITE_FAULT);
    }
    return done;
}

void detail::RemoveNewFile(const TreeFolder&, const std::string&, void*& file) {
    if (file != nullptr) {
        FILE_DISPOSITION_INFO dispose{TRUE};
        SetFileInformationByHandle(static_cast<HANDLE>(file), FileDispositionInfo, &dispose,
                                   sizeof dispose);
    }
}

InterruptScope::InterruptScope() {
    InstallInterruptCleanup();
    if (scopeClosed == nullptr) {
        scopeClosed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ResetEvent(scopeClosed);
    detail::interruptSignal = 0;
    detail::scopeOpen = 1;
}

InterruptScope::~InterruptScope() {
    detail::scopeOpen = 0;
    SetEvent(scopeClosed);
}

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

std::string LastErrorText() {
    return WindowsErrorText(GetLastError());
}

std::string ErrorCodeText(const std::error_code& code) {
    if (code.category() == std::system_category()) {
        return WindowsErrorText(static_cast<DWORD>(code.value()));
    }
    return code.message();
}

bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

StdioFile StdioFromInput(InputFile& file) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(file.NativeHandle()),
                         GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        throw ToolError("cannot read " + ShownPath(file.Path()) + ": " + LastErrorText());
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        ::CloseHandle(copy);
        throw ToolError("cannot read " + ShownPath(file.Path()) + ": " + std::strerror(errno));
    }
    std::FILE* stream = _fdopen(descriptor, "rb");
    if (stream == nullptr) {
        _close(descriptor);
        throw ToolError("cannot read " + ShownPath(file.Path()) + ": " + std::strerror(errno));
    }
    return StdioFile(stream);
}

fs::path ProgramPath() {
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        return {};
    }
    buffer.resize(length);
    return fs::path(buffer);
}

// ---- InputFile

InputFile::InputFile(const fs::path& path) : path_(path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw ToolError("cannot read " + ShownPath(path) + ": " + LastErrorText());
    }
    file_ = handle;
    // A pipe or a device could block a read forever or never end.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        Close();
        throw ToolError("cannot read " + ShownPath(path) + ": it is not a regular file");
    }
}

InputFile::InputFile(void* handle, const fs::path& path, std::optional<uint64_t> size)
    : path_(path), size_(size), file_(handle) {}

size_t InputFile::Read(void* buffer, size_t n) {
    ThrowIfInterrupted();
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(file_), buffer, Piece(n), &got, nullptr)) {
        throw ToolError("cannot read " + ShownPath(path_) + ": " + LastErrorText());
    }
    return got;
}

uint64_t InputFile::Size() {
    if (size_) {
        return *size_;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(static_cast<HANDLE>(file_), &size)) {
        throw ToolError("cannot read " + ShownPath(path_) + ": " + LastErrorText());
    }
    return static_cast<uint64_t>(size.QuadPart);
}

// ---- TempOutputFile

void TempOutputFile::Truncate(uint64_t length) {
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFileInformationByHandle(static_cast<HANDLE>(file_), FileEndOfFileInfo, &info,
                                    sizeof info)) {
        Fail("write");
    }
}

void TempOutputFile::Commit() {
    if (folder_ != nullptr) {
        // Renamed through the handles of the file and of its folder, then closed.
        unsigned long error = 0;
        if (!detail::RenameFileIn(file_, folder_->Handle(), name_, error)) {
            SetLastError(error);
            Fail("write");
        }
    }
    const BOOL closed = ::CloseHandle(static_cast<HANDLE>(file_));
    file_ = nullptr;
    if (folder_ != nullptr) {
        committed_ = true;
        detail::DisarmInterruptCleanup();
    }
    if (!closed) {
        Fail("write");
    }
    if (folder_ != nullptr) {
        return;
    }
    // MoveFileExW replaces an existing target, which a plain rename may refuse to do.
    if (!MoveFileExW(WidePath(tempPath_).c_str(), WidePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("write");
    }
    committed_ = true;
    detail::DisarmInterruptCleanup();
}

void TempOutputFile::Close() {
    const bool closed = file_ == nullptr || ::CloseHandle(static_cast<HANDLE>(file_));
    file_ = nullptr;
    if (!closed) {
        Fail("write");
    }
}

FileIdentity TempOutputFile::Identity() {
    const std::optional<FileIdentity> identity = detail::IdentityOfHandle(file_);
    if (!identity) {
        Fail("write");
    }
    return *identity;
}

}  // namespace vandrel::tool
