#include "webview/link_policy.h"

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

}  // namespace
}  // namespace vandrel
