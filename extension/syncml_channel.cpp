// SyncML packages to and from the phone's SyncML service. Each put and each request waits, up to the
// host's time-out, for the phone's completion event, whose response code is the result; a completion
// that no put or request waits for is stale and dropped.
#include <wrl/client.h>

#include "device/cwpd.h"
#include "extension/operation_params.h"
#include "extension/vendor_operations.h"
#include "extension/zeph_events.h"
#include "log/log_line.h"

using Microsoft::WRL::ComPtr;

HRESULT CWpdZeph::OnSyncMLOperationComplete(IPortableDeviceValues *parameters) {
    ULONG code = 0;
    const HRESULT read = EventResponseCode(parameters, 2, code);
    const HRESULT status = FAILED(read) ? read : ResponseStatus(code);
    if (!responses_.CompleteSyncMLExchange(status)) {
        LogLine(1, "Stale ZEPH_SyncMLOperationComplete dropped, ResponseCode=%08x", static_cast<unsigned>(code));
        return S_OK;
    }
    if (SUCCEEDED(read) && code != wpd::PTP_RC_OK) {
        LogLine(1, "ZEPH_SyncMLOperationComplete event error, ResponseCode=%08x", static_cast<unsigned>(code));
    }
    return status;
}

WPD_ERROR CWpdZeph::SyncMLOpenSession(WPD_SYNCML_SERVICE service, unsigned long session) {
    syncmlSession_ = session;
    const HRESULT hr =
        OpenChannelSession(ZEPH_SyncMLChannel, ZEPH_SyncMLOpenSession, {static_cast<ULONG>(service), session});
    if (SUCCEEDED(hr)) {
        syncmlOpen_ = true;
        Subscribe();
    }
    return TranslateError(hr);
}

WPD_ERROR CWpdZeph::SyncMLCloseSession() {
    const HRESULT hr = CloseChannelSession(ZEPH_SyncMLChannel, ZEPH_SyncMLCloseSession, syncmlSession_);
    syncmlOpen_ = false;
    Unsubscribe();
    return TranslateError(hr);
}

WPD_ERROR CWpdZeph::AwaitSyncMLCompletion(HRESULT sent, unsigned long timeoutMs) {
    // A put or request that failed waits for nothing; its exchange ends at once.
    const std::optional<HRESULT> completion = responses_.AwaitSyncMLCompletion(FAILED(sent) ? 0 : timeoutMs);
    if (FAILED(sent)) return TranslateError(sent);
    return completion ? TranslateError(*completion) : WPD_ERROR_TIMEOUT;
}

WPD_ERROR CWpdZeph::SyncMLPut(WPD_SYNCML_MIME mime, IStream *stream, unsigned long long size,
                              unsigned long timeoutMs) {
    if (!stream) return WPD_ERROR_FAILED;
    ComPtr<IPortableDevicePropVariantCollection> params;
    HRESULT hr = OperationParams(ZEPH_SyncMLPut, {syncmlSession_}, params);
    const BYTE type = static_cast<BYTE>(mime);
    responses_.BeginSyncMLExchange();
    if (SUCCEEDED(hr)) {
        hr = WriteVendorDataFromStream(ZEPH_SyncMLPut, params.GetAddressOf(), nullptr, stream, size, &type, 1);
    }
    return AwaitSyncMLCompletion(hr, timeoutMs);
}

WPD_ERROR CWpdZeph::SyncMLGet(WPD_SYNCML_MIME *mime, IStream *stream, unsigned long long *size,
                              unsigned long timeoutMs) {
    if (!mime || !stream || !size) return WPD_ERROR_FAILED;
    responses_.BeginSyncMLExchange();
    const WPD_ERROR requested = AwaitSyncMLCompletion(SendVendorCommandUInt32(ZEPH_SyncMLRequest, {syncmlSession_}),
                                                      timeoutMs);
    if (requested != WPD_ERROR_OK) return requested;
    ComPtr<IPortableDevicePropVariantCollection> params;
    HRESULT hr = OperationParams(ZEPH_SyncMLGet, {syncmlSession_}, params);
    BYTE type = 0;
    if (SUCCEEDED(hr)) {
        hr = ReadVendorDataToStream(ZEPH_SyncMLGet, params.GetAddressOf(), nullptr, stream, size, &type, 1);
    }
    *mime = static_cast<WPD_SYNCML_MIME>(type);
    return TranslateError(hr);
}
