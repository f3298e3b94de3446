#include "portable/util/long_path.h"

#include <string>

#include <gtest/gtest.h>

namespace vandrel {
namespace {

using namespace std::string_literals;

// Wide strings are printed as their narrow ASCII form in failure messages.
std::string Narrow(const std::wstring& text) {
    std::string result;
    for (const wchar_t unit : text) {
        result.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return result;
}

struct PathCase {
    const wchar_t* input;
    const wchar_t* expected;
};

TEST(LongPathTest, AddPrefixesAndConvertsSlashes) {
    const PathCase cases[] = {
        {L"C:/app/www/a.png", L"\\\\?\\C:\\app\\www\\a.png"},
        {L"C:\\app\\www\\a.png", L"\\\\?\\C:\\app\\www\\a.png"},
        {L"C:/app\\mixed/x", L"\\\\?\\C:\\app\\mixed\\x"},
        // Already prefixed: only the slashes change.
        {L"\\\\?\\C:/app/www/a.png", L"\\\\?\\C:\\app\\www\\a.png"},
        {L"\\\\?\\C:\\app", L"\\\\?\\C:\\app"},
        {L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
        // Exactly the prefix and nothing else.
        {L"\\\\?\\", L"\\\\?\\"},
        // Fewer than 4 units: never prefixed.
        {L"", L""},
        {L"a", L"a"},
        {L"C:/", L"C:\\"},
        {L"\\\\?", L"\\\\?"},
        {L"///", L"\\\\\\"},
        // Exactly 4 units without the prefix.
        {L"C:/a", L"\\\\?\\C:\\a"},
        {L"////", L"\\\\?\\UNC\\\\\\"},
        // Network paths take the long UNC form; device paths are left alone.
        {L"\\\\server\\share\\f.txt", L"\\\\?\\UNC\\server\\share\\f.txt"},
        {L"//server/share", L"\\\\?\\UNC\\server\\share"},
        {L"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},
        // What StripLongPathPrefix leaves of a long UNC path comes back to the long UNC form.
        {L"UNC\\server\\share\\a", L"\\\\?\\UNC\\server\\share\\a"},
        // Nothing but the slashes is normalised.
        {L"www/../a//b/./c", L"\\\\?\\www\\..\\a\\\\b\\.\\c"},
        {L"C:/App Data/\u00e9/", L"\\\\?\\C:\\App Data\\\u00e9\\"},
        // The prefix written with forward slashes is the prefix.
        {L"\\\\?/x", L"\\\\?\\x"},
        {L"//?/x", L"\\\\?\\x"},
        {L"//./pipe", L"\\\\.\\pipe"},
        {L"\\?\\\\x", L"\\\\?\\\\?\\\\x"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(Narrow(c.input));
        EXPECT_EQ(Narrow(AddLongPathPrefix(c.input)), Narrow(c.expected));
        EXPECT_EQ(AddLongPathPrefix(c.input), std::wstring(c.expected));
    }
}

TEST(LongPathTest, AddKeepsEmbeddedZeroAndNonAsciiUnits) {
    const std::wstring input = L"C:/a\0b/\u00e9\u4e2d"s;
    ASSERT_EQ(input.size(), 9u);
    EXPECT_EQ(AddLongPathPrefix(input), L"\\\\?\\C:\\a\0b\\\u00e9\u4e2d"s);
    // A unit whose low byte is '/' is not a slash.
    const std::wstring lookalike(1, static_cast<wchar_t>(0x012F));
    EXPECT_EQ(AddLongPathPrefix(lookalike), lookalike);
}

TEST(LongPathTest, StripRemovesOnlyTheExactPrefix) {
    const PathCase cases[] = {
        {L"\\\\?\\C:\\app\\vandrel.exe", L"C:\\app\\vandrel.exe"},
        {L"\\\\?\\", L""},
        // The long UNC form keeps its UNC part.
        {L"\\\\?\\UNC\\server\\share", L"UNC\\server\\share"},
        // Without the prefix: unchanged, slashes included.
        {L"C:\\app", L"C:\\app"},
        {L"C:/app/x", L"C:/app/x"},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"", L""},
        {L"\\\\?", L"\\\\?"},
        {L"\\\\?/C:/x", L"\\\\?/C:/x"},
        {L"//?/C:/x", L"//?/C:/x"},
        {L"\\\\.\\C:\\x", L"\\\\.\\C:\\x"},
        // Only one prefix is removed.
        {L"\\\\?\\\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
        // Slashes after the prefix are not converted.
        {L"\\\\?\\C:/x", L"C:/x"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(Narrow(c.input));
        EXPECT_EQ(StripLongPathPrefix(c.input), std::wstring(c.expected));
    }
}

TEST(LongPathTest, StripUndoesAddForBackslashPaths) {
    for (const wchar_t* path : {L"C:\\app\\www\\a.png", L"rel\\x"}) {
        SCOPED_TRACE(Narrow(path));
        EXPECT_EQ(StripLongPathPrefix(AddLongPathPrefix(path)), std::wstring(path));
    }
}

}  // namespace
}  // namespace vandrel
