#include "portable/config/app_config.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "portable/util/json_lookup.h"

namespace vandrel {

namespace {

// The member `key` of the root object, or an empty object when it is missing. A member of the
// wrong type is returned as it is; the typed lookups then fall back to their defaults.
const nlohmann::json& Section(const nlohmann::json& root, const char* key) {
    static const nlohmann::json kEmpty = nlohmann::json::object();
    const auto it = root.find(key);
    return it == root.end() ? kEmpty : *it;
}

DistributionMode ParseDistributionMode(const std::string& text) {
    if (text == "evergreen") {
        return DistributionMode::Evergreen;
    }
    if (text == "fixed") {
        return DistributionMode::Fixed;
    }
    throw std::runtime_error("invalid distribution mode");
}

HostingMode ParseHostingMode(const std::string& text) {
    if (text == "windowed") {
        return HostingMode::Windowed;
    }
    if (text == "window-to-visual") {
        return HostingMode::WindowToVisual;
    }
    throw std::runtime_error("invalid hosting mode");
}

ContentMode ParseContentMode(const std::string& text) {
    if (text == "bundle") {
        return ContentMode::Bundle;
    }
    if (text == "remote") {
        return ContentMode::Remote;
    }
    throw std::runtime_error("invalid content mode");
}

}  // namespace

void LoadAppConfig(const std::string& text, AppConfig& config) {
    // c_str() on purpose: the parser stops at the first zero byte. No callback, exceptions on,
    // comments off.
    const nlohmann::json root = nlohmann::json::parse(text.c_str(), nullptr, true, false);

    // A root that is not an object has no "name" and fails here.
    config.name = JsonGetString(root, "name", "");
    if (config.name.empty()) {
        throw std::runtime_error("invalid name");
    }
    config.main = JsonGetString(root, "main", kDefaultMain);

    const nlohmann::json& window = Section(root, "window");
    config.title = JsonGetString(window, "title", kDefaultWindowTitle);
    config.width = JsonGetInt(window, "width", kDefaultWindowWidth);
    config.height = JsonGetInt(window, "height", kDefaultWindowHeight);
    config.icon = JsonGetString(window, "icon", "");
    config.resizable = JsonGetBool(window, "resizable", true);

    config.chromiumArgs = JsonGetString(root, "chromium-args", "");

    const nlohmann::json& settings = Section(root, "settings");
    config.distributionMode =
        ParseDistributionMode(JsonGetString(settings, "distribution-mode", "evergreen"));
    config.hostingMode = ParseHostingMode(JsonGetString(settings, "hosting-mode", "windowed"));
    config.contentMode = ParseContentMode(JsonGetString(settings, "content-mode", "bundle"));
    config.enableDevtools = JsonGetBool(settings, "enable-devtools", true);

    const nlohmann::json& messages = Section(root, "messages");
    config.installWebView2Message =
        JsonGetString(messages, "install-webview2", kDefaultInstallWebView2Message);
    config.downloadingMessage = JsonGetString(messages, "downloading", kDefaultDownloadingMessage);
    config.installWebView2FailedMessage =
        JsonGetString(messages, "install-webview2-failed", kDefaultInstallWebView2FailedMessage);
}

}  // namespace vandrel
