#pragma once

#include <string_view>

namespace vandrel {

// True when a page's request for a new window may be handed to the shell: web pages (http:,
// https:) and mail (mailto:) only, the scheme compared without regard to case. Anything else
// (file:, UNC paths, javascript:, ms- and other protocol handlers) could start local programs on
// behalf of any page or frame, and is dropped.
bool MayOpenInShell(std::string_view uri);

// True when a navigation stays on the app's origin: the address starts with exactly `origin`.
bool IsInsideOrigin(std::string_view uri, std::string_view origin);

}  // namespace vandrel
