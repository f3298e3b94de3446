#pragma once

#include <string>
#include <string_view>

#include "portable/config/app_config.h"

namespace vandrel {

// The origin on which the host serves the app in bundle mode. The host name is reserved for
// loopback use and answered only by the WebView's request filter; it never changes, because the
// data the page stores in the user-data folder is kept per origin.
inline constexpr char kAppOrigin[] = "https://vandrel.localhost/";

// The addresses that belong to the app: kAppOrigin in bundle mode, the `main` URL in remote mode.
std::string ContentOrigin(const AppConfig& config);

// The first address the browser opens: the origin followed by `main` in bundle mode, `main` itself
// in remote mode.
std::string StartUrl(const AppConfig& config);

// True when a page's request for a new window may be handed to the shell: web pages (http:,
// https:) and mail (mailto:) only, the scheme compared without regard to case. Anything else
// (file:, UNC paths, javascript:, ms- and other protocol handlers) could start local programs on
// behalf of any page or frame, and is dropped.
bool MayOpenInShell(std::string_view uri);

// True when an address belongs to the app: it starts with exactly `origin` (the bundle origin, or
// the remote `main` URL). When `origin` is a scheme and an authority only, with no "/" after the
// host and port, the address must also end there or go on with "/", "?" or "#", so that
// "https://game.example.com" does not admit "https://game.example.com.evil.example/" or
// "https://game.example.com@evil.example/". Used for navigations, page messages and permissions.
bool IsInsideOrigin(std::string_view uri, std::string_view origin);

}  // namespace vandrel
