// The phone's clock as two vendor device properties of the "DEVICE" object.
#include <windows.h>
#include <wrl/client.h>

#include "device/cwpd.h"
#include "device/platform_objects.h"
#include "log/log_line.h"
#include "extension/device_time_text.h"
#include "extension/zeph_properties.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

WPD_ERROR CWpdZeph::GetDeviceTime(WPD_DEVICE_TIME *time) {
    ComPtr<IPortableDeviceValues> values;
    HRESULT hr = ReadDeviceProperty(ZEPH_DateTime, &values);
    if (FAILED(hr)) {
        LogLine(1, "Get ZEPH_DateTime, hr = %08x", static_cast<unsigned>(hr));
        return TranslateError(hr);
    }
    win::UniqueCoTaskMemString text;
    hr = values->GetStringValue(ZEPH_DateTime, text.put());
    if (FAILED(hr)) {
        LogLine(1, "Failed to read property: ZEPH_DateTime");
        return TranslateError(hr);
    }
    if (!ParseDeviceTime(text.get(), &time->time, &time->timeZone)) {
        LogLine(1, "Clock text too long: %S", text.get());
        return TranslateError(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    }

    hr = ReadDeviceProperty(ZEPH_DST, values.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        LogLine(1, "Get ZEPH_DST, hr = %08x", static_cast<unsigned>(hr));
        return TranslateError(hr);
    }
    ULONG dst = 0;
    hr = values->GetUnsignedIntegerValue(ZEPH_DST, &dst);
    if (FAILED(hr)) return TranslateError(hr);
    time->dst = dst;
    return WPD_ERROR_OK;
}

WPD_ERROR CWpdZeph::SetDeviceTime(WPD_DEVICE_TIME *time) {
    const auto fail = [this](const char *format, HRESULT hr) {
        LogLine(1, format, static_cast<unsigned>(hr));
        return TranslateError(hr);
    };
    ComPtr<IPortableDeviceValues> values;
    HRESULT hr = CreateValues(values);
    if (FAILED(hr)) return fail("SetDeviceTime failed, hr = %08x", hr);

    wchar_t text[kDeviceTimeTextChars] = {};
    FormatDeviceTime(text, time->time, time->timeZone);
    hr = values->SetStringValue(ZEPH_DateTime, text);
    if (FAILED(hr)) return fail("SetStringValue failed, hr = %08x", hr);
    hr = WriteDeviceProperties(ZEPH_DateTime, values.GetAddressOf());
    if (FAILED(hr)) return fail("SetDeviceTime failed, hr = %08x", hr);

    values->Clear();
    hr = values->SetUnsignedIntegerValue(ZEPH_DST, time->dst);
    if (FAILED(hr)) return fail("SetUnsignedIntegerValue failed, hr = %08x", hr);
    hr = WriteDeviceProperties(ZEPH_DST, values.GetAddressOf());
    if (FAILED(hr)) return fail("SetDeviceDST failed, hr = %08x", hr);
    return TranslateError(hr);
}
