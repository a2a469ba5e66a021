// IPortableDeviceResources: read streams of an object's data and thumbnail.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"

namespace vphone {

class PortableDeviceResources final : public PlatformObject<PortableDeviceResources, IPortableDeviceResources> {
public:
    explicit PortableDeviceResources(std::shared_ptr<Phone> phone) noexcept : phone_(std::move(phone)) {}

    HRESULT STDMETHODCALLTYPE GetSupportedResources(LPCWSTR objectId, IPortableDeviceKeyCollection **keys) noexcept override;
    HRESULT STDMETHODCALLTYPE GetResourceAttributes(LPCWSTR objectId, REFPROPERTYKEY key,
                                                    IPortableDeviceValues **attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStream(LPCWSTR objectId, REFPROPERTYKEY key, const DWORD mode, DWORD *optimalBufferSize,
                                        IStream **stream) noexcept override;
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR objectId, IPortableDeviceKeyCollection *keys) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;
    HRESULT STDMETHODCALLTYPE CreateResource(IPortableDeviceValues *resourceAttributes, IStream **data,
                                             DWORD *optimalWriteBufferSize, LPWSTR *cookie) noexcept override;

private:
    ConnectedPhone phone_;
};

}  // namespace vphone
