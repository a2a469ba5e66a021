// IPortableDeviceContent over one phone.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"

namespace vphone {

class PortableDeviceContent final : public PlatformObject<PortableDeviceContent, IPortableDeviceContent> {
public:
    explicit PortableDeviceContent(std::shared_ptr<Phone> phone) noexcept : phone_(std::move(phone)) {}

    HRESULT STDMETHODCALLTYPE EnumObjects(const DWORD flags, LPCWSTR parentObjectId, IPortableDeviceValues *filter,
                                          IEnumPortableDeviceObjectIDs **enumerator) noexcept override;
    HRESULT STDMETHODCALLTYPE Properties(IPortableDeviceProperties **properties) noexcept override;
    HRESULT STDMETHODCALLTYPE Transfer(IPortableDeviceResources **resources) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesOnly(IPortableDeviceValues *values,
                                                             LPWSTR *objectId) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesAndData(IPortableDeviceValues *values, IStream **data,
                                                                DWORD *optimalWriteBufferSize,
                                                                LPWSTR *cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Delete(const DWORD options, IPortableDevicePropVariantCollection *objectIds,
                                     IPortableDevicePropVariantCollection **results) noexcept override;
    HRESULT STDMETHODCALLTYPE GetObjectIDsFromPersistentUniqueIDs(
        IPortableDevicePropVariantCollection *persistentUniqueIds,
        IPortableDevicePropVariantCollection **objectIds) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;
    HRESULT STDMETHODCALLTYPE Move(IPortableDevicePropVariantCollection *objectIds, LPCWSTR destinationFolderObjectId,
                                   IPortableDevicePropVariantCollection **results) noexcept override;
    HRESULT STDMETHODCALLTYPE Copy(IPortableDevicePropVariantCollection *objectIds, LPCWSTR destinationFolderObjectId,
                                   IPortableDevicePropVariantCollection **results) noexcept override;

private:
    ConnectedPhone phone_;
};

}  // namespace vphone
