#include "win32/app/single_instance.h"

#include <sddl.h>

#include <cstdio>

#include "win32/app/main_window.h"
#include "win32/util/text.h"

namespace vandrel {

namespace {

constexpr wchar_t kTagProperty[] = L"Vandrel.Instance";

// The user's security id as text ("S-1-5-21-..."), or empty when it cannot be had.
std::wstring UserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    const UniqueKernelHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    LPWSTR text = nullptr;
    std::wstring sid;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    return sid;
}

// 64-bit FNV-1a of the user and the app's name (never 0): names of any length and with any
// characters make a valid object name, and the tag fits a window property.
uint64_t InstanceTag(const std::string& appName) {
    const std::string key = WideToUtf8(UserSid()) + '\n' + appName;
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : key) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash != 0 ? hash : 1;
}

struct Search {
    uint64_t tag;
    HWND found = nullptr;
};

BOOL CALLBACK FindTagged(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring_view(className) == MainWindow::kClassName &&
        reinterpret_cast<uintptr_t>(GetPropW(window, kTagProperty)) == search->tag) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::optional<SingleInstance> SingleInstance::Claim(const std::string& appName) {
    const uint64_t tag = InstanceTag(appName);
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Vandrel.Instance.%016llx",
                  static_cast<unsigned long long>(tag));
    UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, name));
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        return std::nullopt;
    }
    // Without the object (out of resources) the app runs as if it were alone.
    return SingleInstance(std::move(mutex), tag);
}

void SingleInstance::BringForward(const std::string& appName) {
    Search search{InstanceTag(appName)};
    EnumWindows(FindTagged, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr || !IsWindowVisible(search.found)) {
        return;  // still starting: its window comes by itself
    }
    if (IsIconic(search.found)) {
        ShowWindow(search.found, SW_RESTORE);
    }
    SetForegroundWindow(search.found);
}

void SingleInstance::MarkWindow(HWND window) const {
    SetPropW(window, kTagProperty, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(tag_)));
}

}  // namespace vandrel
