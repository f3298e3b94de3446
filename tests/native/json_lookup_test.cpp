#include "portable/util/json_lookup.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace vandrel {
namespace {

using nlohmann::json;
using namespace std::string_literals;

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

// Values that are not objects: every lookup must fall back without throwing.
const json& NonObjects() {
    static const json values = json::array({
        json(),                       // null
        json::array({"k", 1, true}),  // array (even one holding the key as an element)
        json("k"),                    // string
        json(5),                      // signed integer
        json(5u),                     // unsigned integer
        json(5.5),                    // float
        json(true),                   // boolean
        json::binary({1, 2, 3}),      // binary
    });
    return values;
}

TEST(JsonLookupTest, NonObjectValuesGiveTheDefault) {
    for (const json& value : NonObjects()) {
        SCOPED_TRACE(value.type_name());
        EXPECT_EQ(JsonGetString(value, "k", "fallback"), "fallback");
        EXPECT_EQ(JsonGetInt(value, "k", -77), -77);
        EXPECT_EQ(JsonGetBool(value, "k", true), true);
        EXPECT_EQ(JsonGetBool(value, "k", false), false);
    }
}

TEST(JsonLookupTest, MissingKeyGivesTheDefaultAndDoesNotInsertIt) {
    const json value = json::parse(R"({"other":"x","K":"upper"})");
    EXPECT_EQ(JsonGetString(value, "k", "d"), "d");
    EXPECT_EQ(JsonGetInt(value, "k", 12), 12);
    EXPECT_EQ(JsonGetBool(value, "k", true), true);
    EXPECT_EQ(JsonGetString(json::object(), "", "d"), "d");
    EXPECT_EQ(value.size(), 2u);
    EXPECT_FALSE(value.contains("k"));
}

// Each member type against each lookup: only the matching JSON type is taken.
struct TypeCase {
    const char* member;  // JSON text of the member value
    bool isString;
    bool isNumber;
    bool isBool;
};

TEST(JsonLookupTest, OnlyTheMatchingJsonTypeIsTaken) {
    const TypeCase cases[] = {
        {R"("800")", true, false, false},
        {R"("")", true, false, false},
        {R"("true")", true, false, false},
        {"7", false, true, false},
        {"-7", false, true, false},
        {"7.0", false, true, false},
        {"true", false, false, true},
        {"false", false, false, true},
        {"null", false, false, false},
        {"[]", false, false, false},
        {R"(["x"])", false, false, false},
        {"{}", false, false, false},
        {R"({"k":"x"})", false, false, false},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.member);
        const json value = json::parse(std::string(R"({"k":)") + c.member + "}");
        const json& member = value.at("k");

        const std::string text = JsonGetString(value, "k", "fallback");
        if (c.isString) {
            EXPECT_EQ(text, member.get<std::string>());
        } else {
            EXPECT_EQ(text, "fallback");
        }

        const int32_t number = JsonGetInt(value, "k", 4242);
        if (c.isNumber) {
            EXPECT_EQ(number, member.get<int32_t>());
        } else {
            EXPECT_EQ(number, 4242);
        }

        // Both defaults, so a boolean member is told apart from a fallback whatever its value.
        if (c.isBool) {
            EXPECT_EQ(JsonGetBool(value, "k", true), member.get<bool>());
            EXPECT_EQ(JsonGetBool(value, "k", false), member.get<bool>());
        } else {
            EXPECT_TRUE(JsonGetBool(value, "k", true));
            EXPECT_FALSE(JsonGetBool(value, "k", false));
        }
    }
}

TEST(JsonLookupTest, NumbersAreNotBooleans) {
    for (const char* text : {R"({"k":1})", R"({"k":0})", R"({"k":1.0})", R"({"k":"true"})"}) {
        SCOPED_TRACE(text);
        const json value = json::parse(text);
        EXPECT_TRUE(JsonGetBool(value, "k", true));
        EXPECT_FALSE(JsonGetBool(value, "k", false));
    }
}

TEST(JsonLookupTest, StringIsCopiedByteForByte) {
    // Escaped zero byte and multi-byte UTF-8 must survive untouched.
    const json value = json::parse(R"({"k":"a\u0000b\u00e9\ud83d\ude00"})");
    EXPECT_EQ(JsonGetString(value, "k", "d"), "a\0b\xC3\xA9\xF0\x9F\x98\x80"s);
    // An empty string member is a real value, not a reason to use the default.
    EXPECT_EQ(JsonGetString(json::parse(R"({"k":""})"), "k", "d"), "");
}

TEST(JsonLookupTest, KeysAreExactAndCaseSensitive) {
    const json value = json::parse(R"({"Width":1,"width ":2,"width":3})");
    EXPECT_EQ(JsonGetInt(value, "width", 0), 3);
    EXPECT_EQ(JsonGetInt(value, "Width", 0), 1);
    EXPECT_EQ(JsonGetInt(value, "WIDTH", 0), 0);
    EXPECT_EQ(JsonGetInt(value, "widt", 0), 0);
}

struct IntCase {
    const char* member;  // JSON text of the member value
    int32_t expected;
};

TEST(JsonLookupTest, IntegersKeepTheirLow32Bits) {
    const IntCase cases[] = {
        {"0", 0},
        {"-0", 0},
        {"800", 800},
        {"-800", -800},
        {"2147483647", kIntMax},
        {"-2147483648", kIntMin},
        {"2147483648", kIntMin},       // 2^31 wraps to the negative half
        {"-2147483649", kIntMax},      // -2^31 - 1 wraps to the positive half
        {"4294967295", -1},            // 2^32 - 1
        {"4294967296", 0},             // 2^32
        {"4294967297", 1},             // 2^32 + 1
        {"-4294967297", -1},           // -(2^32 + 1)
        {"9223372036854775807", -1},   // INT64_MAX, signed integer
        {"-9223372036854775808", 0},   // INT64_MIN, signed integer
        {"9223372036854775808", 0},    // 2^63, only fits an unsigned integer
        {"18446744073709551615", -1},  // UINT64_MAX, unsigned integer
        {"18446744069414584320", 0},   // 0xFFFFFFFF00000000
        {"12884901890", 2},            // 3 * 2^32 + 2
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.member);
        const json value = json::parse(std::string(R"({"k":)") + c.member + "}");
        EXPECT_EQ(JsonGetInt(value, "k", 99), c.expected);
    }
}

TEST(JsonLookupTest, FloatsAreTruncatedTowardZeroAndSaturate) {
    const IntCase cases[] = {
        {"800.9", 800},
        {"-2.5", -2},
        {"-0.9", 0},
        {"0.9", 0},
        {"-0.0", 0},
        {"1e3", 1000},
        {"1E-3", 0},
        {"7.0", 7},
        {"2147483647.9", kIntMax},
        {"-2147483648.9", kIntMin},
        // Out of range: saturated, never wrapped.
        {"2147483648.0", kIntMax},
        {"4294967297.0", kIntMax},
        {"-2147483649.0", kIntMin},
        {"1e300", kIntMax},
        {"-1e300", kIntMin},
        // Too large for a 64-bit integer, so it is parsed as a floating-point value.
        {"18446744073709551616", kIntMax},
        {"-9223372036854775809", kIntMin},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.member);
        const json value = json::parse(std::string(R"({"k":)") + c.member + "}");
        ASSERT_TRUE(value.at("k").is_number_float());
        EXPECT_EQ(JsonGetInt(value, "k", 99), c.expected);
    }
}

TEST(JsonLookupTest, NonFiniteFloatsGiveAFixedResult) {
    // JSON text cannot hold these, but a value built in code can.
    json value = json::object();
    value["inf"] = std::numeric_limits<double>::infinity();
    value["-inf"] = -std::numeric_limits<double>::infinity();
    value["nan"] = std::nan("");
    EXPECT_EQ(JsonGetInt(value, "inf", 99), kIntMax);
    EXPECT_EQ(JsonGetInt(value, "-inf", 99), kIntMin);
    EXPECT_EQ(JsonGetInt(value, "nan", 99), 0);
}

}  // namespace
}  // namespace vandrel
