// The event subscription that the AT and SyncML channels share, and what a device object with a
// session still open does when it is disconnected or goes.
#include "device/cwpd.h"
#include "extension/zeph_events.h"

CWpdZeph::~CWpdZeph() { LeaveSessions(); }

WPD_ERROR CWpdZeph::Disconnect() {
    LeaveSessions();
    return CWpdBase::Disconnect();
}

void CWpdZeph::LeaveSessions() {
    atOpen_ = false;
    syncmlOpen_ = false;
    Unsubscribe();
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
