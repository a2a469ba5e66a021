// The installed device as the library finds it: present-device enumeration by hardware or instance id
// (without regard to case) and its portable-device interface path.
#include "device/wpd_api.h"
#include "virtualphone/install/device_install.h"
#include "virtualphone/install/registry.h"
#include "virtualphone/model/phone_identity.h"

#include <gtest/gtest.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <cwctype>

namespace vphone::install {
namespace {

constexpr wchar_t kInstanceId[] = L"USB\\VID_0FCE&PID_0176\\VPINSTALL01";
const std::vector<std::wstring> kHardwareIds = {L"USB\\VID_0FCE&PID_0176&REV_0100", L"USB\\VID_0FCE&PID_0176"};

std::wstring Upper(std::wstring text) {
    for (wchar_t &c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// What enumeration of present devices shows of the devices that carry id.
struct Found {
    int devices = 0;
    std::vector<std::wstring> interfacePaths;
};

std::vector<std::wstring> Candidates(HDEVINFO set, SP_DEVINFO_DATA *device, bool byInstanceId) {
    if (byInstanceId) {
        wchar_t id[MAX_DEVICE_ID_LEN] = {};
        if (!SetupDiGetDeviceInstanceIdW(set, device, id, MAX_DEVICE_ID_LEN, nullptr)) return {};
        return {id};
    }
    wchar_t ids[1024] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE *>(ids),
                                           sizeof ids - 2 * sizeof(wchar_t), nullptr)) {
        return {};
    }
    std::vector<std::wstring> list;
    for (const wchar_t *id = ids; *id; id += wcslen(id) + 1) list.emplace_back(id);
    return list;
}

Found Enumerate(const std::wstring &id, bool byInstanceId) {
    Found found;
    const UniqueDeviceInfoSet set(
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE));
    if (!set) {
        ADD_FAILURE() << "SetupDiGetClassDevsW failed, error " << GetLastError();
        return found;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        bool match = false;
        for (const std::wstring &candidate : Candidates(set.get(), &device, byInstanceId)) {
            match = match || Upper(candidate) == Upper(id);
        }
        if (!match) continue;
        ++found.devices;
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set.get(), &device, &wpd::GUID_DEVINTERFACE_WPD, i, &interfaceData); ++i) {
            BYTE buffer[1024] = {};
            auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(buffer);
            detail->cbSize = sizeof *detail;
            if (SetupDiGetDeviceInterfaceDetailW(set.get(), &interfaceData, detail, sizeof buffer, nullptr, nullptr)) {
                found.interfacePaths.emplace_back(detail->DevicePath);
            }
        }
    }
    return found;
}

bool InterfaceKeyExists(const std::wstring &interfacePath) {
    UniqueKey key;
    return SUCCEEDED(OpenKey(HKEY_LOCAL_MACHINE,
                             L"System\\CurrentControlSet\\Control\\DeviceClasses\\"
                             L"{6ac27878-a6fa-4155-ba85-f98f491d4f33}\\##?#" + interfacePath.substr(4),
                             KEY_READ, &key));
}

class DeviceInstall : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(UninstallDevice(kInstanceId), S_OK); }
};

TEST_F(DeviceInstall, EnumerationFindsTheDeviceByEitherIdInAnyCase) {
    std::wstring path = L"unchanged";
    ASSERT_EQ(InstallDevice(kInstanceId, kHardwareIds, &path), S_OK);
    EXPECT_EQ(path, DeviceInterfacePath(kInstanceId));
    EXPECT_EQ(path, L"\\\\?\\usb#vid_0fce&pid_0176#vpinstall01#{6ac27878-a6fa-4155-ba85-f98f491d4f33}");

    const std::vector<std::pair<std::wstring, bool>> lookups = {
        {L"usb\\vid_0fce&pid_0176\\vpinstall01", true},
        {kInstanceId, true},
        {L"usb\\vid_0fce&pid_0176&rev_0100", false},
        {L"USB\\VID_0FCE&PID_0176", false},
    };
    for (const auto &[id, byInstanceId] : lookups) {
        const Found found = Enumerate(id, byInstanceId);
        EXPECT_EQ(found.interfacePaths, std::vector<std::wstring>{path}) << testing::PrintToString(id);
    }
    // An instance id is not a hardware id.
    EXPECT_EQ(Enumerate(kInstanceId, false).devices, 0);
}

TEST_F(DeviceInstall, InstallingAgainKeepsOneDeviceAndTakesNewHardwareIds) {
    std::wstring first, second;
    ASSERT_EQ(InstallDevice(kInstanceId, {L"USB\\VID_0FCE&PID_0999"}, &first), S_OK);
    ASSERT_EQ(InstallDevice(kInstanceId, kHardwareIds, &second), S_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Enumerate(kInstanceId, true).devices, 1);
    EXPECT_EQ(Enumerate(kInstanceId, true).interfacePaths.size(), 1u);
    EXPECT_EQ(Enumerate(L"USB\\VID_0FCE&PID_0999", false).devices, 0);
    EXPECT_EQ(Enumerate(kHardwareIds[0], false).interfacePaths, std::vector<std::wstring>{second});
}

TEST_F(DeviceInstall, UninstallRemovesDeviceInterfaceAndKeys) {
    std::wstring path;
    ASSERT_EQ(InstallDevice(kInstanceId, kHardwareIds, &path), S_OK);
    ASSERT_TRUE(InterfaceKeyExists(path));
    ASSERT_EQ(UninstallDevice(kInstanceId), S_OK);
    EXPECT_EQ(Enumerate(kInstanceId, true).devices, 0);
    EXPECT_FALSE(InterfaceKeyExists(path));
    UniqueKey enumKey;
    EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, std::wstring(L"System\\CurrentControlSet\\Enum\\") + kInstanceId, KEY_READ,
                      &enumKey),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    // Nothing left to remove is no failure.
    EXPECT_EQ(UninstallDevice(kInstanceId), S_OK);
}

}  // namespace
}  // namespace vphone::install
