#include "win32/app/player_log.h"

#include <shlobj.h>

#include <chrono>

#include "win32/util/files.h"
#include "win32/util/handles.h"

namespace vandrel {

namespace {

int64_t NowUnixMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

PlayerLog::PlayerLog(const std::string& userDataFolder, LogMode mode)
    : path_(ToApiPath(userDataFolder + "\\vandrel.log")), mode_(mode) {
    if (mode_ != LogMode::Off) {
        writer_ = std::thread([this] { Run(); });
    }
}

PlayerLog::~PlayerLog() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable()) {
        writer_.join();
    }
}

void PlayerLog::Write(LogLevel level, LogSource source, const std::string& text) {
    if (!Wanted(mode_, level)) {
        return;
    }
    std::string line = LogLine(NowUnixMs(), level, source, text);
    {
        const std::lock_guard<std::mutex> guard(lock_);
        pending_ += line;
    }
    wake_.notify_one();
}

void PlayerLog::WritePage(LogLevel level, const std::string& text) {
    if (!Wanted(mode_, level)) {
        return;
    }
    const uint64_t now = GetTickCount64();
    size_t dropped = 0;
    bool taken = false;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        dropped = pageBudget_.TakeDropped(now);
        taken = pageBudget_.Take(now);
    }
    if (dropped > 0) {
        Write(LogLevel::Warn, LogSource::Host,
              std::to_string(dropped) + " page entries were not written (more than " +
                  std::to_string(kPageEntriesPerMinute) + " in a minute)");
    }
    if (taken) {
        Write(level, LogSource::Page, text);
    }
}

void PlayerLog::Run() {
    std::unique_lock<std::mutex> guard(lock_);
    while (true) {
        wake_.wait(guard, [this] { return stopping_ || !pending_.empty(); });
        std::string lines = std::move(pending_);
        pending_.clear();
        const bool last = stopping_;
        guard.unlock();
        if (!lines.empty()) {
            Append(lines);
        }
        guard.lock();
        if (last && pending_.empty()) {
            return;
        }
    }
}

void PlayerLog::Append(const std::string& lines) {
    const size_t slash = path_.rfind(L'\\');
    // The folder may not exist yet on a first run (the runtime makes it later); a nested name
    // needs every level. SHCreateDirectoryExW does not take the long-path prefix.
    std::wstring folder = path_.substr(0, slash);
    if (folder.rfind(L"\\\\?\\", 0) == 0) {
        folder.erase(0, 4);
    }
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    UniqueFile file(CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
        static_cast<uint64_t>(size.QuadPart) + lines.size() > kLogFileLimit) {
        file.Reset();
        MoveFileExW(path_.c_str(), (path_ + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
        file.Reset(CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return;
        }
    }
    DWORD written = 0;
    WriteFile(file.Get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
}

}  // namespace vandrel
