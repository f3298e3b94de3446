#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "portable/config/app_folders.h"
#include "win32/server/bundle_image.h"
#include "win32/util/mapped_file.h"
#include "win32/webview2/webview2.h"

namespace vandrel {

// Answers every request the page makes to the app's origin, from the bundle or the www folder:
// the decisions come from the portable request core (PlanResponse), the bytes from the mapped
// bundle, the folder file, or a view of it kept for range requests. Bundle bodies and folder
// ranges are streams over the mapped views themselves, nothing copied, that keep their view
// mapped for as long as the runtime reads them. Requests are answered on the UI thread,
// synchronously inside the event.
class ContentServer {
public:
    // `bundle` must outlive this object. `isolated`: every answer carries the cross-origin
    // isolation headers (AddIsolationHeaders).
    ContentServer(const BundleImage& bundle, AppFolders folders, size_t originLength,
                  bool isolated = false);
    ContentServer(const ContentServer&) = delete;
    ContentServer& operator=(const ContentServer&) = delete;

    // The web-resource-requested event: sets the response on `args`, made by `environment`.
    // Always S_OK.
    HRESULT OnWebResourceRequested(ICoreWebView2Environment* environment,
                                   ICoreWebView2WebResourceRequestedEventArgs* args);

    // A read-only view of a whole folder file, mapped once per request path and kept for the run,
    // so that a media element seeking in a file maps it only once. A view smaller than `needed`
    // bytes (the file has grown) is mapped again. Null when the file cannot be opened or mapped;
    // nothing is kept then.
    std::shared_ptr<const MappedFile> FolderView(const std::string& key, const std::string& path,
                                                 uint64_t needed);
    // How many folder views are kept.
    size_t FolderViewCount() const { return folderViews_.size(); }

private:
    const BundleImage& bundle_;
    const AppFolders folders_;
    const size_t originLength_;
    const bool isolated_;
    std::map<std::string, std::shared_ptr<const MappedFile>> folderViews_;
};

}  // namespace vandrel
