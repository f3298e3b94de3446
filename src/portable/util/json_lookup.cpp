#include "portable/util/json_lookup.h"

#include <cmath>
#include <limits>

namespace vandrel {

namespace {

// The member `key` of `value`, or null when `value` is not an object or lacks the key. Uses
// find() on a const object, so a missing key is never inserted and nothing throws.
const nlohmann::json* FindMember(const nlohmann::json& value, const std::string& key) {
    if (!value.is_object()) {
        return nullptr;
    }
    const auto it = value.find(key);
    if (it == value.end()) {
        return nullptr;
    }
    return &*it;
}

// Low 32 bits as two's complement. The unsigned-to-signed conversion is modular since C++20.
int32_t LowBits(uint64_t bits) {
    return static_cast<int32_t>(static_cast<uint32_t>(bits));
}

// Truncation toward zero, saturating outside the int32 range so the conversion is always defined.
int32_t TruncateToInt32(double number) {
    if (std::isnan(number)) {
        return 0;
    }
    // Every double strictly between these bounds truncates to a representable int32.
    constexpr double kAboveMax = 2147483648.0;   // 2^31
    constexpr double kBelowMin = -2147483649.0;  // -2^31 - 1
    if (number >= kAboveMax) {
        return std::numeric_limits<int32_t>::max();
    }
    if (number <= kBelowMin) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(number);
}

}  // namespace

std::string JsonGetString(const nlohmann::json& value, const std::string& key,
                          const std::string& defaultValue) {
    const nlohmann::json* member = FindMember(value, key);
    if (member == nullptr || !member->is_string()) {
        return defaultValue;
    }
    return member->get_ref<const std::string&>();
}

int32_t JsonGetInt(const nlohmann::json& value, const std::string& key, int32_t defaultValue) {
    const nlohmann::json* member = FindMember(value, key);
    if (member == nullptr) {
        return defaultValue;
    }
    switch (member->type()) {
        case nlohmann::json::value_t::number_integer:
            return LowBits(static_cast<uint64_t>(member->get<int64_t>()));
        case nlohmann::json::value_t::number_unsigned:
            return LowBits(member->get<uint64_t>());
        case nlohmann::json::value_t::number_float:
            return TruncateToInt32(member->get<double>());
        default:
            return defaultValue;
    }
}

bool JsonGetBool(const nlohmann::json& value, const std::string& key, bool defaultValue) {
    const nlohmann::json* member = FindMember(value, key);
    if (member == nullptr || !member->is_boolean()) {
        return defaultValue;
    }
    return member->get<bool>();
}

}  // namespace vandrel
