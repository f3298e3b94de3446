#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vandrel {

class VandrelWebView;

// What the extension library receives to talk back to the host. The layout is part of the
// library interface: exactly these two virtual functions, in this order, and no virtual
// destructor (the library never deletes the object). Call both on the UI thread only.
class IWrapperApp {
public:
    // Posts a JSON text (UTF-8, NUL-terminated) to the page as a web message. Dropped while
    // there is no page to post to.
    virtual void PostJsonToPage(const char* json) = 0;
    // The folder a token such as "<documents>" stands for, as UTF-8; an empty text, never null,
    // when the token is unknown or not resolved yet. Valid until the page's next "wrapper-init".
    virtual const char* ResolveFolderToken(const char* token) = 0;
};

// The optional library WV2ExtManager.dll beside the executable: its four exports, the folders
// it is told about and the component ids it registers.
class ExtensionManager final : public IWrapperApp {
public:
    using InitProc = const char** (*)(const char* exeFolder, const char* webSubfolder,
                                      const char* userDataFolder, IWrapperApp* app);
    using ReleaseProc = void (*)();
    using OnMainWindowCreatedProc = void (*)(HWND mainWindow);
    using OnExtensionMessageProc = void (*)(const char* messageJson);

    ExtensionManager(std::string exeFolder, std::string webSubfolder, std::string userDataFolder);
    // Frees the library if shutdown has not already done so (a start-up that failed later on).
    ~ExtensionManager();
    ExtensionManager(const ExtensionManager&) = delete;
    ExtensionManager& operator=(const ExtensionManager&) = delete;

    // Loads the library by its full path and calls "Init" when all four exports are there. True
    // only when "Init" ran and returned a list of component ids.
    bool LoadExtension();

    void PostJsonToPage(const char* json) override;
    const char* ResolveFolderToken(const char* token) override;

    HMODULE module = nullptr;
    InitProc initProc = nullptr;
    ReleaseProc releaseProc = nullptr;
    OnMainWindowCreatedProc onMainWindowCreatedProc = nullptr;
    OnExtensionMessageProc onExtensionMessageProc = nullptr;
    const std::string exeFolder;
    const std::string webSubfolder;
    const std::string userDataFolder;
    VandrelWebView* host = nullptr;
    std::vector<std::string> componentIds;
};

// The process's one extension manager, for the host object that attaches itself to it.
extern ExtensionManager* currentExtensionManager;

}  // namespace vandrel
