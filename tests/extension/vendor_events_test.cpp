// Vendor events and the subscription's lifetime, and application install, through the exports
// against the virtual phone's vendor extension.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extension/vendor_test_support.h"

namespace orvik_test {
namespace {

using vphone::VendorOperation;

using VendorEvents = VendorTest;

TEST_F(VendorEvents, UnknownVendorEventsAreLoggedAndOtherEventsIgnored) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    ASSERT_EQ(WPD_ATOpenSession(handle, 1, 0), WPD_ERROR_OK);
    ClearLog();
    vendor_->RaiseVendorEvent(2, {1, 0x2001});
    vendor_->RaiseObjectAdded();
    vendor_->WaitForEvents();
    EXPECT_EQ(Log(), std::vector<std::string>{"Received MTP event: 0x2\n"});
    EXPECT_TRUE(vendor_->Exchanges().size() == 2u) << "no operation follows an event the library does not handle";
}

TEST_F(VendorEvents, BothChannelsShareOneSubscriptionUntilTheLastCloses) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    ASSERT_EQ(WPD_ATOpenSession(handle, 1, 0), WPD_ERROR_OK);
    ASSERT_EQ(WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, 2, 0), WPD_ERROR_OK);
    EXPECT_EQ(phone_->Events().Count(), 1u);
    ASSERT_EQ(WPD_ATCloseSession(handle), WPD_ERROR_OK);
    EXPECT_EQ(phone_->Events().Count(), 1u) << "the SyncML session still waits for its completions";
    ASSERT_EQ(WPD_SyncMLCloseSession(handle), WPD_ERROR_OK);
    EXPECT_EQ(phone_->Events().Count(), 0u);
}

TEST_F(VendorEvents, DestroyingAHandleWithASessionOpenLeavesNoSubscription) {
    void *handle = WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    char id[64];
    strcpy_s(id, kTestHardwareId);
    ASSERT_EQ(WPD_ConnectDevice(handle, id, false, 0), WPD_ERROR_OK);
    ASSERT_EQ(WPD_ATOpenSession(handle, 1, 0), WPD_ERROR_OK);
    WPD_Uninitialize(handle);
    EXPECT_EQ(phone_->Events().Count(), 0u);
    ClearLog();
    vendor_->RaiseVendorEvent(0, {1, 0x2001});
    vendor_->WaitForEvents();
    EXPECT_TRUE(Log().empty());
}

TEST_F(VendorEvents, ClosingAfterDisconnectReachesNothing) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    ASSERT_EQ(WPD_ATOpenSession(handle, 1, 0), WPD_ERROR_OK);
    ASSERT_EQ(WPD_DisconnectDevice(handle), WPD_ERROR_OK);
    EXPECT_EQ(WPD_ATCloseSession(handle), WPD_ERROR_FAILED);
    EXPECT_EQ(phone_->Events().Count(), 0u);
}

class VendorInstall : public VendorTest {
protected:
    std::wstring LocalFile(const wchar_t *name, const std::string &content) {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        const std::wstring path = std::wstring(folder) + name;
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        files_.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::wstring &file : files_) DeleteFileW(file.c_str());
        VendorTest::TearDown();
    }
    ULONG HandleAt(const std::wstring &path) const {
        const auto id = phone_->FindPath(path);
        return id ? phone_->Find(*id)->handle : 0;
    }
    std::vector<std::wstring> files_;
};

TEST_F(VendorInstall, TwoFilesGiveTheirHandlesInPathOrderAndReplaceWhatWasThere) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    const std::wstring descriptor = LocalFile(L"orvik-app.wav", "new descriptor text");
    const std::wstring archive = LocalFile(L"orvik-app.mp3", "archive");
    const std::wstring locals = descriptor + L'\0' + archive + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\app.wav") + L'\0' + L"\\Card\\Music\\app.mp3" + L'\0';
    ASSERT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 2, 0), WPD_ERROR_OK) << testing::PrintToString(Log());

    const ULONG first = HandleAt(L"\\Card\\app.wav");
    const ULONG second = HandleAt(L"\\Card\\Music\\app.mp3");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(vendor_->InstallRequests(), (std::vector<std::vector<ULONG>>{{first, second}}));
    const auto installs = ExchangesOf(VendorOperation::InstallApp);
    ASSERT_EQ(installs.size(), 1u);
    EXPECT_EQ(installs[0].data.size(), 8u);
    EXPECT_TRUE(installs[0].params.empty());
    EXPECT_EQ(phone_->Find(*phone_->FindPath(L"\\Card\\app.wav"))->Size(), 19u) << "replaced, not refused";
}

TEST_F(VendorInstall, RefusalOfThePhoneIsTranslated) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    vendor_->SetResponse(VendorOperation::InstallApp, 0x200C);
    const std::wstring archive = LocalFile(L"orvik-full.mp3", "archive");
    const std::wstring locals = archive + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\full.mp3") + L'\0';
    EXPECT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0), WPD_ERROR_MTP_STORE_FULL);
}

TEST_F(VendorInstall, AMissingLocalFileStopsBeforeAnyLookup) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    const std::wstring locals = std::wstring(L"C:\\no\\such\\file.jar") + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\file.jar") + L'\0';
    EXPECT_NE(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0), WPD_ERROR_OK);
    EXPECT_TRUE(vendor_->Exchanges().empty());
}

}  // namespace
}  // namespace orvik_test
