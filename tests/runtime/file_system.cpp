#include <windows.h>

#include "file_system.h"

#include <string>
#include <vector>

namespace vandrel::testruntime {

namespace {

class FileSystemHandle
    : public ComObject<ICoreWebView2FileSystemHandle, IID_ICoreWebView2FileSystemHandle> {
public:
    FileSystemHandle(COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND kind, std::wstring path,
                     COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission)
        : kind_(kind), path_(std::move(path)), permission_(permission) {}

    HRESULT STDMETHODCALLTYPE get_Kind(COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND* value) override {
        return GiveValue(kind_, value);
    }
    HRESULT STDMETHODCALLTYPE get_Path(LPWSTR* value) override { return CoTaskCopy(path_, value); }
    HRESULT STDMETHODCALLTYPE
    get_Permission(COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION* value) override {
        return GiveValue(permission_, value);
    }

private:
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND kind_;
    std::wstring path_;
    COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission_;
};

class ObjectCollection
    : public ComObject<ICoreWebView2ObjectCollection, IID_ICoreWebView2ObjectCollection> {
public:
    explicit ObjectCollection(std::vector<Ref<IUnknown>> items) : items_(std::move(items)) {}

    HRESULT STDMETHODCALLTYPE get_Count(UINT32* value) override {
        return GiveValue(static_cast<UINT32>(items_.size()), value);
    }
    // A null item gives S_OK and null; an index past the end E_INVALIDARG and null.
    HRESULT STDMETHODCALLTYPE GetValueAtIndex(UINT32 index, IUnknown** value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = nullptr;
        if (index >= items_.size()) {
            return E_INVALIDARG;
        }
        return GiveOut(items_[index].Get(), value);
    }
    HRESULT STDMETHODCALLTYPE RemoveValueAtIndex(UINT32 index) override {
        if (index >= items_.size()) {
            return E_INVALIDARG;
        }
        items_.erase(items_.begin() + index);
        return S_OK;
    }
    // `index` may be the count, which appends.
    HRESULT STDMETHODCALLTYPE InsertValueAtIndex(UINT32 index, IUnknown* value) override {
        if (index > items_.size()) {
            return E_INVALIDARG;
        }
        items_.insert(items_.begin() + index, Ref<IUnknown>::Share(value));
        return S_OK;
    }

private:
    bool Answers(REFIID iid) override {
        return iid == IID_IUnknown || iid == IID_ICoreWebView2ObjectCollectionView ||
               iid == IID_ICoreWebView2ObjectCollection;
    }

    std::vector<Ref<IUnknown>> items_;
};

}  // namespace

bool IsFullyQualifiedPath(std::wstring_view path) {
    const auto isLetter = [](wchar_t c) {
        return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    };
    // "C:\...": a drive letter, a colon and a backslash.
    const auto drive = [&](std::wstring_view p) {
        return p.size() >= 3 && isLetter(p[0]) && p[1] == L':' && p[2] == L'\\';
    };
    // "server\share[\...]" after the two leading backslashes: both names present.
    const auto share = [](std::wstring_view p) {
        const size_t server = p.find(L'\\');
        if (server == 0 || server == std::wstring_view::npos) {
            return false;
        }
        const std::wstring_view rest = p.substr(server + 1);
        return !rest.empty() && rest.front() != L'\\';
    };
    if (path.starts_with(L"\\\\?\\")) {
        const std::wstring_view rest = path.substr(4);
        return drive(rest) || (rest.starts_with(L"UNC\\") && share(rest.substr(4)));
    }
    if (path.starts_with(L"\\\\")) {
        const std::wstring_view rest = path.substr(2);
        return !rest.starts_with(L".\\") && !rest.starts_with(L"?") && share(rest);
    }
    return drive(path);
}

HRESULT CreateFileSystemHandle(COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND kind, LPCWSTR path,
                               COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
                               ICoreWebView2FileSystemHandle** handle) {
    if (handle == nullptr) {
        return E_POINTER;
    }
    *handle = nullptr;
    if (path == nullptr) {
        return E_POINTER;
    }
    if (!IsFullyQualifiedPath(path)) {
        return E_INVALIDARG;
    }
    *handle = new FileSystemHandle(kind, path, permission);
    return S_OK;
}

HRESULT CreateObjectCollection(UINT32 length, IUnknown** items,
                               ICoreWebView2ObjectCollection** collection) {
    if (collection == nullptr) {
        return E_POINTER;
    }
    *collection = nullptr;
    if (items == nullptr && length > 0) {
        return E_POINTER;
    }
    std::vector<Ref<IUnknown>> held;
    for (UINT32 i = 0; i < length; ++i) {
        held.push_back(Ref<IUnknown>::Share(items[i]));
    }
    *collection = new ObjectCollection(std::move(held));
    return S_OK;
}

}  // namespace vandrel::testruntime
