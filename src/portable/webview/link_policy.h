#pragma once

#include <string_view>

namespace vandrel {

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
