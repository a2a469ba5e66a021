#include "virtualphone/platform/in_process_phones.h"

#include "device/wpd_api.h"
#include "virtualphone/platform/platform_classes.h"

#include <wrl/client.h>

namespace vphone {

InProcessPhones::InProcessPhones(std::vector<std::shared_ptr<Phone>> phones)
    : phones_(std::make_shared<PhoneSet>()) {
    for (auto &phone : phones) phones_->Add(std::move(phone));
}

HRESULT InProcessPhones::Register() noexcept {
    HRESULT hr = values_.Register();
    const CLSID *classes[] = {&wpd::CLSID_PortableDeviceManager, &wpd::CLSID_PortableDevice};
    for (std::size_t i = 0; SUCCEEDED(hr) && i < cookies_.size(); ++i) {
        Microsoft::WRL::ComPtr<IUnknown> factory;
        hr = GetPlatformClassObject(phones_, *classes[i], IID_PPV_ARGS(&factory));
        if (SUCCEEDED(hr)) {
            hr = CoRegisterClassObject(*classes[i], factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookies_[i]);
        }
    }
    if (FAILED(hr)) Revoke();
    registeredValueObjects_ = SUCCEEDED(hr) ? LiveValueObjects() : 0;
    return hr;
}

void InProcessPhones::Revoke() noexcept {
    for (DWORD &cookie : cookies_) {
        if (cookie) CoRevokeClassObject(cookie);
        cookie = 0;
    }
    values_.Revoke();
    registeredValueObjects_ = 0;
}

long InProcessPhones::LiveObjects() const noexcept {
    long live = phones_->Accounting().LiveObjects() + LiveValueObjects() - registeredValueObjects_;
    for (const auto &phone : phones_->Phones()) live += phone->Accounting().LiveObjects();
    return live;
}

}  // namespace vphone
