#pragma once

// The player log's lines, kept apart from Windows: their text, their bounds, and the page's
// errors as the DevTools protocol reports them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vandrel {

enum class LogLevel { Info, Warn, Error };
enum class LogSource { Host, Page, Runtime };
// settings.log: everything, warnings and errors only, or nothing.
enum class LogMode { On, Errors, Off };

// The log is renamed to ".1" once it would grow past this, so that two files at most are kept.
inline constexpr uint64_t kLogFileLimit = 1 << 20;
// The text of one entry is cut at this many bytes.
inline constexpr size_t kLogEntryLimit = 4096;
// The page may have this many entries written in any minute; the rest are counted.
inline constexpr size_t kPageEntriesPerMinute = 60;

const char* LevelName(LogLevel level);
const char* SourceName(LogSource source);
bool Wanted(LogMode mode, LogLevel level);

// "2026-12-09T09:48:28.123Z warn page TEXT\n": the time in UTC with milliseconds (`unixMs`
// since 1970), and the text on one line (CR, LF, tabs and other controls escaped as \r, \n, \t,
// \u00XX; a backslash doubled), cut to kLogEntryLimit bytes at a character boundary with "...".
std::string LogLine(int64_t unixMs, LogLevel level, LogSource source, std::string_view text);

// At most kPageEntriesPerMinute page entries in a minute: Take says whether this one is written;
// once a minute has passed, TakeDropped gives how many were not (and starts counting again).
class PageLogBudget {
public:
    bool Take(uint64_t nowMs);
    size_t TakeDropped(uint64_t nowMs);

private:
    uint64_t windowStart_ = 0;
    size_t taken_ = 0;
    size_t dropped_ = 0;
};

struct PageLogEntry {
    LogLevel level = LogLevel::Error;
    std::string text;
};

// A page entry from a DevTools protocol event: "Runtime.exceptionThrown" (an uncaught exception
// or an unhandled rejection) and the "error" and "warning" calls of "Runtime.consoleAPICalled",
// with the script's address and line where the event has them. Nothing for any other event or
// call, or parameters that are not the protocol's.
std::optional<PageLogEntry> PageEntryFromDevTools(std::string_view eventName,
                                                  std::string_view parameters);

// The published names of COREWEBVIEW2_WEB_ERROR_STATUS, COREWEBVIEW2_PROCESS_FAILED_KIND and
// COREWEBVIEW2_PROCESS_FAILED_REASON values ("SERVER_UNREACHABLE"); "unknown (N)" past them.
std::string WebErrorStatusName(int status);
std::string ProcessFailedKindName(int kind);
std::string ProcessFailedReasonName(int reason);

}  // namespace vandrel
