// IPortableDevice: opens one phone of its phone set and hands out its content and capabilities.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/model/phone_set.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"

#include <wrl/client.h>

#include <mutex>

namespace vphone {

class PortableDevice final : public PlatformObject<PortableDevice, IPortableDevice> {
public:
    explicit PortableDevice(std::shared_ptr<PhoneSet> phones) noexcept : phones_(std::move(phones)) {}
    // A client that lets go without Close leaves no subscription behind, unless the phone is told to
    // keep them.
    ~PortableDevice() override;

    HRESULT STDMETHODCALLTYPE Open(LPCWSTR pnpDeviceId, IPortableDeviceValues *clientInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE SendCommand(const DWORD flags, IPortableDeviceValues *parameters,
                                          IPortableDeviceValues **results) noexcept override;
    HRESULT STDMETHODCALLTYPE Content(IPortableDeviceContent **content) noexcept override;
    HRESULT STDMETHODCALLTYPE Capabilities(IPortableDeviceCapabilities **capabilities) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;
    HRESULT STDMETHODCALLTYPE Close() noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(const DWORD flags, IPortableDeviceEventCallback *callback,
                                     IPortableDeviceValues *parameters, LPWSTR *cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(LPCWSTR cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPnPDeviceID(LPWSTR *pnpDeviceId) noexcept override;

private:
    // Runs body on the opened phone; kDeviceNotOpen before Open and after Close, kPhoneUnplugged
    // once the connection it was opened in has ended.
    template <class Body>
    HRESULT OnOpenPhone(const char *method, std::initializer_list<std::wstring_view> arguments, Body &&body) noexcept;

    // Lets go of the opened phone and of the subscriptions made through this device.
    void Forget();

    LiveObject<PhoneSet> phones_;
    std::mutex mutex_;
    std::shared_ptr<Phone> phone_;
    unsigned connection_ = 0;  // of the phone, when it was opened
    std::wstring pnpId_;
    unsigned nextCookie_ = 1;
};

}  // namespace vphone
