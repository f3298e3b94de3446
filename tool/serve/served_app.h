#pragma once

// The app that `vandrel serve` answers for. With --watch it is read again when its files change:
// the content anew (the bundle mapped again, the www folder looked at afresh) and package.json,
// of which a broken version is reported and the last good one kept.

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "portable/config/app_config.h"
#include "serve/serve_content.h"

namespace vandrel::tool {

class ServedApp {
public:
    // Reads package.json and maps the app's content. Throws ToolError as ReadPackageJson and
    // AppContent do.
    ServedApp(std::filesystem::path folder, bool bundleOnly);

    // What requests are answered from now; answers in flight keep the content they began with.
    std::shared_ptr<const AppContent> Content() const;
    // The settings in use: the last good package.json.
    AppConfig Config() const;

    // Reads the app again. Returns what the app maker should know, one line each: a package.json
    // that is broken (the last good one is kept), content that cannot be served (what was served
    // before stays), a bundle the host would reject.
    std::vector<std::string> Reload();

private:
    std::filesystem::path folder_;
    bool bundleOnly_;
    mutable std::mutex lock_;
    AppConfig config_;
    std::shared_ptr<const AppContent> content_;
};

}  // namespace vandrel::tool
