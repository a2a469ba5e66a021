// SyncML packages to and from the phone's SyncML service. Each put and each request waits, up to the
// host's time-out, for the phone's completion event, whose response code is the result.
#include <wrl/client.h>

#include "device/cwpd.h"
#include "log/log_line.h"
#include "extension/operation_params.h"
#include "extension/vendor_operations.h"
#include "extension/zeph_events.h"

using Microsoft::WRL::ComPtr;

HRESULT CWpdZeph::OnSyncMLOperationComplete(IPortableDeviceValues *parameters) {
    ULONG code = 0;
    HRESULT hr = EventResponseCode(parameters, 2, code);
    if (SUCCEEDED(hr)) {
        lastResponseCode_ = code;
        if (code != MTP_ResponseOK) {
            hr = LastResponseAsHResult();
            LogLine(1, "ZEPH_SyncMLOperationComplete event error, ResponseCode=%08x", static_cast<unsigned>(code));
        }
    }
    // Signalled whatever the outcome: the waiting put or get reads the code.
    std::lock_guard lock(syncmlEventLock_);
    if (syncmlDoneEvent_) SetEvent(syncmlDoneEvent_.get());
    return hr;
}

WPD_ERROR CWpdZeph::SyncMLOpenSession(WPD_SYNCML_SERVICE service, unsigned long session) {
    syncmlSession_ = session;
    HRESULT hr = OpenVendorChannel(ZEPH_SyncMLChannel);
    if (SUCCEEDED(hr)) {
        ComPtr<IPortableDevicePropVariantCollection> params;
        hr = CreatePropVariantCollection(params);
        if (SUCCEEDED(hr)) hr = AddParam(params.Get(), VT_UI1, static_cast<BYTE>(service));
        if (SUCCEEDED(hr)) hr = AddParam(params.Get(), VT_UI4, static_cast<ULONG>(session));
        if (SUCCEEDED(hr)) hr = SendVendorCommand(ZEPH_SyncMLOpenSession, params.GetAddressOf(), nullptr);
    }
    if (SUCCEEDED(hr)) {
        {
            std::lock_guard lock(syncmlEventLock_);
            syncmlDoneEvent_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        }
        syncmlOpen_ = true;
        Subscribe();
    }
    return TranslateError(hr);
}

WPD_ERROR CWpdZeph::SyncMLCloseSession() {
    HRESULT hr = SendVendorCommandUInt32(ZEPH_SyncMLCloseSession, syncmlSession_);
    if (SUCCEEDED(hr)) hr = CloseVendorChannel(ZEPH_SyncMLChannel);
    syncmlOpen_ = false;
    Unsubscribe();
    {
        std::lock_guard lock(syncmlEventLock_);
        syncmlDoneEvent_.reset();
    }
    return TranslateError(hr);
}

bool CWpdZeph::WaitForSyncMLCompletion(unsigned long timeoutMs) {
    // Without a session there is no event: the wait fails at once and the stored code decides.
    return WaitForSingleObject(syncmlDoneEvent_.get(), timeoutMs) != WAIT_TIMEOUT;
}

WPD_ERROR CWpdZeph::SyncMLPut(WPD_SYNCML_MIME mime, IStream *stream, unsigned long long size,
                              unsigned long timeoutMs) {
    ComPtr<IPortableDevicePropVariantCollection> params;
    HRESULT hr = CreateSessionParams(syncmlSession_, params);
    const BYTE type = static_cast<BYTE>(mime);
    if (SUCCEEDED(hr)) {
        hr = WriteVendorDataFromStream(ZEPH_SyncMLPut, params.GetAddressOf(), nullptr, stream, size, &type, 1);
    }
    if (FAILED(hr)) return TranslateError(hr);
    if (!WaitForSyncMLCompletion(timeoutMs)) return WPD_ERROR_TIMEOUT;
    return TranslateError(LastResponseAsHResult());
}

WPD_ERROR CWpdZeph::SyncMLGet(WPD_SYNCML_MIME *mime, IStream *stream, unsigned long long *size,
                              unsigned long timeoutMs) {
    HRESULT hr = SendVendorCommandUInt32(ZEPH_SyncMLRequest, syncmlSession_);
    if (FAILED(hr)) return TranslateError(hr);
    if (!WaitForSyncMLCompletion(timeoutMs)) return WPD_ERROR_TIMEOUT;
    hr = LastResponseAsHResult();
    if (TranslateError(hr) != WPD_ERROR_OK) return TranslateError(hr);
    ComPtr<IPortableDevicePropVariantCollection> params;
    hr = CreateSessionParams(syncmlSession_, params);
    BYTE type = 0;
    if (SUCCEEDED(hr)) {
        hr = ReadVendorDataToStream(ZEPH_SyncMLGet, params.GetAddressOf(), nullptr, stream, size, &type, 1);
    }
    *mime = static_cast<WPD_SYNCML_MIME>(type);
    return TranslateError(hr);
}
