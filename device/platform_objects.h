// Creating the platform's in-process objects, and reaching the content of an opened device.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "device/cwpd.h"
#include "device/wpd_api.h"

inline HRESULT CreateKeyCollection(Microsoft::WRL::ComPtr<IPortableDeviceKeyCollection> &keys) {
    return CoCreateInstance(wpd::CLSID_PortableDeviceKeyCollection, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(keys.ReleaseAndGetAddressOf()));
}
inline HRESULT CreateValues(Microsoft::WRL::ComPtr<IPortableDeviceValues> &values) {
    return CoCreateInstance(wpd::CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(values.ReleaseAndGetAddressOf()));
}
inline HRESULT CreatePropVariantCollection(Microsoft::WRL::ComPtr<IPortableDevicePropVariantCollection> &collection) {
    return CoCreateInstance(wpd::CLSID_PortableDevicePropVariantCollection, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(collection.ReleaseAndGetAddressOf()));
}

// The content of the opened device; a handle that is not connected fails here instead of crashing.
inline HRESULT ContentOf(IPortableDevice *device, Microsoft::WRL::ComPtr<IPortableDeviceContent> &content) {
    if (!device) return E_NOT_CONNECTED;
    return device->Content(content.ReleaseAndGetAddressOf());
}
