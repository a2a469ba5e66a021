// The phone's events while an AT or SyncML session is open: the platform calls OnEvent on a thread of
// its own, and the vendor MTP events among them go to the device object's handlers.
#pragma once

#include <windows.h>

#include <mutex>

#include "device/wpd_api.h"
#include "win/com_object.h"
#include "win/unique_any.h"

class CWpdZeph;

// The unsigned 32-bit response code in element index of a vendor event's parameters; fails when the
// event has no parameters or no such element.
HRESULT EventResponseCode(IPortableDeviceValues *parameters, DWORD index, ULONG &code);

class CZephEventsCallback final : public win::ComObject<CZephEventsCallback, IPortableDeviceEventCallback> {
public:
    explicit CZephEventsCallback(CWpdZeph *owner) noexcept : owner_(owner) {}

    // S_FALSE, doing nothing, when already subscribed.
    HRESULT Subscribe(IPortableDevice *device);
    // S_OK when not subscribed.
    HRESULT Unsubscribe(IPortableDevice *device);
    // After this no event reaches the owner; waits for a handler that is running.
    void DropOwner();

    HRESULT STDMETHODCALLTYPE OnEvent(IPortableDeviceValues *eventParameters) noexcept override;

private:
    win::UniqueCoTaskMemString cookie_;
    std::mutex ownerLock_;
    CWpdZeph *owner_;
};
