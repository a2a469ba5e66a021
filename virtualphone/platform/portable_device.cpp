#include "virtualphone/platform/portable_device.h"

#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/portable_device_capabilities.h"
#include "virtualphone/platform/portable_device_content.h"
#include "virtualphone/platform/wpd_errors.h"
#include "win/unique_any.h"

namespace vphone {

using Microsoft::WRL::ComPtr;

template <class Body>
HRESULT PortableDevice::OnOpenPhone(const char *method, std::initializer_list<std::wstring_view> arguments,
                                    Body &&body) noexcept {
    std::shared_ptr<Phone> phone;
    unsigned connection = 0;
    {
        std::lock_guard lock(mutex_);
        phone = phone_;
        connection = connection_;
    }
    if (!phone) return kDeviceNotOpen;
    return RunPhoneMethod(Apartment(), phone->Controls(), connection, method, arguments, [&]() -> HRESULT { return body(phone); });
}

HRESULT STDMETHODCALLTYPE PortableDevice::Open(LPCWSTR pnpDeviceId, IPortableDeviceValues *clientInfo) noexcept {
    return win::GuardComMethod([&]() -> HRESULT {
        if (!pnpDeviceId || !clientInfo) return E_POINTER;
        std::shared_ptr<Phone> phone = phones_->Find(pnpDeviceId);
        if (!phone) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        // The device belongs to the connection it was opened in: an unplug ends it for good.
        const unsigned connection = phone->Controls().Connection();
        return RunPhoneMethod(Apartment(), phone->Controls(), connection, "IPortableDevice::Open", {pnpDeviceId}, [&]() -> HRESULT {
            std::lock_guard lock(mutex_);
            if (phone_) return kDeviceAlreadyOpened;
            DWORD count = 0;
            HRESULT hr = clientInfo->GetCount(&count);
            if (FAILED(hr)) return hr;
            std::vector<std::pair<PROPERTYKEY, PropertyValue>> information;
            for (DWORD i = 0; i < count; ++i) {
                PROPERTYKEY key{};
                win::UniquePropVariant value;
                hr = clientInfo->GetAt(i, &key, value.get());
                if (FAILED(hr)) return hr;
                information.emplace_back(key, PropertyValue(*value));
            }
            phone->Controls().RecordClientInformation(std::move(information));
            // Without WPD_CLIENT_DESIRED_ACCESS the client asks for read and write.
            ULONG access = GENERIC_READ | GENERIC_WRITE;
            clientInfo->GetUnsignedIntegerValue(wpd::WPD_CLIENT_DESIRED_ACCESS, &access);
            if (phone->Controls().FullAccessRefused() && access != GENERIC_READ) return E_ACCESSDENIED;
            phone_ = phone;
            connection_ = connection;
            pnpId_ = pnpDeviceId;
            return S_OK;
        });
    });
}

PortableDevice::~PortableDevice() {
    if (phone_ && !phone_->Controls().SubscriptionsKeptOnRelease()) phone_->Events().RemoveAll(this);
}

HRESULT STDMETHODCALLTYPE PortableDevice::SendCommand(const DWORD flags, IPortableDeviceValues *parameters,
                                                      IPortableDeviceValues **results) noexcept {
    return OnOpenPhone("IPortableDevice::SendCommand", {NumberArg(flags)}, [&](const std::shared_ptr<Phone> &phone) -> HRESULT {
        if (!parameters || !results) return E_POINTER;
        *results = nullptr;
        ComPtr<IPortableDeviceValues> answer;
        HRESULT hr = NewValues(&answer);
        if (FAILED(hr)) return hr;
        // The driver took the command; that it cannot carry it out is the command's own result.
        PhoneExtension *extension = phone->Extension();
        const LONGLONG began = Link::Now();
        const HRESULT outcome = extension ? extension->SendCommand(parameters, answer.Get()) : E_NOTIMPL;
        // A data phase's step moved what it reports over the cable.
        for (const PROPERTYKEY &moved : {wpd::WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_READ,
                                         wpd::WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN}) {
            ULONG bytes = 0;
            if (SUCCEEDED(answer->GetUnsignedIntegerValue(moved, &bytes))) phone->Controls().Cable().ChargeBytes(bytes, began);
        }
        hr = answer->SetErrorValue(wpd::WPD_PROPERTY_COMMON_HRESULT, outcome);
        if (FAILED(hr)) return hr;
        *results = answer.Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDevice::Content(IPortableDeviceContent **content) noexcept {
    if (content) *content = nullptr;
    return OnOpenPhone("IPortableDevice::Content", {}, [&](const std::shared_ptr<Phone> &phone) -> HRESULT {
        if (!content) return E_POINTER;
        return HandOut(PortableDeviceContent::Create(phone), IID_PPV_ARGS(content));
    });
}

HRESULT STDMETHODCALLTYPE PortableDevice::Capabilities(IPortableDeviceCapabilities **capabilities) noexcept {
    if (capabilities) *capabilities = nullptr;
    return OnOpenPhone("IPortableDevice::Capabilities", {}, [&](const std::shared_ptr<Phone> &phone) -> HRESULT {
        if (!capabilities) return E_POINTER;
        return HandOut(PortableDeviceCapabilities::Create(phone), IID_PPV_ARGS(capabilities));
    });
}

HRESULT STDMETHODCALLTYPE PortableDevice::Cancel() noexcept {
    return OnOpenPhone("IPortableDevice::Cancel", {}, [](const std::shared_ptr<Phone> &) -> HRESULT { return S_OK; });
}

void PortableDevice::Forget() {
    std::shared_ptr<Phone> phone;
    {
        std::lock_guard lock(mutex_);
        phone = std::move(phone_);
        pnpId_.clear();
    }
    if (phone) phone->Events().RemoveAll(this);
}

HRESULT STDMETHODCALLTYPE PortableDevice::Close() noexcept {
    const HRESULT hr = OnOpenPhone("IPortableDevice::Close", {}, [&](const std::shared_ptr<Phone> &) -> HRESULT {
        Forget();
        return S_OK;
    });
    if (hr != kPhoneUnplugged) return hr;
    // Closing a device whose phone went away needs no phone: the client only lets go of it.
    Forget();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PortableDevice::Advise(const DWORD flags, IPortableDeviceEventCallback *callback,
                                                 IPortableDeviceValues *, LPWSTR *cookie) noexcept {
    if (cookie) *cookie = nullptr;
    return OnOpenPhone("IPortableDevice::Advise", {NumberArg(flags)}, [&](const std::shared_ptr<Phone> &phone) -> HRESULT {
        if (!callback || !cookie) return E_POINTER;
        std::lock_guard lock(mutex_);
        const std::wstring name = L"advise-" + NumberArg(nextCookie_);
        HRESULT hr = CopyToTaskMem(name, cookie);
        if (FAILED(hr)) return hr;
        phone->Events().Add(this, name, callback);
        ++nextCookie_;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDevice::Unadvise(LPCWSTR cookie) noexcept {
    return OnOpenPhone("IPortableDevice::Unadvise", {Arg(cookie)}, [&](const std::shared_ptr<Phone> &phone) -> HRESULT {
        if (!cookie) return E_POINTER;
        return phone->Events().Remove(this, cookie) ? S_OK : E_INVALIDARG;
    });
}

HRESULT STDMETHODCALLTYPE PortableDevice::GetPnPDeviceID(LPWSTR *pnpDeviceId) noexcept {
    if (pnpDeviceId) *pnpDeviceId = nullptr;
    return OnOpenPhone("IPortableDevice::GetPnPDeviceID", {}, [&](const std::shared_ptr<Phone> &) -> HRESULT {
        if (!pnpDeviceId) return E_POINTER;
        std::lock_guard lock(mutex_);
        return CopyToTaskMem(pnpId_, pnpDeviceId);
    });
}

}  // namespace vphone
