// A virtual phone plugged in for a benchmark: SetupAPI device, in-process platform classes, and an
// opened device, as the library and the tests use them.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "device/wpd_api.h"
#include "virtualphone/install/device_install.h"
#include "virtualphone/virtual_phone.h"

namespace bench {

// A key collection with the eleven properties the library reads of every listed object.
inline Microsoft::WRL::ComPtr<IPortableDeviceKeyCollection> ListingKeys() {
    Microsoft::WRL::ComPtr<IPortableDeviceKeyCollection> keys;
    CoCreateInstance(wpd::CLSID_PortableDeviceKeyCollection, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&keys));
    for (const PROPERTYKEY &key : {wpd::WPD_OBJECT_ID, wpd::WPD_OBJECT_PARENT_ID, wpd::WPD_OBJECT_NAME,
                                   wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, wpd::WPD_OBJECT_ISHIDDEN,
                                   wpd::WPD_OBJECT_CAN_DELETE, wpd::WPD_OBJECT_SIZE, wpd::WPD_OBJECT_DATE_MODIFIED,
                                   wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_OBJECT_FORMAT,
                                   wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID}) {
        keys->Add(key);
    }
    return keys;
}

class PhoneSession {
public:
    explicit PhoneSession(std::shared_ptr<vphone::Phone> phone) : phone_(std::move(phone)), phones_({phone_}) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        const vphone::PhoneIdentity identity = phone_->Identity();
        std::wstring path;
        ok_ = SUCCEEDED(vphone::install::InstallDevice(identity.instanceId, identity.hardwareIds, &path)) &&
              SUCCEEDED(phones_.Register());
    }
    ~PhoneSession() {
        device_.Reset();
        phones_.Revoke();
        (void)vphone::install::UninstallDevice(phone_->Identity().instanceId);
        CoUninitialize();
    }
    PhoneSession(const PhoneSession &) = delete;
    PhoneSession &operator=(const PhoneSession &) = delete;

    bool ok() const { return ok_; }
    vphone::Phone &phone() { return *phone_; }

    // The phone opened directly through the platform classes.
    IPortableDevice *Device() {
        if (device_) return device_.Get();
        Microsoft::WRL::ComPtr<IPortableDeviceValues> client;
        CoCreateInstance(wpd::CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&client));
        CoCreateInstance(wpd::CLSID_PortableDevice, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&device_));
        if (device_ && client) device_->Open(phone_->InterfacePath().c_str(), client.Get());
        return device_.Get();
    }

private:
    std::shared_ptr<vphone::Phone> phone_;
    vphone::InProcessPhones phones_;
    Microsoft::WRL::ComPtr<IPortableDevice> device_;
    bool ok_ = false;
};

}  // namespace bench
