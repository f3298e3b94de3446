#pragma once

// The "packing: 3/10 files, ..." line of a long pack.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

namespace vandrel::tool {

// The "packing: 3/10 files, ..." line on standard error, redrawn in place at most ten times a
// second, and cleared when done.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled, uint64_t files, uint64_t bytes)
        : err_(err), enabled_(enabled), totalFiles_(files), totalBytes_(bytes) {}
    ~ProgressLine() { Clear(); }

    void Update(uint64_t files, uint64_t bytes) {
        if (!enabled_) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (shown_ > 0 && now - last_ < std::chrono::milliseconds(100) && files < totalFiles_) {
            return;
        }
        last_ = now;
        const uint64_t percent =
            totalBytes_ > 0 ? std::min<uint64_t>(100, bytes * 100 / totalBytes_) : 100;
        char line[160];
        std::snprintf(line, sizeof line, "packing: %llu/%llu files, %.1f/%.1f MB (%llu%%)",
                      static_cast<unsigned long long>(files),
                      static_cast<unsigned long long>(totalFiles_), bytes / 1e6, totalBytes_ / 1e6,
                      static_cast<unsigned long long>(percent));
        std::string text = line;
        const size_t length = text.size();
        if (length < shown_) {
            text.append(shown_ - length, ' ');
        }
        err_ << '\r' << text << std::flush;
        shown_ = length;
    }

    void Clear() {
        if (shown_ > 0) {
            err_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
            shown_ = 0;
        }
    }

private:
    std::ostream& err_;
    bool enabled_;
    uint64_t totalFiles_;
    uint64_t totalBytes_;
    size_t shown_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace vandrel::tool
