#include "portable/server/range.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace vandrel {
namespace {

using namespace std::string_literals;

struct RangeCase {
    std::string value;
    uint32_t total;
    bool valid;
    uint32_t start = 0;
    uint32_t end = 0;
};

void ExpectRange(const RangeCase& c) {
    SCOPED_TRACE("value \"" + c.value + "\", total " + std::to_string(c.total));
    const ByteRange range = ParseRange(c.value, c.total);
    EXPECT_EQ(range.valid, c.valid);
    if (c.valid && range.valid) {
        EXPECT_EQ(range.start, c.start);
        EXPECT_EQ(range.end, c.end);
    }
}

TEST(RangeTest, ServesTheThreeForms) {
    const RangeCase cases[] = {
        {"bytes=0-", 1000, true, 0, 999},
        {"bytes=999-", 1000, true, 999, 999},
        {"bytes=0-0", 1000, true, 0, 0},
        {"bytes=100-199", 1000, true, 100, 199},
        {"bytes=0-999", 1000, true, 0, 999},
        {"bytes=999-999", 1000, true, 999, 999},
        {"bytes=-100", 1000, true, 900, 999},
        {"bytes=-1", 1000, true, 999, 999},
        {"bytes=-1000", 1000, true, 0, 999},
        {"bytes=0-", 1, true, 0, 0},
        {"bytes=-1", 1, true, 0, 0},
        // A suffix of 0 names no byte.
        {"bytes=-0", 1000, false},
    };
    for (const RangeCase& c : cases) {
        ExpectRange(c);
    }
}

TEST(RangeTest, RefusesWhatCannotBeServed) {
    const RangeCase cases[] = {
        {"bytes=500-1000", 1000, false},
        {"bytes=1000-", 1000, false},
        {"bytes=-1001", 1000, false},
        {"bytes=7-3", 1000, false},
        {"Bytes=0-10", 1000, false},
        {"BYTES=0-10", 1000, false},
        {"bytes=", 1000, false},
        {"bytes=-", 1000, false},
        {"bytes=abc-", 1000, false},
        {"items=0-5", 1000, false},
        {"", 1000, false},
        {"bytes", 1000, false},
        {"byte=0-5", 1000, false},
        {"bytes 0-5", 1000, false},
        {"bytes=5", 1000, false},
        {"bytes=abc", 1000, false},
        {"bytes=5-x", 1000, false},
        {"bytes=x-5", 1000, false},
        {"bytes=-x", 1000, false},
        {"bytes=+-5", 1000, false},
        {"bytes=--5", 1000, false},
        {"bytes=5--1", 1000, false},
        {"bytes=1000-1000", 1000, false},
        {"bytes=0-1000", 1000, false},
        // Leading white space is only skipped before the value and the sign, not after "=".
        {" bytes=0-5", 1000, false},
    };
    for (const RangeCase& c : cases) {
        ExpectRange(c);
    }
}

TEST(RangeTest, EmptyFileHasNoRange) {
    for (const char* value : {"bytes=0-", "bytes=0-0", "bytes=-0", "bytes=-1", "bytes=0-1"}) {
        ExpectRange({value, 0, false});
    }
}

TEST(RangeTest, NumbersAreReadLikeStrtol) {
    const RangeCase cases[] = {
        // Signs.
        {"bytes=+5-10", 1000, true, 5, 10},
        {"bytes=5-+10", 1000, true, 5, 10},
        {"bytes=-+100", 1000, true, 900, 999},
        {"bytes=+5-", 1000, true, 5, 999},
        {"bytes=0--0", 1000, true, 0, 0},
        {"bytes=0--0x", 1000, true, 0, 0},
        {"bytes=5--10", 1000, false},
        {"bytes=5-+", 1000, false},
        {"bytes=++5-10", 1000, false},
        // White space before a number (the C isspace set) is skipped, after a sign it is not.
        {"bytes= 5-10", 1000, true, 5, 10},
        {"bytes=5- 10", 1000, true, 5, 10},
        {"bytes=\t\n\v\f\r 5-10", 1000, true, 5, 10},
        {"bytes=- 100", 1000, true, 900, 999},
        {"bytes=+ 5-10", 1000, false},
        {"bytes= -", 1000, false},
        // The rest of a number's text is ignored.
        {"bytes=5 -10", 1000, true, 5, 10},
        {"bytes=5x-10y", 1000, true, 5, 10},
        {"bytes=0-1,5-6", 1000, true, 0, 1},
        {"bytes=0-1, 5-6", 1000, true, 0, 1},
        {"bytes=10-20,30-", 1000, true, 10, 20},
        {"bytes=5-10-20", 1000, true, 5, 10},
        {"bytes=-5-6", 1000, true, 995, 999},
        {"bytes=0-5\0"s + "99", 1000, true, 0, 5},
        // Leading zeros.
        {"bytes=0000000000000000000005-000010", 1000, true, 5, 10},
        // Decimal only.
        {"bytes=0x10-", 1000, true, 0, 999},
        {"bytes=1e2-", 1000, true, 1, 999},
    };
    for (const RangeCase& c : cases) {
        ExpectRange(c);
    }
}

TEST(RangeTest, NumbersOutsideTheSigned32BitRangeAreInvalid) {
    constexpr uint32_t kMax = 0xFFFFFFFF;
    const RangeCase cases[] = {
        {"bytes=2147483647-", kMax, true, 2147483647, kMax - 1},
        {"bytes=2147483648-", kMax, false},
        {"bytes=0-2147483647", kMax, true, 0, 2147483647},
        {"bytes=0-2147483648", kMax, false},
        {"bytes=-2147483647", kMax, true, kMax - 2147483647, kMax - 1},
        {"bytes=-2147483648", kMax, false},
        {"bytes=99999999999-", kMax, false},
        {"bytes=0-99999999999", kMax, false},
        {"bytes=-99999999999", kMax, false},
        {"bytes=0-4294967295", kMax, false},
        {"bytes=0-4294967296", kMax, false},
        {"bytes=0-18446744073709551617", kMax, false},
        {"bytes=0-" + std::string(400, '9'), kMax, false},
        // In range for strtol but negative: never a position, whatever the file size.
        {"bytes=0--1", kMax, false},
        {"bytes=0--2147483648", kMax, false},
        {"bytes=0--2147483649", kMax, false},
        {"bytes=--1", kMax, false},
        {"bytes=2147483648-", 1000, false},
        {"bytes=0-2147483648", 1000, false},
    };
    for (const RangeCase& c : cases) {
        ExpectRange(c);
    }
}

TEST(RangeTest, TrimRemovesCWhiteSpaceFromBothEnds) {
    struct TrimCase {
        std::string value;
        std::string expected;
    };
    const TrimCase cases[] = {
        {"bytes=10-20", "bytes=10-20"},
        {"  bytes=10-20  ", "bytes=10-20"},
        {"\t\n\v\f\r bytes=10-20 \r\n\f\v\t", "bytes=10-20"},
        {"bytes= 10 - 20", "bytes= 10 - 20"},
        {"", ""},
        {" \t ", ""},
        {"\xA0"
         "bytes=1-2\xA0",
         "\xA0"
         "bytes=1-2\xA0"},
        {"\0bytes=1-2"s, "\0bytes=1-2"s},
    };
    for (const TrimCase& c : cases) {
        EXPECT_EQ(TrimRangeValue(c.value), c.expected);
    }
    const ByteRange range = ParseRange(TrimRangeValue("  bytes=10-20 \t"), 1000);
    EXPECT_TRUE(range.valid);
    EXPECT_EQ(range.start, 10u);
    EXPECT_EQ(range.end, 20u);
}

}  // namespace
}  // namespace vandrel
