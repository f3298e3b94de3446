#pragma once

#include <windows.h>

namespace vandrel {

// Registers a top-level window class of the host: redrawn on resize, arrow cursor, the app's icon
// at both sizes, and the system colour `background` (a COLOR_ index) behind it. True on success.
bool RegisterHostWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon,
                             int background);
// The same with a brush of the caller's behind it; the brush must outlive the class's windows.
bool RegisterHostWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon,
                             HBRUSH background);

}  // namespace vandrel
