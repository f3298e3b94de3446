#include "portable/util/file_names.h"

#include <string>

namespace vandrel {

namespace {

bool IsDeviceName(std::string_view segment) {
    // The part before the first dot, without trailing spaces, names the device: "nul.txt" and
    // "COM1 .log" are devices too.
    std::string_view stem = segment.substr(0, segment.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    std::string upper(stem);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
        upper == "CONOUT$") {
        return true;
    }
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string_view number = std::string_view(upper).substr(3);
    // A digit from 1 to 9, or a superscript one, two or three (UTF-8).
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

NameFault WindowsNameFault(std::string_view segment) {
    if (segment.empty()) {
        return NameFault::Empty;
    }
    if (segment.find_first_not_of('.') == std::string_view::npos) {
        return NameFault::DotsOnly;
    }
    for (const char c : segment) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return NameFault::ControlCharacter;
        }
    }
    if (segment.find(':') != std::string_view::npos) {
        return NameFault::Colon;
    }
    if (segment.find_first_of("<>\"/\\|?*") != std::string_view::npos) {
        return NameFault::ReservedCharacter;
    }
    if (segment.back() == '.' || segment.back() == ' ') {
        return NameFault::TrailingDotOrSpace;
    }
    if (IsDeviceName(segment)) {
        return NameFault::DeviceName;
    }
    return NameFault::None;
}

}  // namespace vandrel
