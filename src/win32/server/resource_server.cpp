#include "win32/server/resource_server.h"

#include <windows.h>
#include <shlwapi.h>

#include <optional>
#include <string>

#include "portable/server/response_plan.h"
#include "win32/util/com_ptr.h"
#include "win32/util/files.h"
#include "win32/util/text.h"
#include "win32/webview/vandrel_webview.h"

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
    if (headers == nullptr || FAILED(headers->Contains(L"Range", &contains)) || !contains) {
        return std::nullopt;
    }
    CoTaskString value;
    headers->GetHeader(L"Range", value.Put());
    return value ? WideToUtf8(value.Get()) : std::string();
}

ComPtr<IStream> MemoryStream(const void* bytes, uint64_t length) {
    return ComPtr<IStream>::Adopt(
        SHCreateMemStream(static_cast<const BYTE*>(bytes), static_cast<UINT>(length)));
}

// The body the plan names; leaves the plan answering 500 when a folder file cannot be opened or
// a range of it cannot be mapped.
ComPtr<IStream> OpenBody(VandrelWebView& host, ResponsePlan& plan) {
    switch (plan.body) {
        case BodyKind::NotFoundText:
            return MemoryStream(kNotFoundBody, sizeof(kNotFoundBody) - 1);
        case BodyKind::BundleBytes:
            return MemoryStream(host.bundle->GetFileData(plan.bodyOffset), plan.bodyLength);
        case BodyKind::WholeFolderFile: {
            // A file that is locked or may not be read gets no success status without a body.
            ComPtr<IStream> stream;
            if (FAILED(SHCreateStreamOnFileEx(ToApiPath(plan.folderPath).c_str(), STGM_READ, 0,
                                              FALSE, nullptr, stream.Put())) ||
                !stream) {
                MarkBodyUnavailable(plan);
                return {};
            }
            return stream;
        }
        case BodyKind::FolderRange: {
            // Never read past the view: a file that has grown since it was mapped is mapped
            // again; one that has shrunk below the range cannot answer it.
            const uint64_t needed = plan.bodyOffset + plan.bodyLength;
            uint64_t mappedSize = 0;
            const uint8_t* view =
                host.MapFile(plan.requestPath, plan.folderPath, needed, &mappedSize);
            if (view == nullptr || mappedSize < needed) {
                MarkBodyUnavailable(plan);
                return {};
            }
            return MemoryStream(view + plan.bodyOffset, plan.bodyLength);
        }
        case BodyKind::None:
            break;
    }
    return {};
}

}  // namespace

HRESULT OnWebResourceRequested(VandrelWebView& host,
                               ICoreWebView2WebResourceRequestedEventArgs* args) {
    if (args == nullptr || !host.environment) {
        return S_OK;
    }
    ComPtr<ICoreWebView2WebResourceRequest> request;
    args->get_Request(request.Put());
    if (!request) {
        return S_OK;
    }
    CoTaskString uri;
    request->get_Uri(uri.Put());
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    request->get_Headers(headers.Put());

    ResponsePlan plan =
        PlanResponse(uri ? WideToUtf8(uri.Get()) : std::string(), host.origin.size(), *host.bundle,
                     host.appFolder, host.webSubfolder, RangeHeader(headers.Get()), QueryFolder);
    ComPtr<IStream> body = OpenBody(host, plan);

    const std::wstring reason = Utf8ToWide(plan.reason);
    const std::wstring headerText = Utf8ToWide(plan.HeaderText());
    ComPtr<ICoreWebView2WebResourceResponse> response;
    host.environment->CreateWebResourceResponse(body.Get(), plan.status, reason.c_str(),
                                                headerText.c_str(), response.Put());
    if (response) {
        args->put_Response(response.Get());
    }
    return S_OK;
}

}  // namespace vandrel
