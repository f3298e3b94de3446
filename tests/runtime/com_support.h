// What the stand-in runtime's COM objects share: a reference-counted base, an owning interface
// pointer, and text conversions (the first two and the codec are the host's own).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "win32/util/com_object.h"
#include "win32/util/com_ptr.h"
#include "win32/util/text.h"
#include "win32/webview2/webview2.h"

namespace vandrel::testruntime {

// One owned reference to a COM object, or null: the host's own owner.
template <typename T>
using Ref = vandrel::ComPtr<T>;

// Hands `object` out through an [out] parameter with a reference for the caller.
template <typename Interface>
HRESULT GiveOut(Interface* object, Interface** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = object;
    if (object != nullptr) {
        object->AddRef();
    }
    return S_OK;
}

// The stand-in's objects count their references as the host's own do.
using vandrel::ComObject;

// Text conversions, through the host's own codec.
inline std::string Utf8(std::wstring_view text) {
    return WideToUtf8(text);
}
inline std::wstring Wide(std::string_view text) {
    return Utf8ToWide(text);
}

// A CoTaskMemAlloc'd copy for an LPWSTR* [out] parameter.
inline HRESULT CoTaskCopy(std::wstring_view text, LPWSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*out == nullptr) {
        return E_OUTOFMEMORY;
    }
    memcpy(*out, text.data(), text.size() * sizeof(wchar_t));
    (*out)[text.size()] = L'\0';
    return S_OK;
}

// Sets a plain [out] parameter (BOOL, int, enumeration, ...).
template <typename T>
HRESULT GiveValue(T value, T* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = value;
    return S_OK;
}

}  // namespace vandrel::testruntime

// A property kept in `member`: get_ answers it, put_ replaces it.
#define VANDREL_KEPT_PROPERTY(name, type, member)                    \
    HRESULT STDMETHODCALLTYPE get_##name(type* value) override {     \
        return vandrel::testruntime::GiveValue<type>(member, value); \
    }                                                                \
    HRESULT STDMETHODCALLTYPE put_##name(type value) override {      \
        member = value;                                              \
        return S_OK;                                                 \
    }
