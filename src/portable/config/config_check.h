#pragma once

// Explains package.json: what the host would refuse, and what it accepts but probably not as the
// author meant. Reads through the same key table as LoadAppConfig, and runs LoadAppConfig itself,
// so a text the loader refuses always has at least one error here.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "portable/config/app_config.h"

namespace vandrel {

enum class Severity : int32_t {
    Error,    // the host refuses to start, or fails for every player
    Warning,  // the host starts, but not as the author probably meant
};

// One finding about an app folder.
struct Finding {
    Severity severity = Severity::Error;
    std::string file;     // relative to the app folder, "/" between folder names; may be empty
    std::string key;      // key path such as "settings.content-mode"; empty when not about a key
    int line = 0;         // 1-based text position (JSON syntax); 0 when there is none
    int column = 0;       // 1-based, in characters; a leading byte-order mark is not counted
    std::string message;  // what is wrong
    std::string advice;   // what to do about it
};

struct ConfigCheckResult {
    std::vector<Finding> findings;
    std::optional<nlohmann::json> document;  // the parsed text, when it is valid JSON
    std::optional<AppConfig> config;         // what the host loads, when it accepts the text
};

// Checks the whole text of package.json; every finding names `fileName`.
ConfigCheckResult CheckAppConfig(const std::string& text,
                                 const std::string& fileName = "package.json");

// The line and column of byte `offset` of `text` (both from 1; the column counts UTF-8
// characters, and a leading byte-order mark does not count). An offset past the end gives the
// position just after the last character.
std::pair<int, int> TextPosition(std::string_view text, size_t offset);

// The four numbers of a version text such as "1.2.3" or "2.0.1-beta.3": one to four numbers
// from 0 to 65535 separated by dots, without leading zeros, then nothing or a text that starts
// with "-" or "+". Missing numbers are 0. Nullopt for any other text.
std::optional<std::array<uint16_t, 4>> ParseVersionNumbers(std::string_view text);

// `text` with the ASCII letters A-Z made lower case; other bytes stay.
std::string AsciiLowercase(std::string_view text);

// Edit distance between two texts: insertions, deletions, substitutions and swaps of two
// neighbouring characters count one each.
size_t EditDistance(std::string_view a, std::string_view b);

}  // namespace vandrel
