#include "portable/config/config_check.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <tuple>

#include "portable/config/config_keys.h"
#include "portable/util/file_names.h"
#include "portable/util/utf.h"

namespace vandrel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// What a JSON value is, in JSON's own words.
std::string TypeText(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return "null";
        case nlohmann::json::value_t::object:
            return "an object";
        case nlohmann::json::value_t::array:
            return "an array";
        case nlohmann::json::value_t::string:
            return "a string";
        case nlohmann::json::value_t::boolean:
            return "a boolean";
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            return "a number";
        default:
            return "a value of another kind";
    }
}

std::string TypeText(KeyType type) {
    return type == KeyType::Number    ? "a number"
           : type == KeyType::Boolean ? "a boolean (true or false)"
                                      : "a string";
}

// The longest excerpt of a value or name that a finding quotes.
constexpr size_t kLongestExcerpt = 60;

// `text` cut to at most `longest` bytes, at a character boundary, with "..." when it was longer.
std::string Cut(std::string text, size_t longest = kLongestExcerpt) {
    if (text.size() <= longest) {
        return text;
    }
    size_t end = longest - 3;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;  // not inside a UTF-8 sequence
    }
    text.resize(end);
    return text + "...";
}

std::string Dumped(const nlohmann::json& scalar) {
    return scalar.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The start of a value as JSON text, cut short when long. The value is walked with a stack of its
// own that never holds more levels than the excerpt has characters, so no nesting depth of an
// untrusted document can exhaust the program's stack.
std::string Shown(const nlohmann::json& value) {
    struct Level {
        const nlohmann::json* container;
        nlohmann::json::const_iterator next;
    };
    std::vector<Level> levels;
    std::string text;
    const nlohmann::json* current = &value;
    while (text.size() <= kLongestExcerpt) {
        if (current != nullptr) {
            if (current->is_object() || current->is_array()) {
                text += current->is_object() ? '{' : '[';
                levels.push_back({current, current->cbegin()});
            } else {
                text += Dumped(*current);
            }
            current = nullptr;
        }
        if (levels.empty()) {
            break;
        }
        Level& level = levels.back();
        if (level.next == level.container->cend()) {
            text += level.container->is_object() ? '}' : ']';
            levels.pop_back();
            continue;
        }
        if (level.next != level.container->cbegin()) {
            text += ',';
        }
        if (level.container->is_object()) {
            text += Dumped(nlohmann::json(level.next.key())) + ':';
        }
        current = &*level.next;
        ++level.next;
    }
    return Cut(std::move(text));
}

// A text as a JSON string, cut short when long.
std::string Quoted(std::string_view text) {
    return Dumped(nlohmann::json(Cut(std::string(text.substr(0, kLongestExcerpt + 4)))));
}

// "U+202E".
std::string CodePointText(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

std::string ListOf(std::span<const char* const> values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            text += i + 1 == values.size() ? " or " : ", ";
        }
        text += Quoted(values[i]);
    }
    return text;
}

// Lower case without "-", "_" and spaces: "enableDevTools" and "enable_devtools" both match
// "enable-devtools".
std::string Folded(std::string_view text) {
    std::string folded;
    for (const char c : AsciiLowercase(text)) {
        if (c != '-' && c != '_' && c != ' ') {
            folded.push_back(c);
        }
    }
    return folded;
}

// The candidate closest to `text`, when it is close enough to be a likely misspelling.
std::optional<std::string> Nearest(std::string_view text,
                                   const std::vector<std::string>& candidates) {
    constexpr size_t kMostEdits = 2;
    const std::string folded = Folded(text);
    std::optional<std::string> best;
    size_t bestDistance = 0;
    for (const std::string& candidate : candidates) {
        const std::string other = Folded(candidate);
        // Texts whose lengths differ by more edits than allowed are never near: skipping them
        // keeps a long key from costing time in proportion to its length.
        if (folded.size() > other.size() + kMostEdits ||
            other.size() > folded.size() + kMostEdits) {
            continue;
        }
        const size_t distance = EditDistance(folded, other);
        if (!best || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    // Up to two edits, and fewer than a third of the word.
    if (best && bestDistance <= kMostEdits && bestDistance * 3 < std::max<size_t>(folded.size(), 3)) {
        return best;
    }
    return std::nullopt;
}

bool Contains(std::span<const char* const> values, std::string_view text) {
    return std::any_of(values.begin(), values.end(),
                       [&](const char* value) { return text == value; });
}

bool IsTopLevelKeyName(std::string_view name) {
    return std::any_of(kConfigKeys.begin(), kConfigKeys.end(), [&](const ConfigKey* key) {
        return key->section == nullptr && name == key->name;
    });
}

// Where a key of the table with this name lives, other than `exceptSection`.
const ConfigKey* KeyElsewhere(std::string_view name, const char* exceptSection) {
    for (const ConfigKey* key : kConfigKeys) {
        const bool sameSection =
            key->section == exceptSection || (key->section != nullptr && exceptSection != nullptr &&
                                              std::string_view(key->section) == exceptSection);
        if (!sameSection && name == key->name) {
            return key;
        }
    }
    return nullptr;
}

std::string PlaceText(const char* section) {
    return section == nullptr ? "at the top level" : std::string("inside \"") + section + "\"";
}

class Checker {
public:
    Checker(const std::string& text, const std::string& fileName, ConfigCheckResult& result)
        : text_(text), fileName_(fileName), result_(result) {}

    void Run() {
        const size_t zero = text_.find('\0');
        if (zero != std::string::npos) {
            Finding& finding = Add(Severity::Warning, "",
                                   "the file holds a zero byte; the host reads nothing after it",
                                   "save the file as plain UTF-8 text");
            std::tie(finding.line, finding.column) = TextPosition(text_, zero);
        }
        if (!Parse()) {
            return;
        }
        const nlohmann::json& root = *result_.document;
        std::optional<std::string> loaderError;
        try {
            AppConfig config;
            LoadAppConfig(text_, config);
            result_.config = std::move(config);
        } catch (const std::exception& error) {
            loaderError = error.what();
        }

        if (!root.is_object()) {
            Add(Severity::Error, "",
                "the file holds " + TypeText(root) + ", not an object, so the host refuses it",
                "write an object with at least a name: {\"name\": \"My App\"}");
        } else {
            CheckName(root);
            CheckKeys(root);
            CheckUnknownKeys(root);
            CheckVersion(root);
            CheckRemoteMain(root);
            CheckWindowLimits(root);
        }

        // The loader is the judge: a text it refuses must not pass as clean.
        if (loaderError && !HasError()) {
            Add(Severity::Error, "", "the host refuses the file: " + *loaderError,
                "correct the setting named");
        }
    }

private:
    Finding& Add(Severity severity, std::string key, std::string message, std::string advice) {
        Finding finding;
        finding.severity = severity;
        finding.file = fileName_;
        finding.key = std::move(key);
        finding.message = std::move(message);
        finding.advice = std::move(advice);
        result_.findings.push_back(std::move(finding));
        return result_.findings.back();
    }

    bool HasError() const {
        return std::any_of(result_.findings.begin(), result_.findings.end(),
                           [](const Finding& f) { return f.severity == Severity::Error; });
    }

    // Parses as the loader does; a syntax error becomes an error with its line and column.
    bool Parse() {
        try {
            result_.document = nlohmann::json::parse(text_.c_str(), nullptr, true, false);
            return true;
        } catch (const nlohmann::json::parse_error& error) {
            // `byte` counts from 1 and names the character the parser stopped at.
            const size_t offset = error.byte > 0 ? error.byte - 1 : 0;
            std::string what = error.what();
            // "[json.exception.parse_error.101] parse error at line 1, column 8: syntax error
            // while parsing ..." keeps its explanation; the position is given in our own terms.
            const size_t colon = what.find(": ");
            if (colon != std::string::npos) {
                what = what.substr(colon + 2);
            }
            what = Cut(std::move(what), 200);  // it quotes what was read, which may be long
            Finding& finding = Add(Severity::Error, "", "invalid JSON: " + what,
                                   "fix the JSON there (no comments, no trailing commas, names "
                                   "and strings in double quotes); the host refuses the file");
            std::tie(finding.line, finding.column) = TextPosition(text_, offset);
        } catch (const nlohmann::json::exception& error) {
            // A number beyond the range of a double: the message quotes it.
            std::string what = error.what();
            std::string number;
            const size_t open = what.find('\'');
            const size_t close = what.rfind('\'');
            if (open != std::string::npos && close > open) {
                number = what.substr(open + 1, close - open - 1);
            }
            Finding& finding = Add(Severity::Error, "",
                                   "invalid JSON: the number " + number + " is too large to read",
                                   "write a smaller number; the host refuses the file");
            const size_t at = number.empty() ? std::string::npos : text_.find(number);
            if (at != std::string::npos) {
                std::tie(finding.line, finding.column) = TextPosition(text_, at);
            }
        }
        return false;
    }

    void CheckName(const nlohmann::json& root) {
        constexpr const char* kWhy =
            "give the app a name: it names the folder under %LOCALAPPDATA% that keeps its "
            "storage";
        const auto it = root.find("name");
        if (it == root.end()) {
            Add(Severity::Error, "name", "the name is missing, so the host refuses to start", kWhy);
            return;
        }
        if (!it->is_string()) {
            Add(Severity::Error, "name",
                "the name is " + TypeText(*it) + ", not a string, so the host refuses to start",
                kWhy);
            return;
        }
        const std::string& name = it->get_ref<const std::string&>();
        if (name.empty()) {
            Add(Severity::Error, "name", "the name is empty, so the host refuses to start", kWhy);
            return;
        }
        for (const char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
                Add(Severity::Error, "name",
                    "the name " + Quoted(name) +
                        " holds a character Windows does not allow in folder names, so the "
                        "browser view cannot keep its data and fails to start",
                    "leave out < > : \" | ? * and control characters");
                return;
            }
        }
        if (const std::optional<char32_t> disguise = FirstDisguise(name)) {
            Add(Severity::Warning, "name",
                "the name " + Quoted(name) + " holds the invisible character " +
                    CodePointText(*disguise) +
                    ", which changes how the text around it is shown, so the executable's and "
                    "the data folder's names can look like something they are not",
                "leave it out");
        }
        CheckNameSegments(name);
    }

    // The name is a folder path under %LOCALAPPDATA%, a backslash between folders: each folder
    // name must be one Windows can create as it is written.
    void CheckNameSegments(const std::string& name) {
        constexpr size_t kLongestSegment = 255;  // UTF-16 units, as NTFS counts them
        for (size_t start = 0; start <= name.size();) {
            const size_t end = std::min(name.find('\\', start), name.size());
            const std::string segment = name.substr(start, end - start);
            start = end + 1;
            const std::string shown = Quoted(segment);
            switch (WindowsNameFault(segment)) {
                case NameFault::Empty:
                    Add(Severity::Warning, "name",
                        "the name " + Quoted(name) +
                            " has an empty folder name before or after a backslash",
                        "write folder names between single backslashes, such as "
                        "\"Studio\\\\Game\"");
                    return;
                case NameFault::DotsOnly:
                    Add(Severity::Error, "name",
                        "the name " + Quoted(name) + " holds the folder name " + shown +
                            ", so the browser view keeps its data outside a folder of the "
                            "app's own, beside other apps' data",
                        "give the app a name of letters or digits");
                    return;
                case NameFault::TrailingDotOrSpace:
                    Add(Severity::Warning, "name",
                        "the folder name " + shown +
                            " ends in a dot or space, which Windows drops, so the data folder "
                            "gets another name, shared with any app of that name",
                        "leave out the dot or space at the end");
                    return;
                case NameFault::DeviceName:
                    Add(Severity::Error, "name",
                        "the folder name " + shown +
                            " is a reserved device name on Windows, so the data folder cannot be "
                            "made and the browser view fails to start",
                        "choose another name, such as " + Quoted(segment + " App"));
                    return;
                default:
                    break;
            }
            if (Utf16Length(segment) > kLongestSegment) {
                Add(Severity::Error, "name",
                    "the folder name " + shown + " is longer than the 255 characters Windows "
                                                 "allows, so the data folder cannot be made",
                    "shorten the name");
                return;
            }
        }
    }

    // Types, mode values and sizes of every key in the table.
    void CheckKeys(const nlohmann::json& root) {
        for (const char* section : kConfigSections) {
            const auto it = root.find(section);
            if (it != root.end() && !it->is_object()) {
                Add(Severity::Warning, section,
                    std::string("\"") + section + "\" is " + TypeText(*it) +
                        ", not an object, so every setting in it takes its default",
                    std::string("write an object: \"") + section + "\": { ... }");
            }
        }
        for (const ConfigKey* key : kConfigKeys) {
            if (key == &keys::kName) {
                continue;  // checked on its own: an error, not a warning
            }
            const nlohmann::json* container = KeyContainer(root, *key);
            if (container == nullptr || !container->is_object()) {
                continue;
            }
            const auto it = container->find(key->name);
            if (it == container->end()) {
                continue;
            }
            if (!HasType(*it, key->type)) {
                WrongType(*key, *it);
            } else if (key->IsMode()) {
                CheckMode(*key, it->get_ref<const std::string&>());
            } else if (key == &keys::kWidth || key == &keys::kHeight) {
                CheckSize(*key, *it);
            } else if (IsLimit(*key)) {
                CheckLimit(*key, *it);
            } else if (key == &keys::kBackgroundColor &&
                       !ParseColor(it->get_ref<const std::string&>())) {
                Add(Severity::Warning, key->Path(),
                    key->Path() + " is " + Shown(*it) +
                        ", not a colour, so the window keeps its usual white",
                    "write the colour as \"#RRGGBB\" in hexadecimal, such as \"#000000\" "
                    "for black");
            }
        }
    }

    // A window size must be a whole pixel or more; the host cuts fractions off and keeps only
    // the low 32 bits of larger integers.
    void CheckSize(const ConfigKey& key, const nlohmann::json& value) {
        const double number = value.get<double>();
        if (number >= 1 && number <= 2147483647.0) {
            return;
        }
        const std::string problem =
            number < 1 ? "so the window has no room for the page"
                       : "which the host cannot use (it reads " +
                             std::to_string(ReadConfigNumber(
                                 nlohmann::json{{key.section, {{key.name, value}}}}, key)) +
                             ")";
        Add(Severity::Warning, key.Path(),
            std::string("the window ") + key.name + " is " + Shown(value) + ", " + problem,
            "give a size in pixels from 1 up (the default is " + std::to_string(key.defaultNumber) +
                ")");
    }

    static bool IsLimit(const ConfigKey& key) {
        return &key == &keys::kMinWidth || &key == &keys::kMinHeight || &key == &keys::kMaxWidth ||
               &key == &keys::kMaxHeight;
    }

    // A size limit is a whole pixel or more, or 0 for none.
    void CheckLimit(const ConfigKey& key, const nlohmann::json& value) {
        const double number = value.get<double>();
        if (number == 0 || (number >= 1 && number <= 2147483647.0)) {
            return;
        }
        Add(Severity::Warning, key.Path(),
            key.Path() + " is " + Shown(value) + ", so the window has no such limit",
            "give a size in pixels from 1 up, or leave the key out");
    }

    // A minimum above its maximum, and a maximised window that cannot be resized.
    void CheckWindowLimits(const nlohmann::json& root) {
        const auto limit = [&root](const ConfigKey& key) {
            const nlohmann::json* window = KeyContainer(root, key);
            if (window == nullptr || !window->is_object() || !window->contains(key.name) ||
                !(*window)[key.name].is_number()) {
                return nlohmann::json(0);
            }
            return (*window)[key.name];
        };
        const std::pair<const ConfigKey*, const ConfigKey*> pairs[] = {
            {&keys::kMinWidth, &keys::kMaxWidth}, {&keys::kMinHeight, &keys::kMaxHeight}};
        for (const auto& [minKey, maxKey] : pairs) {
            const nlohmann::json min = limit(*minKey);
            const nlohmann::json max = limit(*maxKey);
            if (min.get<double>() >= 1 && max.get<double>() >= 1 &&
                ReadConfigNumber(root, *minKey) > ReadConfigNumber(root, *maxKey)) {
                Add(Severity::Error, minKey->Path(),
                    minKey->Path() + " (" + Shown(min) + ") is above " + maxKey->Path() + " (" +
                        Shown(max) + "), so the host ignores both",
                    "make the minimum the smaller of the two");
            }
        }
        if (ReadConfigBool(root, keys::kMaximized) && !ReadConfigBool(root, keys::kResizable)) {
            Add(Severity::Warning, keys::kMaximized.Path(),
                "window.maximized is true but window.resizable is false, so the window opens at "
                "its fixed size",
                "make the window resizable, or leave window.maximized out");
        }
    }

    static bool HasType(const nlohmann::json& value, KeyType type) {
        switch (type) {
            case KeyType::Number:
                return value.is_number();
            case KeyType::Boolean:
                return value.is_boolean();
            case KeyType::String:
                break;
        }
        return value.is_string();
    }

    void WrongType(const ConfigKey& key, const nlohmann::json& value) {
        std::string advice = "write " + TypeText(key.type) + ", or leave the key out";
        if (value.is_string()) {
            const std::string& text = value.get_ref<const std::string&>();
            if (key.type == KeyType::Boolean && (text == "true" || text == "false")) {
                advice = "write " + text + " without quotes";
            } else if (key.type == KeyType::Number) {
                try {
                    const nlohmann::json number = nlohmann::json::parse(text);
                    if (number.is_number()) {
                        advice = "write " + text + " without quotes";
                    }
                } catch (const nlohmann::json::exception&) {
                }
            }
        } else if (key.type == KeyType::String && (value.is_number() || value.is_boolean())) {
            advice = "write it in double quotes: " + Quoted(value.dump());
        }
        Add(Severity::Warning, key.Path(),
            key.Path() + " is " + TypeText(value) + " (" + Shown(value) + "), not " +
                TypeText(key.type) + ", so the host uses the default " + Shown(key.Default()),
            advice);
    }

    void CheckMode(const ConfigKey& key, const std::string& value) {
        if (Contains(key.allowed, value)) {
            return;
        }
        std::string advice = "use " + ListOf(key.allowed);
        const bool refused = key.invalidError != nullptr;
        std::string message =
            Quoted(value) + " is not a value of " + key.Path() +
            (refused ? ", so the host refuses to start"
                     : ", so the host uses " + Quoted(key.allowed[0]));
        for (const char* allowed : key.allowed) {
            if (AsciiLowercase(value) == AsciiLowercase(allowed)) {
                message += " (values are case-sensitive)";
                advice = std::string("write ") + Quoted(allowed);
                break;
            }
        }
        if (advice.rfind("use ", 0) == 0) {
            std::vector<std::string> candidates(key.allowed.begin(), key.allowed.end());
            if (const auto nearest = Nearest(value, candidates)) {
                advice =
                    "did you mean " + Quoted(*nearest) + "? The values are " + ListOf(key.allowed);
            }
        }
        Add(refused ? Severity::Error : Severity::Warning, key.Path(), message, advice);
    }

    void CheckUnknownKeys(const nlohmann::json& root) {
        std::vector<std::string> topLevel;
        for (const ConfigKey* key : kConfigKeys) {
            if (key->section == nullptr) {
                topLevel.push_back(key->name);
            }
        }
        topLevel.insert(topLevel.end(), kConfigSections.begin(), kConfigSections.end());
        for (const auto& [name, value] : root.items()) {
            if (IsTopLevelKeyName(name) || Contains(kConfigSections, name) ||
                Contains(kForeignTopLevelKeys, name)) {
                continue;
            }
            std::vector<std::string> candidates = topLevel;
            candidates.insert(candidates.end(), kForeignTopLevelKeys.begin(),
                              kForeignTopLevelKeys.end());
            Unknown(nullptr, name, candidates);
        }
        for (const char* section : kConfigSections) {
            const auto it = root.find(section);
            if (it == root.end() || !it->is_object()) {
                continue;
            }
            std::vector<std::string> known;
            for (const ConfigKey* key : kConfigKeys) {
                if (key->section != nullptr && std::string_view(key->section) == section) {
                    known.push_back(key->name);
                }
            }
            for (const auto& [name, value] : it->items()) {
                if (std::find(known.begin(), known.end(), name) == known.end()) {
                    Unknown(section, name, known);
                }
            }
        }
    }

    void Unknown(const char* section, const std::string& name,
                 const std::vector<std::string>& candidates) {
        const std::string path = section == nullptr ? name : std::string(section) + "." + name;
        if (const ConfigKey* key = KeyElsewhere(name, section)) {
            const std::string where = PlaceText(key->section);
            Add(Severity::Warning, path,
                Quoted(name) + " belongs " + where + ", not " + PlaceText(section) +
                    "; the host ignores it here",
                "move it " + (key->section == nullptr ? std::string("to the top level") : where));
            return;
        }
        std::string advice = "remove it, or correct its name";
        if (const auto nearest = Nearest(name, candidates)) {
            advice = "did you mean " + Quoted(*nearest) + "?";
        }
        Add(Severity::Warning, path,
            "unknown key " + Quoted(name) + " " + PlaceText(section) + "; the host ignores it",
            advice);
    }

    // "version" is npm's, and `vandrel build` puts it into the executable's version resource.
    void CheckVersion(const nlohmann::json& root) {
        const auto it = root.find("version");
        if (it == root.end()) {
            return;
        }
        if (!it->is_string()) {
            Add(Severity::Warning, "version",
                "version is " + TypeText(*it) +
                    ", not a string, so vandrel build leaves the host's own version in the "
                    "executable",
                "write the version in double quotes, such as \"1.0.0\"");
        } else if (!ParseVersionNumbers(it->get_ref<const std::string&>())) {
            Add(Severity::Warning, "version",
                "version " + Shown(*it) +
                    " does not start with numbers such as 1.2.3, so the executable's numeric "
                    "file version stays 0.0.0.0",
                "use up to four numbers from 0 to 65535 separated by dots, such as \"1.2.3\"");
        }
    }

    // In remote mode the start page is opened as it is written: it must be a whole address.
    void CheckRemoteMain(const nlohmann::json& root) {
        const ConfigKey& mode = keys::kContentMode;
        if (ReadConfigString(root, mode) != mode.allowed[1]) {
            return;
        }
        const std::string main = ReadConfigString(root, keys::kMain);
        const size_t colon = main.find("://");
        bool scheme = colon != std::string::npos && colon > 0;
        for (size_t i = 0; scheme && i < colon; ++i) {
            const char c = main[i];
            scheme = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                     (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        }
        if (!scheme) {
            Add(Severity::Error, "main",
                "the content mode is \"remote\", which opens main as a web address, but main "
                "is " +
                    Quoted(main) + ", so no page can be shown",
                "set main to the page's full address, such as \"https://example.com/\"");
        }
    }

    const std::string& text_;
    const std::string& fileName_;
    ConfigCheckResult& result_;
};

}  // namespace

ConfigCheckResult CheckAppConfig(const std::string& text, const std::string& fileName) {
    ConfigCheckResult result;
    Checker(text, fileName, result).Run();
    return result;
}

std::pair<int, int> TextPosition(std::string_view text, size_t offset) {
    offset = std::min(offset, text.size());
    size_t lineStart =
        text.substr(0, kByteOrderMark.size()) == kByteOrderMark && offset >= kByteOrderMark.size()
            ? kByteOrderMark.size()
            : 0;
    int line = 1;
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    int column = 1;
    for (size_t i = lineStart; i < offset; ++i) {
        // Every byte but a UTF-8 continuation byte starts a character.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

std::optional<std::array<uint16_t, 4>> ParseVersionNumbers(std::string_view text) {
    std::array<uint16_t, 4> numbers{};
    size_t at = 0;
    for (size_t part = 0; part < numbers.size(); ++part) {
        const size_t start = at;
        uint32_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6) {
            value = value * 10 + static_cast<uint32_t>(text[at] - '0');
            ++at;
        }
        const size_t digits = at - start;
        if (digits == 0 || value > 0xFFFF || (digits > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        numbers[part] = static_cast<uint16_t>(value);
        if (at < text.size() && text[at] == '.' && part + 1 < numbers.size()) {
            ++at;
            continue;
        }
        break;
    }
    if (at < text.size() && text[at] != '-' && text[at] != '+') {
        return std::nullopt;
    }
    return numbers;
}

std::string AsciiLowercase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

size_t EditDistance(std::string_view a, std::string_view b) {
    // Rows i-2, i-1 and i of the table of distances between prefixes.
    std::vector<size_t> before(b.size() + 1);
    std::vector<size_t> previous(b.size() + 1);
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        previous[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                row[j] = std::min(row[j], before[j - 2] + 1);  // two letters swapped
            }
        }
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return previous[b.size()];
}

}  // namespace vandrel
