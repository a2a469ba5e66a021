// Installing a described phone: device, phone list and COM registration together, from the API and
// from vphone-install.exe, and a host process of the prefix that finds the phone through the registry.
#include "device/wpd_api.h"
#include "virtualphone/description/test_paths.h"
#include "virtualphone/install/com_registration.h"
#include "virtualphone/install/device_install.h"
#include "virtualphone/install/phone_installer.h"
#include "virtualphone/install/registry.h"
#include "virtualphone/model/phone_identity.h"
#include "virtualphone/model/shared_controls.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <fstream>

namespace vphone::install {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kName[] = L"vphone-installer-test";
constexpr wchar_t kInstanceId[] = L"USB\\VID_0FCE&PID_0176\\VPINSTALL02";
const std::wstring kServer = vphone_test::WinePath(VPHONE_SERVER_DLL);

class PhoneInstaller : public testing::Test {
protected:
    void SetUp() override {
        folder_ = vphone_test::MakeScratchFolder(L"vphone-installer-");
        description_ = folder_ + L"\\test.phone";
        DescribeGoodPhone();
    }
    void DescribeGoodPhone() {
        Describe("friendly-name Installer Test\n"
                 "instance-id USB\\VID_0FCE&PID_0176\\VPINSTALL02\n"
                 "hardware-id USB\\VID_0FCE&PID_0176\n"
                 "storage Card\n"
                 "  capacity 1 GiB\n"
                 "  file song.mp3\n"
                 "    generate 1 MiB\n");
    }
    void TearDown() override {
        EXPECT_EQ(UninstallPhone(kName), S_OK);
        EXPECT_EQ(UninstallPhone(L"vphone-installer-other"), S_OK);
        DeleteFileW(description_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    void Describe(const std::string &text) { std::ofstream(description_.c_str(), std::ios::binary) << text; }

    HRESULT Install(InstalledPhone *phone, const wchar_t *name = kName) {
        return InstallPhone({description_, name, folder_ + L"\\data", kServer}, phone, &message_);
    }
    static bool Listed() {
        InstalledPhone phone;
        return SUCCEEDED(FindInstalledPhone(kName, &phone));
    }

    std::wstring folder_;
    std::wstring description_;
    std::wstring message_;
};

TEST_F(PhoneInstaller, InstallsDeviceListEntryAndServerIdempotently) {
    InstalledPhone first, second;
    ASSERT_EQ(Install(&first), S_OK) << testing::PrintToString(message_);
    ASSERT_EQ(Install(&second), S_OK) << testing::PrintToString(message_);
    EXPECT_EQ(second.interfacePath, DeviceInterfacePath(kInstanceId));
    EXPECT_EQ(second.interfacePath, first.interfacePath);

    InstalledPhone listed;
    ASSERT_EQ(FindInstalledPhone(kName, &listed), S_OK);
    EXPECT_EQ(listed.descriptionFile, description_);
    EXPECT_EQ(listed.dataFolder, folder_ + L"\\data");
    EXPECT_EQ(listed.instanceId, kInstanceId);
    EXPECT_EQ(listed.interfacePath, second.interfacePath);
    std::vector<InstalledPhone> phones;
    ASSERT_EQ(InstalledPhones(&phones), S_OK);
    EXPECT_EQ(std::count_if(phones.begin(), phones.end(), [](const InstalledPhone &p) { return p.name == kName; }), 1);
    std::wstring server;
    EXPECT_EQ(RegisteredServer(&server), S_OK);
    EXPECT_EQ(server, kServer);

    ASSERT_EQ(UninstallPhone(kName), S_OK);
    EXPECT_FALSE(Listed());
    ASSERT_EQ(InstalledPhones(&phones), S_OK);
    // The registration goes with the last phone; other test programs of this prefix leave none behind.
    EXPECT_EQ(RegisteredServer(&server), phones.empty() ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : S_OK);
    UniqueKey list;
    EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Orvik\\VirtualPhone", KEY_READ, &list),
              phones.empty() ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : S_OK);
}

TEST_F(PhoneInstaller, ReinstallUnderNewInstanceIdRemovesTheOldDevice) {
    InstalledPhone phone;
    ASSERT_EQ(Install(&phone), S_OK) << testing::PrintToString(message_);
    Describe("instance-id USB\\VID_0FCE&PID_0176\\VPINSTALL03\nhardware-id USB\\VID_0FCE&PID_0176\n"
             "storage Card\n  capacity 1 MiB\n");
    ASSERT_EQ(Install(&phone), S_OK) << testing::PrintToString(message_);
    EXPECT_EQ(phone.instanceId, L"USB\\VID_0FCE&PID_0176\\VPINSTALL03");
    const UniqueDeviceInfoSet devices(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    EXPECT_FALSE(SetupDiOpenDeviceInfoW(devices.get(), kInstanceId, nullptr, 0, &device)) << "the old device stayed";
    EXPECT_TRUE(SetupDiOpenDeviceInfoW(devices.get(), phone.instanceId.c_str(), nullptr, 0, &device));
}

TEST_F(PhoneInstaller, RefusesBadDescriptionAndSharedDevice) {
    Describe("instance-id USB\\VID_0FCE&PID_0176\\VPINSTALL02\nhardware-id USB\\VID_0FCE&PID_0176\nstorage Card\n"
             "  capacity lots\n");
    InstalledPhone phone;
    EXPECT_EQ(Install(&phone), E_INVALIDARG);
    EXPECT_EQ(message_, description_ + L":4: bad size 'lots': expected a number of bytes, optionally followed by B, "
                                       L"KiB, MiB, GiB or TiB");
    EXPECT_FALSE(Listed());

    DescribeGoodPhone();
    ASSERT_EQ(Install(&phone), S_OK) << testing::PrintToString(message_);
    EXPECT_EQ(Install(&phone, L"vphone-installer-other"), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
    EXPECT_NE(message_.find(L"phone 'vphone-installer-test' is installed with instance id"), std::wstring::npos)
        << testing::PrintToString(message_);
}

// A host's view: CoCreateInstance of the platform classes, found through the prefix's registry.
TEST_F(PhoneInstaller, HostFindsInstalledPhoneThroughTheRegistry) {
    InstalledPhone phone;
    ASSERT_EQ(Install(&phone), S_OK) << testing::PrintToString(message_);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
        ComPtr<IPortableDeviceManager> manager;
        ASSERT_EQ(CoCreateInstance(wpd::CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&manager)),
                  S_OK);
        DWORD count = 0;
        ASSERT_EQ(manager->GetDevices(nullptr, &count), S_OK);
        std::vector<LPWSTR> ids(count);
        ASSERT_EQ(manager->GetDevices(ids.data(), &count), S_OK);
        bool listed = false;
        for (LPWSTR id : ids) {
            listed = listed || phone.interfacePath == id;
            CoTaskMemFree(id);
        }
        EXPECT_TRUE(listed) << "the manager does not list " << testing::PrintToString(phone.interfacePath);

        WCHAR name[128] = {};
        DWORD chars = 128;
        EXPECT_EQ(manager->GetDeviceFriendlyName(phone.interfacePath.c_str(), name, &chars), S_OK);
        EXPECT_STREQ(name, L"Installer Test");

        ComPtr<IPortableDeviceValues> values;
        EXPECT_EQ(CoCreateInstance(wpd::CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&values)),
                  S_OK);
    }
    CoUninitialize();
}

std::wstring ProgramBesideServer() { return kServer.substr(0, kServer.rfind(L'\\')) + L"\\vphone-install.exe"; }

DWORD RunInstaller(const std::wstring &arguments) {
    std::wstring commandLine = L"\"" + ProgramBesideServer() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start vphone-install.exe, error " << GetLastError();
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

TEST_F(PhoneInstaller, CommandLineInstallsListsAndUninstalls) {
    const std::wstring install = L"install \"" + description_ + L"\" --name " + kName + L" --data \"" + folder_ + L"\"";
    ASSERT_EQ(RunInstaller(install), 0u);
    EXPECT_TRUE(Listed());
    std::wstring server;
    EXPECT_EQ(RegisteredServer(&server), S_OK);
    EXPECT_EQ(server, kServer) << "the server beside the program is registered by default";
    EXPECT_EQ(RunInstaller(L"list"), 0u);
    // A reset also takes back what vphone-ctl changed.
    std::unique_ptr<SharedControls> controls;
    ASSERT_EQ(SharedControls::Open(SharedControls::FileIn(folder_), ControlSettings{}, &controls), S_OK);
    ASSERT_EQ(controls->Change([](ControlSettings &settings) { return settings.unplugged = true; }), S_OK);
    EXPECT_EQ(RunInstaller(std::wstring(L"reset ") + kName), 0u);
    ControlSettings settings;
    unsigned connection = 0;
    long generation = 0;
    ASSERT_TRUE(controls->Read(&settings, &connection, &generation));
    EXPECT_FALSE(settings.unplugged);
    controls.reset();
    EXPECT_EQ(RunInstaller(L"reset no-such-phone"), 1u);
    EXPECT_EQ(RunInstaller(std::wstring(L"uninstall ") + kName), 0u);
    EXPECT_FALSE(Listed());

    EXPECT_EQ(RunInstaller(L"install"), 2u);
    EXPECT_EQ(RunInstaller(L"frobnicate"), 2u);
    EXPECT_EQ(RunInstaller(L"install \"" + folder_ + L"\\missing.phone\""), 1u);
}

}  // namespace
}  // namespace vphone::install
