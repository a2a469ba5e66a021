// What the AT and SyncML channels share: opening and closing a vendor channel with its session, the
// event subscription, and what a device object with a session still open does when it is disconnected
// or goes.
#include "device/cwpd.h"
#include "extension/vendor_operations.h"
#include "extension/zeph_events.h"

CWpdZeph::~CWpdZeph() { LeaveSessions(); }

WPD_ERROR CWpdZeph::Disconnect() {
    LeaveSessions();
    return CWpdBase::Disconnect();
}

void CWpdZeph::LeaveSessions() {
    // The phone keeps a channel open until it is told: left open, it would refuse every later client.
    if (atOpen_) CloseChannelSession(ZEPH_ATChannel, ZEPH_ATCloseSession, atSession_);
    if (syncmlOpen_) CloseChannelSession(ZEPH_SyncMLChannel, ZEPH_SyncMLCloseSession, syncmlSession_);
    atOpen_ = false;
    syncmlOpen_ = false;
    Unsubscribe();
}

HRESULT CWpdZeph::OpenChannelSession(ULONG channel, WORD opCode, std::initializer_list<ULONG> params) {
    HRESULT hr = OpenVendorChannel(channel);
    if (hr == MtpResponseAsHResult(wpd::PTP_RC_SessionAlreadyOpened) && openChannels_.count(channel)) {
        CloseVendorChannel(channel);
        hr = OpenVendorChannel(channel);
    }
    if (FAILED(hr)) return hr;
    openChannels_.insert(channel);
    hr = SendVendorCommandUInt32(opCode, params);
    if (FAILED(hr) && SUCCEEDED(CloseVendorChannel(channel))) openChannels_.erase(channel);
    return hr;
}

HRESULT CWpdZeph::CloseChannelSession(ULONG channel, WORD opCode, ULONG session) {
    const HRESULT ended = SendVendorCommandUInt32(opCode, {session});
    // A channel left open on the phone would refuse every later open, of any client.
    const HRESULT closed = CloseVendorChannel(channel);
    if (SUCCEEDED(closed)) openChannels_.erase(channel);
    return FAILED(ended) ? ended : closed;
}

void CWpdZeph::Subscribe() {
    if (!eventCallback_) {
        eventCallback_ = CZephEventsCallback::Create(this);
        if (!eventCallback_) return;
    }
    // A failed subscription leaves the session without events; its open still succeeds.
    eventCallback_->Subscribe(GetDeviceRef()->Get());
}

void CWpdZeph::Unsubscribe() {
    if (!eventCallback_ || atOpen_ || syncmlOpen_) return;
    // The platform may hold the callback longer than we do: it must find no owner then.
    eventCallback_->DropOwner();
    eventCallback_->Unsubscribe(GetDeviceRef()->Get());
    eventCallback_->Release();
    eventCallback_ = nullptr;
}
