#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/phone_fixture.h"

namespace orvik_test {
namespace {

using Strings = std::vector<std::string>;

WPD_DEVICE_INFO SentinelInfo() {
    WPD_DEVICE_INFO info;
    std::memset(&info, 0x5a, sizeof info);
    info.cbSize = sizeof info;
    return info;
}

bool ReservedUntouched(const WPD_DEVICE_INFO &info) {
    for (size_t i = 0; i < sizeof info.reserved1; ++i) {
        if (info.reserved1[i] != 0x5a || info.reserved2[i] != 0x5a) return false;
    }
    return true;
}

class DeviceInfo : public PhoneTest {};

TEST_F(DeviceInfo, FillsTheThreeFieldsAndNothingElse) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    WPD_DEVICE_INFO info = SentinelInfo();
    ASSERT_EQ(WPD_GetDeviceInfo(handle, &info), WPD_ERROR_OK);
    EXPECT_STREQ(info.wszManufacturer, L"Orvik Test Works");
    EXPECT_STREQ(info.wszModel, L"Virtual One");
    EXPECT_STREQ(info.szSerialNumber, "ORVIKTEST01");
    EXPECT_TRUE(ReservedUntouched(info));
}

TEST_F(DeviceInfo, MissingSerialKeepsTheFieldsReadBeforeAndFails) {
    void *handle = ConnectedHandle();
    phone_->Controls().MakeUnreadable(wpd::WPD_DEVICE_SERIAL_NUMBER, E_ACCESSDENIED);
    WPD_DEVICE_INFO info = SentinelInfo();
    ClearLog();
    EXPECT_EQ(WPD_GetDeviceInfo(handle, &info), WPD_ERROR_FAILED);
    EXPECT_STREQ(info.wszManufacturer, L"Orvik Test Works");
    EXPECT_STREQ(info.wszModel, L"Virtual One");
    EXPECT_EQ(static_cast<unsigned char>(info.szSerialNumber[0]), 0x5a);
    EXPECT_TRUE(ReservedUntouched(info));
    EXPECT_EQ(Log(), Strings{"Failed to read property: WPD_DEVICE_SERIAL_NUMBER"});
}

TEST_F(DeviceInfo, LongAndForeignValuesAreCutAndConverted) {
    void *handle = ConnectedHandle();
    phone_->ChangeIdentity([](vphone::PhoneIdentity &identity) {
        identity.manufacturer = std::wstring(300, L'M');
        identity.serialNumber = L"S\u0416N" + std::wstring(100, L'7');
    });
    WPD_DEVICE_INFO info = SentinelInfo();
    ASSERT_EQ(WPD_GetDeviceInfo(handle, &info), WPD_ERROR_OK);
    EXPECT_EQ(std::wstring(info.wszManufacturer), std::wstring(127, L'M'));
    EXPECT_EQ(std::string(info.szSerialNumber), "S?N" + std::string(60, '7'));
    EXPECT_TRUE(ReservedUntouched(info));
}

struct InfoFault {
    const char *method;
    HRESULT hr;
    WPD_ERROR result;
    Strings log;
};

class DeviceInfoFaults : public DeviceInfo, public testing::WithParamInterface<InfoFault> {};

TEST_P(DeviceInfoFaults, GiveTheMappedResultAndTheirLines) {
    void *handle = ConnectedHandle();
    phone_->Controls().FailCall(GetParam().method, 1, GetParam().hr);
    WPD_DEVICE_INFO info = SentinelInfo();
    ClearLog();
    EXPECT_EQ(WPD_GetDeviceInfo(handle, &info), GetParam().result);
    EXPECT_EQ(Log(), GetParam().log);
    EXPECT_TRUE(ReservedUntouched(info));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceInfoFaults,
    testing::Values(InfoFault{"IPortableDevice::Content", HRESULT_FROM_WIN32(ERROR_BUSY), WPD_ERROR_BUSY,
                              {"Getting device content failed, hr = 800700aa", "Getting values failed, hr = 800700aa"}},
                    InfoFault{"IPortableDeviceContent::Properties", E_FAIL, WPD_ERROR_FAILED,
                              {"Getting content properties failed, hr = 80004005",
                               "Getting values failed, hr = 80004005"}},
                    InfoFault{"IPortableDeviceProperties::GetValues", E_ACCESSDENIED, WPD_ERROR_FAILED,
                              {"Getting properties values failed, hr = 80070005",
                               "Getting values failed, hr = 80070005"}}));

}  // namespace
}  // namespace orvik_test
