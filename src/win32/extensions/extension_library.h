#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "portable/config/app_folders.h"
#include "win32/extensions/wrapper_app.h"
#include "win32/util/handles.h"

namespace vandrel {

// The optional extension library, WV2ExtManager.dll beside the executable: loaded by its full
// path when made, told where the app lives through "Init", and released ("Release", then
// FreeLibrary) when destroyed. Exports the library lacks are skipped; "Init" runs only when all
// four are there. Everything runs on the UI thread.
class ExtensionLibrary {
public:
    // Loads the library and calls "Init" with the folders and `app`, which must outlive this
    // object. Without a library this is an empty object whose calls do nothing.
    ExtensionLibrary(const AppFolders& folders, IWrapperApp& app);
    ~ExtensionLibrary();
    ExtensionLibrary(const ExtensionLibrary&) = delete;
    ExtensionLibrary& operator=(const ExtensionLibrary&) = delete;

    // "OnMainWindowCreated" with the new, still hidden, main window.
    void OnMainWindowCreated(HWND window) const;
    // "OnExtensionMessage" with the page's whole message text (UTF-8, NUL-terminated).
    void OnExtensionMessage(const std::string& text) const;
    // Whether a library was loaded, and the system's error when one beside the executable could
    // not be (0 when there was none to load).
    bool Loaded() const { return module_.Valid(); }
    DWORD LoadError() const { return loadError_; }
    // The component ids "Init" returned, in the library's order.
    const std::vector<std::string>& ComponentIds() const { return componentIds_; }

private:
    using InitProc = const char** (*)(const char* exeFolder, const char* webSubfolder,
                                      const char* userDataFolder, IWrapperApp* app);
    using ReleaseProc = void (*)();
    using OnMainWindowCreatedProc = void (*)(HWND mainWindow);
    using OnExtensionMessageProc = void (*)(const char* messageJson);

    // The texts "Init" points into; unchanged until after "Release".
    const AppFolders folders_;
    UniqueModule module_;
    DWORD loadError_ = 0;
    ReleaseProc release_ = nullptr;
    OnMainWindowCreatedProc onMainWindowCreated_ = nullptr;
    OnExtensionMessageProc onExtensionMessage_ = nullptr;
    std::vector<std::string> componentIds_;
};

}  // namespace vandrel
