#include "serve/served_app.h"

#include "platform/errors.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

ServedApp::ServedApp(fs::path folder, bool bundleOnly)
    : folder_(std::move(folder)), bundleOnly_(bundleOnly), config_(ReadPackageJson(folder_)) {
    if (config_.contentMode != ContentMode::Remote) {
        content_ = std::make_shared<const AppContent>(folder_, config_, bundleOnly_);
    }
}

std::shared_ptr<const AppContent> ServedApp::Content() const {
    const std::lock_guard<std::mutex> lock(lock_);
    return content_;
}

AppConfig ServedApp::Config() const {
    const std::lock_guard<std::mutex> lock(lock_);
    return config_;
}

std::vector<std::string> ServedApp::Reload() {
    std::vector<std::string> said;
    AppConfig config = Config();
    try {
        AppConfig read = ReadPackageJson(folder_);
        if (read.contentMode == ContentMode::Remote) {
            said.push_back(ShownPath(folder_ / "package.json") +
                           " now sets settings.content-mode to \"remote\", which leaves nothing to "
                           "serve; serving with the last good settings");
        } else {
            config = std::move(read);
        }
    } catch (const ToolError& error) {
        said.push_back(std::string(error.what()) + "; serving with the last good settings");
    }
    std::shared_ptr<const AppContent> content;
    try {
        content = std::make_shared<const AppContent>(folder_, config, bundleOnly_);
    } catch (const ToolError& error) {
        said.push_back(std::string(error.what()) + "; serving what was there before");
        return said;
    }
    said.insert(said.end(), content->Warnings().begin(), content->Warnings().end());
    const std::lock_guard<std::mutex> lock(lock_);
    config_ = std::move(config);
    content_ = std::move(content);
    return said;
}

}  // namespace vandrel::tool
