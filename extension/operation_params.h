// Parameter collections of vendor MTP operations, one property variant per MTP parameter.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "device/platform_objects.h"

template <class T>
HRESULT AddParam(IPortableDevicePropVariantCollection *params, VARTYPE type, T value) {
    PROPVARIANT parameter;
    PropVariantInit(&parameter);
    parameter.vt = type;
    if constexpr (sizeof(T) == 1) parameter.bVal = value;
    if constexpr (sizeof(T) == 2) parameter.uiVal = value;
    if constexpr (sizeof(T) == 4) parameter.ulVal = value;
    return params->Add(&parameter);
}

// A new collection holding the one unsigned 32-bit parameter most operations take.
inline HRESULT CreateSessionParams(ULONG value, Microsoft::WRL::ComPtr<IPortableDevicePropVariantCollection> &params) {
    const HRESULT hr = CreatePropVariantCollection(params);
    if (FAILED(hr)) return hr;
    return AddParam(params.Get(), VT_UI4, value);
}
