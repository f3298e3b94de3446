#include "installer/runtime_installer.h"

namespace vandrel {

// The download window and thread are not built yet: the runtime stays missing, and start-up
// reports the configured failure text.
void RunRuntimeInstaller(HINSTANCE /*instance*/, const std::string& /*userDataFolder*/,
                         const AppConfig& /*config*/) {}

}  // namespace vandrel
