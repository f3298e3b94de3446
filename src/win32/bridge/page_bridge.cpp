#include "win32/bridge/page_bridge.h"

#include <knownfolders.h>

#include <array>

#include "portable/bridge/page_message.h"
#include "portable/webview/link_policy.h"
#include "win32/extensions/extension_library.h"
#include "win32/util/com_ptr.h"
#include "win32/util/files.h"
#include "win32/util/text.h"
#include "win32/util/trace.h"

namespace vandrel {

namespace {

constexpr size_t kWebResourceIndex = 1;

// The known folder behind each token from index 3 on.
const KNOWNFOLDERID* const kKnownFolders[] = {
    &FOLDERID_LocalAppData, &FOLDERID_RoamingAppData, &FOLDERID_Desktop, &FOLDERID_Documents,
    &FOLDERID_Downloads,    &FOLDERID_Pictures,       &FOLDERID_Profile, &FOLDERID_SavedGames,
    &FOLDERID_Screenshots,  &FOLDERID_Videos,
};
static_assert(3 + std::size(kKnownFolders) == kFolderTokenCount);

// The folder a token stands for, as extensions know it.
std::string FolderOfToken(const AppFolders& folders, size_t index) {
    switch (index) {
        case 0:
            return folders.exeFolder;
        case kWebResourceIndex:
            return folders.webSubfolder;
        case 2:
            return folders.userDataFolder;
        default:
            return GetKnownFolder(*kKnownFolders[index - 3]);
    }
}

}  // namespace

PageBridge::PageBridge(AppFolders folders, std::string origin)
    : folders_(std::move(folders)), origin_(std::move(origin)) {}

void PageBridge::AttachBrowser(ICoreWebView2Environment* environment, ICoreWebView2* webview) {
    environment_ = environment;
    webview_ = webview;
}

HRESULT PageBridge::OnWebMessageReceived(ICoreWebView2WebMessageReceivedEventArgs* args) {
    if (args == nullptr) {
        return S_OK;
    }
    CoTaskString source;
    Traced(args->get_Source(source.Put()), "ICoreWebView2WebMessageReceivedEventArgs::get_Source");
    if (!IsInsideOrigin(source ? WideToUtf8(source.Get()) : std::string(), origin_)) {
        return S_OK;
    }
    CoTaskString message;
    if (FAILED(args->TryGetWebMessageAsString(message.Put())) || !message) {
        return S_OK;  // not a string
    }
    HandleMessage(WideToUtf8(message.Get()));
    return S_OK;
}

// Acts on one message text; nothing escapes, and a bad message changes nothing.
void PageBridge::HandleMessage(const std::string& text) {
    try {
        const PageCommand command = ParsePageMessage(text);
        switch (command.kind) {
            case PageCommandKind::WrapperInit:
                SendWrapperInitReply();
                break;
            case PageCommandKind::SetFullScreen:
                if (window_.setFullScreen) {
                    window_.setFullScreen(command.fullscreen);
                }
                break;
            case PageCommandKind::SetWindowSize:
                if (window_.setWindowSize) {
                    window_.setWindowSize(command.width, command.height);
                }
                break;
            case PageCommandKind::SetWindowPosition:
                if (window_.setWindowPosition) {
                    window_.setWindowPosition(command.x, command.y);
                }
                break;
            case PageCommandKind::SetWindowState:
                if (window_.setShowState) {
                    window_.setShowState(command.state);
                }
                break;
            case PageCommandKind::SetAlwaysOnTop:
                if (window_.setAlwaysOnTop) {
                    window_.setAlwaysOnTop(command.onTop);
                }
                break;
            case PageCommandKind::GetWindowState:
                if (window_.state) {
                    PostJson(WindowStateMessage(window_.state()));
                }
                break;
            case PageCommandKind::Log:
                if (log_) {
                    log_(command.level, command.message);
                }
                break;
            case PageCommandKind::ExtensionMessage:
                if (extensions_ != nullptr) {
                    // The whole text, as the page sent it, up to its first NUL byte.
                    extensions_->OnExtensionMessage(text);
                }
                break;
            case PageCommandKind::None:
                break;
        }
    } catch (...) {
        // An exception out of the extension library ends this message only.
    }
}

void PageBridge::SendWrapperInitReply() {
    PostDirectoryHandles();
    PostJson(WrapperInitReply(extensions_ != nullptr ? extensions_->ComponentIds()
                                                     : std::vector<std::string>()));
}

void PageBridge::PostDirectoryHandles() {
    const auto environment14 =
        QueryAs<ICoreWebView2Environment14>(environment_, IID_ICoreWebView2Environment14);
    const auto webview23 = QueryAs<ICoreWebView2_23>(webview_, IID_ICoreWebView2_23);
    if (!environment14 || !webview23) {
        return;  // a runtime too old for file-system handles
    }
    std::array<ComPtr<ICoreWebView2FileSystemHandle>, kFolderTokenCount> handles;
    std::array<IUnknown*, kFolderTokenCount> items{};
    for (size_t i = 0; i < kFolderTokenCount; ++i) {
        const std::string path = FolderOfToken(folders_, i);
        if (path.empty()) {
            continue;
        }
        folderTokens_[kFolderTokens[i]] = path;
        // The runtime takes fully qualified paths only; the web folder is known to extensions by
        // its relative name, and to the runtime by its full one.
        const std::string handlePath = i == kWebResourceIndex ? folders_.WebFolder() : path;
        Traced(environment14->CreateWebFileSystemDirectoryHandle(
                   Utf8ToWide(handlePath).c_str(),
                   COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION_READ_WRITE, handles[i].Put()),
               "ICoreWebView2Environment14::CreateWebFileSystemDirectoryHandle");
        items[i] = handles[i].Get();
    }
    ComPtr<ICoreWebView2ObjectCollection> collection;
    Traced(environment14->CreateObjectCollection(static_cast<UINT32>(items.size()), items.data(),
                                                 collection.Put()),
           "ICoreWebView2Environment14::CreateObjectCollection");
    Traced(webview23->PostWebMessageAsJsonWithAdditionalObjects(
               Utf8ToWide(DirectoryHandlesMessage()).c_str(), collection.Get()),
           "ICoreWebView2_23::PostWebMessageAsJsonWithAdditionalObjects");
}

void PageBridge::PostFullScreenChanged(bool on) {
    PostJson(FullScreenChangedMessage(on));
}

void PageBridge::PostJson(const std::string& json) {
    if (webview_ != nullptr) {
        Traced(webview_->PostWebMessageAsJson(Utf8ToWide(json).c_str()),
               "ICoreWebView2::PostWebMessageAsJson");
    }
}

void PageBridge::PostJsonToPage(const char* json) {
    // Before the browser exists there is no page.
    if (json != nullptr) {
        PostJson(json);
    }
}

const char* PageBridge::ResolveFolderToken(const char* token) {
    static const char kEmpty[] = "";
    if (token == nullptr) {
        return kEmpty;
    }
    const auto found = folderTokens_.find(token);
    return found != folderTokens_.end() ? found->second.c_str() : kEmpty;
}

}  // namespace vandrel
