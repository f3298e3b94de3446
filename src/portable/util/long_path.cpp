#include "portable/util/long_path.h"

#include <string_view>

namespace vandrel {

namespace {

constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

bool HasLongPathPrefix(const std::wstring& path) {
    return std::wstring_view(path).starts_with(kLongPathPrefix);
}

}  // namespace

std::wstring AddLongPathPrefix(const std::wstring& path) {
    std::wstring result;
    result.reserve(path.size() + kLongUncPrefix.size());
    for (const wchar_t unit : path) {
        result.push_back(unit == L'/' ? L'\\' : unit);
    }
    // Short paths, paths already in the long form and device paths (\\.\) stay as they are. A
    // network path \\server\share takes the long form \\?\UNC\server\share: the long prefix in
    // front of its two backslashes would name nothing.
    const std::wstring_view converted(result);
    if (path.size() < kLongPathPrefix.size() || converted.starts_with(kLongPathPrefix) ||
        converted.starts_with(L"\\\\.\\")) {
        return result;
    }
    if (converted.starts_with(L"\\\\")) {
        return std::wstring(kLongUncPrefix).append(converted.substr(2));
    }
    return std::wstring(kLongPathPrefix).append(converted);
}

std::wstring StripLongPathPrefix(const std::wstring& path) {
    if (HasLongPathPrefix(path)) {
        return path.substr(kLongPathPrefix.size());
    }
    return path;
}

}  // namespace vandrel
