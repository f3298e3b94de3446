#include "portable/config/app_config.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "portable/config/config_keys.h"

namespace vandrel {

static_assert(static_cast<int32_t>(DistributionMode::Fixed) == 1 &&
              kDistributionModeValues[1] == std::string_view("fixed"));
static_assert(static_cast<int32_t>(HostingMode::WindowToVisual) == 1 &&
              kHostingModeValues[1] == std::string_view("window-to-visual"));
static_assert(static_cast<int32_t>(ContentMode::Remote) == 1 &&
              kContentModeValues[1] == std::string_view("remote"));

void LoadAppConfig(const std::string& text, AppConfig& config) {
    // c_str() on purpose: the parser stops at the first zero byte. No callback, exceptions on,
    // comments off.
    const nlohmann::json root = nlohmann::json::parse(text.c_str(), nullptr, true, false);

    // A root that is not an object has no "name" and fails here.
    config.name = ReadConfigString(root, keys::kName);
    if (config.name.empty()) {
        throw std::runtime_error("invalid name");
    }
    config.main = ReadConfigString(root, keys::kMain);

    config.title = ReadConfigString(root, keys::kTitle);
    config.width = ReadConfigNumber(root, keys::kWidth);
    config.height = ReadConfigNumber(root, keys::kHeight);
    config.icon = ReadConfigString(root, keys::kIcon);
    config.resizable = ReadConfigBool(root, keys::kResizable);

    config.chromiumArgs = ReadConfigString(root, keys::kChromiumArgs);

    // The position of a mode value in its key's list is its enumerator.
    config.distributionMode =
        static_cast<DistributionMode>(ReadConfigMode(root, keys::kDistributionMode));
    config.hostingMode = static_cast<HostingMode>(ReadConfigMode(root, keys::kHostingMode));
    config.contentMode = static_cast<ContentMode>(ReadConfigMode(root, keys::kContentMode));
    config.enableDevtools = ReadConfigBool(root, keys::kEnableDevtools);

    config.installWebView2Message = ReadConfigString(root, keys::kInstallWebView2Message);
    config.downloadingMessage = ReadConfigString(root, keys::kDownloadingMessage);
    config.installWebView2FailedMessage =
        ReadConfigString(root, keys::kInstallWebView2FailedMessage);
}

}  // namespace vandrel
