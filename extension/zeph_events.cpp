#include "extension/zeph_events.h"

#include <wrl/client.h>

#include "device/cwpd.h"
#include "device/platform_objects.h"
#include "extension/vendor_operations.h"
#include "extension/vendor_transfer.h"
#include "log/log_line.h"

using Microsoft::WRL::ComPtr;

HRESULT EventResponseCode(IPortableDeviceValues *parameters, DWORD index, ULONG &code) {
    code = 0;
    // The platform hands a vendor event's parameters under the event key; the response key serves
    // only when that one is absent.
    ComPtr<IPortableDevicePropVariantCollection> collection;
    HRESULT hr = parameters->GetIPortableDevicePropVariantCollectionValue(wpd::WPD_PROPERTY_MTP_EXT_EVENT_PARAMS,
                                                                          &collection);
    if (hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) {
        hr = parameters->GetIPortableDevicePropVariantCollectionValue(wpd::WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS,
                                                                      &collection);
    }
    if (FAILED(hr)) return hr;
    win::UniquePropVariant value;
    if (FAILED(collection->GetAt(index, value.get())) || value->vt != VT_UI4) return E_MALFORMED_ANSWER;
    code = value->ulVal;
    return S_OK;
}

HRESULT CZephEventsCallback::Subscribe(IPortableDevice *device) {
    if (cookie_) return S_FALSE;
    if (!device) return E_NOT_CONNECTED;
    ComPtr<IPortableDeviceValues> parameters;
    const HRESULT hr = CreateValues(parameters);
    if (FAILED(hr)) return hr;
    return device->Advise(0, this, parameters.Get(), cookie_.put());
}

HRESULT CZephEventsCallback::Unsubscribe(IPortableDevice *device) {
    if (!cookie_) return S_OK;
    const HRESULT hr = device ? device->Unadvise(cookie_.get()) : E_NOT_CONNECTED;
    cookie_.reset();
    return hr;
}

void CZephEventsCallback::DropOwner() {
    std::lock_guard lock(ownerLock_);
    owner_ = nullptr;
}

HRESULT STDMETHODCALLTYPE CZephEventsCallback::OnEvent(IPortableDeviceValues *eventParameters) noexcept {
    return win::GuardComMethod([&]() -> HRESULT {
        if (!eventParameters) return E_POINTER;
        GUID event;
        const HRESULT hr = eventParameters->GetGuidValue(wpd::WPD_EVENT_PARAMETER_EVENT_ID, &event);
        if (FAILED(hr)) return hr;
        const GUID &vendor = wpd::WPD_EVENT_MTP_VENDOR_EXTENDED_EVENTS;
        if (event.Data2 != vendor.Data2 || event.Data3 != vendor.Data3 ||
            memcmp(event.Data4, vendor.Data4, sizeof vendor.Data4) != 0) {
            return S_OK;
        }
        const unsigned number = event.Data1 >> 16;
        LogLine(1, "Received MTP event: 0x%X\n", number);
        // Held for the whole handler, so that the owner cannot go while it runs.
        std::lock_guard lock(ownerLock_);
        if (!owner_) return S_OK;
        switch (number) {
            case ZEPH_ATPendingData: return owner_->OnATPendingData(eventParameters);
            case ZEPH_SyncMLOperationComplete: return owner_->OnSyncMLOperationComplete(eventParameters);
            default: return S_OK;
        }
    });
}
