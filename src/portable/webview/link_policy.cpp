#include "portable/webview/link_policy.h"

namespace vandrel {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SchemeIs(std::string_view scheme, std::string_view expected) {
    if (scheme.size() != expected.size()) {
        return false;
    }
    for (size_t i = 0; i < scheme.size(); ++i) {
        if (Lower(scheme[i]) != expected[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool MayOpenInShell(std::string_view uri) {
    const size_t colon = uri.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view scheme = uri.substr(0, colon);
    if (SchemeIs(scheme, "http") || SchemeIs(scheme, "https")) {
        // A web address names a host: http://host/...
        return uri.substr(colon + 1).starts_with("//") && uri.size() > colon + 3;
    }
    return SchemeIs(scheme, "mailto");
}

bool IsInsideOrigin(std::string_view uri, std::string_view origin) {
    if (uri.substr(0, origin.size()) != origin) {
        return false;
    }
    // An origin written without a path ("https://game.example.com") must end where the host and
    // port end, or "https://game.example.com.evil.example/" would pass.
    const size_t scheme = origin.find("://");
    if (scheme == std::string_view::npos || uri.size() == origin.size()) {
        return true;
    }
    const std::string_view authority = origin.substr(scheme + 3);
    if (authority.empty() || authority.find_first_of("/?#") != std::string_view::npos) {
        return true;  // a path, query or fragment already ends the authority
    }
    const char next = uri[origin.size()];
    return next == '/' || next == '?' || next == '#';
}

std::string ContentOrigin(const AppConfig& config) {
    return config.contentMode == ContentMode::Remote ? config.main : kAppOrigin;
}

std::string StartUrl(const AppConfig& config) {
    return config.contentMode == ContentMode::Remote ? config.main : kAppOrigin + config.main;
}

}  // namespace vandrel
