// IPortableDeviceKeyCollection, IPortableDevicePropVariantCollection and IPortableDeviceValuesCollection:
// ordered lists of keys, of property variants of one type, and of value sets.
#include <portabledevicetypes.h>
#include <propvarutil.h>

#include <optional>

#include "log/hr_log.h"
#include "virtualphone/values/value_classes.h"
#include "virtualphone/values/value_support.h"
#include "win/unique_any.h"

namespace vphone {
namespace {

// Converts between the unsigned integer types of MTP parameters here: Wine has no PropVariantChangeType.
HRESULT ChangeItemType(PROPVARIANT *out, const PROPVARIANT &in, VARTYPE type) {
    const auto value = [&]() -> std::optional<ULONGLONG> {
        switch (in.vt) {
            case VT_UI1: return in.bVal;
            case VT_UI2: return in.uiVal;
            case VT_UI4: return in.ulVal;
            default: return std::nullopt;
        }
    }();
    const ULONGLONG limit = type == VT_UI1 ? 0xFF : type == VT_UI2 ? 0xFFFF : type == VT_UI4 ? 0xFFFFFFFF : 0;
    if (!value || limit == 0) return PropVariantChangeType(out, in, PVCHF_DEFAULT, type);
    if (*value > limit) return DISP_E_OVERFLOW;
    PropVariantInit(out);
    out->vt = type;
    out->ulVal = 0;
    if (type == VT_UI1) out->bVal = static_cast<BYTE>(*value);
    if (type == VT_UI2) out->uiVal = static_cast<USHORT>(*value);
    if (type == VT_UI4) out->ulVal = static_cast<ULONG>(*value);
    return S_OK;
}

// What both collections do alike: an ordered list whose GetAt hands out copies of Out.
template <class Derived, class Interface, class Item, class Out>
class Collection : public win::ComObject<Derived, Interface>, LiveObject {
public:
    STDMETHODIMP GetCount(DWORD *count) noexcept override { return items_.Count(count); }
    STDMETHODIMP GetAt(const DWORD index, Out *item) noexcept override { return items_.GetAt(index, item); }
    STDMETHODIMP Clear() noexcept override { return items_.Clear(); }
    STDMETHODIMP RemoveAt(const DWORD index) noexcept override { return items_.RemoveAt(index); }

protected:
    ItemList<Item> items_;
};

class PortableDeviceKeyCollection final : public Collection<PortableDeviceKeyCollection, IPortableDeviceKeyCollection,
                                                            PROPERTYKEY, PROPERTYKEY> {
public:
    STDMETHODIMP Add(REFPROPERTYKEY key) noexcept override {
        return items_.With([&](std::vector<PROPERTYKEY> &keys) {
            keys.push_back(key);
            return S_OK;
        });
    }
};

// The first item added decides the type of the collection (until ChangeType); a later item of another
// type is converted to it, or refused when it cannot be.
class PortableDevicePropVariantCollection final
    : public Collection<PortableDevicePropVariantCollection, IPortableDevicePropVariantCollection,
                        win::UniquePropVariant, PROPVARIANT> {
public:
    STDMETHODIMP Add(const PROPVARIANT *value) noexcept override {
        if (!value) return E_POINTER;
        return items_.With([&](std::vector<win::UniquePropVariant> &items) -> HRESULT {
            if (type_ == VT_EMPTY) type_ = value->vt;
            win::UniquePropVariant item;
            RETURN_IF_FAILED(value->vt == type_ ? PropVariantCopy(item.get(), value)
                                                : ChangeItemType(item.get(), *value, type_));
            items.push_back(std::move(item));
            return S_OK;
        });
    }

    STDMETHODIMP GetType(VARTYPE *type) noexcept override {
        if (!type) return E_POINTER;
        return items_.With([&](std::vector<win::UniquePropVariant> &) {
            *type = type_;
            return S_OK;
        });
    }

    // All or nothing: the items are converted into a new list that replaces the old one on success.
    STDMETHODIMP ChangeType(const VARTYPE type) noexcept override {
        std::vector<win::UniquePropVariant> old;  // cleared once the lock is let go
        return items_.With([&](std::vector<win::UniquePropVariant> &items) -> HRESULT {
            std::vector<win::UniquePropVariant> converted;
            converted.reserve(items.size());
            for (const win::UniquePropVariant &item : items) {
                win::UniquePropVariant copy;
                RETURN_IF_FAILED(ChangeItemType(copy.get(), *item, type));
                converted.push_back(std::move(copy));
            }
            old.swap(items);
            items.swap(converted);
            type_ = type;
            return S_OK;
        });
    }

private:
    VARTYPE type_ = VT_EMPTY;  // guarded by the lock of items_
};

// Holds references to the value sets added, not copies: GetAt hands out the very set that was added.
class PortableDeviceValuesCollection final
    : public Collection<PortableDeviceValuesCollection, IPortableDeviceValuesCollection,
                        Microsoft::WRL::ComPtr<IPortableDeviceValues>, IPortableDeviceValues *> {
public:
    STDMETHODIMP Add(IPortableDeviceValues *values) noexcept override {
        if (!values) return E_POINTER;
        return items_.With([&](std::vector<Microsoft::WRL::ComPtr<IPortableDeviceValues>> &items) {
            items.emplace_back(values);
            return S_OK;
        });
    }
};

}  // namespace

HRESULT CreatePortableDeviceValuesCollection(REFIID iid, void **object) noexcept {
    return CreateObject<PortableDeviceValuesCollection>(iid, object);
}

HRESULT CreatePortableDeviceKeyCollection(REFIID iid, void **object) noexcept {
    return CreateObject<PortableDeviceKeyCollection>(iid, object);
}

HRESULT CreatePortableDevicePropVariantCollection(REFIID iid, void **object) noexcept {
    return CreateObject<PortableDevicePropVariantCollection>(iid, object);
}

}  // namespace vphone
