#include "portable/config/app_config.h"

#include <algorithm>
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
static_assert(static_cast<int>(LogMode::Off) == 2 && kLogModeValues[2] == std::string_view("off"));
static_assert(static_cast<int32_t>(WindowPosition::Center) == 1 &&
              kWindowPositionValues[1] == std::string_view("center"));

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
    // Only a colour that is written changes anything: without one the window looks as it always
    // has.
    if (const nlohmann::json* window = KeyContainer(root, keys::kBackgroundColor);
        window != nullptr && window->is_object() &&
        window->contains(keys::kBackgroundColor.name)) {
        config.backgroundColor = ParseColor(ReadConfigString(root, keys::kBackgroundColor));
    } else {
        config.backgroundColor.reset();
    }
    config.pauseWhenMinimized = ReadConfigBool(root, keys::kPauseWhenMinimized);
    config.fullscreenKeys = ReadConfigBool(root, keys::kFullscreenKeys);
    config.fullscreen = ReadConfigBool(root, keys::kFullscreen);
    const auto bounds = [&root](const ConfigKey& minKey, const ConfigKey& maxKey, int32_t& min,
                                int32_t& max) {
        min = std::max(0, ReadConfigNumber(root, minKey));
        max = std::max(0, ReadConfigNumber(root, maxKey));
        if (min > 0 && max > 0 && min > max) {
            min = max = 0;  // which of the two was meant cannot be known
        }
    };
    bounds(keys::kMinWidth, keys::kMaxWidth, config.minWidth, config.maxWidth);
    bounds(keys::kMinHeight, keys::kMaxHeight, config.minHeight, config.maxHeight);
    config.position = static_cast<WindowPosition>(ReadConfigMode(root, keys::kPosition));
    config.maximized = ReadConfigBool(root, keys::kMaximized);
    config.alwaysOnTop = ReadConfigBool(root, keys::kAlwaysOnTop);
    config.remember = ReadConfigBool(root, keys::kRemember);

    config.chromiumArgs = ReadConfigString(root, keys::kChromiumArgs);

    // The position of a mode value in its key's list is its enumerator.
    config.distributionMode =
        static_cast<DistributionMode>(ReadConfigMode(root, keys::kDistributionMode));
    config.hostingMode = static_cast<HostingMode>(ReadConfigMode(root, keys::kHostingMode));
    config.contentMode = static_cast<ContentMode>(ReadConfigMode(root, keys::kContentMode));
    config.enableDevtools = ReadConfigBool(root, keys::kEnableDevtools);
    config.crossOriginIsolation = ReadConfigBool(root, keys::kCrossOriginIsolation);
    config.singleInstance = ReadConfigBool(root, keys::kSingleInstance);
    config.logMode = static_cast<LogMode>(ReadConfigMode(root, keys::kLog));

    config.installWebView2Message = ReadConfigString(root, keys::kInstallWebView2Message);
    config.downloadingMessage = ReadConfigString(root, keys::kDownloadingMessage);
    config.installWebView2FailedMessage =
        ReadConfigString(root, keys::kInstallWebView2FailedMessage);
    config.pageCrashedMessage = ReadConfigString(root, keys::kPageCrashedMessage);
    config.pageUnresponsiveMessage = ReadConfigString(root, keys::kPageUnresponsiveMessage);
}

std::optional<uint32_t> ParseColor(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') {
        return std::nullopt;
    }
    uint32_t color = 0;
    for (const char c : text.substr(1)) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        color = color << 4 | digit;
    }
    return color;
}

}  // namespace vandrel
