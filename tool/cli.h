#pragma once

// What the tool's commands share on the command line: usage mistakes, argument parsing, counts in
// words and the progress line of a long pack.

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vandrel::tool {

// A mistake in the command line: reported with a pointer to the help, exit code kExitUsage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The machine ran out of memory for what a command had to hold: reported as such, with its own
// exit code, never as a fault of the input.
class OutOfMemory : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The tool's usage text, for --help.
extern const char* const kToolUsage;

struct ParsedArgs {
    std::vector<std::string> positional;
    std::optional<std::string> output;  // -o FILE, --output FILE, --output=FILE
    bool help = false;                  // -h, --help
};

// Reads the arguments from `first` on: positional ones, "--" (all that follows is positional),
// the help switch, and -o when `takesOutput`. Throws UsageError for anything else.
ParsedArgs ParseArgs(const std::vector<std::string>& args, size_t first, bool takesOutput);

// A bundle command's arguments (after the command name): exactly `positional` of them, and an
// output file when `takesOutput`; nullopt after printing the usage for --help. Throws
// UsageError(`usage`) when they are not what the command takes.
std::optional<ParsedArgs> CommandArgs(const std::vector<std::string>& args, size_t positional,
                                      bool takesOutput, const char* usage, std::ostream& out);

// "1 file", "2 files".
std::string Plural(uint64_t n, const char* singular, const char* plural);
// The size limit in words: "2 GiB (2147483648 bytes)" for the host's.
std::string LimitText(uint64_t limit);

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
