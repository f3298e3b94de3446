#pragma once

#include <windows.h>

namespace vandrel {

inline constexpr wchar_t kMainWindowClass[] = L"WindowsWebview2Wrapper";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vandrel
