#pragma once

#include <string>

namespace vandrel {

// Bytes for failure messages: printable ASCII as it is, every other byte as <HH>.
inline std::string Hex(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            result.push_back(c);
        } else {
            result += "<";
            result.push_back(digits[byte >> 4]);
            result.push_back(digits[byte & 15]);
            result += ">";
        }
    }
    return result;
}

}  // namespace vandrel
