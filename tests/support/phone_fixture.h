// A test with a virtual phone plugged in: the phone's SetupAPI device exists in the test prefix, its
// platform classes answer in this process, and at the end the library must have released every COM
// object and block of task memory it was given, and never used one outside its apartment.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "device/wpd_api.h"
#include "orvik.h"
#include "support/log_collector.h"
#include "virtualphone/install/device_install.h"
#include "virtualphone/virtual_phone.h"

namespace orvik_test {

// The instance and hardware ids of the phone that PhoneTest plugs in.
inline constexpr wchar_t kTestInstanceId[] = L"USB\\VID_0FCE&PID_7E57\\ORVIKTEST01";
inline constexpr char kTestHardwareId[] = "USB\\VID_0FCE&PID_7E57";
inline constexpr char kTestInstanceIdNarrow[] = "USB\\VID_0FCE&PID_7E57\\ORVIKTEST01";

// A small phone: storages Card and Phone memory, a few folders and files.
vphone::PhoneBuilder StandardPhone(const vphone::PhoneProfile &profile = vphone::DefaultProfile());

// Tests that hold on every profile run once on each: INSTANTIATE_TEST_SUITE_P(Profiles, Suite,
// EachProfile(), ProfileName).
inline auto EachProfile() { return testing::Values(vphone::DefaultProfile(), vphone::AndroidProfile()); }
std::string ProfileName(const testing::TestParamInfo<vphone::PhoneProfile> &info);

class PhoneTest : public testing::Test {
protected:
    // Override to build another phone.
    virtual std::shared_ptr<vphone::Phone> MakePhone() { return StandardPhone().Build(); }

    void SetUp() override;
    void TearDown() override;
    // Runs after the handles are gone and before the accounting is checked: a phone that works on a
    // thread of its own lets it finish here.
    virtual void SettlePhone() {}

    // A handle of the given class, connected to the phone by hardware id.
    void *ConnectedHandle(WPD_METHOD method = WPD_METHOD_BASE);
    std::vector<std::string> Log() const { return TestLog().Messages(); }
    void ClearLog() { TestLog().Clear(); }

    std::shared_ptr<vphone::Phone> phone_;
    std::unique_ptr<vphone::InProcessPhones> phones_;
    vphone::TaskMemoryAccounting memory_;
    long registeredObjects_ = 0;
    long apartmentViolations_ = 0;  // before the test
    std::vector<void *> handles_;
};

}  // namespace orvik_test
