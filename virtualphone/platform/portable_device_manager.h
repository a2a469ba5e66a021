// IPortableDeviceManager: the phones of a phone set that are neither hidden nor unplugged, as of
// creation or the last RefreshDeviceList.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/model/phone_set.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"

#include <mutex>
#include <string>
#include <vector>

namespace vphone {

class PortableDeviceManager final : public PlatformObject<PortableDeviceManager, IPortableDeviceManager> {
public:
    explicit PortableDeviceManager(std::shared_ptr<PhoneSet> phones);

    HRESULT STDMETHODCALLTYPE GetDevices(LPWSTR *pnpDeviceIds, DWORD *count) noexcept override;
    HRESULT STDMETHODCALLTYPE RefreshDeviceList() noexcept override;
    HRESULT STDMETHODCALLTYPE GetDeviceFriendlyName(LPCWSTR pnpDeviceId, WCHAR *name, DWORD *chars) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDeviceDescription(LPCWSTR pnpDeviceId, WCHAR *description,
                                                   DWORD *chars) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDeviceManufacturer(LPCWSTR pnpDeviceId, WCHAR *manufacturer,
                                                    DWORD *chars) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDeviceProperty(LPCWSTR pnpDeviceId, LPCWSTR propertyName, BYTE *data,
                                                DWORD *dataBytes, DWORD *registryType) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPrivateDevices(LPWSTR *pnpDeviceIds, DWORD *count) noexcept override;

private:
    struct Listed {
        std::wstring pnpId;
        std::shared_ptr<Phone> phone;
    };
    // Runs body with the manager's current list after recording the call on every listed phone; the
    // first fault injected on one of them is the call's result.
    template <class Body>
    HRESULT OnList(const char *method, std::initializer_list<std::wstring_view> arguments, Body &&body) noexcept;
    // The two-call text convention of the name, description and manufacturer.
    HRESULT IdentityText(const char *method, LPCWSTR pnpDeviceId, std::wstring PhoneIdentity::*field, WCHAR *buffer,
                         DWORD *chars) noexcept;
    std::vector<Listed> Snapshot() const;

    LiveObject<PhoneSet> phones_;
    mutable std::mutex mutex_;
    std::vector<Listed> listed_;
};

}  // namespace vphone
