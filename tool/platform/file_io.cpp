#include "platform/file_io.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform/file_io_detail.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace detail {

volatile std::sig_atomic_t scopeOpen = 0;
volatile std::sig_atomic_t interruptSignal = 0;
volatile std::sig_atomic_t interruptArmed = 0;

// A short unique name for a temporary file, ".vandrel-" and 8 hex digits mixed from the process
// id, a clock reading and a counter (".tmp" follows): its length does not depend on the name of
// the file it becomes, so a target whose name is as long as the system allows still gets one.
std::string TempName() {
    static std::atomic<uint32_t> counter{0};
    const uint64_t pid = detail::ProcessId();
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

}  // namespace detail

void ThrowIfInterrupted() {
    if (detail::scopeOpen && detail::interruptSignal != 0) {
        throw Interrupted("interrupted");
    }
}

int InterruptSignal() {
    return detail::interruptSignal;
}

fs::path PathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// ---- InputFile

InputFile::~InputFile() {
    Close();
}

void InputFile::Close() {
    detail::CloseNative(file_);
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
    try {
        return detail::ReadAtNative(file_, offset, buffer, n);
    } catch (const ToolError& error) {
        throw ToolError("cannot read " + ShownPath(path_) + ": " + error.what());
    }
}

// ---- TempOutputFile

TempOutputFile::TempOutputFile(const fs::path& target) : target_(target) {
    CreateTemp(target.parent_path());
}

TempOutputFile::TempOutputFile(const TreeFolder& folder, std::string name)
    : folder_(&folder), name_(std::move(name)) {
    const fs::path shownFolder = folder.ShownPath();
    target_ = shownFolder / PathFromUtf8(name_);
    CreateTemp(shownFolder);
}

TempOutputFile::~TempOutputFile() {
    if (!committed_ && folder_ != nullptr) {
        detail::RemoveNewFile(*folder_, tempName_, file_);
    }
    CloseHandle();
    if (!committed_ && folder_ == nullptr) {
        std::error_code ignored;
        fs::remove(tempPath_, ignored);
    }
    detail::DisarmInterruptCleanup();
}

void TempOutputFile::WriteAt(uint64_t offset, const void* data, size_t n) {
    const auto* in = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ThrowIfInterrupted();
        const size_t done = detail::WriteSomeAt(file_, offset, in, n);
        if (done == 0) {
            Fail("write");
        }
        in += done;
        offset += done;
        n -= done;
    }
}

void TempOutputFile::CreateTemp(const fs::path& shownFolder) {
    for (int attempt = 0;; ++attempt) {
        tempName_ = detail::TempName();
        tempPath_ = shownFolder / tempName_;
        const detail::Created made = detail::CreateNewFile(folder_, tempName_, tempPath_, file_);
        if (made == detail::Created::Yes) {
            return;
        }
        if (made == detail::Created::Failed || attempt >= 100) {
            throw ToolError("cannot write " + ShownPath(target_) + ": " + LastErrorText());
        }
    }
}

void TempOutputFile::CloseHandle() {
    detail::CloseNative(file_);
}

void TempOutputFile::Fail(const char* what) {
    throw ToolError(std::string("cannot ") + what + " " + ShownPath(target_) + ": " +
                    LastErrorText());
}

void TempOutputFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
    bool complete = false;
    try {
        complete = detail::ReadAtNative(file_, offset, buffer, n);
    } catch (const ToolError& error) {
        throw ToolError("cannot read back " + ShownPath(tempPath_) + ": " + error.what());
    }
    if (!complete) {
        throw ToolError("cannot read back " + ShownPath(tempPath_) + ": file ends early");
    }
}

void TempOutputFile::Placed() {
    committed_ = true;
    detail::DisarmInterruptCleanup();
}

// ---- Whole files

std::string ReadFileBytes(const fs::path& path, uint64_t limit) {
    InputFile file(path);
    const uint64_t size = file.Size();
    if (size > limit) {
        throw ToolError("cannot read " + ShownPath(path) + ": it is larger than " +
                        std::to_string(limit) + " bytes");
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !file.ReadAt(0, bytes.data(), bytes.size())) {
        throw ToolError("cannot read " + ShownPath(path) + ": it changed while it was read");
    }
    return bytes;
}

void WriteFileBytes(const fs::path& path, std::string_view bytes) {
    TempOutputFile file(path);
    file.WriteAt(0, bytes.data(), bytes.size());
    file.Commit();
}

fs::path TempPathBeside(const fs::path& target) {
    return target.parent_path() / detail::TempName();
}

}  // namespace vandrel::tool
