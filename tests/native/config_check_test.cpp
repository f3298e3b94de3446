#include "portable/config/config_check.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "portable/config/config_keys.h"

namespace vandrel {
namespace {

using namespace std::string_literals;

struct Expected {
    Severity severity;
    std::string key;
    std::string fragment;  // must occur in the message or the advice
};

std::string Describe(const std::vector<Finding>& findings) {
    std::string text;
    for (const Finding& f : findings) {
        text += (f.severity == Severity::Error ? "error " : "warning ") + f.key + ": " + f.message +
                " | " + f.advice + "\n";
    }
    return text;
}

TEST(ConfigCheckTest, FindingsNameTheKeyAndWhatToDo) {
    const Severity E = Severity::Error;
    const Severity W = Severity::Warning;
    struct Case {
        std::string text;
        std::vector<Expected> expected;
    } const cases[] = {
        {R"({"name":"x"})", {}},
        {R"({"name":"x","version":"1.2.3","description":"d","$schema":"s.json","scripts":{},
            "main":"index.html","window":{"title":"T","width":800,"height":600.5,"icon":"i.png",
            "resizable":false},"settings":{"distribution-mode":"fixed",
            "hosting-mode":"window-to-visual","content-mode":"bundle","enable-devtools":false},
            "messages":{"install-webview2":"a","downloading":"b","install-webview2-failed":"c"}})",
         {}},
        // Errors: what the host refuses.
        {R"({"name":""})", {{E, "name", "the name is empty"}}},
        {R"({})", {{E, "name", "the name is missing"}}},
        {R"({"name":5})", {{E, "name", "a number, not a string"}}},
        {R"([{"name":"x"}])", {{E, "", "holds an array, not an object"}}},
        {R"({"name":"Castle: Run"})", {{E, "name", "does not allow in folder names"}}},
        {R"({"name":"x","settings":{"content-mode":"Bundle"}})",
         {{E, "settings.content-mode", "values are case-sensitive"},
          {E, "settings.content-mode", "write \"bundle\""}}},
        {R"({"name":"x","settings":{"distribution-mode":"fixd"}})",
         {{E, "settings.distribution-mode", "did you mean \"fixed\""}}},
        {R"({"name":"x","settings":{"hosting-mode":"other"}})",
         {{E, "settings.hosting-mode", "use \"windowed\" or \"window-to-visual\""}}},
        {R"({"name":"","settings":{"hosting-mode":"x","content-mode":"y"}})",
         {{E, "name", "empty"},
          {E, "settings.hosting-mode", "not a value"},
          {E, "settings.content-mode", "not a value"}}},
        {R"({"name":"x","settings":{"content-mode":"remote"}})",
         {{E, "main", "but main is \"index.html\""}}},
        {R"({"name":"x","main":"example.com","settings":{"content-mode":"remote"}})",
         {{E, "main", "full address"}}},
        {R"({"name":"x","main":"https://example.com/","settings":{"content-mode":"remote"}})", {}},
        // Warnings: values of the wrong type take the default.
        {R"({"name":"x","window":{"width":"800"}})",
         {{W, "window.width",
           "a string (\"800\"), not a number, so the host uses the default 1024"},
          {W, "window.width", "write 800 without quotes"}}},
        {R"({"name":"x","window":{"resizable":"false"}})",
         {{W, "window.resizable", "default true"}, {W, "window.resizable", "write false without"}}},
        {R"({"name":"x","window":{"resizable":0}})",
         {{W, "window.resizable", "a number (0), not a boolean"}}},
        {R"({"name":"x","window":{"title":5}})",
         {{W, "window.title", "default \"Windows WebView2 wrapper\""},
          {W, "window.title", "double quotes: \"5\""}}},
        {R"({"name":"x","settings":{"content-mode":1}})",
         {{W, "settings.content-mode", "default \"bundle\""}}},
        {R"({"name":"x","main":null})", {{W, "main", "null (null), not a string"}}},
        {R"({"name":"x","window":5})", {{W, "window", "not an object, so every setting"}}},
        {R"({"name":"x","messages":[]})", {{W, "messages", "an array, not an object"}}},
        // Unknown and misplaced keys.
        {R"({"name":"x","window":{"resizeable":false}})",
         {{W, "window.resizeable", "did you mean \"resizable\"?"}}},
        {R"({"name":"x","settings":{"enableDevTools":false}})",
         {{W, "settings.enableDevTools", "did you mean \"enable-devtools\"?"}}},
        {R"({"name":"x","window":{"chromium-args":"--a"}})",
         {{W, "window.chromium-args", "belongs at the top level, not inside \"window\""},
          {W, "window.chromium-args", "move it to the top level"}}},
        {R"({"name":"x","title":"T"})", {{W, "title", "belongs inside \"window\""}}},
        {R"({"name":"x","settings":{"title":"T"}})",
         {{W, "settings.title", "move it inside \"window\""}}},
        {R"({"name":"x","nmae":"y"})", {{W, "nmae", "did you mean \"name\"?"}}},
        {R"({"name":"x","verison":"1.0.0"})", {{W, "verison", "did you mean \"version\"?"}}},
        {R"({"name":"x","fullscreen":true})",
         {{W, "fullscreen", "belongs inside \"window\""}, {W, "fullscreen", "move it inside"}}},
        {R"({"name":"x","kiosk":true})",
         {{W, "kiosk", "unknown key \"kiosk\" at the top level"}, {W, "kiosk", "remove it"}}},
        // Window limits, position and state.
        {R"({"name":"x","window":{"min-width":900,"max-width":800}})",
         {{E, "window.min-width", "(900) is above window.max-width (800), so the host ignores both"},
          {E, "window.min-width", "make the minimum the smaller"}}},
        {R"({"name":"x","window":{"min-height":0.5}})",
         {{W, "window.min-height", "so the window has no such limit"}}},
        {R"({"name":"x","window":{"position":"centre"}})",
         {{W, "window.position", "so the host uses \"default\""},
          {W, "window.position", "did you mean \"center\"?"}}},
        {R"({"name":"x","window":{"maximized":true,"resizable":false}})",
         {{W, "window.maximized", "opens at its fixed size"}}},
        // Sizes.
        {R"({"name":"x","window":{"width":0}})", {{W, "window.width", "is 0, so the window"}}},
        {R"({"name":"x","window":{"height":-5}})", {{W, "window.height", "default is 768"}}},
        {R"({"name":"x","window":{"width":0.5}})", {{W, "window.width", "no room"}}},
        {R"({"name":"x","window":{"width":4294967296}})", {{W, "window.width", "it reads 0"}}},
        {R"({"name":"x","window":{"width":1.5,"height":2147483647}})", {}},
        // The version vandrel build writes into the executable.
        {R"({"name":"x","version":1})", {{W, "version", "not a string"}}},
        {R"({"name":"x","version":"v1.0"})", {{W, "version", "stays 0.0.0.0"}}},
        {R"({"name":"x","version":"2.0.0-beta.1+exp"})", {}},
        // Names Windows cannot take for the data folder as they are written.
        {R"({"name":"CON"})", {{E, "name", "\"CON\" is a reserved device name"}}},
        {R"({"name":"Studio\\lpt1.x"})", {{E, "name", "reserved device name"}}},
        {R"({"name":"Game."})", {{W, "name", "ends in a dot or space"}}},
        {R"({"name":".."})", {{E, "name", "outside a folder of the app's own"}}},
        {R"({"name":"Studio\\\\Game"})", {{W, "name", "empty folder name"}}},
        {R"({"name":"Studio\\Game"})", {}},
        {"{\"name\":\"" + std::string(256, 'n') + "\"}", {{E, "name", "255 characters"}}},
        {"{\"name\":\"" + std::string(255, 'n') + "\"}", {}},
        {R"({"name":"Game\u202egpj.exe"})", {{W, "name", "invisible character U+202E"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ConfigCheckResult result = CheckAppConfig(c.text);
        // Two expectations on the same key describe one finding.
        std::set<std::pair<Severity, std::string>> distinct;
        for (const Expected& e : c.expected) {
            distinct.insert({e.severity, e.key});
        }
        ASSERT_EQ(result.findings.size(), distinct.size()) << Describe(result.findings);
        for (const Expected& e : c.expected) {
            bool found = false;
            for (const Finding& f : result.findings) {
                found |= f.severity == e.severity && f.key == e.key &&
                         (f.message + " | " + f.advice).find(e.fragment) != std::string::npos;
                EXPECT_EQ(f.file, "package.json");
                EXPECT_FALSE(f.advice.empty());
            }
            EXPECT_TRUE(found) << e.key << ": " << e.fragment << "\n" << Describe(result.findings);
        }
    }
}

// Documents made to hurt the checker: values nested far deeper than any stack allows, and keys
// long enough to make a quadratic search take seconds. Findings quote a short excerpt of each.
TEST(ConfigCheckTest, HostileDocumentsGiveShortFindings) {
    const std::string deep = std::string(20000, '[') + std::string(20000, ']');
    const std::string deepObject = [] {
        std::string text;
        for (int i = 0; i < 20000; ++i) {
            text += "{\"a\":";
        }
        return text + "1" + std::string(20000, '}');
    }();
    const std::string longKey(100000, 'k');
    struct Case {
        std::string text;
        std::string key;
        std::string fragment;
    } const cases[] = {
        {R"({"name":"x","window":{"title":)" + deep + "}}", "window.title",
         "an array ([[[[[[[["},
        {R"({"name":"x","window":{"width":)" + deepObject + "}}", "window.width",
         R"(an object ({"a":{"a":{)"},
        {R"({"name":"x",")" + longKey + R"(":1})", longKey, "unknown key \"kkkkkk"},
        {R"({"name":"x","window":{"resizeable":)" + deep + "}}", "window.resizeable",
         "did you mean \"resizable\"?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fragment);
        const ConfigCheckResult result = CheckAppConfig(c.text);
        ASSERT_EQ(result.findings.size(), 1u) << Describe(result.findings).substr(0, 500);
        const Finding& finding = result.findings[0];
        EXPECT_EQ(finding.key, c.key);
        EXPECT_NE((finding.message + " | " + finding.advice).find(c.fragment), std::string::npos)
            << finding.message.substr(0, 500);
        EXPECT_LT(finding.message.size() + finding.advice.size(), 400u);
    }
}

TEST(ConfigCheckTest, SyntaxErrorsGiveLineAndColumn) {
    struct Case {
        std::string text;
        int line;
        int column;
        const char* fragment;
    } const cases[] = {
        {R"({"name":"x",})", 1, 13, "unexpected '}'"},
        {"\xEF\xBB\xBF{\"name\":\"x\",}", 1, 13, "unexpected '}'"},
        {"{\n  \"name\": x\n}", 2, 11, "invalid literal"},
        {"{\r\n  \"name\": \"x\"\r\n  \"main\": \"y\"\r\n}", 3, 8, "expected '}'"},
        {"{\"name\":\"\xC3\xA9\xE2\x82\xAC\",}", 1, 14, "unexpected '}'"},
        {"", 1, 1, "unexpected end of input"},
        {"{\"name\":\"x\"", 1, 12, "unexpected end of input"},
        {"{\"name\":\"x\"} // comment", 1, 14, "invalid literal"},
        {"{\"name\":\"x\",\n\"window\":{\"width\":1e400}}", 2, 19, "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ConfigCheckResult result = CheckAppConfig(c.text);
        ASSERT_EQ(result.findings.size(), 1u) << Describe(result.findings);
        const Finding& f = result.findings[0];
        EXPECT_EQ(f.severity, Severity::Error);
        EXPECT_EQ(f.line, c.line);
        EXPECT_EQ(f.column, c.column);
        EXPECT_NE(f.message.find(c.fragment), std::string::npos) << f.message;
        EXPECT_EQ(f.message.find("json.exception"), std::string::npos) << f.message;
        EXPECT_FALSE(result.document);
        EXPECT_FALSE(result.config);
    }
}

TEST(ConfigCheckTest, ZeroByteIsNamedWhereItIs) {
    const ConfigCheckResult result = CheckAppConfig("{\"name\":\"x\"}\n \0{"s);
    ASSERT_EQ(result.findings.size(), 1u) << Describe(result.findings);
    EXPECT_EQ(result.findings[0].severity, Severity::Warning);
    EXPECT_EQ(result.findings[0].line, 2);
    EXPECT_EQ(result.findings[0].column, 2);
    EXPECT_TRUE(result.config);
}

// The checker and the loader judge alike: the loader refuses a text exactly when the checker has
// no configuration for it, and then the checker reports an error.
TEST(ConfigCheckTest, AnErrorWheneverTheLoaderRefuses) {
    const std::string texts[] = {
        R"({"name":"x"})",
        R"({"name":""})",
        R"([])",
        R"("x")",
        R"(null)",
        R"({"Name":"x"})",
        R"({"name":["x"]})",
        R"({"name":"b","name":""})",
        R"({"name":"","name":"b"})",
        R"({"name":"x","settings":{"content-mode":"remote","content-mode":"R"}})",
        R"({"name":"x","settings":{"distribution-mode":"EVERGREEN"}})",
        R"({"name":"x","settings":{"hosting-mode":""}})",
        R"({"name":"x","settings":{"content-mode":"remote\u0000"}})",
        R"({"name":"x","settings":{"content-mode":7}})",
        R"({"name":"x","settings":"fixed"})",
        R"({"name":"x","window":{"width":"800"},"settings":{"enable-devtools":0}})",
        R"({"name":"x"} {"name":"y"})",
        R"({'name':'x'})",
        "\xEF\xBB\xBF\xEF\xBB\xBF{\"name\":\"x\"}",
        "{\"name\":\"\xFF\"}",
        "{\"name\":\"x\"\0}"s,
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        bool refused = false;
        AppConfig loaded;
        try {
            LoadAppConfig(text, loaded);
        } catch (...) {
            refused = true;
        }
        const ConfigCheckResult result = CheckAppConfig(text);
        EXPECT_EQ(!result.config.has_value(), refused);
        bool error = false;
        for (const Finding& f : result.findings) {
            error |= f.severity == Severity::Error;
        }
        if (refused) {
            EXPECT_TRUE(error) << Describe(result.findings);
        } else {
            EXPECT_EQ(result.config->name, loaded.name);
            EXPECT_EQ(result.config->width, loaded.width);
            EXPECT_EQ(result.config->contentMode, loaded.contentMode);
        }
    }
}

TEST(ConfigCheckTest, TextPositionCountsCharactersNotBytes) {
    struct Case {
        std::string text;
        size_t offset;
        int line;
        int column;
    } const cases[] = {
        {"abc", 0, 1, 1},
        {"abc", 2, 1, 3},
        {"abc", 99, 1, 4},
        {"a\nbc", 2, 2, 1},
        {"a\nbc", 1, 1, 2},
        {"\xC3\xA9x", 2, 1, 2},
        {"\xEF\xBB\xBFx", 3, 1, 1},
        {"\xEF\xBB\xBFx\ny", 5, 2, 1},
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80z", 8, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TextPosition(c.text, c.offset), std::make_pair(c.line, c.column));
    }
}

TEST(ConfigCheckTest, VersionNumbers) {
    using V = std::array<uint16_t, 4>;
    struct Case {
        const char* text;
        std::optional<V> numbers;
    } const cases[] = {
        {"1", V{1, 0, 0, 0}},
        {"1.2.3", V{1, 2, 3, 0}},
        {"1.2.3.4", V{1, 2, 3, 4}},
        {"0.1.0", V{0, 1, 0, 0}},
        {"65535.0", V{65535, 0, 0, 0}},
        {"2.0.1-beta.3", V{2, 0, 1, 0}},
        {"2.0.1+build.7", V{2, 0, 1, 0}},
        {"65536", std::nullopt},
        {"1234567", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"01.2", std::nullopt},
        {"v1.2", std::nullopt},
        {"1.", std::nullopt},
        {"1..2", std::nullopt},
        {"", std::nullopt},
        {"1.2 beta", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseVersionNumbers(c.text), c.numbers);
    }
}

TEST(ConfigCheckTest, EditDistance) {
    struct Case {
        const char* a;
        const char* b;
        size_t distance;
    } const cases[] = {
        {"", "", 0},
        {"abc", "abc", 0},
        {"", "abc", 3},
        {"resizeable", "resizable", 1},
        {"nmae", "name", 1},
        {"abcd", "badc", 2},
        {"kitten", "sitting", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(EditDistance(c.a, c.b), c.distance);
        EXPECT_EQ(EditDistance(c.b, c.a), c.distance);
    }
}

// The JSON Schema in schema/ describes exactly the keys of the table, with their types, defaults
// and allowed values.
TEST(ConfigCheckTest, SchemaDescribesEveryKeyOfTheTable) {
    std::ifstream in(VANDREL_SCHEMA_PATH);
    ASSERT_TRUE(in.good()) << VANDREL_SCHEMA_PATH;
    const nlohmann::json schema = nlohmann::json::parse(in);
    EXPECT_EQ(schema.at("$schema"), "https://json-schema.org/draft/2020-12/schema");
    EXPECT_EQ(schema.at("required"), nlohmann::json::array({"name"}));

    const auto typeName = [](KeyType type) {
        return type == KeyType::String ? "string" : type == KeyType::Number ? "number" : "boolean";
    };
    std::set<std::string> topLevel;
    std::map<std::string, std::set<std::string>> sections;
    for (const ConfigKey* key : kConfigKeys) {
        SCOPED_TRACE(key->Path());
        const nlohmann::json& place =
            key->section == nullptr ? schema : schema.at("properties").at(key->section);
        const nlohmann::json& property = place.at("properties").at(key->name);
        EXPECT_EQ(property.at("type"), typeName(key->type));
        if (key != &keys::kName) {
            EXPECT_EQ(property.at("default"), key->Default());
        }
        if (key->IsMode()) {
            EXPECT_EQ(property.at("enum"), nlohmann::json(std::vector<std::string>(
                                               key->allowed.begin(), key->allowed.end())));
        } else {
            EXPECT_FALSE(property.contains("enum"));
        }
        if (key->section == nullptr) {
            topLevel.insert(key->name);
        } else {
            sections[key->section].insert(key->name);
        }
    }
    for (const char* section : kConfigSections) {
        SCOPED_TRACE(section);
        const nlohmann::json& place = schema.at("properties").at(section);
        EXPECT_EQ(place.at("type"), "object");
        EXPECT_EQ(place.at("additionalProperties"), false);
        std::set<std::string> names;
        for (const auto& [name, value] : place.at("properties").items()) {
            names.insert(name);
        }
        EXPECT_EQ(names, sections[section]);
        topLevel.insert(section);
    }
    topLevel.insert(kForeignTopLevelKeys.begin(), kForeignTopLevelKeys.end());
    std::set<std::string> names;
    for (const auto& [name, value] : schema.at("properties").items()) {
        names.insert(name);
    }
    EXPECT_EQ(names, topLevel);
    EXPECT_EQ(schema.at("additionalProperties"), false);
}

}  // namespace
}  // namespace vandrel
