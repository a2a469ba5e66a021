// Identity and the property services of the "DEVICE" object.
#include <windows.h>
#include <wrl/client.h>

#include <cstring>
#include <cwchar>

#include "device/cwpd.h"
#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

// Reads one string property into a fixed wide field; false (after the log line) when it cannot.
HRESULT ReadStringProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, const char *keyName,
                           win::UniqueCoTaskMemString &text) {
    const HRESULT hr = values->GetStringValue(key, text.put());
    if (FAILED(hr)) LogLine(1, "Failed to read property: %s", keyName);
    return hr;
}

}  // namespace

WPD_ERROR CWpdBase::GetDeviceInfo(WPD_DEVICE_INFO *info) {
    ComPtr<IPortableDeviceKeyCollection> keys;
    HRESULT hr = CreateKeyCollection(keys);
    if (FAILED(hr)) {
        LogLine(1, "CoCreateInstance on CLSID_PortableDeviceKeyCollection failed, hr = %08x", static_cast<unsigned>(hr));
        return TranslateError(hr);
    }
    keys->Add(wpd::WPD_DEVICE_MANUFACTURER);
    keys->Add(wpd::WPD_DEVICE_MODEL);
    keys->Add(wpd::WPD_DEVICE_SERIAL_NUMBER);

    ComPtr<IPortableDeviceValues> values;
    hr = ReadDeviceProperties(wpd::WPD_DEVICE_OBJECT_ID, keys.GetAddressOf(), &values);
    if (FAILED(hr)) {
        LogLine(1, "Getting values failed, hr = %08x", static_cast<unsigned>(hr));
        return TranslateError(hr);
    }

    // Fields are written one by one: a later failure keeps the ones written before it.
    win::UniqueCoTaskMemString text;
    hr = ReadStringProperty(values.Get(), wpd::WPD_DEVICE_MANUFACTURER, "WPD_DEVICE_MANUFACTURER", text);
    if (FAILED(hr)) return TranslateError(hr);
    wcsncpy_s(info->wszManufacturer, text.get(), _TRUNCATE);

    hr = ReadStringProperty(values.Get(), wpd::WPD_DEVICE_MODEL, "WPD_DEVICE_MODEL", text);
    if (FAILED(hr)) return TranslateError(hr);
    wcsncpy_s(info->wszModel, text.get(), _TRUNCATE);

    hr = ReadStringProperty(values.Get(), wpd::WPD_DEVICE_SERIAL_NUMBER, "WPD_DEVICE_SERIAL_NUMBER", text);
    if (FAILED(hr)) return TranslateError(hr);
    // A serial number that does not fit is cut at a character boundary, never left unterminated.
    char serial[sizeof info->szSerialNumber] = {};
    if (!WideCharToMultiByte(CP_ACP, 0, text.get(), -1, serial, sizeof serial, nullptr, nullptr)) {
        WideCharToMultiByte(CP_ACP, 0, text.get(), -1, serial, sizeof serial - 1, nullptr, nullptr);
        serial[sizeof serial - 1] = '\0';
    }
    std::memcpy(info->szSerialNumber, serial, sizeof serial);
    return TranslateError(hr);
}

HRESULT CWpdBase::ReadDeviceProperties(const wchar_t *objectId, IPortableDeviceKeyCollection **keys,
                                       IPortableDeviceValues **values) {
    ComPtr<IPortableDeviceContent> content;
    RETURN_IF_FAILED_LOG(ContentOf(deviceRef_.Get(), content), "Getting device content failed, hr = %08x");
    ComPtr<IPortableDeviceProperties> properties;
    RETURN_IF_FAILED_LOG(content->Properties(&properties), "Getting content properties failed, hr = %08x");
    RETURN_IF_FAILED_LOG(properties->GetValues(objectId, *keys, values), "Getting properties values failed, hr = %08x");
    return S_OK;
}

HRESULT CWpdBase::ReadDeviceProperty(const PROPERTYKEY &key, IPortableDeviceValues **values) {
    ComPtr<IPortableDeviceKeyCollection> keys;
    RETURN_IF_FAILED(CreateKeyCollection(keys));
    RETURN_IF_FAILED(keys->Add(key));
    return ReadDeviceProperties(wpd::WPD_DEVICE_OBJECT_ID, keys.GetAddressOf(), values);
}

HRESULT CWpdBase::WriteDeviceProperties(const PROPERTYKEY &key, IPortableDeviceValues **values) {
    ComPtr<IPortableDeviceContent> content;
    RETURN_IF_FAILED_LOG(ContentOf(deviceRef_.Get(), content), "Getting device content failed, hr = %08x");
    ComPtr<IPortableDeviceProperties> properties;
    RETURN_IF_FAILED_LOG(content->Properties(&properties), "Getting content properties failed, hr = %08x");
    ComPtr<IPortableDeviceValues> results;
    const HRESULT hr = properties->SetValues(wpd::WPD_DEVICE_OBJECT_ID, *values, &results);
    RETURN_IF_FAILED_LOG(hr, "SetValues failed, hr = %08x");
    if (results) {
        HRESULT perKey = S_OK;
        RETURN_IF_FAILED_LOG(results->GetErrorValue(key, &perKey), "GetErrorValue failed, hr = %08x");
        RETURN_IF_FAILED_LOG(perKey, "SetValues operation failed, hrSetValue = %08x");
    }
    return hr;
}
