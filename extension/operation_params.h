// Parameter collections of MTP operations. The platform's MTP driver takes every operation parameter
// as a 32-bit value (VT_UI4), whatever width the operation gives it: a collection of another type would
// be refused.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <initializer_list>

#include "device/platform_objects.h"
#include "log/log_line.h"

// A new collection holding values, in order. A failure is logged as the operation's own would be.
inline HRESULT OperationParams(WORD opCode, std::initializer_list<ULONG> values,
                               Microsoft::WRL::ComPtr<IPortableDevicePropVariantCollection> &params) {
    HRESULT hr = CreatePropVariantCollection(params);
    for (auto value = values.begin(); SUCCEEDED(hr) && value != values.end(); ++value) {
        PROPVARIANT parameter;
        PropVariantInit(&parameter);
        parameter.vt = VT_UI4;
        parameter.ulVal = *value;
        hr = params->Add(&parameter);
    }
    if (FAILED(hr)) LogLine(1, "Mtp Send command failed, hr=%08x, OpCode=%04x", static_cast<unsigned>(hr), opCode);
    return hr;
}
