#include "support/phone_fixture.h"

#include "virtualphone/install/device_install.h"
#include "virtualphone/platform/object_apartment.h"

namespace orvik_test {

vphone::PhoneBuilder StandardPhone(const vphone::PhoneProfile &profile) {
    vphone::PhoneBuilder builder(profile);
    builder.Manufacturer(L"Orvik Test Works")
        .Model(L"Virtual One")
        .SerialNumber(L"ORVIKTEST01")
        .FriendlyName(L"Test Phone")
        .InstanceId(kTestInstanceId)
        .HardwareIds({L"USB\\VID_0FCE&PID_7E57&REV_0100", L"USB\\VID_0FCE&PID_7E57"})
        .Storage(L"Card", 8ull << 30)
        .Storage(L"Phone memory", 1ull << 30)
        .Folder(L"\\Card\\Music")
        .File(L"\\Card\\Music\\song.mp3", vphone::PatternData(3145728))
        .Folder(L"\\Card\\Photos");
    return builder;
}

std::string ProfileName(const testing::TestParamInfo<vphone::PhoneProfile> &info) {
    return std::string(info.param.name.begin(), info.param.name.end());
}

void PhoneTest::SetUp() {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    phone_ = MakePhone();
    const vphone::PhoneIdentity identity = phone_->Identity();
    std::wstring interfacePath;
    ASSERT_EQ(vphone::install::InstallDevice(identity.instanceId, identity.hardwareIds, &interfacePath), S_OK);
    ASSERT_EQ(interfacePath, phone_->InterfacePath());
    phones_ = std::make_unique<vphone::InProcessPhones>(std::vector<std::shared_ptr<vphone::Phone>>{phone_});
    ASSERT_EQ(phones_->Register(), S_OK);
    ASSERT_EQ(memory_.Register(), S_OK);
    registeredObjects_ = phones_->LiveObjects();  // the registered class objects themselves
    apartmentViolations_ = vphone::ApartmentViolations();
    ClearLog();
}

void PhoneTest::TearDown() {
    for (void *handle : handles_) WPD_Uninitialize(handle);
    handles_.clear();
    SettlePhone();
    if (phones_) {
        EXPECT_EQ(phones_->LiveObjects(), registeredObjects_) << "COM objects of the phone still referenced";
        EXPECT_EQ(memory_.OutstandingBlocks(), 0) << "task memory of the phone not freed";
        EXPECT_EQ(vphone::ApartmentViolations(), apartmentViolations_) << "phone objects used outside their apartment";
    }
    memory_.Revoke();
    phones_.reset();
    if (phone_) {
        EXPECT_EQ(vphone::install::UninstallDevice(phone_->Identity().instanceId), S_OK);
    }
    phone_.reset();
    CoUninitialize();
}

void *PhoneTest::ConnectedHandle(WPD_METHOD method) {
    void *handle = WPD_InitializeEx(method, 0);
    handles_.push_back(handle);
    char id[64];
    strcpy_s(id, kTestHardwareId);
    EXPECT_EQ(WPD_ConnectDevice(handle, id, false, 0), WPD_ERROR_OK);
    return handle;
}

}  // namespace orvik_test
