#include "win32/server/content_server.h"

#include <windows.h>
#include <shlwapi.h>

#include <optional>
#include <string>
#include <utility>

#include "portable/server/response_plan.h"
#include "win32/util/com_ptr.h"
#include "win32/util/files.h"
#include "win32/util/text.h"
#include "win32/server/view_stream.h"
#include "win32/util/trace.h"

namespace vandrel {

namespace {

FolderEntry QueryFolder(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ToApiPath(path).c_str(), GetFileExInfoStandard, &data)) {
        return {};
    }
    FolderEntry entry;
    entry.exists = true;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return entry;
}

std::optional<std::string> RangeHeader(ICoreWebView2HttpRequestHeaders* headers) {
    BOOL contains = FALSE;
    if (headers == nullptr ||
        FAILED(Traced(headers->Contains(L"Range", &contains),
                      "ICoreWebView2HttpRequestHeaders::Contains")) ||
        !contains) {
        return std::nullopt;
    }
    CoTaskString value;
    Traced(headers->GetHeader(L"Range", value.Put()), "ICoreWebView2HttpRequestHeaders::GetHeader");
    return value ? WideToUtf8(value.Get()) : std::string();
}

// A stream over bytes of `view`, which it keeps mapped for as long as it is read.
ComPtr<IStream> ViewBytes(const std::shared_ptr<const MappedFile>& view, const uint8_t* bytes,
                          uint64_t length) {
    return MakeViewStream(SpanReader(view, bytes, length));
}

}  // namespace

ContentServer::ContentServer(const BundleImage& bundle, AppFolders folders, size_t originLength,
                             bool isolated)
    : bundle_(bundle),
      folders_(std::move(folders)),
      originLength_(originLength),
      isolated_(isolated) {}

std::shared_ptr<const MappedFile> ContentServer::FolderView(const std::string& key,
                                                            const std::string& path,
                                                            uint64_t needed) {
    const auto found = folderViews_.find(key);
    if (found != folderViews_.end() && found->second->Size() >= needed) {
        return found->second;
    }
    auto view = MappedFile::Open(path);
    if (view) {
        folderViews_.insert_or_assign(key, view);  // a stale, smaller view is replaced
    }
    return view;
}

HRESULT ContentServer::OnWebResourceRequested(ICoreWebView2Environment* environment,
                                              ICoreWebView2WebResourceRequestedEventArgs* args) {
    if (args == nullptr || environment == nullptr) {
        return S_OK;
    }
    ComPtr<ICoreWebView2WebResourceRequest> request;
    Traced(args->get_Request(request.Put()),
           "ICoreWebView2WebResourceRequestedEventArgs::get_Request");
    if (!request) {
        return S_OK;
    }
    CoTaskString uri;
    Traced(request->get_Uri(uri.Put()), "ICoreWebView2WebResourceRequest::get_Uri");
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    Traced(request->get_Headers(headers.Put()), "ICoreWebView2WebResourceRequest::get_Headers");

    ResponsePlan plan = PlanResponse(uri ? WideToUtf8(uri.Get()) : std::string(), originLength_,
                                     bundle_.Reader(), folders_.exeFolder, folders_.webSubfolder,
                                     RangeHeader(headers.Get()), QueryFolder);
    if (isolated_) {
        AddIsolationHeaders(plan);
    }

    // The body the plan names. A body that cannot be had never leaves a success status without
    // it: the answer becomes 500.
    ComPtr<IStream> body;
    switch (plan.body) {
        case BodyKind::NotFoundText:
            body = ViewBytes(nullptr, reinterpret_cast<const uint8_t*>(kNotFoundBody),
                             kNotFoundBodyLength);
            break;
        case BodyKind::BundleBytes:
            body = ViewBytes(bundle_.Image(), bundle_.Reader().GetFileData(plan.bodyOffset),
                             plan.bodyLength);
            break;
        case BodyKind::WholeFolderFile:
            Traced(SHCreateStreamOnFileEx(ToApiPath(plan.folderPath).c_str(), STGM_READ, 0, FALSE,
                                          nullptr, body.Put()),
                   "SHCreateStreamOnFileEx");
            break;
        case BodyKind::FolderRange: {
            // Never read past the view: a file that has grown since it was mapped is mapped
            // again; one that has shrunk below the range cannot answer it.
            const uint64_t needed = plan.bodyOffset + plan.bodyLength;
            const auto view = FolderView(plan.requestPath, plan.folderPath, needed);
            if (view && view->Size() >= needed) {
                body = ViewBytes(view, view->Data() + plan.bodyOffset, plan.bodyLength);
            }
            break;
        }
        case BodyKind::None:
            break;
    }
    if (plan.body != BodyKind::None && !body) {
        MarkBodyUnavailable(plan);
    }

    const std::wstring reason = Utf8ToWide(plan.reason);
    const std::wstring headerText = Utf8ToWide(plan.HeaderText());
    ComPtr<ICoreWebView2WebResourceResponse> response;
    Traced(environment->CreateWebResourceResponse(body.Get(), plan.status, reason.c_str(),
                                                  headerText.c_str(), response.Put()),
           "ICoreWebView2Environment::CreateWebResourceResponse");
    if (response) {
        Traced(args->put_Response(response.Get()),
               "ICoreWebView2WebResourceRequestedEventArgs::put_Response");
    }
    return S_OK;
}

}  // namespace vandrel
