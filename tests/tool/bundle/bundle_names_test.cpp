// Bundle names: how they are shown on a terminal, which names Windows reserves, and which pairs
// of names cannot both be extracted.

#include "bundle/bundle_names.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vandrel::tool {
namespace {

TEST(ToolBundleNames, ShownEscapesWhatCouldRewriteOrDisguiseATerminalLine) {
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"plain/name.txt", "'plain/name.txt'"},
        {"données/日本/été.txt", "'données/日本/été.txt'"},
        {"a\x1b[2Jb", "'a\\x1b[2Jb'"},           // C0: escape sequences
        {"line\nbreak\r", "'line\\x0abreak\\x0d'"},
        {"del\x7f", "'del\\x7f'"},
        {"raw\x9b" "2J", "'raw\\x9b2J'"},          // C1 as a raw byte (CSI)
        {"\xC2\x9B" "2J", "'\\u009b2J'"},          // C1 as U+009B
        {"\xC2\x85next", "'\\u0085next'"},         // U+0085, next line
        {"evil\xE2\x80\xAEtxt.exe", "'evil\\u202etxt.exe'"},  // right-to-left override
        {"\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD", "'\\u202a\\u202b\\u202c\\u202d'"},
        {"\xE2\x81\xA6x\xE2\x81\xA9", "'\\u2066x\\u2069'"},  // isolates
        {"\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C", "'\\u200e\\u200f\\u061c'"},  // marks
        {"a\xE2\x80\xA8" "b\xE2\x80\xA9", "'a\\u2028b\\u2029'"},          // separators
        {"keep\xE2\x80\x8D" "joiner", "'keep\xE2\x80\x8Djoiner'"},        // U+200D stays
        {"bad\xff", "'bad\\xff'"},
        {"cut\xE2\x80", "'cut\\xe2\\x80'"},
        {"over\xC0\xAF", "'over\\xc0\\xaf'"},  // overlong '/'
        {"sur\xED\xA0\x80", "'sur\\xed\\xa0\\x80'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Shown(c.name), c.shown) << c.shown;
    }
    EXPECT_EQ(Shown("a\x1b", false), "a\\x1b");
}

TEST(ToolBundleNames, WindowsReservesTheConsoleAndSuperscriptDeviceNames) {
    for (const std::string name :
         {"CONIN$", "conout$", "a/Conin$.txt", "COM\xC2\xB9", "lpt\xC2\xB3.log", "COM\xC2\xB2"}) {
        EXPECT_NE(UnsafeNameReason(name, true), std::nullopt) << name;
        EXPECT_EQ(UnsafeNameReason(name, false), std::nullopt) << name;
    }
    for (const std::string name : {"CONIN", "conin$x", "COM0", "COM\xC2\xB4", "LPT10"}) {
        EXPECT_EQ(UnsafeNameReason(name, true), std::nullopt) << name;
    }
}

TEST(ToolBundleNames, ClashesAreFoundBeforeAnythingIsWritten) {
    struct Case {
        std::vector<std::string> names;  // as a directory holds them: sorted, distinct
        std::string windows;             // "file|other|folder" or "" for no clash
        std::string elsewhere;
    };
    const Case cases[] = {
        {{"X", "x"}, "X|x|same", ""},
        {{"A", "a/b"}, "A|a/b|folder", ""},
        {{"a", "a/b"}, "a|a/b|folder", "a|a/b|folder"},
        {{"a", "a-b", "a.c", "a/b"}, "a|a/b|folder", "a|a/b|folder"},  // not next to each other
        {{"A/x", "a/y"}, "", ""},                                      // one folder, two files
        {{"A/x", "a/X"}, "A/x|a/X|same", ""},
        {{"d/\xC3\x89t\xC3\xA9", "d/\xC3\xA9t\xC3\xA9"}, "d/\xC3\x89t\xC3\xA9|d/\xC3\xA9t\xC3\xA9|same", ""},
        {{"\xCE\xA3.txt", "\xCF\x83.txt"}, "\xCE\xA3.txt|\xCF\x83.txt|same", ""},  // Greek sigma
        {{"a", "ab", "b/c"}, "", ""},
        {{"a/b", "a/c", "b"}, "", ""},
        {{"README", "readme.md"}, "", ""},
    };
    const auto describe = [](const std::optional<NameClash>& clash) {
        if (!clash) {
            return std::string();
        }
        return clash->file + "|" + clash->other + "|" + (clash->folder ? "folder" : "same");
    };
    for (const Case& c : cases) {
        const std::vector<std::string_view> names(c.names.begin(), c.names.end());
        EXPECT_EQ(describe(FindNameClash(names, true)), c.windows) << c.names[0];
        EXPECT_EQ(describe(FindNameClash(names, false)), c.elsewhere) << c.names[0];
    }
}

}  // namespace
}  // namespace vandrel::tool
