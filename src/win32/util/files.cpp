#include "win32/util/files.h"

#include <pathcch.h>
#include <shlobj.h>

#include <memory>

#include "win32/util/com_ptr.h"
#include "win32/util/handles.h"
#include "portable/util/long_path.h"
#include "win32/util/text.h"

namespace vandrel {

namespace {

constexpr DWORD kMaxPathUnits = 32767;

// Attributes and size of a path, without opening it.
bool QueryAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExW(ToApiPath(path).c_str(), GetFileExInfoStandard, &data) != FALSE;
}

}  // namespace

std::wstring ToApiPath(const std::string& path) {
    return AddLongPathPrefix(Utf8ToWide(path));
}

std::string GetExePath() {
    static std::string cache;
    if (!cache.empty()) {
        return cache;
    }
    auto module = std::make_unique<wchar_t[]>(kMaxPathUnits);
    auto canonical = std::make_unique<wchar_t[]>(kMaxPathUnits);
    module[0] = L'\0';
    canonical[0] = L'\0';
    const DWORD n = GetModuleFileNameW(nullptr, module.get(), kMaxPathUnits);
    if (n == 0 || n >= kMaxPathUnits) {
        return {};
    }
    if (FAILED(PathCchCanonicalizeEx(canonical.get(), kMaxPathUnits, module.get(),
                                     PATHCCH_ALLOW_LONG_PATHS))) {
        return {};
    }
    cache = WideToUtf8(StripLongPathPrefix(canonical.get()));
    return cache;
}

std::string GetKnownFolder(const KNOWNFOLDERID& id) {
    PWSTR raw = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(id, 0, nullptr, &raw);
    std::string result;
    if (SUCCEEDED(hr) && raw != nullptr) {
        result = WideToUtf8(StripLongPathPrefix(raw));
    }
    CoTaskMemFree(raw);
    return result;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(ToApiPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int32_t GetFileSize32(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!QueryAttributes(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        data.nFileSizeHigh != 0 || data.nFileSizeLow > 0x7FFFFFFFu) {
        return 0;
    }
    return static_cast<int32_t>(data.nFileSizeLow);
}

std::string ReadWholeFile(const std::string& path) {
    UniqueFile file(CreateFileW(ToApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        return {};
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF) {
        return {};
    }
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < content.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), content.data() + done, static_cast<DWORD>(content.size() - done),
                      &got, nullptr)) {
            return {};
        }
        if (got == 0) {
            break;  // the file shrank while it was read
        }
        done += got;
    }
    content.resize(done);
    return content;
}

}  // namespace vandrel
