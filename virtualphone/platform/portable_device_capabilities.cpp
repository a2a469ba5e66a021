#include "virtualphone/platform/portable_device_capabilities.h"

#include "virtualphone/platform/com_out.h"
#include "win/unique_any.h"

#include <wrl/client.h>

namespace vphone {

using Microsoft::WRL::ComPtr;

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetSupportedCommands(IPortableDeviceKeyCollection **commands) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetSupportedCommands", commands);
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetCommandOptions(REFPROPERTYKEY,
                                                                        IPortableDeviceValues **options) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetCommandOptions", options);
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetFunctionalCategories(
    IPortableDevicePropVariantCollection **categories) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceCapabilities::GetFunctionalCategories", {},
                          [&]() -> HRESULT {
        if (!categories) return E_POINTER;
        *categories = nullptr;
        ComPtr<IPortableDevicePropVariantCollection> collection;
        HRESULT hr = NewPropVariants(&collection);
        if (FAILED(hr)) return hr;
        PROPVARIANT storage;
        PropVariantInit(&storage);
        storage.vt = VT_CLSID;
        storage.puuid = const_cast<CLSID *>(&wpd::WPD_FUNCTIONAL_CATEGORY_STORAGE);  // Add copies it
        hr = collection->Add(&storage);
        if (FAILED(hr)) return hr;
        *categories = collection.Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetFunctionalObjects(
    REFGUID category, IPortableDevicePropVariantCollection **objectIds) noexcept {
    wchar_t name[40];
    StringFromGUID2(category, name, 40);
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceCapabilities::GetFunctionalObjects", {name},
                          [&]() -> HRESULT {
        if (!objectIds) return E_POINTER;
        *objectIds = nullptr;
        ComPtr<IPortableDevicePropVariantCollection> collection;
        HRESULT hr = NewPropVariants(&collection);
        if (FAILED(hr)) return hr;
        if (category == wpd::WPD_FUNCTIONAL_CATEGORY_STORAGE) {
            for (const std::wstring &id : phone_->StorageIds()) {
                win::UniquePropVariant item;
                hr = StringVariant(id, item.get());
                if (SUCCEEDED(hr)) hr = collection->Add(item.get());
                if (FAILED(hr)) return hr;
            }
        }
        *objectIds = collection.Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetSupportedContentTypes(
    REFGUID, IPortableDevicePropVariantCollection **types) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetSupportedContentTypes", types);
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetSupportedFormats(
    REFGUID, IPortableDevicePropVariantCollection **formats) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetSupportedFormats", formats);
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetSupportedFormatProperties(
    REFGUID, IPortableDeviceKeyCollection **keys) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetSupportedFormatProperties", keys);
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetFixedPropertyAttributes(
    REFGUID, REFPROPERTYKEY, IPortableDeviceValues **attributes) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetFixedPropertyAttributes", attributes);
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::Cancel() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IPortableDeviceCapabilities::Cancel", {},
                          []() -> HRESULT { return S_OK; });
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetSupportedEvents(
    IPortableDevicePropVariantCollection **events) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetSupportedEvents", events);
}

HRESULT STDMETHODCALLTYPE PortableDeviceCapabilities::GetEventOptions(REFGUID, IPortableDeviceValues **options) noexcept {
    return NotAnswered("IPortableDeviceCapabilities::GetEventOptions", options);
}

}  // namespace vphone
