#pragma once

#include <string_view>

namespace vandrel {

// What keeps a Windows file system from taking a text as the name of one file or folder (one
// path segment), as it stands.
enum class NameFault {
    None,
    Empty,
    DotsOnly,            // "." and "..", and any other name made of dots only
    ControlCharacter,    // a byte from 0x00 to 0x1F
    Colon,               // drive letters ("C:") and alternate data streams ("a.txt:s")
    ReservedCharacter,   // < > " / \ | ? *
    TrailingDotOrSpace,  // Windows drops them, so the name would become another one
    DeviceName,  // CON, PRN, AUX, NUL, COM1-9, LPT1-9 (also ¹ ² ³), CONIN$, CONOUT$, with
                 // any extension and in any case
};

// The first fault of `segment` in the order above, or NameFault::None. Bytes above 0x7F are not
// judged here (whether they are UTF-8 is the caller's question).
NameFault WindowsNameFault(std::string_view segment);

}  // namespace vandrel
