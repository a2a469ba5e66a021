// IPortableDeviceValues: PROPERTYKEY/PROPVARIANT pairs in the order they were first set. Set copies the
// value in; Get hands out a copy (strings and buffers in task memory, interfaces AddRef'd) that the
// caller frees.
#include <portabledevicetypes.h>
#include <propkeydef.h>
#include <propsys.h>

#include <algorithm>
#include <type_traits>

#include "log/hr_log.h"
#include "virtualphone/values/value_classes.h"
#include "virtualphone/values/value_support.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace vphone {
namespace {

// Where each scalar type sits in a PROPVARIANT.
template <VARTYPE Vt, auto Field>
struct Scalar {
    static constexpr VARTYPE vt = Vt;
    static auto &In(PROPVARIANT &value) { return Field(value); }
};
using UnsignedField = Scalar<VT_UI4, [](PROPVARIANT &v) -> auto & { return v.ulVal; }>;
using SignedField = Scalar<VT_I4, [](PROPVARIANT &v) -> auto & { return v.lVal; }>;
using UnsignedLargeField = Scalar<VT_UI8, [](PROPVARIANT &v) -> auto & { return v.uhVal.QuadPart; }>;
using SignedLargeField = Scalar<VT_I8, [](PROPVARIANT &v) -> auto & { return v.hVal.QuadPart; }>;
using FloatField = Scalar<VT_R4, [](PROPVARIANT &v) -> auto & { return v.fltVal; }>;
using ErrorField = Scalar<VT_ERROR, [](PROPVARIANT &v) -> auto & { return v.scode; }>;
using BoolField = Scalar<VT_BOOL, [](PROPVARIANT &v) -> auto & { return v.boolVal; }>;

struct Entry {
    PROPERTYKEY key{};
    win::UniquePropVariant value;
};

class PortableDeviceValues final : public win::ComObject<PortableDeviceValues, IPortableDeviceValues>,
                                   LiveObject {
public:
    STDMETHODIMP GetCount(DWORD *count) noexcept override { return entries_.Count(count); }

    STDMETHODIMP GetAt(const DWORD index, PROPERTYKEY *key, PROPVARIANT *value) noexcept override {
        return entries_.At(index, [&](const Entry &entry) {
            if (key) *key = entry.key;
            return value ? HandOutCopy(value, *entry.value) : S_OK;
        });
    }

    STDMETHODIMP SetValue(REFPROPERTYKEY key, const PROPVARIANT *value) noexcept override {
        if (!value) return E_POINTER;
        return Store(key, *value);
    }

    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT *value) noexcept override {
        if (!value) return E_POINTER;
        return entries_.With([&](std::vector<Entry> &entries) {
            const auto entry = Find(entries, key);
            if (entry == entries.end()) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
            return HandOutCopy(value, *entry->value);
        });
    }

    STDMETHODIMP SetStringValue(REFPROPERTYKEY key, LPCWSTR value) noexcept override {
        if (!value) return E_POINTER;
        PROPVARIANT stored{};
        stored.vt = VT_LPWSTR;
        stored.pwszVal = const_cast<LPWSTR>(value);  // Store copies it and never writes through it
        return Store(key, stored);
    }

    STDMETHODIMP GetStringValue(REFPROPERTYKEY key, LPWSTR *value) noexcept override {
        return Take(key, VT_LPWSTR, value, [&](PROPVARIANT &copy) {
            *value = std::exchange(copy.pwszVal, nullptr);
            return S_OK;
        });
    }

// The Set/Get pair of one scalar type, over the PROPVARIANT field that Field names.
#define SCALAR_VALUE_METHODS(Name, Type, Field)                                             \
    STDMETHODIMP Set##Name##Value(REFPROPERTYKEY key, const Type value) noexcept override { \
        return SetScalar<Field>(key, value);                                                \
    }                                                                                       \
    STDMETHODIMP Get##Name##Value(REFPROPERTYKEY key, Type *value) noexcept override {      \
        return GetScalar<Field>(key, value);                                                \
    }
    SCALAR_VALUE_METHODS(UnsignedInteger, ULONG, UnsignedField)
    SCALAR_VALUE_METHODS(SignedInteger, LONG, SignedField)
    SCALAR_VALUE_METHODS(UnsignedLargeInteger, ULONGLONG, UnsignedLargeField)
    SCALAR_VALUE_METHODS(SignedLargeInteger, LONGLONG, SignedLargeField)
    SCALAR_VALUE_METHODS(Float, FLOAT, FloatField)
    SCALAR_VALUE_METHODS(Error, HRESULT, ErrorField)
#undef SCALAR_VALUE_METHODS

    // Documented as a VT_UNKNOWN value, and VT_UNKNOWN values are always one of the portable-device
    // collections: the key travels as a key collection holding just that key.
    STDMETHODIMP SetKeyValue(REFPROPERTYKEY key, REFPROPERTYKEY value) noexcept override {
        ComPtr<IPortableDeviceKeyCollection> holder;
        RETURN_IF_FAILED(CreatePortableDeviceKeyCollection(IID_PPV_ARGS(&holder)));
        RETURN_IF_FAILED(holder->Add(value));
        return SetIPortableDeviceKeyCollectionValue(key, holder.Get());
    }

    STDMETHODIMP GetKeyValue(REFPROPERTYKEY key, PROPERTYKEY *value) noexcept override {
        if (!value) return E_POINTER;
        ComPtr<IPortableDeviceKeyCollection> holder;
        RETURN_IF_FAILED(GetIPortableDeviceKeyCollectionValue(key, &holder));
        DWORD count = 0;
        RETURN_IF_FAILED(holder->GetCount(&count));
        if (count != 1) return DISP_E_TYPEMISMATCH;
        return holder->GetAt(0, value);
    }

    // Stored as VT_BOOL (VARIANT_TRUE is -1), handed out as a BOOL that is TRUE or FALSE.
    STDMETHODIMP SetBoolValue(REFPROPERTYKEY key, const BOOL value) noexcept override {
        return SetScalar<BoolField>(key, value ? VARIANT_TRUE : VARIANT_FALSE);
    }

    STDMETHODIMP GetBoolValue(REFPROPERTYKEY key, BOOL *value) noexcept override {
        return Take(key, VT_BOOL, value, [&](PROPVARIANT &copy) {
            *value = BoolField::In(copy) != VARIANT_FALSE;
            return S_OK;
        });
    }

    STDMETHODIMP SetGuidValue(REFPROPERTYKEY key, REFGUID value) noexcept override {
        PROPVARIANT stored{};
        stored.vt = VT_CLSID;
        stored.puuid = const_cast<GUID *>(&value);  // Store copies it and never writes through it
        return Store(key, stored);
    }

    STDMETHODIMP GetGuidValue(REFPROPERTYKEY key, GUID *value) noexcept override {
        return Take(key, VT_CLSID, value, [&](PROPVARIANT &copy) {
            *value = *copy.puuid;
            return S_OK;
        });
    }

    // "Setting a NULL or a zero-sized buffer is not supported" (IPortableDeviceValues::SetBufferValue).
    STDMETHODIMP SetBufferValue(REFPROPERTYKEY key, BYTE *value, DWORD bytes) noexcept override {
        if (!value) return E_POINTER;
        if (bytes == 0) return E_INVALIDARG;
        PROPVARIANT stored{};
        stored.vt = VT_VECTOR | VT_UI1;
        stored.caub.cElems = bytes;
        stored.caub.pElems = value;
        return Store(key, stored);
    }

    STDMETHODIMP GetBufferValue(REFPROPERTYKEY key, BYTE **value, DWORD *bytes) noexcept override {
        if (!bytes) return E_POINTER;
        *bytes = 0;
        return Take(key, VT_VECTOR | VT_UI1, value, [&](PROPVARIANT &copy) {
            *value = std::exchange(copy.caub.pElems, nullptr);
            *bytes = std::exchange(copy.caub.cElems, 0);
            return S_OK;
        });
    }

// The Set/Get pair of one interface: stored as VT_UNKNOWN holding a reference, handed out AddRef'd.
#define INTERFACE_VALUE_METHODS(Interface)                                                     \
    STDMETHODIMP Set##Interface##Value(REFPROPERTYKEY key, Interface *value) noexcept override { \
        return SetInterface(key, value);                                                       \
    }                                                                                          \
    STDMETHODIMP Get##Interface##Value(REFPROPERTYKEY key, Interface **value) noexcept override { \
        return GetInterface(key, value);                                                       \
    }
    INTERFACE_VALUE_METHODS(IUnknown)
    INTERFACE_VALUE_METHODS(IPortableDeviceValues)
    INTERFACE_VALUE_METHODS(IPortableDevicePropVariantCollection)
    INTERFACE_VALUE_METHODS(IPortableDeviceKeyCollection)
    INTERFACE_VALUE_METHODS(IPortableDeviceValuesCollection)
#undef INTERFACE_VALUE_METHODS

    STDMETHODIMP RemoveValue(REFPROPERTYKEY key) noexcept override {
        win::UniquePropVariant removed;  // cleared once the lock is let go, see ItemList::RemoveAt
        return entries_.With([&](std::vector<Entry> &entries) {
            const auto entry = Find(entries, key);
            if (entry == entries.end()) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
            removed = std::move(entry->value);
            entries.erase(entry);
            return S_OK;
        });
    }

    STDMETHODIMP CopyValuesFromPropertyStore(IPropertyStore *store) noexcept override {
        if (!store) return E_POINTER;
        DWORD count = 0;
        RETURN_IF_FAILED(store->GetCount(&count));
        for (DWORD index = 0; index < count; ++index) {
            PROPERTYKEY key{};
            win::UniquePropVariant value;
            RETURN_IF_FAILED(store->GetAt(index, &key));
            RETURN_IF_FAILED(store->GetValue(key, value.put()));
            RETURN_IF_FAILED(Store(key, *value));
        }
        return S_OK;
    }

    STDMETHODIMP CopyValuesToPropertyStore(IPropertyStore *store) noexcept override {
        if (!store) return E_POINTER;
        DWORD count = 0;
        RETURN_IF_FAILED(GetCount(&count));
        for (DWORD index = 0; index < count; ++index) {
            PROPERTYKEY key{};
            win::UniquePropVariant value;
            RETURN_IF_FAILED(GetAt(index, &key, value.put()));
            RETURN_IF_FAILED(store->SetValue(key, *value));
        }
        return S_OK;
    }

    STDMETHODIMP Clear() noexcept override { return entries_.Clear(); }

private:
    // Keys are equal when both fmtid and pid are.
    static std::vector<Entry>::iterator Find(std::vector<Entry> &entries, REFPROPERTYKEY key) noexcept {
        return std::find_if(entries.begin(), entries.end(), [&](const Entry &entry) { return entry.key == key; });
    }

    // Copies value in under key: replaces the value of an existing key in its place, else appends.
    HRESULT Store(REFPROPERTYKEY key, const PROPVARIANT &value) noexcept {
        win::UniquePropVariant copy;  // after a replace it holds the old value, cleared outside the lock
        RETURN_IF_FAILED(PropVariantCopy(copy.get(), &value));
        return entries_.With([&](std::vector<Entry> &entries) {
            const auto entry = Find(entries, key);
            if (entry != entries.end()) {
                std::swap(entry->value, copy);
            } else {
                entries.push_back(Entry{key, std::move(copy)});
            }
            return S_OK;
        });
    }

    template <class Field, class T>
    HRESULT SetScalar(REFPROPERTYKEY key, T value) noexcept {
        PROPVARIANT stored{};
        stored.vt = Field::vt;
        Field::In(stored) = value;
        return Store(key, stored);
    }

    // Copies the value of key out and, when it has type vt, lets take move what the caller gets out of
    // the copy. The copy is made under the lock, take runs outside it.
    template <class Out, class F>
    HRESULT Take(REFPROPERTYKEY key, VARTYPE vt, Out *out, F &&take) noexcept {
        if (!out) return E_POINTER;
        if constexpr (std::is_pointer_v<Out>) *out = nullptr;
        win::UniquePropVariant copy;
        RETURN_IF_FAILED(GetValue(key, copy.get()));
        if (copy->vt != vt) return DISP_E_TYPEMISMATCH;
        return take(*copy.get());
    }

    template <class Field, class T>
    HRESULT GetScalar(REFPROPERTYKEY key, T *value) noexcept {
        return Take(key, Field::vt, value, [&](PROPVARIANT &copy) {
            *value = Field::In(copy);
            return S_OK;
        });
    }

    HRESULT SetInterface(REFPROPERTYKEY key, IUnknown *value) noexcept {
        if (!value) return E_POINTER;
        PROPVARIANT stored{};
        stored.vt = VT_UNKNOWN;
        stored.punkVal = value;
        return Store(key, stored);
    }

    template <class Interface>
    HRESULT GetInterface(REFPROPERTYKEY key, Interface **value) noexcept {
        return Take(key, VT_UNKNOWN, value, [&](PROPVARIANT &copy) {
            if (!copy.punkVal || FAILED(copy.punkVal->QueryInterface(IID_PPV_ARGS(value)))) {
                return DISP_E_TYPEMISMATCH;
            }
            return S_OK;
        });
    }

    ItemList<Entry> entries_;
};

}  // namespace

HRESULT CreatePortableDeviceValues(REFIID iid, void **object) noexcept {
    return CreateObject<PortableDeviceValues>(iid, object);
}

}  // namespace vphone
