// AT command text to the phone and its replies back: writing is a vendor operation, the replies come
// by the phone's pending-data events, and ATRead hands out what has arrived without waiting.
#include <wrl/client.h>

#include <new>

#include "device/cwpd.h"
#include "extension/operation_params.h"
#include "extension/vendor_operations.h"
#include "extension/zeph_events.h"
#include "log/log_line.h"

using Microsoft::WRL::ComPtr;

HRESULT CWpdZeph::OnATPendingData(IPortableDeviceValues *parameters) {
    ULONG code = 0;
    HRESULT hr = EventResponseCode(parameters, 1, code);
    if (FAILED(hr)) return hr;
    responses_.SetATResponse(code);
    if (code != wpd::PTP_RC_OK) {
        hr = MtpResponseAsHResult(code);
        LogLine(1, "ZEPH_ATPendingData event error, ResponseCode=%08x", static_cast<unsigned>(code));
    }
    if (hr == S_OK) ReceiveATData();
    return hr;
}

HRESULT CWpdZeph::ReceiveATData() {
    win::UniqueCoTaskMem<BYTE> data;
    ULONG size = 0;
    ComPtr<IPortableDevicePropVariantCollection> params;
    HRESULT hr = OperationParams(ZEPH_ATRead, {atSession_}, params);
    if (SUCCEEDED(hr)) hr = ReadVendorData(ZEPH_ATRead, params.GetAddressOf(), nullptr, data.put(), &size);
    responses_.SetATResponse(ResponseCodeOf(hr));
    if (FAILED(hr) || size == 0) return hr;
    std::lock_guard lock(atLock_);
    try {
        atBuffer_.append(reinterpret_cast<const char *>(data.get()), size);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;  // the text is dropped; what arrived before stays
    }
    return hr;
}

WPD_ERROR CWpdZeph::ATOpenSession(unsigned long session) {
    atSession_ = session;
    {
        std::lock_guard lock(atLock_);
        atBuffer_.clear();
    }
    const HRESULT hr = OpenChannelSession(ZEPH_ATChannel, ZEPH_ATOpenSession, {session});
    responses_.SetATResponse(ResponseCodeOf(hr));
    if (SUCCEEDED(hr)) {
        atOpen_ = true;
        Subscribe();
    }
    return TranslateError(hr);
}

WPD_ERROR CWpdZeph::ATCloseSession() {
    const HRESULT hr = CloseChannelSession(ZEPH_ATChannel, ZEPH_ATCloseSession, atSession_);
    atOpen_ = false;
    Unsubscribe();
    responses_.SetATResponse(wpd::PTP_RC_OK);  // nothing of the closed session is reported later
    {
        std::lock_guard lock(atLock_);
        atBuffer_.clear();
        atReadText_.clear();
    }
    return TranslateError(hr);
}

WPD_ERROR CWpdZeph::ATWrite(const char *text) {
    if (!text) return WPD_ERROR_FAILED;
    {
        // A write starts a new exchange: replies not read by now are not the host's any more.
        std::lock_guard lock(atLock_);
        atBuffer_.clear();
    }
    ComPtr<IPortableDevicePropVariantCollection> params;
    HRESULT hr = OperationParams(ZEPH_ATWrite, {atSession_}, params);
    if (SUCCEEDED(hr)) {
        hr = WriteVendorData(ZEPH_ATWrite, params.GetAddressOf(), nullptr, reinterpret_cast<const BYTE *>(text),
                             static_cast<ULONG>(strlen(text)));
    }
    responses_.SetATResponse(ResponseCodeOf(hr));
    return TranslateError(hr);
}

WPD_ERROR CWpdZeph::ATRead(const char **text) {
    if (!text) return WPD_ERROR_FAILED;
    const WPD_ERROR status = TranslateError(ResponseStatus(responses_.ATResponse()));
    if (status != WPD_ERROR_OK) return status;
    std::lock_guard lock(atLock_);
    // The host gets a copy of its own: text arriving meanwhile must not move what it reads.
    atReadText_.swap(atBuffer_);
    atBuffer_.clear();
    *text = atReadText_.c_str();
    return WPD_ERROR_OK;
}
