// File-system handles and object collections as the stand-in runtime makes them
// (ICoreWebView2Environment14). The runtime DLL uses these; a test can make them in-process too.
#pragma once

#include <windows.h>

#include <string_view>

#include "com_support.h"

namespace vandrel::testruntime {

// The values of COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND that the stand-in gives.
inline constexpr auto kFileHandleKind = static_cast<COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND>(0);
inline constexpr auto kDirectoryHandleKind = static_cast<COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND>(1);

// True for what the runtime takes as a fully qualified path: C:\... (a drive letter, a colon
// and a backslash), \\server\share[\...], \\?\C:\... and \\?\UNC\server\share[\...]. Relative
// paths, C:x, C:/x, \x and device paths (\\.\) are not.
bool IsFullyQualifiedPath(std::wstring_view path);

// A handle that answers get_Kind, get_Path (`path` exactly as given) and get_Permission with what
// it was made with. E_POINTER for a null path or a null [out] pointer; E_INVALIDARG, and no
// handle, for a path that is not fully qualified.
HRESULT CreateFileSystemHandle(COREWEBVIEW2_FILE_SYSTEM_HANDLE_KIND kind, LPCWSTR path,
                               COREWEBVIEW2_FILE_SYSTEM_HANDLE_PERMISSION permission,
                               ICoreWebView2FileSystemHandle** handle);

// A collection holding a reference of its own to each of the `length` items (null items stay
// null). E_POINTER when `items` is null with a length, or for a null [out] pointer.
HRESULT CreateObjectCollection(UINT32 length, IUnknown** items,
                               ICoreWebView2ObjectCollection** collection);

}  // namespace vandrel::testruntime
