// The manager's counting conventions and the device's open/close rules.
#include "phone_session.h"

#include "win/com_object.h"
#include "win/unique_any.h"

namespace vphone_test {
namespace {

using PhoneManager = PhoneSession;

ComPtr<IPortableDeviceManager> Manager() {
    ComPtr<IPortableDeviceManager> manager;
    EXPECT_EQ(CoCreateInstance(wpd::CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&manager)),
              S_OK);
    return manager;
}

std::vector<std::wstring> Devices(IPortableDeviceManager *manager) {
    DWORD count = 0;
    EXPECT_EQ(manager->GetDevices(nullptr, &count), S_OK);
    std::vector<LPWSTR> ids(count + 1, nullptr);
    DWORD capacity = count + 1;
    EXPECT_EQ(manager->GetDevices(ids.data(), &capacity), S_OK);
    EXPECT_EQ(capacity, count);
    std::vector<std::wstring> result;
    for (DWORD i = 0; i < capacity; ++i) {
        result.push_back(ids[i]);
        CoTaskMemFree(ids[i]);
    }
    return result;
}

TEST_F(PhoneManager, ListsInterfacePathsCountThenList) {
    EXPECT_EQ(phone_->InterfacePath(), L"\\\\?\\usb#vid_0fce&pid_0176#sim0001#{6ac27878-a6fa-4155-ba85-f98f491d4f33}");
    auto second = vphone::PhoneBuilder().SerialNumber(L"SIM0002").Build();
    installed_.Add(second);
    auto manager = Manager();
    EXPECT_EQ(Devices(manager.Get()), (std::vector<std::wstring>{phone_->InterfacePath(), second->InterfacePath()}));
    // A list too small for all gives what fits and S_FALSE.
    LPWSTR one = nullptr;
    DWORD capacity = 1;
    EXPECT_EQ(manager->GetDevices(&one, &capacity), S_FALSE);
    EXPECT_EQ(capacity, 1u);
    CoTaskMemFree(one);
    // A hidden phone leaves the list at the next refresh.
    phone_->Controls().HideFromManager(true);
    EXPECT_EQ(Devices(manager.Get()).size(), 2u);
    EXPECT_EQ(manager->RefreshDeviceList(), S_OK);
    EXPECT_EQ(Devices(manager.Get()), std::vector<std::wstring>{second->InterfacePath()});
}

TEST_F(PhoneManager, FriendlyNameTwoCallConvention) {
    auto manager = Manager();
    const std::wstring path = phone_->InterfacePath();
    DWORD chars = 0;
    EXPECT_EQ(manager->GetDeviceFriendlyName(path.c_str(), nullptr, &chars), S_OK);
    EXPECT_EQ(chars, 11u);  // "Test phone" and its terminator
    wchar_t small[4];
    DWORD smallChars = 4;
    EXPECT_EQ(manager->GetDeviceFriendlyName(path.c_str(), small, &smallChars),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    std::wstring name(chars, L'?');
    EXPECT_EQ(manager->GetDeviceFriendlyName(path.c_str(), name.data(), &chars), S_OK);
    EXPECT_STREQ(name.c_str(), L"Test phone");
    phone_->ChangeIdentity([](vphone::PhoneIdentity &identity) { identity.friendlyName.clear(); });
    EXPECT_EQ(manager->GetDeviceFriendlyName(path.c_str(), nullptr, &chars), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_EQ(manager->GetDeviceFriendlyName(L"\\\\?\\nothing", nullptr, &chars), E_INVALIDARG);
}

struct Callback final : win::ComObject<Callback, IPortableDeviceEventCallback> {
    HRESULT STDMETHODCALLTYPE OnEvent(IPortableDeviceValues *) noexcept override { return S_OK; }
};

using PhoneDevice = PhoneSession;

TEST_F(PhoneDevice, OpensOnceRecordsClientAndClosesAgain) {
    ASSERT_EQ(Open(&device_), S_OK);
    ComPtr<IPortableDeviceValues> client = Values();
    EXPECT_EQ(device_->Open(phone_->InterfacePath().c_str(), client.Get()), static_cast<HRESULT>(0x802A0001));
    const auto information = phone_->Controls().ClientInformation();
    ASSERT_EQ(information.size(), 1u);
    EXPECT_STREQ(information[0].second.Get().pwszVal, L"tests");
    LPWSTR pnpId = nullptr;
    ASSERT_EQ(device_->GetPnPDeviceID(&pnpId), S_OK);
    win::UniqueCoTaskMemString owned(pnpId);
    EXPECT_EQ(phone_->InterfacePath(), pnpId);
    EXPECT_EQ(device_->Close(), S_OK);
    ComPtr<IPortableDeviceContent> content;
    EXPECT_EQ(device_->Content(&content), static_cast<HRESULT>(0x802A0002));
}

TEST_F(PhoneDevice, RefusedFullAccessOpensReadOnly) {
    phone_->Controls().RefuseFullAccess(true);
    EXPECT_EQ(Open(&device_), E_ACCESSDENIED);
    EXPECT_EQ(Open(&device_, GENERIC_READ), S_OK);
}

TEST_F(PhoneDevice, SendCommandAnswersNotSupportedAndCookiesRoundTrip) {
    ASSERT_EQ(Open(&device_), S_OK);
    ComPtr<IPortableDeviceValues> results;
    EXPECT_EQ(device_->SendCommand(0, Values().Get(), &results), S_OK);
    HRESULT commandResult = S_OK;
    EXPECT_EQ(results->GetErrorValue(wpd::WPD_PROPERTY_COMMON_HRESULT, &commandResult), S_OK);
    EXPECT_EQ(commandResult, E_NOTIMPL);

    ComPtr<IPortableDeviceEventCallback> callback;
    callback.Attach(Callback::Create());
    LPWSTR cookie = nullptr;
    ASSERT_EQ(device_->Advise(0, callback.Get(), nullptr, &cookie), S_OK);
    win::UniqueCoTaskMemString owned(cookie);
    EXPECT_EQ(device_->Unadvise(cookie), S_OK);
    EXPECT_EQ(device_->Unadvise(cookie), E_INVALIDARG);
}

}  // namespace
}  // namespace vphone_test
