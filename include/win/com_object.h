// Base for the COM objects we implement: interlocked reference count starting at 1, QueryInterface
// over the listed interfaces, and no exception ever leaving a COM method.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <new>
#include <utility>

namespace win {

template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() = default;
    ComObject(const ComObject &) = delete;
    ComObject &operator=(const ComObject &) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void **object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == __uuidof(IUnknown)) {
            *object = static_cast<IUnknown *>(static_cast<FirstInterface *>(this));
        } else {
            ((*object == nullptr && iid == __uuidof(Interfaces) ? (*object = static_cast<Interfaces *>(this)), 0 : 0),
             ...);
            if (!*object) *object = static_cast<Derived *>(this)->QueryBaseInterface(iid);
        }
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) delete static_cast<Derived *>(this);
        return left;
    }

    // Creates an object whose one reference the caller owns; null when memory runs out.
    template <class... Args>
    static Derived *Create(Args &&...args) noexcept {
        try {
            return new Derived(std::forward<Args>(args)...);
        } catch (...) {
            return nullptr;
        }
    }

protected:
    // Virtual so that Release deletes the most derived object; the entries it adds come after every
    // interface method in the vtable, where no client looks.
    virtual ~ComObject() = default;
    // Interfaces that a listed interface derives from (IStream under IPortableDeviceDataStream, ...).
    void *QueryBaseInterface(REFIID) noexcept { return nullptr; }

private:
    template <class First, class...>
    struct FirstOf {
        using Type = First;
    };
    using FirstInterface = typename FirstOf<Interfaces...>::Type;

    std::atomic<ULONG> references_{1};
};

// Turns an exception that would leave a COM method into an HRESULT.
template <class F>
HRESULT GuardComMethod(F &&body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace win
