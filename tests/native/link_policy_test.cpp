#include "portable/webview/link_policy.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(LinkPolicy, OnlyWebAndMailAddressesGoToTheShell) {
    struct Case {
        const char* uri;
        bool allowed;
    };
    const Case cases[] = {
        {"https://example.com/", true},
        {"http://example.com/page?q=1", true},
        {"HTTPS://EXAMPLE.COM", true},
        {"mailto:someone@example.com", true},
        {"MailTo:someone@example.com", true},
        {"file:///C:/Windows/System32/calc.exe", false},
        {"file://server/share/tool.exe", false},
        {"\\\\server\\share\\tool.exe", false},
        {"C:\\Windows\\System32\\calc.exe", false},
        {"javascript:alert(1)", false},
        {"ms-settings:privacy", false},
        {"ms-msdt:/id PCWDiagnostic", false},
        {"search-ms:query=x", false},
        {"steam://run/1", false},
        {"httpx://example.com", false},
        {"https:calc.exe", false},  // no host: not a web address
        {"http://", false},         // nothing after the slashes
        {" https://example.com", false},
        {"", false},
        {"https", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MayOpenInShell(c.uri), c.allowed) << c.uri;
    }
}

TEST(LinkPolicy, NavigationsStayInsideTheOriginByExactPrefix) {
    const std::string origin = "https://vandrel.localhost/";
    struct Case {
        const char* uri;
        bool inside;
    };
    const Case cases[] = {
        {"https://vandrel.localhost/", true},
        {"https://vandrel.localhost/index.html?x=1", true},
        {"http://vandrel.localhost/", false},   // another scheme on the app's host
        {"https://VANDREL.localhost/", false},  // case matters
        {"https://vandrel.localhost.evil.com/", false},
        {"https://vandrel.localhost", false},  // shorter than the origin
        {"https://example.com/", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsInsideOrigin(c.uri, origin), c.inside) << c.uri;
    }
}

TEST(LinkPolicy, AnOriginWithoutAPathEndsAtTheHostAndPort) {
    struct Case {
        const char* origin;
        const char* uri;
        bool inside;
    };
    const Case cases[] = {
        {"https://game.example.com", "https://game.example.com", true},
        {"https://game.example.com", "https://game.example.com/", true},
        {"https://game.example.com", "https://game.example.com/play?x=1", true},
        {"https://game.example.com", "https://game.example.com?x=1", true},
        {"https://game.example.com", "https://game.example.com#top", true},
        {"https://game.example.com", "https://game.example.com.evil.example/", false},
        {"https://game.example.com", "https://game.example.com@evil.example/", false},
        {"https://game.example.com", "https://game.example.comx/", false},
        {"https://game.example.com", "https://game.example.com:8443/", false},
        {"https://game.example.com:8443", "https://game.example.com:8443/a", true},
        {"https://game.example.com:8443", "https://game.example.com:84430/", false},
        // With a final "/" or a path, the prefix itself ends the host.
        {"https://game.example.com/", "https://game.example.com/x", true},
        {"https://game.example.com/play", "https://game.example.com/player", true},
        {"https://game.example.com/play", "https://game.example.com/other", false},
        // Not a URL with an authority: the plain prefix.
        {"file:game", "file:gamex", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsInsideOrigin(c.uri, c.origin), c.inside) << c.origin << " / " << c.uri;
    }
}

TEST(LinkPolicy, TheOriginAndTheStartPageFollowTheContentMode) {
    AppConfig bundle;
    bundle.main = "start.html";
    EXPECT_EQ(ContentOrigin(bundle), "https://vandrel.localhost/");
    EXPECT_EQ(StartUrl(bundle), "https://vandrel.localhost/start.html");
    AppConfig remote;
    remote.contentMode = ContentMode::Remote;
    remote.main = "https://game.example.com/play";
    EXPECT_EQ(ContentOrigin(remote), remote.main);
    EXPECT_EQ(StartUrl(remote), remote.main);
}

}  // namespace
}  // namespace vandrel
