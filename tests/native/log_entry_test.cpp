#include "portable/log/log_entry.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(LogEntry, OneLinePerEntryWithTheTimeInUtcAndTheTextEscapedAndBounded) {
    EXPECT_EQ(LogLine(1'765'273'708'123, LogLevel::Warn, LogSource::Page, "a\nb\r\tc\\d\x01"),
              "2025-12-09T09:48:28.123Z warn page a\\nb\\r\\tc\\\\d\\u0001\n");
    EXPECT_EQ(LogLine(0, LogLevel::Info, LogSource::Host, "caf\xC3\xA9"),
              "1970-01-01T00:00:00.000Z info host caf\xC3\xA9\n");
    // Cut at the bound, never inside a character.
    std::string text = "x";
    for (size_t i = 0; i < kLogEntryLimit; ++i) {
        text += "\xE2\x82\xAC";  // the euro sign, three bytes
    }
    const std::string line = LogLine(0, LogLevel::Error, LogSource::Runtime, text);
    const std::string head = "1970-01-01T00:00:00.000Z error runtime ";
    ASSERT_EQ(line.rfind(head, 0), 0u);
    const std::string body = line.substr(head.size());
    EXPECT_LE(body.size(), kLogEntryLimit + 4);
    EXPECT_EQ(body.substr(body.size() - 4), "...\n");
    EXPECT_EQ((body.size() - 4 - 1) % 3, 0u);  // whole euro signs only
}

TEST(LogEntry, ModesKeepWhatTheySay) {
    EXPECT_TRUE(Wanted(LogMode::On, LogLevel::Info));
    EXPECT_FALSE(Wanted(LogMode::Errors, LogLevel::Info));
    EXPECT_TRUE(Wanted(LogMode::Errors, LogLevel::Warn));
    EXPECT_TRUE(Wanted(LogMode::Errors, LogLevel::Error));
    EXPECT_FALSE(Wanted(LogMode::Off, LogLevel::Error));
}

TEST(LogEntry, APageThatLogsInALoopIsHeldToItsBudget) {
    PageLogBudget budget;
    size_t written = 0;
    for (uint64_t ms = 1'000; ms < 31'000; ms += 10) {
        written += budget.Take(ms);
    }
    EXPECT_EQ(written, kPageEntriesPerMinute);
    EXPECT_EQ(budget.TakeDropped(30'000), 0u);  // said once the minute is over
    EXPECT_EQ(budget.TakeDropped(61'000), 3'000u - kPageEntriesPerMinute);
    EXPECT_EQ(budget.TakeDropped(62'000), 0u);
    EXPECT_TRUE(budget.Take(61'500));
}

TEST(LogEntry, ThePagesErrorsComeFromTheProtocolsEvents) {
    const struct {
        const char* event;
        const char* params;
        std::optional<PageLogEntry> entry;
    } cases[] = {
        {"Runtime.exceptionThrown",
         R"({"timestamp":1,"exceptionDetails":{"exceptionId":1,"text":"Uncaught","lineNumber":41,)"
         R"("columnNumber":3,"url":"https://vandrel.localhost/game.js","exception":{"type":"object",)"
         R"("subtype":"error","className":"TypeError","description":"TypeError: x is undefined\n    at f"}}})",
         PageLogEntry{LogLevel::Error,
                      "uncaught TypeError: x is undefined\n    at f (at https://vandrel.localhost/game.js:42)"}},
        {"Runtime.exceptionThrown",
         R"j({"exceptionDetails":{"text":"Uncaught (in promise)","exception":{"type":"string","value":"no save"}}})j",
         PageLogEntry{LogLevel::Error, "uncaught no save"}},
        {"Runtime.exceptionThrown", R"({"exceptionDetails":{"text":"Uncaught"}})",
         PageLogEntry{LogLevel::Error, "uncaught Uncaught"}},
        {"Runtime.consoleAPICalled",
         R"({"type":"error","args":[{"type":"string","value":"level"},{"type":"number","value":3},)"
         R"({"type":"object","description":"Object"}],"executionContextId":1,"timestamp":1,)"
         R"("stackTrace":{"callFrames":[{"functionName":"load","url":"https://vandrel.localhost/a.js","lineNumber":9,"columnNumber":1}]}})",
         PageLogEntry{LogLevel::Error,
                      "console.error: level 3 Object (at https://vandrel.localhost/a.js:10)"}},
        {"Runtime.consoleAPICalled", R"({"type":"warning","args":[{"type":"string","value":"slow"}]})",
         PageLogEntry{LogLevel::Warn, "console.warn: slow"}},
        {"Runtime.consoleAPICalled", R"({"type":"log","args":[{"type":"string","value":"hi"}]})",
         std::nullopt},
        {"Runtime.exceptionThrown", "not json", std::nullopt},
        {"Runtime.exceptionThrown", "[]", std::nullopt},
        {"Network.requestWillBeSent", "{}", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto entry = PageEntryFromDevTools(c.event, c.params);
        ASSERT_EQ(entry.has_value(), c.entry.has_value()) << c.params;
        if (entry) {
            EXPECT_EQ(entry->level, c.entry->level) << c.params;
            EXPECT_EQ(entry->text, c.entry->text) << c.params;
        }
    }
}

TEST(LogEntry, PublishedNamesOfStatusesKindsAndReasons) {
    EXPECT_EQ(WebErrorStatusName(6), "SERVER_UNREACHABLE");
    EXPECT_EQ(WebErrorStatusName(18), "VALID_PROXY_AUTHENTICATION_REQUIRED");
    EXPECT_EQ(WebErrorStatusName(19), "unknown (19)");
    EXPECT_EQ(ProcessFailedKindName(0), "BROWSER_PROCESS_EXITED");
    EXPECT_EQ(ProcessFailedKindName(9), "UNKNOWN_PROCESS_EXITED");
    EXPECT_EQ(ProcessFailedReasonName(5), "OUT_OF_MEMORY");
    EXPECT_EQ(ProcessFailedReasonName(-1), "unknown (-1)");
}

}  // namespace
}  // namespace vandrel
