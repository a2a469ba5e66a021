// A test's phone: built, installed in this process, opened through the platform's class ids, with
// task memory counted from the start.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/virtual_phone.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace vphone_test {

using Microsoft::WRL::ComPtr;

// \Card (1 MiB): Music\{a.mp3 (1000 bytes, thumbnail), b.mp3 (2000)}, Empty\, mix.m3u -> a, b.
std::shared_ptr<vphone::Phone> SamplePhone(const vphone::PhoneProfile &profile = vphone::DefaultProfile());

class PhoneSession : public testing::Test {
protected:
    explicit PhoneSession(const vphone::PhoneProfile &profile = vphone::DefaultProfile()) : phone_(SamplePhone(profile)) {}
    void SetUp() override;
    void TearDown() override;
    // Opens the installed phone with client information; the result of Open.
    HRESULT Open(ComPtr<IPortableDevice> *device, ULONG desiredAccess = 0);
    ComPtr<IPortableDeviceContent> Content();
    ComPtr<IPortableDeviceValues> Values();
    std::vector<std::wstring> Children(const wchar_t *parent);
    ComPtr<IPortableDeviceValues> ReadValues(const std::wstring &objectId, std::initializer_list<PROPERTYKEY> keys);
    // The ids a playlist's WPD_OBJECT_REFERENCES holds.
    std::vector<std::wstring> ReferencesOf(const wchar_t *path);
    // Deletes the object at a device path (an id of no object when there is none).
    HRESULT DeleteAt(const std::wstring &path, DWORD options,
                     ComPtr<IPortableDevicePropVariantCollection> *results = nullptr);

    std::shared_ptr<vphone::Phone> phone_;
    vphone::InProcessPhones installed_{{phone_}};
    vphone::TaskMemoryAccounting memory_;
    ComPtr<IPortableDevice> device_;
};

}  // namespace vphone_test
