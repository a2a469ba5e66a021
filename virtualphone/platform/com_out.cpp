#include "virtualphone/platform/com_out.h"

#include "virtualphone/values/value_classes.h"

#include <cstring>

namespace vphone {

HRESULT NewValues(Microsoft::WRL::ComPtr<IPortableDeviceValues> *values) noexcept {
    return CreatePortableDeviceValues(IID_PPV_ARGS(values->ReleaseAndGetAddressOf()));
}

HRESULT NewKeys(Microsoft::WRL::ComPtr<IPortableDeviceKeyCollection> *keys) noexcept {
    return CreatePortableDeviceKeyCollection(IID_PPV_ARGS(keys->ReleaseAndGetAddressOf()));
}

HRESULT NewPropVariants(Microsoft::WRL::ComPtr<IPortableDevicePropVariantCollection> *collection) noexcept {
    return CreatePortableDevicePropVariantCollection(IID_PPV_ARGS(collection->ReleaseAndGetAddressOf()));
}

HRESULT NewValuesCollection(Microsoft::WRL::ComPtr<IPortableDeviceValuesCollection> *collection) noexcept {
    return CreatePortableDeviceValuesCollection(IID_PPV_ARGS(collection->ReleaseAndGetAddressOf()));
}

HRESULT CopyToTaskMem(std::wstring_view text, LPWSTR *out) noexcept {
    *out = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (!*out) return E_OUTOFMEMORY;
    std::memcpy(*out, text.data(), text.size() * sizeof(wchar_t));
    (*out)[text.size()] = L'\0';
    return S_OK;
}

HRESULT StringVariant(std::wstring_view text, PROPVARIANT *out) noexcept {
    PropVariantInit(out);
    const HRESULT hr = CopyToTaskMem(text, &out->pwszVal);
    if (SUCCEEDED(hr)) out->vt = VT_LPWSTR;
    return hr;
}

}  // namespace vphone
