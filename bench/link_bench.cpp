// The link's speed model against its own figures: PutFile and GetFile of 100 MiB through orvik.dll
// over a phone on a USB 2.0 link, each set against what the model says the copy costs (its bytes at
// the link's bandwidth plus a round trip for every platform call it made), then the same copies without
// a link, for the phone's own share of the time. And 1 GiB each way on a USB 3.0 link against the
// link's ideal time, its bytes at its bandwidth with no call costing anything.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/bench_timer.h"
#include "bench/local_files.h"
#include "bench/phone_session.h"
#include "orvik.h"

namespace {

constexpr unsigned long long kFileBytes = 100ull << 20;
constexpr unsigned long long kBigFileBytes = 1ull << 30;
constexpr wchar_t kDevicePath[] = L"\\Card\\Video\\link.mp4";

struct Copy {
    double seconds = 0;
    double modelSeconds = 0;  // what the link's figures say the copy's calls and bytes cost
    vphone::LinkUse use;
    WPD_ERROR result = WPD_ERROR_OK;
};

template <class Transfer>
Copy Measure(vphone::Phone &phone, Transfer transfer) {
    vphone::Link &link = phone.Controls().Cable();
    const vphone::LinkSpeed speed = link.Speed();
    const vphone::LinkUse before = link.Use();
    Copy copy;
    const double start = bench::Seconds();
    copy.result = transfer();
    copy.seconds = bench::Seconds() - start;
    const vphone::LinkUse after = link.Use();
    copy.use = {after.roundTrips - before.roundTrips, after.bytes - before.bytes};
    copy.modelSeconds = static_cast<double>(copy.use.roundTrips) * speed.roundTripMicroseconds / 1e6 +
                        (speed.bytesPerSecond ? static_cast<double>(copy.use.bytes) / static_cast<double>(speed.bytesPerSecond) : 0);
    return copy;
}

void Report(const char *what, const Copy &copy) {
    const double mib = static_cast<double>(kFileBytes) / (1 << 20);
    if (copy.modelSeconds > 0) {
        std::printf("%-28s result %d  %6.3f s  model %6.3f s (%llu calls, %llu bytes)  %.3f x model (target 0.95 to 1.05)\n",
                    what, static_cast<int>(copy.result), copy.seconds, copy.modelSeconds,
                    static_cast<unsigned long long>(copy.use.roundTrips), static_cast<unsigned long long>(copy.use.bytes),
                    copy.seconds / copy.modelSeconds);
    } else {
        std::printf("%-28s result %d  %6.3f s  %7.0f MiB/s\n", what, static_cast<int>(copy.result), copy.seconds,
                    mib / copy.seconds);
    }
}

// Against the ideal: the bytes at the link's bandwidth, as if no call cost a round trip.
void ReportAgainstIdeal(const char *what, const Copy &copy, vphone::LinkSpeed speed) {
    const double ideal = static_cast<double>(copy.use.bytes) / static_cast<double>(speed.bytesPerSecond);
    std::printf("%-28s result %d  %6.3f s  ideal %6.3f s (%llu calls)  %.4f x ideal (target at most 1.02)\n", what,
                static_cast<int>(copy.result), copy.seconds, ideal, static_cast<unsigned long long>(copy.use.roundTrips),
                copy.seconds / ideal);
}

}  // namespace

int main() {
    const std::wstring local = bench::TempPath(L"orvik-bench-link.bin");
    const std::wstring back = bench::TempPath(L"orvik-bench-link-back.bin");
    const std::wstring big = bench::TempPath(L"orvik-bench-link-big.bin");
    if (!bench::WriteLocalFile(local, kFileBytes) || !bench::WriteLocalFile(big, kBigFileBytes)) return 1;

    vphone::PhoneBuilder builder;
    builder.SerialNumber(L"BENCH0005").InstanceId(L"USB\\VID_0FCE&PID_BE0F\\BENCH0005")
        .HardwareIds({L"USB\\VID_0FCE&PID_BE0F"}).Storage(L"Card", 8ull << 30).Folder(L"\\Card\\Video");
    bench::PhoneSession session(builder.Build());
    if (!session.ok()) return 1;
    vphone::Phone &phone = session.phone();
    void *handle = WPD_Initialize(0);
    char id[] = "USB\\VID_0FCE&PID_BE0F";
    if (WPD_ConnectDevice(handle, id, false, 0) != WPD_ERROR_OK) return 1;

    const auto put = [&] { return WPD_Media_PutFile(handle, kDevicePath, local.c_str(), 4); };
    const auto get = [&] { return WPD_Media_GetFile(handle, kDevicePath, back.c_str(), 0); };
    std::printf("100 MiB each way, %lu KiB chunks\n", phone.Controls().ReadTransferSize() / 1024);
    for (const auto &[name, speed] : {std::pair{"usb2", vphone::LinkSpeed::Usb2()}, std::pair{"none", vphone::LinkSpeed::None()}}) {
        phone.Controls().SetLink(speed);
        phone.Controls().ClearTranscript();
        Report((std::string("WPD_Media_PutFile, link ") + name).c_str(), Measure(phone, put));
        Report((std::string("WPD_Media_GetFile, link ") + name).c_str(), Measure(phone, get));
    }

    const auto putBig = [&] { return WPD_Media_PutFile(handle, kDevicePath, big.c_str(), 4); };
    std::printf("1 GiB each way on usb3\n");
    phone.Controls().SetLink(vphone::LinkSpeed::Usb3());
    ReportAgainstIdeal("WPD_Media_PutFile, link usb3", Measure(phone, putBig), vphone::LinkSpeed::Usb3());
    // Renaming a new file over an old one makes some file systems under Wine (ext4) write the new file
    // out before the rename returns, which NTFS does not: the download goes to a name that is free.
    DeleteFileW(back.c_str());
    ReportAgainstIdeal("WPD_Media_GetFile, link usb3", Measure(phone, get), vphone::LinkSpeed::Usb3());
    phone.Controls().SetLink(vphone::LinkSpeed::None());

    WPD_Media_DeleteFile(handle, kDevicePath, 0);
    WPD_DisconnectDevice(handle);
    WPD_Uninitialize(handle);
    for (const std::wstring &file : {local, back, big}) DeleteFileW(file.c_str());
    return 0;
}
