#pragma once

// What `vandrel serve` answers, without the network: the app's package.json, its bundle (mapped
// into memory) and www folder, and the kit's page library, turned into one response plan per
// request by the host's own response core.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portable/bundle/asset_bundle.h"
#include "portable/config/app_config.h"
#include "app/contained_tree.h"
#include "platform/file_io.h"
#include "platform/mapped_file.h"
#include "portable/server/response_plan.h"

namespace vandrel::tool {

// Reads APP_FOLDER/package.json with the host's loader. Throws ToolError naming the file, and the
// key when a value is refused.
AppConfig ReadPackageJson(const std::filesystem::path& appFolder);

enum class ContentSource { None, Bundle, Folder, Kit };

// "bundle", "folder", "kit", or "" for None.
const char* SourceName(ContentSource source);

// The answer to one request: the plan, and where its body bytes are.
struct ServedAnswer {
    ResponsePlan plan;
    ContentSource source = ContentSource::None;  // where the named file was found
    // Bundle and Kit bodies: the first body byte, inside the mapped image; the 404 text.
    const uint8_t* bytes = nullptr;
    // Folder bodies: the opened file; the body is plan.bodyLength bytes from plan.bodyOffset.
    std::unique_ptr<InputFile> file;
    // Folder files found only by ignoring case (as Windows does): the name on disk.
    std::string nameOnDisk;
    // Why the folder file could not be read (the plan is then a 500).
    std::string problem;
};

class AppContent {
public:
    // Maps APP_FOLDER/www/assets.dat when it is there. A bundle the host's reader rejects is
    // served as far as it was read, as the host does, with a warning. Throws ToolError when www/
    // is missing, or with bundleOnly when there is no bundle file.
    AppContent(const std::filesystem::path& appFolder, const AppConfig& config, bool bundleOnly);
    AppContent(const AppContent&) = delete;
    AppContent& operator=(const AppContent&) = delete;

    // The answer to a request whose target is `target` (origin form "/path?query", or absolute
    // form "http://host/path"), with the Range header's value when there is one. The bundle, then
    // the www folder (not with bundleOnly), then the kit's page library; every plan comes from
    // PlanResponse, with the cross-origin isolation headers when the app asks for them. Safe to
    // call on several threads at once.
    ServedAnswer Answer(std::string_view target, const std::optional<std::string>& range) const;

    // Things the app maker should know before the first request (a rejected bundle, a start page
    // that is not there), one line each.
    const std::vector<std::string>& Warnings() const { return warnings_; }
    // One line that says what is served, e.g. "www/assets.dat (12 files), then www/".
    std::string Describe() const;

private:
    // The www folder's tree, found again through the app folder. Answer runs on several threads
    // at once: the tree is replaced under a lock, and kept alive by the answers that use it.
    std::shared_ptr<const ContainedTree> Www() const;
    ServedAnswer Find(std::string_view target, const std::optional<std::string>& range) const;

    ContainedTree app_;
    std::filesystem::path wwwPath_;
    mutable std::mutex wwwLock_;
    mutable std::shared_ptr<const ContainedTree> www_;
    mutable FileIdentity wwwIdentity_;
    mutable std::chrono::steady_clock::time_point wwwSeen_;  // when www was last looked at
    bool bundleOnly_ = false;
    bool isolated_ = false;  // settings.cross-origin-isolation
    bool hasBundle_ = false;
    std::unique_ptr<MappedFile> bundleFile_;
    AssetBundle bundle_;
    std::string kitImage_;
    AssetBundle kit_;
    std::vector<std::string> warnings_;
};

}  // namespace vandrel::tool
