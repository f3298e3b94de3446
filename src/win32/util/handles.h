#pragma once

#include <windows.h>

#include <utility>

namespace vandrel {

// One owner for a Win32 handle. Traits give the empty value and the release call.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Empty())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            Reset(std::exchange(o.h_, Traits::Empty()));
        }
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    void Reset(Handle h = Traits::Empty()) {
        Handle old = std::exchange(h_, h);
        if (old != Traits::Empty()) {
            Traits::Close(old);
        }
    }
    Handle Get() const { return h_; }
    Handle Release() { return std::exchange(h_, Traits::Empty()); }
    bool Valid() const { return h_ != Traits::Empty(); }
    explicit operator bool() const { return Valid(); }

private:
    Handle h_ = Traits::Empty();
};

struct FileHandleTraits {  // CreateFileW: failure is INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct KernelHandleTraits {  // mappings, processes, threads, events: failure is null
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct ViewTraits {  // MapViewOfFile
    using Handle = const void*;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { UnmapViewOfFile(h); }
};

struct ModuleTraits {  // LoadLibraryW
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};
struct IconTraits {  // icons the host made itself (never a shared stock icon)
    using Handle = HICON;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { DestroyIcon(h); }
};

struct BrushTraits {  // CreateSolidBrush
    using Handle = HBRUSH;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueView = UniqueHandle<ViewTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueBrush = UniqueHandle<BrushTraits>;

}  // namespace vandrel
