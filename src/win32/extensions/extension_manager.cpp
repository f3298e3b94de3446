#include "win32/extensions/extension_manager.h"

#include <utility>

#include "portable/util/long_path.h"
#include "win32/util/text.h"
#include "win32/webview/vandrel_webview.h"

namespace vandrel {

ExtensionManager* currentExtensionManager = nullptr;

namespace {

template <typename Proc>
Proc Export(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

ExtensionManager::ExtensionManager(std::string exeFolder, std::string webSubfolder,
                                   std::string userDataFolder)
    : exeFolder(std::move(exeFolder)),
      webSubfolder(std::move(webSubfolder)),
      userDataFolder(std::move(userDataFolder)) {}

ExtensionManager::~ExtensionManager() {
    if (module != nullptr) {
        FreeLibrary(module);
    }
}

bool ExtensionManager::LoadExtension() {
    const std::wstring path = AddLongPathPrefix(Utf8ToWide(exeFolder) + L"WV2ExtManager.dll");
    module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        return false;
    }
    initProc = Export<InitProc>(module, "Init");
    releaseProc = Export<ReleaseProc>(module, "Release");
    onMainWindowCreatedProc = Export<OnMainWindowCreatedProc>(module, "OnMainWindowCreated");
    onExtensionMessageProc = Export<OnExtensionMessageProc>(module, "OnExtensionMessage");
    if (initProc == nullptr || releaseProc == nullptr || onMainWindowCreatedProc == nullptr ||
        onExtensionMessageProc == nullptr) {
        return false;
    }
    const char** ids =
        initProc(exeFolder.c_str(), webSubfolder.c_str(), userDataFolder.c_str(), this);
    if (ids == nullptr) {
        return false;
    }
    for (const char** id = ids; *id != nullptr; ++id) {
        componentIds.emplace_back(*id);
    }
    return true;
}

void ExtensionManager::PostJsonToPage(const char* json) {
    // Before the host exists, and before or after its browser control, there is no page.
    if (host == nullptr || !host->webview || json == nullptr) {
        return;
    }
    const std::wstring text = Utf8ToWide(json);
    host->webview->PostWebMessageAsJson(text.c_str());
}

const char* ExtensionManager::ResolveFolderToken(const char* token) {
    static const char kEmpty[] = "";
    if (host == nullptr || token == nullptr) {
        return kEmpty;
    }
    const auto found = host->folderTokenMap.find(token);
    return found != host->folderTokenMap.end() ? found->second.c_str() : kEmpty;
}

}  // namespace vandrel
