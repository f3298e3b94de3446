#include <locale.h>

#include <clocale>
#include <cwctype>

#include "platform/name_folding.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

std::u32string FoldedName(std::string_view name) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    std::u32string folded;
    folded.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        uint32_t c = 0;
        const size_t length = Utf8SequenceAt(name, at, c);
        if (length == 0) {  // not UTF-8: the byte itself, apart from every code point
            folded.push_back(0x110000 + static_cast<unsigned char>(name[at]));
            ++at;
            continue;
        }
        if (c >= 'a' && c <= 'z') {
            c -= 'a' - 'A';
        } else if (c >= 0x80 && utf8 != static_cast<locale_t>(0)) {
            c = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(c), utf8));
        }
        folded.push_back(c);
        at += length;
    }
    return folded;
}

bool SameFileName(const std::filesystem::path& a, const std::filesystem::path& b) {
    return a == b;
}

std::filesystem::path WithoutLongPathPrefix(const std::filesystem::path& path) {
    return path;
}

}  // namespace vandrel::tool
