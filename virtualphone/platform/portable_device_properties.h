// IPortableDeviceProperties over one phone's objects, and its bulk form IPortableDevicePropertiesBulk
// where the phone's profile has it.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"
#include "virtualphone/platform/properties_bulk.h"

namespace vphone {

class PortableDeviceProperties final
    : public PlatformObject<PortableDeviceProperties, IPortableDeviceProperties, IPortableDevicePropertiesBulk> {
    using Base = PlatformObject<PortableDeviceProperties, IPortableDeviceProperties, IPortableDevicePropertiesBulk>;

public:
    explicit PortableDeviceProperties(std::shared_ptr<Phone> phone)
        : phone_(std::move(phone)), bulk_(*phone_, phone_.Connection()) {}

    // E_NOINTERFACE for the bulk interface where the phone has no bulk support, as the platform answers.
    STDMETHODIMP QueryInterface(REFIID iid, void **object) noexcept override;

    HRESULT STDMETHODCALLTYPE GetSupportedProperties(LPCWSTR objectId, IPortableDeviceKeyCollection **keys) noexcept override;
    HRESULT STDMETHODCALLTYPE GetPropertyAttributes(LPCWSTR objectId, REFPROPERTYKEY key,
                                                    IPortableDeviceValues **attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE GetValues(LPCWSTR objectId, IPortableDeviceKeyCollection *keys,
                                        IPortableDeviceValues **values) noexcept override;
    HRESULT STDMETHODCALLTYPE SetValues(LPCWSTR objectId, IPortableDeviceValues *values,
                                        IPortableDeviceValues **results) noexcept override;
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR objectId, IPortableDeviceKeyCollection *keys) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;

    HRESULT STDMETHODCALLTYPE QueueGetValuesByObjectList(IPortableDevicePropVariantCollection *objectIds,
                                                         IPortableDeviceKeyCollection *keys,
                                                         IPortableDevicePropertiesBulkCallback *callback,
                                                         GUID *context) noexcept override;
    HRESULT STDMETHODCALLTYPE QueueGetValuesByObjectFormat(REFGUID format, LPCWSTR parentObjectId, const DWORD depth,
                                                           IPortableDeviceKeyCollection *keys,
                                                           IPortableDevicePropertiesBulkCallback *callback,
                                                           GUID *context) noexcept override;
    HRESULT STDMETHODCALLTYPE QueueSetValuesByObjectList(IPortableDeviceValuesCollection *objectValues,
                                                         IPortableDevicePropertiesBulkCallback *callback,
                                                         GUID *context) noexcept override;
    HRESULT STDMETHODCALLTYPE Start(REFGUID context) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel(REFGUID context) noexcept override;

private:
    ConnectedPhone phone_;
    BulkRequests bulk_;
};

}  // namespace vphone
