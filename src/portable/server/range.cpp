#include "portable/server/range.h"

#include <cstdint>
#include <optional>

namespace vandrel {
namespace {

// The C library's isspace in the "C" locale, without the locale lookup.
constexpr bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A base-10 number read the way strtol reads it, limited to the signed 32-bit range; nullopt for
// text without digits or a value outside that range. Never reads past `text`.
std::optional<int64_t> ReadLong32(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Magnitude limit: 2^31 - 1 for positive values, 2^31 for negative ones.
    const int64_t limit = negative ? (int64_t{1} << 31) : (int64_t{1} << 31) - 1;
    int64_t magnitude = 0;
    bool anyDigit = false;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        anyDigit = true;
        if (!overflow) {
            magnitude = magnitude * 10 + (text[i] - '0');
            overflow = magnitude > limit;
        }
    }
    if (!anyDigit || overflow) {
        return std::nullopt;
    }
    return negative ? -magnitude : magnitude;
}

// A number as the range checks use it: readable, in range and not negative.
std::optional<uint32_t> ReadPosition(std::string_view text) {
    const std::optional<int64_t> number = ReadLong32(text);
    if (!number || *number < 0) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*number);
}

}  // namespace

ByteRange ParseRange(std::string_view value, uint32_t total) {
    constexpr std::string_view kUnit = "bytes=";
    if (total == 0 || value.substr(0, kUnit.size()) != kUnit) {
        return {};
    }
    const std::string_view rest = value.substr(kUnit.size());
    const size_t dash = rest.find('-');
    if (rest.empty() || dash == std::string_view::npos) {
        return {};
    }
    if (dash == rest.size() - 1) {
        const std::optional<uint32_t> start = ReadPosition(rest.substr(0, dash));
        if (!start || *start >= total) {
            return {};
        }
        return {true, *start, total - 1};
    }
    if (dash == 0) {
        const std::optional<uint32_t> suffix = ReadPosition(rest.substr(1));
        // A suffix of 0 names no byte: unsatisfiable, rather than the empty range
        // "total-(total-1)".
        if (!suffix || *suffix == 0 || *suffix > total) {
            return {};
        }
        return {true, total - *suffix, total - 1};
    }
    const std::optional<uint32_t> start = ReadPosition(rest.substr(0, dash));
    const std::optional<uint32_t> end = ReadPosition(rest.substr(dash + 1));
    if (!start || !end || *start >= total || *end >= total || *start > *end) {
        return {};
    }
    return {true, *start, *end};
}

std::string TrimRangeValue(std::string_view value) {
    while (!value.empty() && IsCSpace(value.back())) {
        value.remove_suffix(1);
    }
    while (!value.empty() && IsCSpace(value.front())) {
        value.remove_prefix(1);
    }
    return std::string(value);
}

}  // namespace vandrel
