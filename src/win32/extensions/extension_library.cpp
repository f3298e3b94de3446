#include "win32/extensions/extension_library.h"

#include "win32/util/files.h"

namespace vandrel {

namespace {

template <typename Proc>
Proc Export(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

ExtensionLibrary::ExtensionLibrary(const AppFolders& folders, IWrapperApp& app)
    : folders_(folders) {
    // By full path only, never through the DLL search path.
    module_.Reset(LoadLibraryW(ToApiPath(folders_.exeFolder + "WV2ExtManager.dll").c_str()));
    if (!module_) {
        // No library: no extensions. One that is there but cannot be loaded is worth a log line.
        const DWORD error = GetLastError();
        if (error != ERROR_MOD_NOT_FOUND && error != ERROR_FILE_NOT_FOUND &&
            error != ERROR_PATH_NOT_FOUND) {
            loadError_ = error;
        }
        return;
    }
    const auto init = Export<InitProc>(module_.Get(), "Init");
    release_ = Export<ReleaseProc>(module_.Get(), "Release");
    onMainWindowCreated_ = Export<OnMainWindowCreatedProc>(module_.Get(), "OnMainWindowCreated");
    onExtensionMessage_ = Export<OnExtensionMessageProc>(module_.Get(), "OnExtensionMessage");
    if (init == nullptr || release_ == nullptr || onMainWindowCreated_ == nullptr ||
        onExtensionMessage_ == nullptr) {
        return;
    }
    const char** ids = init(folders_.exeFolder.c_str(), folders_.webSubfolder.c_str(),
                            folders_.userDataFolder.c_str(), &app);
    for (const char** id = ids; id != nullptr && *id != nullptr; ++id) {
        componentIds_.emplace_back(*id);
    }
}

ExtensionLibrary::~ExtensionLibrary() {
    if (release_ != nullptr) {
        release_();
    }
    module_.Reset();
}

void ExtensionLibrary::OnMainWindowCreated(HWND window) const {
    if (onMainWindowCreated_ != nullptr) {
        onMainWindowCreated_(window);
    }
}

void ExtensionLibrary::OnExtensionMessage(const std::string& text) const {
    if (onExtensionMessage_ != nullptr) {
        onExtensionMessage_(text.c_str());
    }
}

}  // namespace vandrel
