#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "orvik.h"
#include "support/log_collector.h"

namespace {

// Every export, plain and MSVC-decorated, from the .def file the DLL was linked with.
struct ExportName {
    const char *plain;
    const char *decorated;
};
constexpr ExportName kExportNames[] = {
#include "export_names.inc"
};

TEST(Exports, EveryNameResolvesInBothFormsToOneFunction) {
    HMODULE library = LoadLibraryW(L"orvik.dll");
    ASSERT_NE(library, nullptr) << GetLastError();
    EXPECT_EQ(std::size(kExportNames), 31u);
    for (const auto &[plain, decorated] : kExportNames) {
        const FARPROC byPlainName = GetProcAddress(library, plain);
        EXPECT_NE(byPlainName, nullptr) << plain;
        EXPECT_EQ(GetProcAddress(library, decorated), byPlainName) << decorated;
    }
    EXPECT_NE(GetProcAddress(library, "?WPD_GetDeviceInfo@@YA?AW4WPD_ERROR@@PEAXPEAUWPD_DEVICE_INFO@@@Z"), nullptr);
    FreeLibrary(library);
}

TEST(Handles, MethodSelectsTheDeviceClass) {
    EXPECT_EQ(WPD_InitializeEx(static_cast<WPD_METHOD>(2), 0), nullptr);

    WPD_DEVICE_TIME time = {sizeof time, {0x1234, 0x5678}, 7, 9};
    void *base = WPD_Initialize(0);
    void *baseEx = WPD_InitializeEx(WPD_METHOD_BASE, 0);
    ASSERT_NE(base, nullptr);
    ASSERT_NE(baseEx, nullptr);
    // The base class has no clock and leaves the record as it was.
    EXPECT_EQ(WPD_GetDeviceTime(base, &time), WPD_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(WPD_GetDeviceTime(baseEx, &time), WPD_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(time.time.dwLowDateTime, 0x1234u);
    EXPECT_EQ(time.timeZone, 7);

    // The vendor class reads the phone's clock property (here the platform's classes are missing).
    void *zeph = WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    ASSERT_NE(zeph, nullptr);
    orvik_test::TestLog().Clear();
    EXPECT_EQ(WPD_GetDeviceTime(zeph, &time), WPD_ERROR_FAILED);
    EXPECT_EQ(orvik_test::TestLog().Messages(), std::vector<std::string>{"Get ZEPH_DateTime, hr = 80040154"});
    EXPECT_EQ(time.time.dwLowDateTime, 0x1234u);

    WPD_Uninitialize(base);
    WPD_Uninitialize(baseEx);
    WPD_Uninitialize(zeph);
    WPD_Uninitialize(nullptr);
}

TEST(Handles, NullHandleFailsEveryCallWithoutLoggingOrWritingOutputs) {
    orvik_test::TestLog().Clear();
    char *listing = reinterpret_cast<char *>(0xdeadbeef);
    wchar_t *playlist = reinterpret_cast<wchar_t *>(0xdeadbeef);
    const char *atText = reinterpret_cast<const char *>(0xdeadbeef);
    unsigned __int64 bytes = 0xdeadbeef;
    WPD_SYNCML_MIME mime = static_cast<WPD_SYNCML_MIME>(0xdead);
    WPD_DEVICE_INFO info = {};
    info.cbSize = sizeof info;
    info.szSerialNumber[0] = 'S';
    WPD_DEVICE_TIME time = {sizeof time, {1, 2}, 3, 4};
    wchar_t text[] = L"\\Card\\a.mp3";
    char id[] = "USB\\VID_0FCE&PID_0176";

    const std::vector<std::pair<const char *, WPD_ERROR>> results = {
        {"ConnectDevice", WPD_ConnectDevice(nullptr, id, false, 0)},
        {"DisconnectDevice", WPD_DisconnectDevice(nullptr)},
        {"GetDeviceInfo", WPD_GetDeviceInfo(nullptr, &info)},
        {"GetDeviceTime", WPD_GetDeviceTime(nullptr, &time)},
        {"SetDeviceTime", WPD_SetDeviceTime(nullptr, &time)},
        {"ATOpenSession", WPD_ATOpenSession(nullptr, 1, 0)},
        {"ATCloseSession", WPD_ATCloseSession(nullptr)},
        {"ATWrite", WPD_ATWrite(nullptr, "AT\r", 0)},
        {"ATRead", WPD_ATRead(nullptr, &atText, 0)},
        {"SyncMLOpenSession", WPD_SyncMLOpenSession(nullptr, WPD_SYNCML_SERVICE_DATA_SYNC, 1, 0)},
        {"SyncMLCloseSession", WPD_SyncMLCloseSession(nullptr)},
        {"SyncMLPut", WPD_SyncMLPut(nullptr, WPD_SYNCML_MIME_XML, nullptr, 10, 100, 0)},
        {"SyncMLGet", WPD_SyncMLGet(nullptr, &mime, nullptr, &bytes, 100, 0)},
        {"InstallApp", WPD_InstallApp(nullptr, L"a\0", L"\\Card\\a\0", 1, 0)},
        {"GetFolderListing", WPD_Media_GetFolderListing(nullptr, L"\\Card", &listing, 0)},
        {"GetFile", WPD_Media_GetFile(nullptr, L"\\Card\\a.mp3", L"a.mp3", 0)},
        {"GetThumbnail", WPD_Media_GetThumbnail(nullptr, L"\\Card\\a.jpg", L"a.jpg", 0)},
        {"PutFile", WPD_Media_PutFile(nullptr, L"\\Card\\a.mp3", L"a.mp3", 0)},
        {"DeleteFile", WPD_Media_DeleteFile(nullptr, L"\\Card\\a.mp3", 0)},
        {"CreateFolder", WPD_Media_CreateFolder(nullptr, L"\\Card\\New", 0)},
        {"DeleteFolder", WPD_Media_DeleteFolder(nullptr, L"\\Card\\New", 0)},
        {"PutPlaylist", WPD_Media_PutPlaylist(nullptr, L"\\Card\\p.m3u", text, 0)},
        {"GetPlaylist", WPD_Media_GetPlaylist(nullptr, L"\\Card\\p.m3u", &playlist, 0)},
        {"GetTotalMemory", WPD_Media_GetTotalMemory(nullptr, L"Card", &bytes, 0)},
        {"GetAvailableMemory", WPD_Media_GetAvailableMemory(nullptr, L"Card", &bytes, 0)},
        {"Monitor_Set", WPD_Monitor_Set(nullptr, nullptr)},
        {"Monitor_Start", WPD_Monitor_Start(nullptr, WPD_EVENT_PROGRESS, nullptr)},
        {"Monitor_Stop", WPD_Monitor_Stop(nullptr, WPD_EVENT_PROGRESS)},
    };
    for (const auto &[call, result] : results) EXPECT_EQ(result, WPD_ERROR_FAILED) << call;

    EXPECT_EQ(listing, reinterpret_cast<char *>(0xdeadbeef));
    EXPECT_EQ(playlist, reinterpret_cast<wchar_t *>(0xdeadbeef));
    EXPECT_EQ(atText, reinterpret_cast<const char *>(0xdeadbeef));
    EXPECT_EQ(bytes, 0xdeadbeefu);
    EXPECT_EQ(mime, static_cast<WPD_SYNCML_MIME>(0xdead));
    EXPECT_EQ(info.szSerialNumber[0], 'S');
    EXPECT_EQ(time.timeZone, 3);
    EXPECT_EQ(std::wstring(text), L"\\Card\\a.mp3");
    EXPECT_TRUE(orvik_test::TestLog().Lines().empty());
}

// Records whose size field is wrong, or that are missing, are refused before the phone is asked:
// nothing is logged (the unconnected handle would log its failures).
TEST(Handles, HostRecordsAreCheckedBeforeTheDevice) {
    void *zeph = WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    orvik_test::TestLog().Clear();
    for (unsigned long size : {707ul, 709ul, 0ul}) {
        WPD_DEVICE_INFO info = {};
        info.cbSize = size;
        info.reserved1[0] = 0x5a;
        EXPECT_EQ(WPD_GetDeviceInfo(zeph, &info), WPD_ERROR_FAILED) << size;
        EXPECT_EQ(info.reserved1[0], 0x5a);
    }
    for (unsigned long size : {19ul, 21ul, 708ul}) {
        WPD_DEVICE_TIME time = {size, {1, 2}, 3, 4};
        EXPECT_EQ(WPD_GetDeviceTime(zeph, &time), WPD_ERROR_FAILED) << size;
        EXPECT_EQ(WPD_SetDeviceTime(zeph, &time), WPD_ERROR_FAILED) << size;
        EXPECT_EQ(time.timeZone, 3);
    }
    EXPECT_EQ(WPD_GetDeviceInfo(zeph, nullptr), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_GetDeviceTime(zeph, nullptr), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_SetDeviceTime(zeph, nullptr), WPD_ERROR_FAILED);
    EXPECT_TRUE(orvik_test::TestLog().Lines().empty());

    // The right size reaches the device code, which fails on the missing key collection class.
    WPD_DEVICE_INFO info = {};
    info.cbSize = sizeof info;
    EXPECT_EQ(WPD_GetDeviceInfo(zeph, &info), WPD_ERROR_FAILED);
    EXPECT_EQ(orvik_test::TestLog().Messages(),
              std::vector<std::string>{"CoCreateInstance on CLSID_PortableDeviceKeyCollection failed, hr = 80040154"});
    WPD_Uninitialize(zeph);
}

}  // namespace
