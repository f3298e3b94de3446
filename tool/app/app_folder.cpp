#include "app/app_folder.h"

#include <string_view>

#include "bundle/bundle_names.h"
#include "portable/config/config_keys.h"
#include "portable/util/json_lookup.h"
#include "portable/util/utf.h"

namespace vandrel::tool {

bool IconPathIsForeign(const std::string& icon) {
    return !icon.empty() &&
           (icon.front() == '/' || icon.front() == '\\' || icon.find(':') != std::string::npos);
}

std::string ProductName(const nlohmann::json& document, const AppConfig& config) {
    const nlohmann::json* window = KeyContainer(document, keys::kTitle);
    const std::string title =
        window != nullptr ? JsonGetString(*window, keys::kTitle.name, "") : std::string();
    return title.empty() ? config.name : title;
}

std::optional<std::string> Author(const nlohmann::json& document) {
    std::string author = JsonGetString(document, "author", "");
    if (author.empty() && document.contains("author")) {
        author = JsonGetString(document.at("author"), "name", "");
    }
    author = author.substr(0, author.find_first_of("<("));
    while (!author.empty() && author.back() == ' ') {
        author.pop_back();
    }
    if (author.empty()) {
        return std::nullopt;
    }
    return author;
}

std::string AppExecutableName(const std::string& name) {
    std::string file;
    for (size_t at = 0; at < name.size();) {
        const size_t start = at;
        bool malformed = false;
        const char32_t c = NextCodePoint(name, at, malformed);
        // Characters that would hide the name's real end ("Game\u202Egpj.exe") go too.
        const bool refused =
            DisguisesText(c) ||
            (c < 0x80 &&
             std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) != std::string_view::npos);
        if (refused) {
            file.push_back('-');
        } else {
            file.append(name, start, at - start);
        }
    }
    while (!file.empty() && (file.back() == '.' || file.back() == ' ')) {
        file.pop_back();
    }
    while (!file.empty() && file.front() == ' ') {
        file.erase(file.begin());
    }
    file += ".exe";
    if (file == ".exe" || UnsafeNameReason(file, true)) {
        return "app.exe";
    }
    return file;
}

std::vector<Finding> BuildFindings(const nlohmann::json& document, const AppConfig& config) {
    std::vector<Finding> findings;
    const auto refuse = [&](std::string key, std::string message, std::string advice) {
        Finding finding;
        finding.file = "package.json";
        finding.key = std::move(key);
        finding.message = std::move(message);
        finding.advice = std::move(advice);
        findings.push_back(std::move(finding));
    };
    const size_t fileName = Utf16Length(AppExecutableName(config.name));
    if (fileName > kLongestFileName) {
        refuse("name",
               "the executable would be named with " + std::to_string(fileName) +
                   " characters, more than the " + std::to_string(kLongestFileName) +
                   " Windows allows, so vandrel build cannot write it",
               "shorten the name");
    }
    const auto tooLong = [&](const std::string& key, const std::string& text) {
        const size_t length = Utf16Length(text);
        if (length > kLongestVersionText) {
            refuse(key,
                   key + " is " + std::to_string(length) + " characters long, more than the " +
                       std::to_string(kLongestVersionText) +
                       " that vandrel build writes into the executable's version resource",
                   "shorten it");
        }
    };
    const nlohmann::json* window = KeyContainer(document, keys::kTitle);
    if (window != nullptr && !JsonGetString(*window, keys::kTitle.name, "").empty()) {
        tooLong(keys::kTitle.Path(), ProductName(document, config));
    } else {
        tooLong("name", config.name);
    }
    tooLong("version", JsonGetString(document, "version", ""));
    tooLong("author", Author(document).value_or(""));
    return findings;
}

}  // namespace vandrel::tool
