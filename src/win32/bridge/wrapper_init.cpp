// The answer to the page's start-up handshake: directory handles for thirteen folders, then the
// ids of the components the extension library registered.
#include <windows.h>
#include <knownfolders.h>

#include <array>

#include "portable/bridge/page_message.h"
#include "win32/util/com_ptr.h"
#include "win32/util/files.h"
#include "win32/util/text.h"
#include "win32/webview/vandrel_webview.h"

namespace vandrel {

namespace {

// The known folder behind each token from index 3 on.
const KNOWNFOLDERID* const kKnownFolders[] = {
    &FOLDERID_LocalAppData, &FOLDERID_RoamingAppData, &FOLDERID_Desktop, &FOLDERID_Documents,
    &FOLDERID_Downloads,    &FOLDERID_Pictures,       &FOLDERID_Profile, &FOLDERID_SavedGames,
    &FOLDERID_Screenshots,  &FOLDERID_Videos,
};
static_assert(3 + std::size(kKnownFolders) == kFolderTokenCount);

constexpr size_t kWebResourceIndex = 1;

std::string FolderOfToken(const VandrelWebView& host, size_t index) {
    switch (index) {
        case 0:
            return host.appFolder;
        case kWebResourceIndex:
            return host.webSubfolder;
        case 2:
            return host.userDataFolder;
        default:
            return GetKnownFolder(*kKnownFolders[index - 3]);
    }
}

}  // namespace

void VandrelWebView::SendWrapperInitReply() {
    PostDirectoryHandles();
    const std::string reply = WrapperInitReply(extensions != nullptr ? extensions->componentIds
                                                                     : std::vector<std::string>());
    if (webview) {
        webview->PostWebMessageAsJson(Utf8ToWide(reply).c_str());
    }
}

void VandrelWebView::PostDirectoryHandles() {
    auto environment14 =
        environment.Query<ICoreWebView2Environment14>(IID_ICoreWebView2Environment14);
    auto webview23 = webview.Query<ICoreWebView2_23>(IID_ICoreWebView2_23);
    if (!environment14 || !webview23) {
        return;  // a runtime too old for file-system handles
    }
    std::array<ComPtr<ICoreWebView2FileSystemHandle>, kFolderTokenCount> handles;
    std::array<IUnknown*, kFolderTokenCount> items{};
    for (size_t i = 0; i < kFolderTokenCount; ++i) {
        const std::string path = FolderOfToken(*this, i);
        if (path.empty()) {
            continue;
        }
        folderTokenMap[kFolderTokens[i]] = path;
        // The runtime takes fully qualified paths only; the web folder is known to extensions by
        // its relative name, and to the runtime by its full one.
        const std::string handlePath = i == kWebResourceIndex ? appFolder + webSubfolder : path;
        environment14->CreateWebFileSystemDirectoryHandle(
            Utf8ToWide(handlePath).c_str(), COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE,
            handles[i].Put());
        items[i] = handles[i].Get();
    }
    ComPtr<ICoreWebView2ObjectCollection> collection;
    environment14->CreateObjectCollection(static_cast<UINT32>(items.size()), items.data(),
                                          collection.Put());
    webview23->PostWebMessageAsJsonWithAdditionalObjects(
        Utf8ToWide(DirectoryHandlesMessage()).c_str(), collection.Get());
}

}  // namespace vandrel
