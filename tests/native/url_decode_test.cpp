#include "portable/server/url_decode.h"

#include <string>

#include <gtest/gtest.h>

#include "readable_bytes.h"

namespace vandrel {
namespace {

using namespace std::string_literals;

// U+FFFD in UTF-8.
const std::string R = "\xEF\xBF\xBD";

std::string Repeat(const std::string& text, size_t count) {
    std::string result;
    for (size_t i = 0; i < count; ++i) {
        result += text;
    }
    return result;
}

struct DecodeCase {
    std::string raw;
    std::string expected;
};

void ExpectDecoded(const DecodeCase& c) {
    SCOPED_TRACE("raw " + Hex(c.raw));
    EXPECT_EQ(Hex(PercentDecodePath(c.raw)), Hex(c.expected));
}

TEST(DecodeTest, EscapesBecomeBytesReadAsUtf8) {
    const DecodeCase cases[] = {
        {"", ""},
        {"index.html", "index.html"},
        {"my%20file.txt", "my file.txt"},
        {"%20", " "},
        {"%E2%82%AC.txt", "\xE2\x82\xAC.txt"},
        {"%e2%82%ac", "\xE2\x82\xAC"},
        {"%e2%82%AC", "\xE2\x82\xAC"},
        {"%41%4a%4A%6f", "AJJo"},
        {"%C3%A9", "\xC3\xA9"},
        {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},
        {"%EF%BF%BD", R},
        // Separators and dots come out as the characters they name.
        {"%2F%2f%5C%5c%2E%2e", "//\\\\.."},
        {"a%2fb", "a/b"},
        // One pass only.
        {"%2541", "%41"},
        {"%25%32%30", "%20"},
        // Literal text, UTF-8 included, is kept.
        {"caf\xC3\xA9/\xE2\x82\xAC%20x", "caf\xC3\xA9/\xE2\x82\xAC x"},
        // Escaped and literal characters mix.
        {"%C3%A9\xC3\xA9", "\xC3\xA9\xC3\xA9"},
        // Query and fragment text is decoded too.
        {"a.html?q=%41#%42", "a.html?q=A#B"},
    };
    for (const DecodeCase& c : cases) {
        ExpectDecoded(c);
    }
}

TEST(DecodeTest, PlusAndStrayPercentSignsStay) {
    const DecodeCase cases[] = {
        {"a+b", "a+b"},
        {"%2B+", "++"},
        {"%", "%"},
        {"%4", "%4"},
        {"%zz", "%zz"},
        {"%g1", "%g1"},
        {"%1g", "%1g"},
        {"100%", "100%"},
        {"100%a", "100%a"},
        {"%%41", "%A"},
        {"%4%41", "%4A"},
        {"%%%", "%%%"},
        {"% 41", "% 41"},
        // A full-width digit is not a hex digit.
        {"%\xEF\xBC\x91"
         "1",
         "%\xEF\xBC\x91"
         "1"},
    };
    for (const DecodeCase& c : cases) {
        ExpectDecoded(c);
    }
}

TEST(DecodeTest, MalformedUtf8BecomesOneReplacementPerMaximalSubpart) {
    const DecodeCase cases[] = {
        {"%FF", R},
        {"%FE%FF", R + R},
        {"%80", R},
        {"%BF%80", R + R},
        // A truncated but otherwise valid prefix is one replacement.
        {"%E2%82", R},
        {"%E2%82x", R + "x"},
        {"%E2", R},
        {"%F0%9F%98", R},
        {"%F0%9F%98.txt", R + ".txt"},
        {"%E2%82%E2%82%AC", R + "\xE2\x82\xAC"},
        {"%E2\xE2\x82\xAC", R + "\xE2\x82\xAC"},
        {"%C3", R},
        {"%C3A", R + "A"},
        // Overlongs: the lead byte cannot start them, each byte is replaced on its own.
        {"%C0%AF", R + R},
        {"%C1%BF", R + R},
        {"%E0%80%AF", R + R + R},
        {"%E0%9F%BF", R + R + R},
        {"%F0%80%80%AF", R + R + R + R},
        {"%F0%8F%BF%BF", R + R + R + R},
        // Surrogates.
        {"%ED%A0%80", R + R + R},
        {"%ED%BF%BF", R + R + R},
        {"%ED%9F%BF", "\xED\x9F\xBF"},
        // Past U+10FFFF.
        {"%F4%90%80%80", R + R + R + R},
        {"%F4%8F%BF%BF", "\xF4\x8F\xBF\xBF"},
        {"%F5%80%80%80", R + R + R + R},
        {"%F8%88%80%80%80", R + R + R + R + R},
        // Lowest and highest of each length.
        {"%C2%80", "\xC2\x80"},
        {"%DF%BF", "\xDF\xBF"},
        {"%E0%A0%80", "\xE0\xA0\x80"},
        {"%F0%90%80%80", "\xF0\x90\x80\x80"},
        // Malformed literal bytes are replaced before the escapes are read, so they never
        // join escaped bytes into a character.
        {"\xFF", R},
        {"a\xFF"
         "b",
         "a" + R + "b"},
        {"\xE2\x82%AC", R + R},
        {"%E2\x82\xAC", R + R + R},
    };
    for (const DecodeCase& c : cases) {
        ExpectDecoded(c);
    }
}

TEST(DecodeTest, DecodedNulEndsThePath) {
    const DecodeCase cases[] = {
        {"a%00b", "a"},
        {"%00", ""},
        {"evil.txt%00.png", "evil.txt"},
        {"a%2500b", "a%00b"},
    };
    for (const DecodeCase& c : cases) {
        ExpectDecoded(c);
    }
}

TEST(DecodeTest, ResultMustFitIn2048Utf16UnitsWithTheTerminator) {
    const std::string emoji = "%F0%9F%98%80";  // U+1F600: two UTF-16 units
    const std::string emojiBytes = "\xF0\x9F\x98\x80";
    const DecodeCase cases[] = {
        // 2047 units fit; 2048 do not, and the raw path comes back as it was.
        {Repeat("%41", 2047), Repeat("A", 2047)},
        {Repeat("%41", 2048), Repeat("%41", 2048)},
        {Repeat("%41", 5000), Repeat("%41", 5000)},
        {Repeat("a", 2047), Repeat("a", 2047)},
        {Repeat("a", 2046) + "%20", Repeat("a", 2046) + " "},
        {Repeat("a", 2047) + "%20", Repeat("a", 2047) + "%20"},
        // Characters above U+FFFF count two units.
        {Repeat(emoji, 1023) + "%41", Repeat(emojiBytes, 1023) + "A"},
        {Repeat(emoji, 1023) + "%41%41", Repeat(emoji, 1023) + "%41%41"},
        {Repeat(emoji, 1024), Repeat(emoji, 1024)},
        // Three-byte characters and replacements count one.
        {Repeat("%E2%82%AC", 2047), Repeat("\xE2\x82\xAC", 2047)},
        {Repeat("%E2%82%AC", 2048), Repeat("%E2%82%AC", 2048)},
        {Repeat("%FF", 2047), Repeat(R, 2047)},
        {Repeat("%FF", 2048), Repeat("%FF", 2048)},
        // What follows a decoded NUL still counts.
        {"a%00" + Repeat("b", 2045), "a"},
        {"a%00" + Repeat("b", 2046), "a%00" + Repeat("b", 2046)},
        // The raw path comes back byte for byte, malformed bytes included.
        {"\xFF" + Repeat("%41", 2048), "\xFF" + Repeat("%41", 2048)},
    };
    for (const DecodeCase& c : cases) {
        ExpectDecoded(c);
    }
}

}  // namespace
}  // namespace vandrel
