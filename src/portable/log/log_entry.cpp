#include "portable/log/log_entry.h"

#include <array>
#include <span>
#include <chrono>
#include <cstdio>

#include <nlohmann/json.hpp>

namespace vandrel {

namespace {

constexpr uint64_t kMinuteMs = 60'000;

std::string NameOf(std::span<const char* const> names, int value) {
    if (value >= 0 && static_cast<size_t>(value) < names.size()) {
        return names[static_cast<size_t>(value)];
    }
    return "unknown (" + std::to_string(value) + ")";
}

constexpr std::array<const char*, 19> kWebErrorStatus = {
    "UNKNOWN",
    "CERTIFICATE_COMMON_NAME_IS_INCORRECT",
    "CERTIFICATE_EXPIRED",
    "CLIENT_CERTIFICATE_CONTAINS_ERRORS",
    "CERTIFICATE_REVOKED",
    "CERTIFICATE_IS_INVALID",
    "SERVER_UNREACHABLE",
    "TIMEOUT",
    "ERROR_HTTP_INVALID_SERVER_RESPONSE",
    "CONNECTION_ABORTED",
    "CONNECTION_RESET",
    "DISCONNECTED",
    "CANNOT_CONNECT",
    "HOST_NAME_NOT_RESOLVED",
    "OPERATION_CANCELED",
    "REDIRECT_FAILED",
    "UNEXPECTED_ERROR",
    "VALID_AUTHENTICATION_CREDENTIALS_REQUIRED",
    "VALID_PROXY_AUTHENTICATION_REQUIRED",
};
constexpr std::array<const char*, 10> kProcessFailedKind = {
    "BROWSER_PROCESS_EXITED",        "RENDER_PROCESS_EXITED",
    "RENDER_PROCESS_UNRESPONSIVE",   "FRAME_RENDER_PROCESS_EXITED",
    "UTILITY_PROCESS_EXITED",        "SANDBOX_HELPER_PROCESS_EXITED",
    "GPU_PROCESS_EXITED",            "PPAPI_PLUGIN_PROCESS_EXITED",
    "PPAPI_BROKER_PROCESS_EXITED",   "UNKNOWN_PROCESS_EXITED",
};
constexpr std::array<const char*, 7> kProcessFailedReason = {
    "UNEXPECTED", "UNRESPONSIVE",  "TERMINATED",      "CRASHED",
    "LAUNCH_FAILED", "OUT_OF_MEMORY", "PROFILE_DELETED",
};

// The text of a protocol RemoteObject: a primitive's value, else its description.
std::string RemoteObjectText(const nlohmann::json& object) {
    if (!object.is_object()) {
        return {};
    }
    if (const auto value = object.find("value"); value != object.end()) {
        return value->is_string() ? value->get<std::string>() : value->dump();
    }
    if (const auto description = object.find("description");
        description != object.end() && description->is_string()) {
        return description->get<std::string>();
    }
    const auto type = object.find("type");
    return type != object.end() && type->is_string() ? type->get<std::string>() : std::string();
}

// " (at URL:LINE)" from a url and a zero-based line number, when there is a url.
std::string Place(const nlohmann::json& holder) {
    const auto url = holder.find("url");
    if (url == holder.end() || !url->is_string() || url->get<std::string>().empty()) {
        return {};
    }
    std::string place = " (at " + url->get<std::string>();
    if (const auto line = holder.find("lineNumber");
        line != holder.end() && line->is_number_integer()) {
        place += ":" + std::to_string(line->get<int64_t>() + 1);
    }
    return place + ")";
}

}  // namespace

const char* LevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Info:
            return "info";
        case LogLevel::Warn:
            return "warn";
        case LogLevel::Error:
            break;
    }
    return "error";
}

const char* SourceName(LogSource source) {
    switch (source) {
        case LogSource::Host:
            return "host";
        case LogSource::Page:
            return "page";
        case LogSource::Runtime:
            break;
    }
    return "runtime";
}

bool Wanted(LogMode mode, LogLevel level) {
    return mode == LogMode::On || (mode == LogMode::Errors && level != LogLevel::Info);
}

std::string LogLine(int64_t unixMs, LogLevel level, LogSource source, std::string_view text) {
    using namespace std::chrono;
    const sys_time<milliseconds> when{milliseconds(unixMs)};
    const sys_days day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{when - day};
    char time[40];
    std::snprintf(time, sizeof time, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()),
                  static_cast<int>(clock.subseconds().count()));
    std::string line = std::string(time) + " " + LevelName(level) + " " + SourceName(source) + " ";
    const size_t start = line.size();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (line.size() - start >= kLogEntryLimit) {
            // Back to the start of the character that was cut.
            while (line.size() > start &&
                   (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) {
                line.pop_back();
            }
            if (line.size() > start && static_cast<unsigned char>(line.back()) >= 0xC0) {
                line.pop_back();
            }
            line += "...";
            break;
        }
        switch (c) {
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\\':
                line += "\\\\";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    line += escaped;
                } else {
                    line += static_cast<char>(c);
                }
        }
    }
    return line + "\n";
}

bool PageLogBudget::Take(uint64_t nowMs) {
    if (nowMs - windowStart_ >= kMinuteMs) {
        windowStart_ = nowMs;
        taken_ = 0;
    }
    if (taken_ >= kPageEntriesPerMinute) {
        ++dropped_;
        return false;
    }
    ++taken_;
    return true;
}

size_t PageLogBudget::TakeDropped(uint64_t nowMs) {
    if (dropped_ == 0 || nowMs - windowStart_ < kMinuteMs) {
        return 0;
    }
    const size_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

std::optional<PageLogEntry> PageEntryFromDevTools(std::string_view eventName,
                                                  std::string_view parameters) {
    const nlohmann::json params = nlohmann::json::parse(parameters, nullptr, false);
    if (!params.is_object()) {
        return std::nullopt;
    }
    if (eventName == "Runtime.exceptionThrown") {
        const auto details = params.find("exceptionDetails");
        if (details == params.end() || !details->is_object()) {
            return std::nullopt;
        }
        std::string text;
        if (const auto exception = details->find("exception"); exception != details->end()) {
            text = RemoteObjectText(*exception);
        }
        if (text.empty()) {
            const auto message = details->find("text");
            text = message != details->end() && message->is_string() ? message->get<std::string>()
                                                                      : "an exception";
        }
        const std::string place = Place(*details);
        return PageLogEntry{LogLevel::Error, "uncaught " + text + place};
    }
    if (eventName == "Runtime.consoleAPICalled") {
        const std::string type = params.value("type", "");
        const LogLevel level = type == "error" ? LogLevel::Error : LogLevel::Warn;
        if (type != "error" && type != "warning") {
            return std::nullopt;
        }
        std::string text = std::string("console.") + (type == "error" ? "error" : "warn") + ":";
        if (const auto args = params.find("args"); args != params.end() && args->is_array()) {
            for (const nlohmann::json& arg : *args) {
                text += " " + RemoteObjectText(arg);
            }
        }
        if (const auto stack = params.find("stackTrace");
            stack != params.end() && stack->is_object()) {
            const auto frames = stack->find("callFrames");
            if (frames != stack->end() && frames->is_array() && !frames->empty() &&
                (*frames)[0].is_object()) {
                text += Place((*frames)[0]);
            }
        }
        return PageLogEntry{level, text};
    }
    return std::nullopt;
}

std::string WebErrorStatusName(int status) {
    return NameOf(kWebErrorStatus, status);
}

std::string ProcessFailedKindName(int kind) {
    return NameOf(kProcessFailedKind, kind);
}

std::string ProcessFailedReasonName(int reason) {
    return NameOf(kProcessFailedReason, reason);
}

}  // namespace vandrel
