// IPortableDeviceProperties over one phone's objects.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"

namespace vphone {

class PortableDeviceProperties final : public PlatformObject<PortableDeviceProperties, IPortableDeviceProperties> {
public:
    explicit PortableDeviceProperties(std::shared_ptr<Phone> phone) noexcept : phone_(std::move(phone)) {}

    HRESULT STDMETHODCALLTYPE GetSupportedProperties(LPCWSTR objectId, IPortableDeviceKeyCollection **keys) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPropertyAttributes(LPCWSTR objectId, REFPROPERTYKEY key,
                                                    IPortableDeviceValues **attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE GetValues(LPCWSTR objectId, IPortableDeviceKeyCollection *keys,
                                        IPortableDeviceValues **values) noexcept override;
    HRESULT STDMETHODCALLTYPE SetValues(LPCWSTR objectId, IPortableDeviceValues *values,
                                        IPortableDeviceValues **results) noexcept override;
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR objectId, IPortableDeviceKeyCollection *keys) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;

private:
    ConnectedPhone phone_;
};

}  // namespace vphone
