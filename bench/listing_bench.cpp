// Listing a folder of 10,000 files and resolving a path five folders deep through orvik.dll, against
// the platform's own cost of the one GetValues per entry that the design asks for.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_timer.h"
#include "bench/phone_session.h"
#include "fieldrec.h"
#include "orvik.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kEntries = 10000;

// The platform's cost of one GetValues with the 11 keys of a listing entry.
double GetValuesSeconds(bench::PhoneSession &session, const std::wstring &objectId, int calls) {
    ComPtr<IPortableDeviceContent> content;
    ComPtr<IPortableDeviceProperties> properties;
    ComPtr<IPortableDeviceKeyCollection> keys;
    session.Device()->Content(&content);
    content->Properties(&properties);
    keys = bench::ListingKeys();
    const double start = bench::Seconds();
    for (int i = 0; i < calls; ++i) {
        ComPtr<IPortableDeviceValues> values;
        properties->GetValues(objectId.c_str(), keys.Get(), &values);
        PROPVARIANT date;
        PropVariantInit(&date);
        values->GetValue(wpd::WPD_OBJECT_DATE_MODIFIED, &date);
        PropVariantClear(&date);
    }
    return bench::Seconds() - start;
}

unsigned PlatformCalls(vphone::Phone &phone) {
    unsigned calls = 0;
    for (const char *method : {"IPortableDeviceProperties::GetValues", "IEnumPortableDeviceObjectIDs::Next",
                               "IPortableDeviceContent::EnumObjects", "IPortableDevice::Content",
                               "IPortableDeviceContent::Properties", "IPortableDevice::Capabilities",
                               "IPortableDeviceCapabilities::GetFunctionalObjects"}) {
        calls += phone.Controls().CallCount(method);
    }
    return calls;
}

}  // namespace

int main() {
    vphone::PhoneBuilder builder;
    builder.SerialNumber(L"BENCH0002").InstanceId(L"USB\\VID_0FCE&PID_BE0D\\BENCH0002")
        .HardwareIds({L"USB\\VID_0FCE&PID_BE0D"}).Storage(L"Card", 64ull << 30).Folder(L"\\Card\\Many")
        .Folder(L"\\Card\\a").Folder(L"\\Card\\a\\b").Folder(L"\\Card\\a\\b\\c").Folder(L"\\Card\\a\\b\\c\\d")
        .Folder(L"\\Card\\a\\b\\c\\d\\e").File(L"\\Card\\a\\b\\c\\d\\e\\deep.mp3", vphone::PatternData(10));
    for (int i = 0; i < kEntries; ++i) {
        builder.File(L"\\Card\\Many\\track" + std::to_wstring(i) + L".mp3", vphone::PatternData(1000));
    }
    const std::wstring sampleId = builder.ObjectId(L"\\Card\\Many\\track0.mp3");
    bench::PhoneSession session(builder.Build());
    if (!session.ok()) return 1;

    void *handle = WPD_Initialize(0);
    char id[] = "USB\\VID_0FCE&PID_BE0D";
    if (WPD_ConnectDevice(handle, id, false, 0) != WPD_ERROR_OK) return 1;

    const double getValues = GetValuesSeconds(session, sampleId, kEntries) / kEntries;
    session.phone().Controls().ClearTranscript();
    const unsigned before = PlatformCalls(session.phone());
    char *listing = nullptr;
    const double start = bench::Seconds();
    const WPD_ERROR result = WPD_Media_GetFolderListing(handle, L"\\Card\\Many", &listing, 0);
    const double list = (bench::Seconds() - start) / kEntries;
    const unsigned calls = PlatformCalls(session.phone()) - before;
    const size_t bytes = listing ? std::strlen(listing) : 0;
    FieldrecFree(listing);

    std::printf("GetValues of one entry on the virtual phone (baseline)  %8.1f us\n", getValues * 1e6);
    std::printf("listing of %d entries (result %d): %8.1f us per entry (%.2f x baseline), %.2f platform calls per entry, "
                "%zu bytes of text\n", kEntries, static_cast<int>(result), list * 1e6, list / getValues,
                static_cast<double>(calls) / kEntries, bytes);
    std::printf("the library's own work per entry: %.1f us (target: below the GetValues cost)\n",
                (list - getValues) * 1e6);

    const double deepStart = bench::Seconds();
    constexpr int kResolutions = 50;
    for (int i = 0; i < kResolutions; ++i) {
        listing = nullptr;
        WPD_Media_GetFolderListing(handle, L"\\Card\\a\\b\\c\\d\\e", &listing, 0);
        FieldrecFree(listing);
    }
    std::printf("resolving and listing a path five folders deep: %.2f ms per call\n",
                (bench::Seconds() - deepStart) * 1e3 / kResolutions);
    WPD_DisconnectDevice(handle);
    WPD_Uninitialize(handle);
    return 0;
}
