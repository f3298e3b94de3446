#pragma once

#include <windows.h>

namespace vandrel {

// The whole life of the process: start-up, the message loop and shutdown. Returns the exit code:
// 0 after the main window closed, 1 after any start-up failure.
int RunHost(HINSTANCE instance);

}  // namespace vandrel
