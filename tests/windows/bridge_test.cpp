// The page's start-up handshake and the extension library, end to end: the real host, the
// scripted runtime and the test extension (tests/extension).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "host_driver.h"

namespace vandrel::testing {
namespace {

using nlohmann::json;

constexpr char kOrigin[] = "https://vandrel.localhost/";
const json kOldRuntime = {{"withhold", {"ICoreWebView2Environment14", "ICoreWebView2_23"}}};

std::string KnownFolder(const KNOWNFOLDERID& id) {
    return Utf8(KnownFolderPath(id));
}

// A host run up to its first navigation, with an optional extension beside it.
class BridgeRun : public RunningHost {
public:
    BridgeRun(const std::string& extension = "", const json& extensionConfig = json::object(),
              const json& runtimeOptions = json::object())
        : RunningHost(R"({"name":"bridge test"})", runtimeOptions, true, [&](AppFolder& folder) {
              if (!extension.empty()) {
                  folder.InstallExtension(extension, extensionConfig);
              }
          }) {}

    // A string message from a page of the app; returns the messages the host posted meanwhile.
    std::vector<json> Send(const std::string& text, const std::string& source = kOrigin) {
        auto entries =
            app.PlayAndWait({{"cmd", "web-message"}, {"source", source}, {"string", text}});
        EXPECT_TRUE(entries.has_value());
        std::vector<json> posted;
        for (const json& e : entries.value_or(std::vector<json>{})) {
            const std::string call = e.value("call", "");
            if (call == "PostWebMessageAsJson" ||
                call == "PostWebMessageAsJsonWithAdditionalObjects") {
                posted.push_back(e);
            }
        }
        return posted;
    }

    std::vector<json> ExtensionCalls(const std::string& call) const {
        std::vector<json> matching;
        for (const json& e : app.ExtensionCalls()) {
            if (e.value("call", "") == call) {
                matching.push_back(e);
            }
        }
        return matching;
    }
};

const std::string kEmptyReply = R"({"registeredComponentIds":[],"type":"wrapper-init-response"})";

TEST(Bridge, WrapperInitGivesThirteenHandlesThenTheReply) {
    BridgeRun run;
    const auto posted = run.Send(R"({"type":"wrapper-init"})");
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0]["call"], "PostWebMessageAsJsonWithAdditionalObjects");
    EXPECT_EQ(posted[0]["json"], R"({"type":"directory-handles"})");
    EXPECT_EQ(posted[1]["call"], "PostWebMessageAsJson");
    EXPECT_EQ(posted[1]["json"], kEmptyReply);

    const json& objects = posted[0]["objects"];
    ASSERT_EQ(objects.size(), 13u);
    const std::string localAppData = KnownFolder(FOLDERID_LocalAppData);
    const std::vector<std::string> expected = {
        Utf8(run.app.Path()),
        Utf8(run.app.Path()) + "www\\",  // the runtime takes fully qualified paths only
        localAppData + "\\bridge test",
        localAppData,
        KnownFolder(FOLDERID_RoamingAppData),
        KnownFolder(FOLDERID_Desktop),
        KnownFolder(FOLDERID_Documents),
        KnownFolder(FOLDERID_Downloads),
        KnownFolder(FOLDERID_Pictures),
        KnownFolder(FOLDERID_Profile),
        KnownFolder(FOLDERID_SavedGames),
        KnownFolder(FOLDERID_Screenshots),
        KnownFolder(FOLDERID_Videos),
    };
    EXPECT_EQ(expected[0].back(), '\\');
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        if (expected[i].empty()) {
            EXPECT_TRUE(objects[i].is_null());  // a folder the platform does not know
            continue;
        }
        ASSERT_TRUE(objects[i].is_object());
        EXPECT_EQ(objects[i]["path"], expected[i]);
        EXPECT_EQ(objects[i]["permission"], 1);  // read-write
    }

    // Twice: the four messages in order.
    const auto again = run.Send(R"({"type":"wrapper-init"})");
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0]["json"], R"({"type":"directory-handles"})");
    EXPECT_EQ(again[1]["json"], kEmptyReply);
    run.Close();
}

TEST(Bridge, AnOldRuntimeGetsOnlyTheReplyAndNoTokens) {
    BridgeRun run("full", {{"componentIds", json::array()}}, kOldRuntime);
    const auto posted = run.Send(R"({"type":"wrapper-init"})");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0]["json"], kEmptyReply);
    for (const char* token : {"<app>", "<documents>", "<web-resource>"}) {
        const auto answer =
            run.Send(json{{"type", "extension-message"}, {"resolve", token}}.dump());
        ASSERT_EQ(answer.size(), 1u);
        EXPECT_EQ(json::parse(answer[0]["json"].get<std::string>())["path"], "") << token;
    }
    run.Close();
}

TEST(Bridge, TheExtensionLivesThroughTheRunInOrder) {
    BridgeRun run("full", {{"componentIds", {"a", "b", "a"}}});
    // "Init" before any window, with the folders; then the new window.
    const auto calls = run.app.ExtensionCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0]["call"], "Init");
    EXPECT_EQ(calls[0]["exeFolder"], Utf8(run.app.Path()));
    EXPECT_EQ(calls[0]["webSubfolder"], "www\\");
    EXPECT_EQ(calls[0]["userDataFolder"], KnownFolder(FOLDERID_LocalAppData) + "\\bridge test");
    EXPECT_EQ(calls[0]["mainWindowExists"], false);
    EXPECT_EQ(calls[1]["call"], "OnMainWindowCreated");
    EXPECT_EQ(calls[1]["window"], reinterpret_cast<uintptr_t>(run.window));
    EXPECT_EQ(calls[1]["className"], true);
    EXPECT_EQ(calls[1]["visible"], false);

    const auto posted = run.Send(R"({"type":"wrapper-init"})");
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1]["json"],
              R"({"registeredComponentIds":["a","b","a"],"type":"wrapper-init-response"})");

    // Every extension message byte for byte; the extension's answers reach the page.
    const std::string text =
        "{\"type\":\"extension-message\", \"reply\":{\"n\":1},\"x\":\"\xC3\xA9\"}";
    const auto answer = run.Send(text);
    const auto received = run.ExtensionCalls("OnExtensionMessage");
    ASSERT_EQ(received.size(), 1u);
    std::string bytes;
    for (const auto& b : received[0]["bytes"]) {
        bytes += static_cast<char>(b.get<int>());
    }
    EXPECT_EQ(bytes, text);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0]["json"], R"({"reply":{"n":1},"type":"extension-reply"})");

    // Tokens resolve to the folders of the last handshake.
    const auto resolved =
        run.Send(json{{"type", "extension-message"}, {"resolve", "<app>"}}.dump());
    ASSERT_EQ(resolved.size(), 1u);
    EXPECT_EQ(json::parse(resolved[0]["json"].get<std::string>())["path"], Utf8(run.app.Path()));
    // Extensions know the web folder by its relative name, whatever the runtime was given.
    const auto web =
        run.Send(json{{"type", "extension-message"}, {"resolve", "<web-resource>"}}.dump());
    ASSERT_EQ(web.size(), 1u);
    EXPECT_EQ(json::parse(web[0]["json"].get<std::string>())["path"], "www\\");
    const auto unknown =
        run.Send(json{{"type", "extension-message"}, {"resolve", "<Documents>"}}.dump());
    EXPECT_EQ(json::parse(unknown[0]["json"].get<std::string>())["path"], "");

    EXPECT_TRUE(run.ExtensionCalls("Release").empty());
    run.Close();
    const auto all = run.app.ExtensionCalls();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back()["call"], "Release");
    EXPECT_EQ(run.ExtensionCalls("Release").size(), 1u);
}

TEST(Bridge, ComponentIdsThatAreNotUtf8StillGetTheReply) {
    BridgeRun run("full", {{"componentIds", {"ok"}}, {"componentIdBytes", {{98, 97, 100, 255}}}});
    const auto posted = run.Send(R"({"type":"wrapper-init"})");
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1]["json"],
              "{\"registeredComponentIds\":[\"ok\",\"bad\xEF\xBF\xBD\"],"
              "\"type\":\"wrapper-init-response\"}");
    run.Close();
}

TEST(Bridge, AnExtensionThatThrowsLosesOnlyThatMessage) {
    BridgeRun run("full", {{"componentIds", json::array()}, {"throwOnMessage", true}});
    EXPECT_TRUE(run.Send(R"({"type":"extension-message","reply":1})").empty());
    EXPECT_EQ(run.ExtensionCalls("OnExtensionMessage").size(), 1u);
    // The host goes on.
    const auto posted = run.Send(R"({"type":"wrapper-init"})");
    EXPECT_EQ(posted.size(), 2u);
    run.Close();
}

TEST(Bridge, ALibraryLackingExportsKeepsTheOnesItHas) {
    {
        BridgeRun run("no-init", {{"componentIds", {"never"}}});
        EXPECT_TRUE(run.ExtensionCalls("Init").empty());
        EXPECT_EQ(run.ExtensionCalls("OnMainWindowCreated").size(), 1u);
        const auto posted = run.Send(R"({"type":"wrapper-init"})");
        ASSERT_EQ(posted.size(), 2u);
        EXPECT_EQ(posted[1]["json"], kEmptyReply);
        run.Send(R"({"type":"extension-message"})");
        EXPECT_EQ(run.ExtensionCalls("OnExtensionMessage").size(), 1u);
        run.Close();
        EXPECT_EQ(run.ExtensionCalls("Release").size(), 1u);
    }
    {
        BridgeRun run("message-only");
        run.Send(R"({"type":"extension-message","n":2})");
        const auto calls = run.app.ExtensionCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0]["call"], "OnExtensionMessage");
        run.Close();
    }
}

TEST(Bridge, APostBeforeThePageExistsIsDropped) {
    BridgeRun run("full",
                  {{"componentIds", json::array()}, {"postDuringInit", R"({"early":true})"}});
    EXPECT_EQ(run.ExtensionCalls("Init").size(), 1u);
    EXPECT_TRUE(run.app.RuntimeCalls("PostWebMessageAsJson").empty());
    run.Close();
}

TEST(Bridge, ForeignNonStringAndMalformedMessagesPostNothing) {
    BridgeRun run("full", {{"componentIds", json::array()}});
    EXPECT_TRUE(run.Send(R"({"type":"wrapper-init"})", "https://example.com/").empty());
    EXPECT_TRUE(run.Send(R"({"type":"wrapper-init"})", "http://vandrel.localhost/").empty());
    EXPECT_TRUE(run.Send(R"({"type":"wrapper-init",})").empty());
    EXPECT_TRUE(run.Send(R"({"type":"Wrapper-Init"})").empty());
    EXPECT_TRUE(run.Send(R"({"type":"extension-message"} // note)").empty());
    auto entries = run.app.PlayAndWait(
        {{"cmd", "web-message"}, {"source", kOrigin}, {"json", R"({"type":"wrapper-init"})"}});
    ASSERT_TRUE(entries.has_value());
    for (const json& e : *entries) {
        EXPECT_NE(e.value("call", ""), "PostWebMessageAsJson");
    }
    EXPECT_TRUE(run.ExtensionCalls("OnExtensionMessage").empty());
    run.Close();
}

}  // namespace
}  // namespace vandrel::testing
