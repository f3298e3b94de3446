#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace vandrel {

// Typed member lookups with a fallback. Each one returns `defaultValue` when `value` is not a JSON
// object, has no member `key`, or the member has another JSON type. None of them throws for such
// input (allocation failure aside), and none of them modifies `value`.

// The member when it is a JSON string (copied byte for byte, embedded zero bytes included).
std::string JsonGetString(const nlohmann::json& value, const std::string& key,
                          const std::string& defaultValue);

// The member when it is a JSON number (signed, unsigned or floating point; booleans are not
// numbers). Integers keep their low 32 bits, read as two's complement, so 4294967297 gives 1.
// Floating-point values are truncated toward zero; beyond the int32 range they saturate to
// INT32_MIN or INT32_MAX, and NaN gives 0.
int32_t JsonGetInt(const nlohmann::json& value, const std::string& key, int32_t defaultValue);

// The member when it is a JSON boolean. Numbers, strings and null never count as booleans.
bool JsonGetBool(const nlohmann::json& value, const std::string& key, bool defaultValue);

}  // namespace vandrel
