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
    vendor_->RaiseVendorEvent(2, {1, wpd::PTP_RC_OK});
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

// A driver may keep the subscriptions of a device object released without Unadvise, and go on calling
// their callbacks: a handle that goes must unsubscribe itself, and a callback the platform still holds
// (its Unadvise refused here) must reach no destroyed handle.
TEST_F(VendorEvents, AHandleThatGoesUnsubscribesAndLeavesNoOwnerToAKeptCallback) {
    phone_->Controls().KeepSubscriptionsOnRelease(true);
    char id[64];
    strcpy_s(id, kTestHardwareId);
    const auto openAndDestroy = [&](auto open) {
        void *handle = WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
        EXPECT_EQ(WPD_ConnectDevice(handle, id, false, 0), WPD_ERROR_OK);
        EXPECT_EQ(open(handle), WPD_ERROR_OK);
        WPD_Uninitialize(handle);
    };
    openAndDestroy([](void *handle) { return WPD_ATOpenSession(handle, kAtSession, 0); });
    EXPECT_EQ(phone_->Events().Count(), 0u);

    phone_->Controls().FailEveryCall("IPortableDevice::Unadvise", E_FAIL);
    openAndDestroy(
        [](void *handle) { return WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, kSyncMLSession, 0); });
    ASSERT_EQ(phone_->Events().Count(), 1u);
    vendor_->WaitForEvents();  // the completion of the session's close
    ClearLog();
    vendor_->RaiseVendorEvent(0, {kAtSession, wpd::PTP_RC_OK});
    vendor_->RaiseVendorEvent(1, {kSyncMLSession, 0, wpd::PTP_RC_OK});
    vendor_->WaitForEvents();
    EXPECT_EQ(Log(), (std::vector<std::string>{"Received MTP event: 0x0\n", "Received MTP event: 0x1\n"}));
    EXPECT_TRUE(ExchangesOf(VendorOperation::ATRead).empty());
}

// A handle that lets go of the phone with sessions open ends them there, so the next client can open
// its own; a close after the disconnect reaches nothing.
TEST_F(VendorEvents, LettingGoEndsTheSessionsOnThePhone) {
    const std::pair<const char *, WPD_ERROR (*)(void *)> ways[] = {
        {"disconnect", [](void *handle) { return WPD_DisconnectDevice(handle); }},
        {"uninitialize", [](void *handle) { return WPD_Uninitialize(handle), WPD_ERROR_OK; }},
    };
    char id[64];
    strcpy_s(id, kTestHardwareId);
    for (const auto &[way, letGo] : ways) {
        void *handle = WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
        ASSERT_EQ(WPD_ConnectDevice(handle, id, false, 0), WPD_ERROR_OK) << way;
        ASSERT_EQ(WPD_ATOpenSession(handle, kAtSession, 0), WPD_ERROR_OK) << way;
        ASSERT_EQ(WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, kSyncMLSession, 0), WPD_ERROR_OK) << way;
        ASSERT_EQ(letGo(handle), WPD_ERROR_OK) << way;
        if (std::string(way) == "disconnect") {
            EXPECT_EQ(WPD_ATCloseSession(handle), WPD_ERROR_FAILED);
            WPD_Uninitialize(handle);
        }
        EXPECT_EQ(phone_->Events().Count(), 0u) << way;

        void *next = ConnectedHandle(WPD_METHOD_ZEPH);
        EXPECT_EQ(WPD_ATOpenSession(next, kAtSession, 0), WPD_ERROR_OK) << way;
        EXPECT_EQ(WPD_SyncMLOpenSession(next, WPD_SYNCML_SERVICE_DATA_SYNC, kSyncMLSession, 0), WPD_ERROR_OK) << way;
        EXPECT_EQ(WPD_ATCloseSession(next), WPD_ERROR_OK);
        EXPECT_EQ(WPD_SyncMLCloseSession(next), WPD_ERROR_OK);
    }
    EXPECT_EQ(ExchangesOf(VendorOperation::ATCloseSession).size(), 4u);
    EXPECT_EQ(ExchangesOf(VendorOperation::CloseChannel).size(), 8u) << "each channel closed, both times";
}

using VendorInstall = VendorTest;

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
    vendor_->SetResponse(VendorOperation::InstallApp, wpd::PTP_RC_StoreFull);
    const std::wstring archive = LocalFile(L"orvik-full.mp3", "archive");
    const std::wstring locals = archive + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\full.mp3") + L'\0';
    EXPECT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0), WPD_ERROR_MTP_STORE_FULL);
}

// The phone's refusal to list its objects, both ways, means the copy cannot be found: that is a
// failure of the install, not the phone's answer.
TEST_F(VendorInstall, RefusedObjectListFailsTheInstall) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    vendor_->SetResponse(VendorOperation::GetObjectPropList, wpd::PTP_RC_DeviceBusy);
    vendor_->SetResponse(VendorOperation::GetObjectHandles, wpd::PTP_RC_DeviceBusy);
    const std::wstring locals = LocalFile(L"orvik-app.jar", "archive") + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\app.jar") + L'\0';
    EXPECT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(ExchangesOf(VendorOperation::InstallApp).empty());
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
