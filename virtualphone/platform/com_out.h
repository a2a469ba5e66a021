// Helpers for what the platform hands to its caller: new value containers and task-memory strings,
// each owned by the caller once handed out.
#pragma once

#include "device/wpd_api.h"

#include <windows.h>
#include <wrl/client.h>

#include <string_view>

namespace vphone {

HRESULT NewValues(Microsoft::WRL::ComPtr<IPortableDeviceValues> *values) noexcept;
HRESULT NewKeys(Microsoft::WRL::ComPtr<IPortableDeviceKeyCollection> *keys) noexcept;
HRESULT NewPropVariants(Microsoft::WRL::ComPtr<IPortableDevicePropVariantCollection> *collection) noexcept;
HRESULT NewValuesCollection(Microsoft::WRL::ComPtr<IPortableDeviceValuesCollection> *collection) noexcept;
// A CoTaskMem copy of text into *out; *out is null on failure.
HRESULT CopyToTaskMem(std::wstring_view text, LPWSTR *out) noexcept;
// A VT_LPWSTR PROPVARIANT holding a CoTaskMem copy of text.
HRESULT StringVariant(std::wstring_view text, PROPVARIANT *out) noexcept;

// Hands a new COM object's one reference to the caller as iid, or fails with E_OUTOFMEMORY.
template <class T>
HRESULT HandOut(T *created, REFIID iid, void **out) noexcept {
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, out);
    created->Release();
    return hr;
}

}  // namespace vphone
