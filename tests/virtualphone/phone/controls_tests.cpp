// The test controls: injected faults, unreadable properties, per-key write errors, unplugging, the
// link's charges, the transcript and its limit, the accounting of what a client still holds, and the
// controls file that the processes serving an installed phone share.
#include "phone_session.h"

#include "win/unique_any.h"

#include <fstream>

namespace vphone_test {
namespace {

using PhoneControls = PhoneSession;

TEST_F(PhoneControls, FaultHitsTheNthCallOnly) {
    phone_->Controls().FailCall("IPortableDeviceContent::EnumObjects", 2, HRESULT_FROM_WIN32(ERROR_BUSY));
    auto content = Content();
    ComPtr<IEnumPortableDeviceObjectIDs> enumerator;
    EXPECT_EQ(content->EnumObjects(0, L"DEVICE", nullptr, &enumerator), S_OK);
    EXPECT_EQ(content->EnumObjects(0, L"DEVICE", nullptr, &enumerator), static_cast<HRESULT>(0x800700AA));
    EXPECT_EQ(enumerator, nullptr);
    EXPECT_EQ(content->EnumObjects(0, L"DEVICE", nullptr, &enumerator), S_OK);
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceContent::EnumObjects"), 3u);
    phone_->Controls().FailEveryCall("IPortableDevice::Content", E_ACCESSDENIED);
    ComPtr<IPortableDeviceContent> refused;
    EXPECT_EQ(device_->Content(&refused), E_ACCESSDENIED);
    EXPECT_EQ(device_->Content(&refused), E_ACCESSDENIED);
}

TEST_F(PhoneControls, UnreadablePropertyIsAnErrorValueAndRefusedReferencesAreAbsent) {
    phone_->Controls().MakeUnreadable(wpd::WPD_OBJECT_NAME);
    phone_->Controls().RefuseReferences(true);
    auto values = ReadValues(*phone_->FindPath(L"\\Card\\mix.m3u"), {wpd::WPD_OBJECT_NAME, wpd::WPD_OBJECT_REFERENCES});
    HRESULT stored = S_OK;
    EXPECT_EQ(values->GetErrorValue(wpd::WPD_OBJECT_NAME, &stored), S_OK);
    EXPECT_EQ(stored, E_ACCESSDENIED);
    ComPtr<IPortableDevicePropVariantCollection> references;
    EXPECT_EQ(values->GetIPortableDevicePropVariantCollectionValue(wpd::WPD_OBJECT_REFERENCES, &references),
              HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

TEST_F(PhoneControls, SetValuesReportsPerKeyResultsAndIsRecorded) {
    const PROPERTYKEY clock = {wpd::WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS, 0xD001};
    phone_->Controls().FailSetValue(wpd::WPD_DEVICE_MODEL, E_ACCESSDENIED);
    ComPtr<IPortableDeviceProperties> properties;
    ASSERT_EQ(Content()->Properties(&properties), S_OK);
    auto values = Values();
    values->SetStringValue(wpd::WPD_DEVICE_FRIENDLY_NAME, L"Renamed");
    values->SetStringValue(wpd::WPD_DEVICE_MODEL, L"Other");
    values->SetUnsignedIntegerValue(clock, 42);
    ComPtr<IPortableDeviceValues> results;
    EXPECT_EQ(properties->SetValues(wpd::WPD_DEVICE_OBJECT_ID, values.Get(), &results), S_FALSE);
    HRESULT perKey = E_FAIL;
    EXPECT_EQ(results->GetErrorValue(wpd::WPD_DEVICE_FRIENDLY_NAME, &perKey), S_OK);
    EXPECT_EQ(perKey, S_OK);
    EXPECT_EQ(results->GetErrorValue(wpd::WPD_DEVICE_MODEL, &perKey), S_OK);
    EXPECT_EQ(perKey, E_ACCESSDENIED);
    EXPECT_EQ(phone_->Identity().friendlyName, L"Renamed");
    EXPECT_EQ(phone_->Identity().model, L"Model One");
    const auto device = phone_->Find(wpd::WPD_DEVICE_OBJECT_ID);
    ASSERT_EQ(device->extra.size(), 1u);
    EXPECT_EQ(device->extra[0].second.Get().ulVal, 42u);

    bool recorded = false;
    for (const auto &entry : phone_->Controls().Transcript()) {
        recorded = recorded || (entry.method == "IPortableDeviceProperties::SetValues/value" &&
                                entry.arguments.find(L"Renamed") != std::wstring::npos);
    }
    EXPECT_TRUE(recorded);
}

// The fixture's TearDown checks the accounting; this session holds references and strings on purpose
// and checks that the counts see them before they go.
TEST_F(PhoneControls, AccountingSeesWhatTheClientStillHolds) {
    auto content = Content();
    const long objects = installed_.LiveObjects();
    ComPtr<IEnumPortableDeviceObjectIDs> enumerator;
    ASSERT_EQ(content->EnumObjects(0, L"s10001", nullptr, &enumerator), S_OK);
    EXPECT_EQ(installed_.LiveObjects(), objects + 1);
    LPWSTR id = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(enumerator->Next(1, &id, &fetched), S_OK);
    EXPECT_EQ(memory_.OutstandingBlocks(), 1);
    CoTaskMemFree(id);
    EXPECT_EQ(memory_.OutstandingBlocks(), 0);
}

TEST_F(PhoneControls, UnplugFailsEveryCallAndEndsTheConnection) {
    auto content = Content();
    phone_->Controls().Unplug();
    ComPtr<IEnumPortableDeviceObjectIDs> enumerator;
    EXPECT_EQ(content->EnumObjects(0, L"DEVICE", nullptr, &enumerator), vphone::kPhoneUnplugged);
    ComPtr<IPortableDeviceManager> manager;
    ASSERT_EQ(CoCreateInstance(wpd::CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&manager)), S_OK);
    DWORD count = 5;
    EXPECT_EQ(manager->GetDevices(nullptr, &count), S_OK);
    EXPECT_EQ(count, 0u) << "an unplugged phone is listed";
    ComPtr<IPortableDevice> other;
    EXPECT_EQ(Open(&other), vphone::kPhoneUnplugged);

    phone_->Controls().PlugIn();
    EXPECT_EQ(content->EnumObjects(0, L"DEVICE", nullptr, &enumerator), vphone::kPhoneUnplugged);
    ComPtr<IPortableDeviceContent> stale;
    EXPECT_EQ(device_->Content(&stale), vphone::kPhoneUnplugged);
    EXPECT_EQ(device_->Close(), S_OK) << "a dead device can still be let go";
    ASSERT_EQ(Open(&other), S_OK);
    ComPtr<IPortableDeviceContent> fresh;
    ASSERT_EQ(other->Content(&fresh), S_OK);
    EXPECT_EQ(fresh->EnumObjects(0, L"DEVICE", nullptr, &enumerator), S_OK);
}

TEST_F(PhoneControls, RecordKeepsTheLatestCallsOnly) {
    auto content = Content();
    phone_->Controls().SetRecordLimit(2);
    ComPtr<IEnumPortableDeviceObjectIDs> enumerator;
    for (const wchar_t *parent : {L"DEVICE", L"s10001", L"o1"}) content->EnumObjects(0, parent, nullptr, &enumerator);
    const auto transcript = phone_->Controls().Transcript();
    ASSERT_EQ(transcript.size(), 2u);
    EXPECT_EQ(transcript[0].arguments, L"s10001");
    EXPECT_EQ(transcript[1].arguments, L"o1");
    phone_->Controls().SetRecordLimit(0);
    phone_->Controls().ClearTranscript();
    content->EnumObjects(0, L"DEVICE", nullptr, &enumerator);
    EXPECT_TRUE(phone_->Controls().Transcript().empty());
}

// The link is charged a round trip per call and the bytes of the data streams (at speeds too high to
// cost time).
TEST_F(PhoneControls, LinkIsChargedForCallsAndData) {
    auto content = Content();
    vphone::Link &link = phone_->Controls().Cable();
    phone_->Controls().SetLink({1, 1'000'000'000'000});
    ComPtr<IPortableDeviceResources> resources;
    ASSERT_EQ(content->Transfer(&resources), S_OK);
    ComPtr<IStream> stream;
    DWORD optimal = 0;
    ASSERT_EQ(resources->GetStream(phone_->FindPath(L"\\Card\\Music\\b.mp3")->c_str(), wpd::WPD_RESOURCE_DEFAULT, STGM_READ,
                                   &optimal, &stream), S_OK);
    const vphone::LinkUse before = link.Use();
    std::vector<BYTE> buffer(1500);
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer.data(), 1500, &read)) && read > 0) {}
    const vphone::LinkUse after = link.Use();
    EXPECT_EQ(after.bytes - before.bytes, 2000u);
    EXPECT_EQ(after.roundTrips - before.roundTrips, 3u);  // two reads with data, one at the end
}

// Two sets of controls on one controls file stand for two host processes serving one installed
// phone; a third view of the file stands for vphone-ctl.
TEST(SharedControls, ReachEveryProcessAtItsNextCall) {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"vphone-shared-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring file = vphone::SharedControls::FileIn(folder);
    {
        vphone::ControlSettings initial;
        initial.link = vphone::LinkSpeed::Usb3();
        std::unique_ptr<vphone::SharedControls> first, second, control;
        ASSERT_EQ(vphone::SharedControls::Open(file, initial, &first), S_OK);
        ASSERT_EQ(vphone::SharedControls::Open(file, {}, &second), S_OK);
        ASSERT_EQ(vphone::SharedControls::Open(file, {}, &control), S_OK);
        vphone::PhoneControls one, two;
        one.ShareThrough(std::move(first));
        two.ShareThrough(std::move(second));
        EXPECT_EQ(two.Cable().Speed(), vphone::LinkSpeed::Usb3()) << "a file that exists keeps its settings";
        EXPECT_EQ(two.RecordLimit(), 0u) << "an installed phone records nothing unless told";

        ASSERT_EQ(control->Change([](vphone::ControlSettings &settings) {
            settings.faults.push_back({"IPortableDevice::Content", 3, E_ACCESSDENIED});
            settings.unreadable.push_back({wpd::WPD_OBJECT_NAME, E_FAIL});
            settings.writeTransferSize = 4096;
            return true;
        }), S_OK);
        EXPECT_EQ(one.OnCall("IPortableDevice::Content", {}), S_OK);
        EXPECT_EQ(two.OnCall("IPortableDevice::Content", {}), S_OK);
        EXPECT_EQ(one.OnCall("IPortableDevice::Content", {}), E_ACCESSDENIED) << "the third call of both together";
        EXPECT_EQ(two.OnCall("IPortableDevice::Content", {}), S_OK);
        EXPECT_EQ(two.ReadFault(L"o1", wpd::WPD_OBJECT_NAME), E_FAIL);
        EXPECT_EQ(one.WriteTransferSize(), 4096u);

        const auto unplug = [&](bool unplugged) {
            return control->Change([=](vphone::ControlSettings &settings) {
                settings.unplugged = unplugged;
                return true;
            });
        };
        const unsigned connection = one.Connection();
        ASSERT_EQ(unplug(true), S_OK);
        EXPECT_TRUE(two.Unplugged());
        ASSERT_EQ(unplug(false), S_OK);
        EXPECT_FALSE(two.Connected(connection)) << "a connection outlived the unplug";
        EXPECT_TRUE(two.Connected(one.Connection()));
    }
    // A file that holds no controls record starts again from the settings given.
    {
        std::ofstream(file.c_str(), std::ios::binary | std::ios::trunc) << "not a controls record";
        vphone::ControlSettings initial;
        initial.recordLimit = 7;
        std::unique_ptr<vphone::SharedControls> shared;
        ASSERT_EQ(vphone::SharedControls::Open(file, initial, &shared), S_OK);
        vphone::PhoneControls controls;
        controls.ShareThrough(std::move(shared));
        EXPECT_EQ(controls.RecordLimit(), 7u);
    }
    EXPECT_TRUE(DeleteFileW(file.c_str()));
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

}  // namespace
}  // namespace vphone_test
