#pragma once

#include <windows.h>

#include <string>

#include "config/app_config.h"

namespace vandrel {

// Fetches and runs the WebView2 runtime bootstrapper for a machine that lacks the runtime. The
// caller checks for the runtime again afterwards.
void RunRuntimeInstaller(HINSTANCE instance, const std::string& userDataFolder,
                         const AppConfig& config);

}  // namespace vandrel
