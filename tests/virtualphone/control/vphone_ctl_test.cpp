// vphone-ctl.exe turning the controls of an installed phone while this program is its host: the phone
// is served from the registered virtualphone.dll, as any host gets it, and every change made by the
// other process is seen at the host's next call.
#include "device/wpd_api.h"
#include "virtualphone/description/test_paths.h"
#include "virtualphone/install/phone_installer.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <fstream>

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kName[] = L"vphone-ctl-test";
const std::wstring kServer = vphone_test::WinePath(VPHONE_SERVER_DLL);
constexpr HRESULT kUnplugged = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
constexpr HRESULT kBusy = HRESULT_FROM_WIN32(ERROR_BUSY);

// One installation for the whole program: the server keeps the phones it loaded for the life of
// the process, with their controls file.
class VphoneCtl : public testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = vphone_test::MakeScratchFolder(L"vphone-ctl-");
        const std::wstring description = folder_ + L"\\ctl.phone";
        std::ofstream(description.c_str(), std::ios::binary) << "instance-id USB\\VID_0FCE&PID_C7C7\\CTLTEST01\n"
                                                                 "hardware-id USB\\VID_0FCE&PID_C7C7\n"
                                                                 "transfer-size 128 KiB\n"
                                                                 "storage Card\n"
                                                                 "  capacity 1 GiB\n";
        std::wstring message;
        ASSERT_EQ(vphone::install::InstallPhone({description, kName, folder_ + L"\\data", kServer}, &phone_, &message), S_OK)
            << testing::PrintToString(message);
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(vphone::install::UninstallPhone(kName), S_OK);
        for (const wchar_t *file : {L"\\ctl.phone", L"\\data\\controls.dat"}) DeleteFileW((folder_ + file).c_str());
        RemoveDirectoryW((folder_ + L"\\data").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); }
    void TearDown() override { CoUninitialize(); }

    // Runs vphone-ctl with arguments; its exit code, and what it printed on its standard output.
    static DWORD Ctl(const std::wstring &arguments, std::string *output = nullptr) {
        const std::wstring program = kServer.substr(0, kServer.rfind(L'\\')) + L"\\vphone-ctl.exe";
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return 0xFFFFFFFF;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                            &startup, &process);
        CloseHandle(writeEnd);
        std::string text;
        char buffer[512];
        DWORD read = 0;
        while (started && ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
        CloseHandle(readEnd);
        if (!started) return 0xFFFFFFFF;
        WaitForSingleObject(process.hProcess, 60000);
        DWORD exitCode = 0xFFFFFFFF;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        std::erase(text, '\r');
        if (output) *output = text;
        return exitCode;
    }

    static HRESULT Open(ComPtr<IPortableDevice> *device) {
        HRESULT hr = CoCreateInstance(wpd::CLSID_PortableDevice, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(device->ReleaseAndGetAddressOf()));
        ComPtr<IPortableDeviceValues> client;
        if (SUCCEEDED(hr)) {
            hr = CoCreateInstance(wpd::CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&client));
        }
        return SUCCEEDED(hr) ? (*device)->Open(phone_.interfacePath.c_str(), client.Get()) : hr;
    }
    static HRESULT Content(const ComPtr<IPortableDevice> &device) {
        ComPtr<IPortableDeviceContent> content;
        return device->Content(&content);
    }
    static bool Listed() {
        ComPtr<IPortableDeviceManager> manager;
        DWORD count = 0;
        if (FAILED(CoCreateInstance(wpd::CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&manager))) ||
            FAILED(manager->GetDevices(nullptr, &count))) {
            return false;
        }
        std::vector<LPWSTR> ids(count);
        manager->GetDevices(ids.data(), &count);
        bool listed = false;
        for (LPWSTR id : ids) {
            listed = listed || phone_.interfacePath == id;
            CoTaskMemFree(id);
        }
        return listed;
    }

    static inline std::wstring folder_;
    static inline vphone::install::InstalledPhone phone_;
};

TEST_F(VphoneCtl, ChangesReachTheRunningHostAtItsNextCall) {
    ComPtr<IPortableDevice> before;
    ASSERT_EQ(Open(&before), S_OK);
    ASSERT_TRUE(Listed());

    ASSERT_EQ(Ctl(std::wstring(kName) + L" --unplug"), 0u);
    EXPECT_EQ(Content(before), kUnplugged);
    EXPECT_FALSE(Listed());
    ComPtr<IPortableDevice> during;
    EXPECT_EQ(Open(&during), kUnplugged);

    ASSERT_EQ(Ctl(std::wstring(kName) + L" --plug"), 0u);
    EXPECT_TRUE(Listed());
    EXPECT_EQ(Content(before), kUnplugged) << "a device opened before the unplug came back to life";
    ComPtr<IPortableDevice> after;
    ASSERT_EQ(Open(&after), S_OK);

    ASSERT_EQ(Ctl(std::wstring(kName) + L" --fail IPortableDevice::Content call 2 hr 0x800700AA"), 0u);
    EXPECT_EQ(Content(after), S_OK);
    EXPECT_EQ(Content(after), kBusy);
    EXPECT_EQ(Content(after), S_OK);

    ASSERT_EQ(Ctl(std::wstring(kName) + L" --clear --refuse-full-access"), 0u);
    ComPtr<IPortableDevice> refused;
    EXPECT_EQ(Open(&refused), E_ACCESSDENIED);
    ASSERT_EQ(Ctl(std::wstring(kName) + L" --reset"), 0u);
    EXPECT_EQ(Open(&refused), S_OK);
}

TEST_F(VphoneCtl, ShowsChangesAndRefusesWhatItCannotDo) {
    std::string shown;
    ASSERT_EQ(Ctl(std::wstring(kName) + L" --link usb2 --transfer-size 64 KiB, 16 KiB --record 10", &shown), 0u);
    EXPECT_EQ(shown, "link usb2\ntransfer-size 64 KiB, 16 KiB\nrecord 10\n");
    ASSERT_EQ(Ctl(std::wstring(kName) + L" --link 2 ms 500 KB/s", &shown), 0u);
    EXPECT_EQ(shown, "link 2 ms 500 KB/s\ntransfer-size 64 KiB, 16 KiB\nrecord 10\n") << "changes add up";

    // A bad option changes nothing.
    EXPECT_EQ(Ctl(std::wstring(kName) + L" --unplug --link usb5"), 2u);
    EXPECT_EQ(Ctl(std::wstring(kName) + L" --unplugged"), 2u);
    EXPECT_EQ(Ctl(std::wstring(kName) + L" unplug"), 2u);
    EXPECT_EQ(Ctl(L"--unplug"), 2u);
    ASSERT_EQ(Ctl(kName, &shown), 0u);
    EXPECT_EQ(shown, "link 2 ms 500 KB/s\ntransfer-size 64 KiB, 16 KiB\nrecord 10\n");

    EXPECT_EQ(Ctl(L"vphone-ctl-nosuchphone --unplug"), 1u);
    ASSERT_EQ(Ctl(std::wstring(kName) + L" --reset", &shown), 0u);
    EXPECT_EQ(shown, "link none\ntransfer-size 128 KiB\nrecord 0\n") << "the description's controls";
}

}  // namespace
