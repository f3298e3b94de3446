#pragma once

// How the host answers failures of the browser's processes: how often it may recover within a
// time, and when a page that has stopped responding is worth a question to the player. Times are
// milliseconds of one steady clock.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace vandrel {

// A crashed page is reloaded at most three times within a minute; a lost browser process is
// made again at most twice in a run.
inline constexpr size_t kPageReloads = 3;
inline constexpr uint64_t kPageReloadWindowMs = 60'000;
inline constexpr size_t kBrowserRestarts = 2;

// At most `limit` recoveries within any `windowMs` (none: within the whole run).
class RecoveryBudget {
public:
    RecoveryBudget(size_t limit, std::optional<uint64_t> windowMs)
        : limit_(limit), windowMs_(windowMs) {}

    // Counts a recovery at `nowMs` and says whether it is allowed; one refused is not counted.
    bool Take(uint64_t nowMs);

private:
    size_t limit_;
    std::optional<uint64_t> windowMs_;
    std::deque<uint64_t> taken_;
};

// The runtime repeats its "unresponsive" report every few seconds while a page hangs. A hang is a
// run of reports less than kReportGapMs apart; once one has gone on for kAskAfterMs, the player
// is asked, once for that hang.
class HangWatch {
public:
    static constexpr uint64_t kAskAfterMs = 30'000;
    static constexpr uint64_t kReportGapMs = 15'000;

    // A report at `nowMs`; true when the player is to be asked now.
    bool Report(uint64_t nowMs);
    // The page was loaded again, or its process replaced: any hang is over.
    void Reset() { start_.reset(); }

private:
    std::optional<uint64_t> start_;
    uint64_t last_ = 0;
    bool asked_ = false;
};

}  // namespace vandrel
