// What the value classes share: their place in the live-object count, creation, and an ordered list
// of items behind a lock (the objects are free-threaded).
#pragma once

#include <windows.h>
#include <propidl.h>
#include <wrl/client.h>

#include <mutex>
#include <utility>
#include <vector>

#include "win/com_object.h"
#include "win/unique_any.h"

namespace vphone {

// Counts itself among LiveValueObjects() for as long as it exists.
class LiveObject {
protected:
    LiveObject() noexcept;
    ~LiveObject();

public:
    LiveObject(const LiveObject &) = delete;
    LiveObject &operator=(const LiveObject &) = delete;
    // LockServer's locks count as live objects too: both keep the code in use.
    static void Adjust(long change) noexcept;
};

// Takes over the one reference that Create gives. Not ComPtr::Attach: mingw-w64 10's adds a reference.
template <class Object, class... Args>
Microsoft::WRL::ComPtr<Object> NewObject(Args &&...args) noexcept {
    Microsoft::WRL::ComPtr<Object> created;
    *created.GetAddressOf() = Object::Create(std::forward<Args>(args)...);
    return created;
}

template <class Object, class... Args>
HRESULT CreateObject(REFIID iid, void **object, Args &&...args) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    const auto created = NewObject<Object>(std::forward<Args>(args)...);
    if (!created) return E_OUTOFMEMORY;
    return created->QueryInterface(iid, object);
}

// Marks the copies handed to a caller (see HandingOutTaskMemory).
class HandOutScope {
public:
    HandOutScope() noexcept;
    ~HandOutScope();
    HandOutScope(const HandOutScope &) = delete;
    HandOutScope &operator=(const HandOutScope &) = delete;
};

inline HRESULT HandOutCopy(PROPVARIANT *out, const PROPVARIANT &value) noexcept {
    const HandOutScope handingOut;
    return PropVariantCopy(out, &value);
}

// What a collection's GetAt hands out for each kind of item.
inline HRESULT CopyItem(const PROPERTYKEY &item, PROPERTYKEY *out) noexcept {
    *out = item;
    return S_OK;
}
inline HRESULT CopyItem(const win::UniquePropVariant &item, PROPVARIANT *out) noexcept {
    return HandOutCopy(out, *item);
}
template <class Interface>
HRESULT CopyItem(const Microsoft::WRL::ComPtr<Interface> &item, Interface **out) noexcept {
    return item.CopyTo(out);
}

template <class Item>
class ItemList {
public:
    // Runs f(items) holding the lock; an exception comes back as an HRESULT.
    template <class F>
    HRESULT With(F &&f) noexcept {
        return win::GuardComMethod([&]() -> HRESULT {
            std::lock_guard hold(lock_);
            return f(items_);
        });
    }

    HRESULT Count(DWORD *count) noexcept {
        if (!count) return E_POINTER;
        return With([&](std::vector<Item> &items) {
            *count = static_cast<DWORD>(items.size());
            return S_OK;
        });
    }

    // Copies the item at index out, as CopyItem does for its kind.
    template <class Out>
    HRESULT GetAt(DWORD index, Out *out) noexcept {
        if (!out) return E_POINTER;
        return At(index, [&](const Item &item) { return CopyItem(item, out); });
    }

    // Runs f(item) holding the lock; E_INVALIDARG when index is out of range.
    template <class F>
    HRESULT At(DWORD index, F &&f) noexcept {
        return With([&](std::vector<Item> &items) { return index < items.size() ? f(items[index]) : E_INVALIDARG; });
    }

    // Removed items are destroyed after the lock is let go: releasing an interface they hold may run
    // code that calls back into this object.
    HRESULT RemoveAt(DWORD index) noexcept {
        Item removed{};
        return At(index, [&](Item &item) {
            removed = std::move(item);
            items_.erase(items_.begin() + index);
            return S_OK;
        });
    }

    HRESULT Clear() noexcept {
        std::vector<Item> removed;
        return With([&](std::vector<Item> &items) {
            removed.swap(items);
            return S_OK;
        });
    }

private:
    std::mutex lock_;
    std::vector<Item> items_;
};

}  // namespace vphone
