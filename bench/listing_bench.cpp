// Listing a folder of 10,000 files and resolving a path five folders deep through orvik.dll, on a
// phone without bulk property reads and on one with them.
//  - Free link: the listing against the platform's own cost of one GetValues per entry, the first
//    listing against the steady one (the library's own work per entry). A process lists a folder for
//    the first time once, so the first listing is measured in several fresh processes of this program.
//  - USB 2 link: the listing with and without bulk reads against the platform calls the listing made
//    before bulk reads (ten ids per fetch, one GetValues per entry), all measured in this run.
#include <windows.h>
#include <psapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_timer.h"
#include "bench/phone_session.h"
#include "fieldrec.h"
#include "orvik.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kEntries = 10000;
constexpr wchar_t kMany[] = L"\\Card\\Many";

// The ids of a folder, fetched count at a time.
std::vector<win::UniqueCoTaskMemString> ChildIds(IPortableDeviceContent *content, const std::wstring &folderId,
                                                 ULONG count) {
    ComPtr<IEnumPortableDeviceObjectIDs> children;
    content->EnumObjects(0, folderId.c_str(), nullptr, &children);
    std::vector<win::UniqueCoTaskMemString> ids;
    std::vector<LPWSTR> fetchedIds(count);
    for (;;) {
        ULONG fetched = 0;
        if (FAILED(children->Next(count, fetchedIds.data(), &fetched)) || fetched == 0) break;
        for (ULONG i = 0; i < fetched; ++i) ids.emplace_back(fetchedIds[i]);
    }
    return ids;
}

// The platform's cost of the GetValues calls a listing makes one object at a time: one with the 11
// keys of an entry for each object of the folder, in the phone's order. With fetchedTogether, the
// enumeration of the ids counts too.
double GetValuesSeconds(bench::PhoneSession &session, const std::wstring &folderId, ULONG fetchedTogether = 0) {
    ComPtr<IPortableDeviceContent> content;
    ComPtr<IPortableDeviceProperties> properties;
    session.Device()->Content(&content);
    content->Properties(&properties);
    const double enumerationStart = bench::Seconds();
    const auto ids = ChildIds(content.Get(), folderId, fetchedTogether ? fetchedTogether : 1000);
    const ComPtr<IPortableDeviceKeyCollection> keys = bench::ListingKeys();
    const double start = fetchedTogether ? enumerationStart : bench::Seconds();
    for (const win::UniqueCoTaskMemString &id : ids) {
        ComPtr<IPortableDeviceValues> values;
        properties->GetValues(id.get(), keys.Get(), &values);
    }
    return bench::Seconds() - start;
}

double ResidentMiB() {
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.WorkingSetSize) / (1 << 20);
}

struct Listed {
    double seconds = 0;
    size_t bytes = 0;
    WPD_ERROR result = WPD_ERROR_OK;
};

Listed List(void *handle, const wchar_t *path) {
    char *listing = nullptr;
    const double start = bench::Seconds();
    Listed listed;
    listed.result = WPD_Media_GetFolderListing(handle, path, &listing, 0);
    listed.seconds = bench::Seconds() - start;
    listed.bytes = listing ? std::strlen(listing) : 0;
    FieldrecFree(listing);
    return listed;
}

// The memory a listing takes, per entry: while the host holds its text, and after the host's free
// call (what stays is the library's list of the folder resolved last).
void ReportListingMemory(void *handle, const wchar_t *path, int entries) {
    const double before = ResidentMiB();
    char *listing = nullptr;
    WPD_Media_GetFolderListing(handle, path, &listing, 0);
    const double held = ResidentMiB();
    FieldrecFree(listing);
    const double after = ResidentMiB();
    std::printf("memory of a listing of %5d entries: %.2f KiB per entry while the host holds it; its free call gives "
                "back %.2f KiB per entry (the rest is the library's record of the folder, kept until the next "
                "listing)\n", entries, (held - before) * 1024 / entries, (held - after) * 1024 / entries);
}

unsigned PlatformCalls(vphone::Phone &phone) {
    unsigned calls = 0;
    for (const char *method : {"IPortableDeviceProperties::GetValues", "IEnumPortableDeviceObjectIDs::Next",
                               "IPortableDeviceContent::EnumObjects", "IPortableDevice::Content",
                               "IPortableDeviceContent::Properties", "IPortableDevice::Capabilities",
                               "IPortableDeviceCapabilities::GetFunctionalObjects",
                               "IPortableDevicePropertiesBulk::QueueGetValuesByObjectList",
                               "IPortableDevicePropertiesBulk::Start",
                               "IPortableDevicePropertiesBulkCallback::OnProgress"}) {
        calls += phone.Controls().CallCount(method);
    }
    return calls;
}

// The bench's phone: \Card\Many with kEntries files, \Card\Few with a tenth of them, and a path five
// folders deep.
std::shared_ptr<vphone::Phone> BenchPhone(bool bulk, const wchar_t *serial, const wchar_t *hardwareId) {
    vphone::PhoneProfile profile;
    profile.bulkProperties = bulk;
    vphone::PhoneBuilder builder(profile);
    builder.SerialNumber(serial).InstanceId(std::wstring(hardwareId) + L"\\" + serial).HardwareIds({hardwareId})
        .Storage(L"Card", 64ull << 30).Folder(kMany)
        .Folder(L"\\Card\\a").Folder(L"\\Card\\a\\b").Folder(L"\\Card\\a\\b\\c").Folder(L"\\Card\\a\\b\\c\\d")
        .Folder(L"\\Card\\a\\b\\c\\d\\e").File(L"\\Card\\a\\b\\c\\d\\e\\deep.mp3", vphone::PatternData(10));
    builder.Folder(L"\\Card\\Few");
    for (int i = 0; i < kEntries; ++i) {
        builder.File(std::wstring(kMany) + L"\\track" + std::to_wstring(i) + L".mp3", vphone::PatternData(1000));
        if (i < kEntries / 10) builder.File(L"\\Card\\Few\\track" + std::to_wstring(i) + L".mp3", vphone::PatternData(1000));
    }
    return builder.Build();
}

void *Connect(const char *hardwareId) {
    void *handle = WPD_Initialize(0);
    char id[64];
    std::strcpy(id, hardwareId);
    if (WPD_ConnectDevice(handle, id, false, 0) == WPD_ERROR_OK) return handle;
    WPD_Uninitialize(handle);
    return nullptr;
}

void Disconnect(void *handle) {
    WPD_DisconnectDevice(handle);
    WPD_Uninitialize(handle);
}

struct Usb2Figures {
    double before = 0;  // the platform calls of the listing before bulk reads
    double withoutBulk = 0;
    double withBulk = 0;
};

constexpr char kFirstListingSwitch[] = "--first-listing";
constexpr int kFirstListingProcesses = 5;

// This process's first listing of the big folder, after a small one, and the best GetValues cost per
// entry after it, both in microseconds per entry on one line.
int ReportFirstListing() {
    const auto phone = BenchPhone(false, L"BENCH0004", L"USB\\VID_0FCE&PID_BE10");
    const std::wstring folderId = *phone->FindPath(kMany);
    bench::PhoneSession session(phone);
    void *handle = session.ok() ? Connect("USB\\VID_0FCE&PID_BE10") : nullptr;
    if (!handle) return 1;
    List(handle, L"\\Card\\Few");
    const double first = List(handle, kMany).seconds / kEntries;
    double getValues = 1e300;
    for (int round = 0; round < 3; ++round) getValues = std::min(getValues, GetValuesSeconds(session, folderId) / kEntries);
    std::printf("%.3f %.3f\n", first * 1e6, getValues * 1e6);
    Disconnect(handle);
    return 0;
}

// The library's own work in a first listing, first listing less GetValues, in fresh processes of this
// program: the median, in microseconds per entry, and the median GetValues cost; false if a process
// could not be run.
bool MedianFirstListing(double &ownWork, double &getValues) {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    if (self.empty()) return false;
    const std::wstring command = L"\"" + self + L"\" " + std::wstring(kFirstListingSwitch, kFirstListingSwitch + sizeof kFirstListingSwitch - 1);
    std::vector<double> own, costs;
    for (int run = 0; run < kFirstListingProcesses; ++run) {
        FILE *child = _wpopen(command.c_str(), L"r");
        if (!child) return false;
        double first = 0, cost = 0;
        const bool read = std::fscanf(child, "%lf %lf", &first, &cost) == 2;
        if (_pclose(child) != 0 || !read) return false;
        own.push_back(first - cost);
        costs.push_back(cost);
    }
    std::sort(own.begin(), own.end());
    std::sort(costs.begin(), costs.end());
    ownWork = own[own.size() / 2];
    getValues = costs[costs.size() / 2];
    std::printf("the library's own work in the first listing of %d entries, in %d fresh processes:", kEntries,
                kFirstListingProcesses);
    for (double value : own) std::printf(" %.1f", value);
    std::printf(" us per entry\n");
    return true;
}

// On the phone without bulk reads: the own work of first and steady listings on a free link, the deep
// resolution, and the USB 2 listing with its baseline.
bool MeasureWithoutBulk(Usb2Figures &usb2) {
    double firstOwnWork = 0, firstGetValues = 0;
    if (!MedianFirstListing(firstOwnWork, firstGetValues)) return false;
    const auto phone = BenchPhone(false, L"BENCH0002", L"USB\\VID_0FCE&PID_BE0D");
    const std::wstring folderId = *phone->FindPath(kMany);
    bench::PhoneSession session(phone);
    void *handle = session.ok() ? Connect("USB\\VID_0FCE&PID_BE0D") : nullptr;
    if (!handle) return false;

    ReportListingMemory(handle, L"\\Card\\Few", kEntries / 10);
    // The first listing of the big folder in this process also grows the library's list to its size.
    ReportListingMemory(handle, kMany, kEntries);

    // The best of the rounds after the first listing is the steady cost. Baseline and listing alternate
    // so that a busy machine slows both.
    constexpr int kRounds = 7;
    double getValues = 1e300, best = 1e300;
    unsigned calls = 0;
    Listed listed;
    for (int round = 0; round < kRounds; ++round) {
        getValues = std::min(getValues, GetValuesSeconds(session, folderId) / kEntries);
        const unsigned before = PlatformCalls(session.phone());
        listed = List(handle, kMany);
        calls = PlatformCalls(session.phone()) - before;
        best = std::min(best, listed.seconds / kEntries);
    }
    std::printf("GetValues of each entry on the virtual phone (baseline) %8.1f us per entry\n", getValues * 1e6);
    std::printf("listing of %d entries (result %d): best of %d %.1f us per entry (%.2f x baseline); %.2f platform calls "
                "per entry, %zu bytes of text\n", kEntries, static_cast<int>(listed.result), kRounds, best * 1e6,
                best / getValues, static_cast<double>(calls) / kEntries, listed.bytes);
    std::printf("the library's own work per entry: %.1f us; in the first listing %.1f us, median of the fresh processes, "
                "whose GetValues cost %.1f us (target: below the GetValues cost)\n", (best - getValues) * 1e6,
                firstOwnWork, firstGetValues);

    constexpr int kResolutions = 50;
    const unsigned deepBefore = PlatformCalls(session.phone());
    const double deepStart = bench::Seconds();
    for (int i = 0; i < kResolutions; ++i) List(handle, L"\\Card\\a\\b\\c\\d\\e");
    const double deepSeconds = (bench::Seconds() - deepStart) / kResolutions;
    const double deepCalls = static_cast<double>(PlatformCalls(session.phone()) - deepBefore) / kResolutions;
    std::printf("resolving and listing a path five folders deep: %.2f ms and %.0f platform calls per call\n",
                deepSeconds * 1e3, deepCalls);

    session.phone().Controls().SetLink(vphone::LinkSpeed::Usb2());
    usb2.before = GetValuesSeconds(session, folderId, 10);
    usb2.withoutBulk = List(handle, kMany).seconds;
    Disconnect(handle);
    return true;
}

bool MeasureWithBulk(Usb2Figures &usb2) {
    const auto phone = BenchPhone(true, L"BENCH0003", L"USB\\VID_0FCE&PID_BE0E");
    bench::PhoneSession session(phone);
    void *handle = session.ok() ? Connect("USB\\VID_0FCE&PID_BE0E") : nullptr;
    if (!handle) return false;
    List(handle, kMany);
    double best = 1e300;
    for (int round = 0; round < 5; ++round) best = std::min(best, List(handle, kMany).seconds);
    std::printf("with bulk reads on a free link: the listing %.1f us per entry\n", best / kEntries * 1e6);

    session.phone().Controls().SetLink(vphone::LinkSpeed::Usb2());
    const unsigned before = PlatformCalls(session.phone());
    const Listed listed = List(handle, kMany);
    usb2.withBulk = listed.seconds;
    std::printf("with bulk reads on USB 2: %u platform calls and batches for %d entries (result %d)\n",
                PlatformCalls(session.phone()) - before, kEntries, static_cast<int>(listed.result));
    Disconnect(handle);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], kFirstListingSwitch) == 0) return ReportFirstListing();
    Usb2Figures usb2;
    if (!MeasureWithoutBulk(usb2) || !MeasureWithBulk(usb2)) return 1;
    std::printf("listing %d entries on USB 2 (link usb2): the calls of the listing before bulk reads (baseline) %.2f s; "
                "without bulk reads %.2f s (%.2f x baseline); with bulk reads %.2f s (%.3f x baseline, target under 1 s)\n",
                kEntries, usb2.before, usb2.withoutBulk, usb2.withoutBulk / usb2.before, usb2.withBulk,
                usb2.withBulk / usb2.before);
    return 0;
}
