// The media player guard, asking a fake player control registered in this process under the player's
// CLSID, or Wine's own control.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "media/folder_list.h"
#include "player/fake_player.h"
#include "player/unique_bstr.h"
#include "support/log_collector.h"

namespace {

using orvik_test::FakePlayerRegistration;
using orvik_test::FakePlayerSetup;
using orvik_test::FakeSyncDevice;

constexpr wchar_t kPhone[] = L"Phone X";
const std::string kSynchronizing = "Device is synchronizing, aborting file operation";

// The guard runs on the worker threads of the exports, which are in the multithreaded apartment.
class PlayerGuardTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        orvik_test::TestLog().Clear();
        media_.SetFriendlyName(kPhone);
    }
    void TearDown() override { CoUninitialize(); }

    static std::vector<std::string> Logged() { return orvik_test::TestLog().Messages(); }

    CFolderList media_{nullptr};
};

struct GuardCase {
    const char *name;
    FakePlayerSetup player;
    BOOL synchronizing;
    std::vector<std::string> logged;
};

void PrintTo(const GuardCase &c, std::ostream *out) { *out << c.name; }

class PlayerGuardDecisionTest : public PlayerGuardTest, public testing::WithParamInterface<GuardCase> {};

TEST_P(PlayerGuardDecisionTest, AnswersFromThePlayersDevicesAndReleasesThem) {
    const GuardCase &c = GetParam();
    {
        FakePlayerRegistration player(c.player);
        ASSERT_TRUE(player.Registered());
        EXPECT_EQ(media_.IsDeviceSynchronizing(), c.synchronizing);
    }
    EXPECT_EQ(Logged(), c.logged);
    EXPECT_EQ(FakePlayerRegistration::LiveObjects(), 0) << "fake controls or devices left alive";
}

FakeSyncDevice Device(const wchar_t *name, WMPSyncState state) { return {.name = name, .state = state}; }

const GuardCase kGuardCases[] = {
    {"SecondOfThreeIsThePhoneSynchronizing",
     {.devices = {Device(L"Music Box", wmpssStopped), Device(kPhone, wmpssSynchronizing),
                  Device(L"Car Radio", wmpssSynchronizing)}},
     TRUE,
     {kSynchronizing}},
    {"PhoneStopped",
     {.devices = {Device(L"Music Box", wmpssSynchronizing), Device(kPhone, wmpssStopped),
                  Device(L"Car Radio", wmpssSynchronizing)}},
     FALSE,
     {}},
    {"PhoneEstimating",
     {.devices = {Device(L"Music Box", wmpssSynchronizing), Device(kPhone, wmpssEstimating),
                  Device(L"Car Radio", wmpssSynchronizing)}},
     FALSE,
     {}},
    {"PhoneStateUnknown", {.devices = {Device(kPhone, wmpssUnknown)}}, FALSE, {}},
    {"NameDiffersInCaseOnly", {.devices = {Device(L"phone x", wmpssSynchronizing)}}, FALSE, {}},
    {"NameStartsWithThePhones", {.devices = {Device(L"Phone X2", wmpssSynchronizing)}}, FALSE, {}},
    {"NameIsAPrefixOfThePhones", {.devices = {Device(L"Phone", wmpssSynchronizing)}}, FALSE, {}},
    {"NoDevices", {}, FALSE, {}},
    {"FirstNamesakeDecides",
     {.devices = {Device(kPhone, wmpssStopped), Device(kPhone, wmpssSynchronizing)}},
     FALSE,
     {}},
    {"DeviceThatCannotBeHadIsSkipped",
     {.devices = {{.name = L"Gone", .getDeviceResult = E_FAIL}, Device(kPhone, wmpssSynchronizing)}},
     TRUE,
     {"getDevice failed on device #0, hr = 80004005", kSynchronizing}},
    {"DeviceWithoutNameIsSkipped",
     {.devices = {Device(L"Music Box", wmpssStopped),
                  {.name = kPhone, .state = wmpssSynchronizing, .nameResult = E_ACCESSDENIED},
                  Device(kPhone, wmpssSynchronizing)}},
     TRUE,
     {"get_friendlyName failed on device #1, hr = 80070005", kSynchronizing}},
    {"PhoneStateUnreadable",
     {.devices = {{.name = kPhone, .state = wmpssSynchronizing, .stateResult = E_FAIL}}},
     FALSE,
     {"get_syncState failed, hr = 80004005"}},
    {"DeviceCountUnreadable",
     {.deviceCountResult = static_cast<HRESULT>(0xC00D118D), .devices = {Device(kPhone, wmpssSynchronizing)}},
     FALSE,
     {"get_deviceCount failed, hr = c00d118d"}},
    {"NoSyncServices",
     {.hasSyncServices = false, .devices = {Device(kPhone, wmpssSynchronizing)}},
     FALSE,
     {"QueryInterface on IWMPSyncServices failed, hr = 80004002"}},
    {"ControlCannotBeCreated",
     {.creationFails = true, .devices = {Device(kPhone, wmpssSynchronizing)}},
     FALSE,
     {"Creating the player interface failed"}},
};

INSTANTIATE_TEST_SUITE_P(Player, PlayerGuardDecisionTest, testing::ValuesIn(kGuardCases),
                         [](const testing::TestParamInfo<GuardCase> &info) { return std::string(info.param.name); });

TEST_F(PlayerGuardTest, ControlReachesOurRemoteHostThroughItsSiteInAHiddenWindowOfThisThread) {
    FakePlayerRegistration player({.devices = {Device(kPhone, wmpssStopped)}});
    ASSERT_TRUE(player.Registered());
    EXPECT_FALSE(media_.IsDeviceSynchronizing());

    const auto &record = player.Record();
    ASSERT_TRUE(record.remoteHost) << "the client site's services gave no IWMPRemoteMediaServices";
    win::UniqueBstr type;
    win::UniqueBstr name;
    ASSERT_HRESULT_SUCCEEDED(record.remoteHost->GetServiceType(type.put()));
    ASSERT_HRESULT_SUCCEEDED(record.remoteHost->GetApplicationName(name.put()));
    EXPECT_STREQ(type.get(), L"Remote");
    EXPECT_STREQ(name.get(), L"Orvik");

    ASSERT_NE(record.siteWindow, nullptr) << "the client site reported no window";
    EXPECT_EQ(record.siteWindowStyle & (WS_POPUP | WS_CHILD | WS_VISIBLE), WS_POPUP);
    EXPECT_FALSE(record.siteWindowVisible);
    EXPECT_EQ(record.siteWindowThread, GetCurrentThreadId());
}

// The control is closed and let go, the window destroyed, and the site and the remote host, which the
// fake keeps for the test, are held by nothing else.
TEST_F(PlayerGuardTest, CheckLeavesNothingBehind) {
    FakePlayerRegistration player({.devices = {Device(kPhone, wmpssSynchronizing)}});
    ASSERT_TRUE(player.Registered());
    EXPECT_TRUE(media_.IsDeviceSynchronizing());

    const auto &record = player.Record();
    EXPECT_EQ(FakePlayerRegistration::LiveObjects(), 0);
    EXPECT_EQ(record.clientSitesCleared, 1);
    EXPECT_FALSE(IsWindow(record.siteWindow));
    ASSERT_TRUE(record.clientSite && record.remoteHost);
    EXPECT_EQ(orvik_test::ReferenceCount(record.clientSite.Get()), 1u);
    EXPECT_EQ(orvik_test::ReferenceCount(record.remoteHost.Get()), 1u);
}

TEST_F(PlayerGuardTest, WinesOwnControlHasNoSyncServices) {
    EXPECT_FALSE(media_.IsDeviceSynchronizing());
    EXPECT_EQ(Logged(), std::vector<std::string>{"QueryInterface on IWMPSyncServices failed, hr = 80004002"});
}

}  // namespace
