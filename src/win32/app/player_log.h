#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "portable/log/log_entry.h"

namespace vandrel {

// The player log, "vandrel.log" in the app's user-data folder: one line per entry, appended by a
// writer thread so that the UI thread never waits for the disk. Past kLogFileLimit the file
// becomes "vandrel.log.1" (replacing an older one) and a new one is started. A log that cannot
// be opened or written is skipped without a word: it is never a reason for the app to fail.
class PlayerLog {
public:
    PlayerLog(const std::string& userDataFolder, LogMode mode);
    // Writes what is still waiting, then ends the writer.
    ~PlayerLog();
    PlayerLog(const PlayerLog&) = delete;
    PlayerLog& operator=(const PlayerLog&) = delete;

    // Any thread. Entries the mode does not keep are dropped here.
    void Write(LogLevel level, LogSource source, const std::string& text);
    // A page entry: also held to the page's budget (kPageEntriesPerMinute).
    void WritePage(LogLevel level, const std::string& text);

private:
    void Run();
    void Append(const std::string& lines);

    const std::wstring path_;
    const LogMode mode_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::string pending_;  // with lock_
    bool stopping_ = false;
    PageLogBudget pageBudget_;  // with lock_
    std::thread writer_;
};

}  // namespace vandrel
