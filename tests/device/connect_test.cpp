#include <gtest/gtest.h>
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/phone_fixture.h"
#include "virtualphone/extension/vendor_phone.h"
#include "win/unique_any.h"

namespace orvik_test {
namespace {

using Strings = std::vector<std::string>;

// A client-information value as text: strings as they are, unsigned numbers in decimal.
std::wstring Text(const vphone::PropertyValue &value) {
    const PROPVARIANT &v = value.Get();
    if (v.vt == VT_LPWSTR) return v.pwszVal;
    if (v.vt == VT_UI4) return std::to_wstring(v.ulVal);
    return L"(type " + std::to_wstring(v.vt) + L")";
}

class Connect : public PhoneTest {
protected:
    WPD_ERROR ConnectWith(std::string id, bool matchInstanceId, WPD_METHOD method = WPD_METHOD_BASE) {
        void *handle = WPD_InitializeEx(method, 0);
        handles_.push_back(handle);
        return WPD_ConnectDevice(handle, id.data(), matchInstanceId, 0);
    }
    unsigned Opens() const { return phone_->Controls().CallCount("IPortableDevice::Open"); }
};

TEST_F(Connect, HardwareAndInstanceIdsMatchWithoutCaseButNotInterchangeably) {
    EXPECT_EQ(ConnectWith("usb\\vid_0fce&pid_7e57", false), WPD_ERROR_OK);
    EXPECT_EQ(ConnectWith("USB\\VID_0FCE&PID_7E57&REV_0100", false), WPD_ERROR_OK);
    EXPECT_EQ(ConnectWith("usb\\vid_0fce&pid_7e57\\orviktest01", true), WPD_ERROR_OK);
    EXPECT_EQ(Opens(), 3u);
    ClearLog();
    // An instance id is no hardware id, and a hardware id no instance id: nothing found, nothing logged.
    EXPECT_EQ(ConnectWith(kTestInstanceIdNarrow, false), WPD_ERROR_FAILED);
    EXPECT_EQ(ConnectWith(kTestHardwareId, true), WPD_ERROR_FAILED);
    EXPECT_EQ(ConnectWith("USB\\VID_FFFF&PID_FFFF", false), WPD_ERROR_FAILED);
    EXPECT_EQ(Opens(), 3u);
    EXPECT_EQ(Log(), Strings{});
}

TEST_F(Connect, OpensWithTheLibrarysClientInformation) {
    ASSERT_EQ(ConnectWith(kTestHardwareId, false), WPD_ERROR_OK);
    EXPECT_EQ(Log(), Strings{"1 Windows Portable Device(s) with ID USB\\VID_0FCE&PID_7E57 found"});
    std::vector<std::pair<PROPERTYKEY, vphone::PropertyValue>> info = phone_->Controls().ClientInformation();
    ASSERT_EQ(info.size(), 5u);
    EXPECT_TRUE(IsEqualPropertyKey(info[0].first, wpd::WPD_CLIENT_NAME));
    EXPECT_EQ(Text(info[0].second), L"Orvik");
    const PROPERTYKEY numbers[] = {wpd::WPD_CLIENT_MAJOR_VERSION, wpd::WPD_CLIENT_MINOR_VERSION,
                                   wpd::WPD_CLIENT_REVISION, wpd::WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE};
    const std::wstring values[] = {L"1", L"0", L"0", L"131072"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(IsEqualPropertyKey(info[i + 1].first, numbers[i])) << i;
        EXPECT_EQ(Text(info[i + 1].second), values[i]) << i;
    }
}

TEST_F(Connect, ASecondConnectNeitherReopensNorRenames) {
    void *handle = ConnectedHandle();
    phone_->ChangeIdentity([](vphone::PhoneIdentity &identity) { identity.friendlyName = L"Renamed"; });
    char id[] = "USB\\VID_0FCE&PID_7E57\\ORVIKTEST01";
    EXPECT_EQ(WPD_ConnectDevice(handle, id, true, 0), WPD_ERROR_OK);
    EXPECT_EQ(Opens(), 1u);
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceManager::GetDeviceFriendlyName"), 1u);
    EXPECT_EQ(WPD_DisconnectDevice(handle), WPD_ERROR_OK);
    EXPECT_EQ(WPD_DisconnectDevice(handle), WPD_ERROR_OK);
}

TEST_F(Connect, AccessDeniedThenReadOnlyOpenSucceeds) {
    phone_->Controls().RefuseFullAccess(true);
    EXPECT_EQ(ConnectWith(kTestHardwareId, false), WPD_ERROR_OK);
    EXPECT_EQ(Opens(), 2u);
    const auto info = phone_->Controls().ClientInformation();
    ASSERT_EQ(info.size(), 6u);
    EXPECT_TRUE(IsEqualPropertyKey(info[5].first, wpd::WPD_CLIENT_DESIRED_ACCESS));
    EXPECT_EQ(Text(info[5].second), std::to_wstring(GENERIC_READ));
}

TEST_F(Connect, APresentDeviceTheManagerDoesNotListIsNotFound) {
    phone_->Controls().HideFromManager(true);
    EXPECT_EQ(ConnectWith("usb\\vid_0fce&pid_7e57", false), WPD_ERROR_FAILED);
    EXPECT_EQ(Log(), (Strings{"0 Windows Portable Device(s) with ID usb\\vid_0fce&pid_7e57 found"}));
}

struct ConnectFault {
    const char *method;
    unsigned nth;
    HRESULT hr;
    WPD_ERROR base;
    WPD_ERROR vendor;
    Strings log;
};

class ConnectFaults : public Connect, public testing::WithParamInterface<ConnectFault> {};

// Each platform failure gives its log lines and the class's mapping, and leaves the handle unconnected.
TEST_P(ConnectFaults, GiveTheMappedResultAndTheirLines) {
    const ConnectFault &fault = GetParam();
    for (WPD_METHOD method : {WPD_METHOD_BASE, WPD_METHOD_ZEPH}) {
        phone_->Controls().FailCall(fault.method, fault.nth, fault.hr);
        ClearLog();
        void *handle = WPD_InitializeEx(method, 0);
        handles_.push_back(handle);
        char id[] = "USB\\VID_0FCE&PID_7E57";
        EXPECT_EQ(WPD_ConnectDevice(handle, id, false, 0), method == WPD_METHOD_BASE ? fault.base : fault.vendor);
        EXPECT_EQ(Log(), fault.log);
        phone_->Controls().ClearFaults();
        WPD_DEVICE_INFO info = {};
        info.cbSize = sizeof info;
        ClearLog();
        EXPECT_EQ(WPD_GetDeviceInfo(handle, &info), WPD_ERROR_FAILED);
        EXPECT_EQ(Log().front(), "Getting device content failed, hr = 8007048f");
    }
}

const std::string kFound = "1 Windows Portable Device(s) with ID USB\\VID_0FCE&PID_7E57 found";

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectFaults,
    testing::Values(
        ConnectFault{"IPortableDeviceManager::GetDevices", 1, HRESULT_FROM_WIN32(ERROR_BUSY), WPD_ERROR_BUSY,
                     WPD_ERROR_BUSY,
                     {"IPortableDeviceManager.GetDevices (for device count) failed, hr = 800700aa"}},
        ConnectFault{"IPortableDeviceManager::GetDevices", 2, E_UNEXPECTED, WPD_ERROR_FAILED, WPD_ERROR_FAILED,
                     {kFound, "IPortableDeviceManager.GetDevices failed, hr = 8000ffff"}},
        ConnectFault{"IPortableDevice::Open", 1, HRESULT_FROM_WIN32(ERROR_BUSY), WPD_ERROR_BUSY, WPD_ERROR_BUSY,
                     {kFound, "Cannot open the IPortableDevice object", "Failed to open device, hr = 800700aa"}},
        ConnectFault{"IPortableDevice::Open", 1, static_cast<HRESULT>(0xA0002019), WPD_ERROR_FAILED,
                     WPD_ERROR_MTP_DEVICE_BUSY,
                     {kFound, "Cannot open the IPortableDevice object", "Failed to open device, hr = a0002019"}}));

TEST(ConnectWithoutPlatform, MissingManagerClassIsLoggedAndFails) {
    // The device is present in the system, but no portable-device classes answer in this process.
    std::wstring path;
    ASSERT_EQ(vphone::install::InstallDevice(kTestInstanceId, {L"USB\\VID_0FCE&PID_7E57"}, &path), S_OK);
    TestLog().Clear();
    void *handle = WPD_Initialize(0);
    char id[] = "USB\\VID_0FCE&PID_7E57";
    EXPECT_EQ(WPD_ConnectDevice(handle, id, false, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(TestLog().Messages(), Strings{"Failed to CoCreateInstance CLSID_PortableDeviceManager, hr = 80040154"});
    EXPECT_EQ(WPD_ConnectDevice(handle, nullptr, false, 0), WPD_ERROR_FAILED);
    WPD_Uninitialize(handle);
    EXPECT_EQ(vphone::install::UninstallDevice(kTestInstanceId), S_OK);
}

// How phones of today present themselves: a composite phone whose first node with the hardware id has
// no portable-device interface (it is found before the node that has one), and an interface path of
// 200 characters.
struct Presentation {
    const char *name;
    std::wstring instanceId;
    std::wstring parentInstanceId = {};  // empty: no composite parent
};

void PrintTo(const Presentation &p, std::ostream *out) { *out << p.name; }

class PresentedAs : public Connect, public testing::WithParamInterface<Presentation> {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override {
        return StandardPhone().InstanceId(GetParam().instanceId).Build();
    }
    void SetUp() override {
        if (!GetParam().parentInstanceId.empty()) {
            ASSERT_EQ(vphone::install::InstallCompositeParent(GetParam().parentInstanceId, {L"USB\\VID_0FCE&PID_7E57"}),
                      S_OK);
        }
        Connect::SetUp();
    }
    void TearDown() override {
        Connect::TearDown();
        if (!GetParam().parentInstanceId.empty()) {
            EXPECT_EQ(vphone::install::UninstallDevice(GetParam().parentInstanceId), S_OK);
        }
    }
};

// The instance id of the first present node that carries the hardware id, as the library meets it.
std::wstring FirstNodeWithTestHardwareId() {
    const win::UniqueDeviceInfoSet set(
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        wchar_t ids[512] = {};
        wchar_t instanceId[MAX_DEVICE_ID_LEN] = {};
        if (SetupDiGetDeviceRegistryPropertyW(set.get(), &device, SPDRP_HARDWAREID, nullptr,
                                              reinterpret_cast<BYTE *>(ids), sizeof ids - 4, nullptr) &&
            _wcsicmp(ids, L"USB\\VID_0FCE&PID_7E57") == 0 &&
            SetupDiGetDeviceInstanceIdW(set.get(), &device, instanceId, MAX_DEVICE_ID_LEN, nullptr)) {
            return instanceId;
        }
    }
    return {};
}

TEST_P(PresentedAs, ConnectsByHardwareAndInstanceId) {
    if (GetParam().parentInstanceId.empty()) {
        EXPECT_EQ(phone_->InterfacePath().size(), 200u);
    } else {
        ASSERT_EQ(FirstNodeWithTestHardwareId(), GetParam().parentInstanceId) << "the parent must come first";
    }
    EXPECT_EQ(ConnectWith(kTestHardwareId, false), WPD_ERROR_OK);
    std::string instanceId(GetParam().instanceId.begin(), GetParam().instanceId.end());
    EXPECT_EQ(ConnectWith(instanceId, true), WPD_ERROR_OK);
    EXPECT_EQ(Opens(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Phones, PresentedAs,
    testing::Values(Presentation{"LongInterfacePath", L"USB\\VID_0FCE&PID_7E57\\" + std::wstring(135, L'7')},
                    Presentation{"CompositeDevice", L"USB\\VID_0FCE&PID_7E57&MI_00\\6&1A2B3C4D&0&0000",
                                 L"USB\\VID_0FCE&PID_7E57\\COMPOSITE01"}),
    [](const testing::TestParamInfo<Presentation> &info) { return std::string(info.param.name); });

class VendorConnect : public Connect {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override {
        auto phone = StandardPhone().Build();
        vendor_ = &vphone::AttachVendorExtension(*phone);
        return phone;
    }
    vphone::VendorPhone *vendor_ = nullptr;
};

// An open session is ended (its close, then its channel's) and its event registration undone on the
// device it was made on, before the device goes: by a disconnect (here with an AT session), and by an
// uninitialize without one (SyncML).
TEST_F(VendorConnect, SessionsEventRegistrationIsUndoneBeforeTheDeviceGoes) {
    for (bool disconnect : {true, false}) {
        void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
        ASSERT_EQ(disconnect ? WPD_ATOpenSession(handle, 5, 0)
                             : WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, 6, 0),
                  WPD_ERROR_OK);
        phone_->Controls().ClearTranscript();
        if (disconnect) {
            EXPECT_EQ(WPD_DisconnectDevice(handle), WPD_ERROR_OK);
        } else {
            WPD_Uninitialize(handle);
            handles_.pop_back();
        }
        std::vector<std::string> calls;
        for (const auto &entry : phone_->Controls().Transcript()) calls.push_back(entry.method);
        EXPECT_EQ(calls, (Strings{"IPortableDevice::SendCommand", "IPortableDevice::SendCommand", "IPortableDevice::Unadvise"}))
            << (disconnect ? "disconnect" : "uninitialize");
        EXPECT_EQ(phone_->Events().Count(), 0u);
    }
    vendor_->WaitForEvents();  // the completion of the SyncML session's close, which reaches nobody
}

TEST_F(Connect, UninitializeReleasesTheOpenedDevice) {
    void *handle = ConnectedHandle();
    EXPECT_GT(phones_->LiveObjects(), registeredObjects_);
    WPD_Uninitialize(handle);
    handles_.clear();
    EXPECT_EQ(phones_->LiveObjects(), registeredObjects_);
}

}  // namespace
}  // namespace orvik_test
