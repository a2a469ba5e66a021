// IEnumPortableDeviceObjectIDs over the children an object had when EnumObjects was called.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/platform/phone_method.h"
#include "virtualphone/platform/platform_object.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vphone {

class ObjectIdEnumerator final : public PlatformObject<ObjectIdEnumerator, IEnumPortableDeviceObjectIDs> {
public:
    ObjectIdEnumerator(std::shared_ptr<Phone> phone, std::shared_ptr<const std::vector<std::wstring>> ids,
                       std::size_t next = 0) noexcept
        : phone_(std::move(phone)), ids_(std::move(ids)), next_(next) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG requested, LPWSTR *objectIds, ULONG *fetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPortableDeviceObjectIDs **enumerator) noexcept override;
    HRESULT STDMETHODCALLTYPE Cancel() noexcept override;

private:
    ConnectedPhone phone_;
    std::shared_ptr<const std::vector<std::wstring>> ids_;
    std::mutex mutex_;
    std::size_t next_;
};

}  // namespace vphone
