#include "portable/util/utf.h"

#include <string>

#include <gtest/gtest.h>

#include "readable_bytes.h"

namespace vandrel {
namespace {

using namespace std::string_literals;

// U+FFFD in UTF-8.
const std::string R = "\xEF\xBF\xBD";

TEST(Utf, Utf8ToUtf16ReplacesMalformedSequences) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"A\xFF"
         "B",
         u"A\uFFFDB"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xE2\x82", u"\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},
        {"a\0b"s, u"a\0b"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(c.utf8));
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(Utf16Length(c.utf8), c.utf16.size());
    }
}

TEST(Utf, Utf16ToUtf8ReplacesUnpairedSurrogates) {
    struct Case {
        std::u16string utf16;
        std::string utf8;
    };
    const Case cases[] = {
        {u"", ""},
        {u"A\u00E9\u20AC", "A\xC3\xA9\xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
        {std::u16string(1, char16_t{0xD800}), R},
        {std::u16string(1, char16_t{0xDC00}), R},
        {std::u16string{char16_t{0xDC00}, char16_t{0xD800}}, R + R},
        {std::u16string{char16_t{0xD83D}, u'x'}, R + "x"},
        {u"a\0b"s, "a\0b"s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(Utf16ToUtf8(c.utf16)), Hex(c.utf8));
    }
    // Valid text survives the round trip unchanged.
    const std::string text =
        "w\xC3\xA9"
        "b/\xE2\x82\xAC/\xF0\x9F\x98\x80.png";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
}

TEST(Utf, ValidityFollowsTheSameRules) {
    const struct {
        std::string text;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain/ascii.txt", true},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true},
        {"a\0b"s, true},
        {"\xFF", false},
        {"\xC3", false},              // cut short
        {"\xC0\xAF", false},          // overlong "/"
        {"\xED\xA0\x80", false},      // a surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\x80", false},              // a lone continuation byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.text), c.valid) << Hex(c.text);
        // A text is valid exactly when the codec gives it back unchanged.
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.text)) == c.text, c.valid) << Hex(c.text);
    }
}

}  // namespace
}  // namespace vandrel
