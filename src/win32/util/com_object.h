#pragma once

#include <objbase.h>

#include <atomic>

namespace vandrel {

// The base of every COM object the host makes itself, with one reference-count policy for all:
// the object starts with one reference, owned by whoever made it (ComPtr<I>::Adopt takes it over);
// the count is atomic, so references may be taken and dropped on any thread; the object deletes
// itself when the count reaches zero.
//
// QueryInterface answers IUnknown and kIid with the Interface pointer. A derived class answers
// more ids that the same pointer serves (the bases of Interface, IAgileObject) by overriding
// Answers.
template <typename Interface, const IID& kIid>
class ComObject : public Interface {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (!Answers(iid)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        return references_.fetch_add(1, std::memory_order_relaxed) + 1;
    }

    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

    virtual bool Answers(REFIID iid) {
        return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIid);
    }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace vandrel
