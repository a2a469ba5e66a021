// The test controls: injected faults, unreadable properties, per-key write errors, the transcript and
// the accounting of what a client still holds.
#include "phone_session.h"

#include "win/unique_any.h"

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

}  // namespace
}  // namespace vphone_test
