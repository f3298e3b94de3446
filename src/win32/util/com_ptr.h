#pragma once

#include <objbase.h>

#include <cstddef>
#include <utility>

namespace vandrel {

// Owns one COM reference. Put() hands out the slot for an [out] parameter; Get() lends the pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* p) {
        if (p != nullptr) {
            p->AddRef();
        }
        return Adopt(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_ != nullptr) {
            p_->AddRef();
        }
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) {
            p->Release();
        }
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() {
        Reset();
        return &p_;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }

    template <typename U>
    ComPtr<U> Query(const IID& iid) const;

private:
    T* p_ = nullptr;
};

// The object behind `object` as interface U (`iid`), with a reference of its own; null when
// `object` is null or does not answer.
template <typename U, typename T>
ComPtr<U> QueryAs(T* object, const IID& iid) {
    ComPtr<U> r;
    if (object != nullptr &&
        FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(r.Put())))) {
        r.Reset();
    }
    return r;
}

template <typename T>
template <typename U>
ComPtr<U> ComPtr<T>::Query(const IID& iid) const {
    return QueryAs<U>(p_, iid);
}

// Owns a string that a COM call allocated with CoTaskMemAlloc.
class CoTaskString {
public:
    CoTaskString() = default;
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    ~CoTaskString() { CoTaskMemFree(p_); }
    LPWSTR* Put() {
        CoTaskMemFree(p_);
        p_ = nullptr;
        return &p_;
    }
    const wchar_t* Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    LPWSTR p_ = nullptr;
};

}  // namespace vandrel
