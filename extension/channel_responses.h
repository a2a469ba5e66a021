// What the phone's vendor events bring back, kept per channel so that news of one channel never decides
// another's result: the AT channel's last response code, and the completion of the SyncML exchange that
// waits for one. The event thread and the workers meet here, under one lock.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <optional>

#include "device/wpd_api.h"

class ChannelResponses {
public:
    // The response of the AT channel's last operation or pending-data event.
    void SetATResponse(ULONG code);
    ULONG ATResponse() const;

    // A SyncML put or request is about to be sent: only a completion that comes after this is its own.
    void BeginSyncMLExchange();
    // A completion of the phone (its status). False when no exchange waits for one: a completion that
    // came too late for an exchange that gave up, or a second one, is stale and belongs to nobody.
    bool CompleteSyncMLExchange(HRESULT status);
    // The completion of the exchange begun last, or nothing when none came within timeoutMs. The exchange
    // is over either way.
    std::optional<HRESULT> AwaitSyncMLCompletion(unsigned long timeoutMs);

private:
    mutable std::mutex lock_;
    std::condition_variable completed_;
    ULONG atResponse_ = wpd::PTP_RC_OK;
    bool awaiting_ = false;
    std::optional<HRESULT> completion_;
};
