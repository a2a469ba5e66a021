// The media player guard, asking a fake player control registered in this apartment under the
// player's CLSID, or Wine's own control.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "player/player_check.h"
#include "player/fake_player.h"
#include "player/unique_bstr.h"
#include "support/log_collector.h"

namespace {

using orvik_test::FakePlayerRegistration;
using orvik_test::FakePlayerSetup;
using orvik_test::FakeSyncDevice;

const PlayerPhone kPhone = {L"SN-0042", L"Phone X"};
const std::string kSynchronizing = "Device is synchronizing, aborting file operation";

// The check runs in a single-threaded apartment, where the player control lives.
class PlayerGuardTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        orvik_test::TestLog().Clear();
    }
    void TearDown() override { CoUninitialize(); }

    static std::vector<std::string> Logged() { return orvik_test::TestLog().Messages(); }
};

struct GuardCase {
    const char *name;
    FakePlayerSetup player;
    BOOL synchronizing;
    std::vector<std::string> logged;
    PlayerPhone phone = kPhone;
};

void PrintTo(const GuardCase &c, std::ostream *out) { *out << c.name; }

class PlayerGuardDecisionTest : public PlayerGuardTest, public testing::WithParamInterface<GuardCase> {};

TEST_P(PlayerGuardDecisionTest, AnswersFromThePlayersDevicesAndReleasesThem) {
    const GuardCase &c = GetParam();
    {
        FakePlayerRegistration player(c.player);
        ASSERT_TRUE(player.Registered());
        EXPECT_EQ(PlayerSynchronizes(c.phone), c.synchronizing);
    }
    EXPECT_EQ(Logged(), c.logged);
    EXPECT_EQ(FakePlayerRegistration::LiveObjects(), 0) << "fake controls or devices left alive";
}

// A device as the player lists it; the friendly name is the user's own, here different from both.
FakeSyncDevice Device(const wchar_t *id, const wchar_t *deviceName, WMPSyncState state) {
    return {.id = id, .deviceName = deviceName, .friendlyName = L"My music", .state = state};
}
FakeSyncDevice Phone(WMPSyncState state) { return Device(L"SN-0042", L"Phone X", state); }

const std::string kNoIdRead = "get_deviceId failed on device #0, hr = c00d118d";
const std::string kNoNameRead = "get_deviceName failed on device #0, hr = c00d118d";
const std::string kCannotTell = "Cannot tell whether device #0 is the phone";

const GuardCase kGuardCases[] = {
    {"SecondOfThreeIsThePhoneSynchronizing",
     {.devices = {Device(L"SN-1", L"Music Box", wmpssStopped), Phone(wmpssSynchronizing),
                  Device(L"SN-2", L"Car Radio", wmpssSynchronizing)}},
     TRUE,
     {kSynchronizing}},
    {"PhoneStopped",
     {.devices = {Device(L"SN-1", L"Music Box", wmpssSynchronizing), Phone(wmpssStopped)}},
     FALSE,
     {}},
    // Estimating comes right before synchronising: the phone is about to be written.
    {"PhoneEstimating", {.devices = {Phone(wmpssEstimating)}}, TRUE, {kSynchronizing}},
    {"PhoneStateUnknown", {.devices = {Phone(wmpssUnknown)}}, FALSE, {}},
    {"NoDevices", {}, FALSE, {}},
    // The id decides: a device of another serial number is not the phone, whatever its names.
    {"SameNamesOtherId", {.devices = {Device(L"SN-9", L"Phone X", wmpssSynchronizing)}}, FALSE, {}},
    // The user may rename the phone in the player: the friendly name never decides.
    {"RenamedInThePlayer",
     {.devices = {{.id = L"SN-0042", .deviceName = L"Phone X", .friendlyName = L"Anna's phone",
                   .state = wmpssSynchronizing}}},
     TRUE,
     {kSynchronizing}},
    {"FriendlyNameOfAnotherDeviceIsThePhones",
     {.devices = {{.id = L"SN-9", .deviceName = L"Car Radio", .friendlyName = L"Phone X",
                   .state = wmpssSynchronizing}}},
     FALSE,
     {}},
    // Without an id on either side, the device name decides, exactly and case-sensitively.
    {"DeviceWithoutIdByName", {.devices = {Device(L"", L"Phone X", wmpssSynchronizing)}}, TRUE, {kSynchronizing}},
    {"DeviceWithoutIdOtherName", {.devices = {Device(L"", L"phone x", wmpssSynchronizing)}}, FALSE, {}},
    {"PhoneWithoutSerialByName",
     {.devices = {Device(L"SN-1", L"Phone X", wmpssSynchronizing)}},
     TRUE,
     {kSynchronizing},
     {L"", L"Phone X"}},
    {"IdUnreadableByName",
     {.devices = {{.id = L"SN-9", .deviceName = L"Phone X", .state = wmpssSynchronizing,
                   .idResult = static_cast<HRESULT>(0xC00D118D)}}},
     TRUE,
     {kNoIdRead, kSynchronizing}},
    // Neither read: the device may be the phone, and a sync of it must not be missed.
    {"CannotTellAndSynchronizing",
     {.devices = {{.state = wmpssSynchronizing, .idResult = static_cast<HRESULT>(0xC00D118D),
                   .deviceNameResult = static_cast<HRESULT>(0xC00D118D)}}},
     TRUE,
     {kNoIdRead, kNoNameRead, kCannotTell, kSynchronizing}},
    {"CannotTellAndStopped",
     {.devices = {{.state = wmpssStopped, .idResult = static_cast<HRESULT>(0xC00D118D),
                   .deviceNameResult = static_cast<HRESULT>(0xC00D118D)}}},
     FALSE,
     {kNoIdRead, kNoNameRead, kCannotTell}},
    {"DeviceThatCannotBeHadIsSkipped",
     {.devices = {{.getDeviceResult = E_FAIL}, Phone(wmpssSynchronizing)}},
     TRUE,
     {"getDevice failed on device #0, hr = 80004005", kSynchronizing}},
    {"PhoneStateUnreadable",
     {.devices = {{.id = L"SN-0042", .state = wmpssSynchronizing, .stateResult = E_FAIL}}},
     FALSE,
     {"get_syncState failed, hr = 80004005"}},
    {"DeviceCountUnreadable",
     {.deviceCountResult = static_cast<HRESULT>(0xC00D118D), .devices = {Phone(wmpssSynchronizing)}},
     FALSE,
     {"get_deviceCount failed, hr = c00d118d"}},
    {"NoSyncServices",
     {.hasSyncServices = false, .devices = {Phone(wmpssSynchronizing)}},
     FALSE,
     {"QueryInterface on IWMPSyncServices failed, hr = 80004002"}},
    {"ControlCannotBeCreated",
     {.creationFails = true, .devices = {Phone(wmpssSynchronizing)}},
     FALSE,
     {"Creating the player interface failed"}},
};

INSTANTIATE_TEST_SUITE_P(Player, PlayerGuardDecisionTest, testing::ValuesIn(kGuardCases),
                         [](const testing::TestParamInfo<GuardCase> &info) { return std::string(info.param.name); });

TEST_F(PlayerGuardTest, ControlReachesOurRemoteHostThroughItsSiteInAHiddenWindowOfThisThread) {
    FakePlayerRegistration player({.devices = {Phone(wmpssStopped)}});
    ASSERT_TRUE(player.Registered());
    EXPECT_FALSE(PlayerSynchronizes(kPhone));

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
    FakePlayerRegistration player({.devices = {Phone(wmpssSynchronizing)}});
    ASSERT_TRUE(player.Registered());
    EXPECT_TRUE(PlayerSynchronizes(kPhone));

    const auto &record = player.Record();
    EXPECT_EQ(FakePlayerRegistration::LiveObjects(), 0);
    EXPECT_EQ(record.clientSitesCleared, 1);
    EXPECT_FALSE(IsWindow(record.siteWindow));
    ASSERT_TRUE(record.clientSite && record.remoteHost);
    EXPECT_EQ(orvik_test::ReferenceCount(record.clientSite.Get()), 1u);
    EXPECT_EQ(orvik_test::ReferenceCount(record.remoteHost.Get()), 1u);
}

TEST_F(PlayerGuardTest, WinesOwnControlHasNoSyncServices) {
    EXPECT_FALSE(PlayerSynchronizes(kPhone));
    EXPECT_EQ(Logged(), std::vector<std::string>{"QueryInterface on IWMPSyncServices failed, hr = 80004002"});
}

// The exports' worker is in the multithreaded apartment: the check goes to an apartment of its own,
// where this apartment's fake is not registered and Wine's control answers.
TEST_F(PlayerGuardTest, CheckFromAnyThreadRunsInAnApartmentOfItsOwn) {
    FakePlayerRegistration player({.devices = {Phone(wmpssSynchronizing)}});
    ASSERT_TRUE(player.Registered());
    EXPECT_FALSE(PlayerSynchronizesFromOwnApartment(kPhone));
    EXPECT_EQ(Logged(), std::vector<std::string>{"QueryInterface on IWMPSyncServices failed, hr = 80004002"});
}

}  // namespace
