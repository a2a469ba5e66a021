// IPortableDeviceCapabilities: the functional objects (storages) of one phone.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"

namespace vphone {

class PortableDeviceCapabilities final
    : public PlatformObject<PortableDeviceCapabilities, IPortableDeviceCapabilities> {
public:
    explicit PortableDeviceCapabilities(std::shared_ptr<Phone> phone) noexcept : phone_(std::move(phone)) {}

    HRESULT STDMETHODCALLTYPE GetSupportedCommands(IPortableDeviceKeyCollection **commands) noexcept override;
    HRESULT STDMETHODCALLTYPE GetCommandOptions(REFPROPERTYKEY command, IPortableDeviceValues **options) noexcept override;
    HRESULT STDMETHODCALLTYPE GetFunctionalCategories(IPortableDevicePropVariantCollection **categories) noexcept override;
    HRESULT STDMETHODCALLTYPE GetFunctionalObjects(REFGUID category,
                                                   IPortableDevicePropVariantCollection **objectIds) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSupportedContentTypes(REFGUID category,
                                                       IPortableDevicePropVariantCollection **types) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSupportedFormats(REFGUID contentType,
                                                  IPortableDevicePropVariantCollection **formats) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSupportedFormatProperties(REFGUID format,
                                                           IPortableDeviceKeyCollection **keys) noexcept override;
    HRESULT STDMETHODCALLTYPE GetFixedPropertyAttributes(REFGUID format, REFPROPERTYKEY key,
                                                         IPortableDeviceValues **attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;
    HRESULT STDMETHODCALLTYPE GetSupportedEvents(IPortableDevicePropVariantCollection **events) noexcept override;
    HRESULT STDMETHODCALLTYPE GetEventOptions(REFGUID event, IPortableDeviceValues **options) noexcept override;

private:
    // The methods the phone does not answer: they clear the out-pointer and give E_NOTIMPL.
    template <class Out>
    HRESULT NotAnswered(const char *method, Out **out) noexcept {
        return RunPhoneMethod(Apartment(), phone_, method, {}, [&]() -> HRESULT {
            if (out) *out = nullptr;
            return E_NOTIMPL;
        });
    }

    ConnectedPhone phone_;
};

}  // namespace vphone
