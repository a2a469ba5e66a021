// PutFile and GetFile of a 1 GiB file through orvik.dll and the virtual phone, against a plain stream
// copy of the same file with the same chunk size; and the cost of the progress callback.
#include <windows.h>
#include <psapi.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_timer.h"
#include "bench/local_files.h"
#include "bench/phone_session.h"
#include "orvik.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr unsigned long long kFileBytes = 1ull << 30;
constexpr DWORD kChunk = 256 * 1024;

// SHCreateStreamOnFileW to SHCreateStreamOnFileW in kChunk reads and writes.
double PlainStreamCopy(const std::wstring &from, const std::wstring &to) {
    const double start = bench::Seconds();
    ComPtr<IStream> source, destination;
    SHCreateStreamOnFileW(from.c_str(), STGM_READ, &source);
    SHCreateStreamOnFileW(to.c_str(), STGM_CREATE | STGM_WRITE, &destination);
    std::vector<unsigned char> buffer(kChunk);
    ULONG read = 0;
    while (SUCCEEDED(source->Read(buffer.data(), kChunk, &read)) && read > 0) {
        destination->Write(buffer.data(), read, nullptr);
    }
    destination->Commit(STGC_DEFAULT);
    return bench::Seconds() - start;
}

int ORVIK_CALL CountReport(WPD_MONITORED_EVENT, void *, void *context) {
    ++*static_cast<int *>(context);
    return 0;
}

double PeakMiB() {
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
}

// One round of each measurement. Writing into pages the system has just taken back from a deleted
// file is much faster here than into pages it has not touched for a while, so every writer starts
// right after a file of the same size is deleted.
struct Round {
    double plain = 0, put = 0, get = 0;
    WPD_ERROR putResult = WPD_ERROR_OK, getResult = WPD_ERROR_OK;
};

constexpr wchar_t kDevicePath[] = L"\\Card\\Video\\big.mp4";
constexpr wchar_t kClipPath[] = L"\\Card\\Video\\clip.mp4";
constexpr unsigned long long kClipBytes = 64ull << 20;

Round MeasureRound(void *handle, const std::wstring &local, const std::wstring &copy, const std::wstring &back) {
    Round round;
    DeleteFileW(back.c_str());
    round.plain = PlainStreamCopy(local, copy);
    WPD_Media_DeleteFile(handle, kDevicePath, 0);
    double start = bench::Seconds();
    round.putResult = WPD_Media_PutFile(handle, kDevicePath, local.c_str(), 0);
    round.put = bench::Seconds() - start;
    DeleteFileW(copy.c_str());
    start = bench::Seconds();
    round.getResult = WPD_Media_GetFile(handle, kDevicePath, back.c_str(), 0);
    round.get = bench::Seconds() - start;
    return round;
}

// Downloads of one object in pairs, monitoring off and on in turn (which goes first alternates): the
// median of the pairs' differences and the median unmonitored time, in seconds, and the reports of one
// monitored download.
struct MonitoringDelay {
    double delay = 0;
    double unmonitored = 0;
    int reports = 0;
};

MonitoringDelay MedianMonitoringDelay(bench::PhoneSession &session, void *handle, const wchar_t *path,
                                      const std::wstring &back) {
    constexpr int kPairs = 21;
    std::vector<double> delays;
    std::vector<double> unmonitored;
    MonitoringDelay result;
    WPD_Monitor_Set(handle, CountReport);
    for (int pair = 0; pair < kPairs; ++pair) {
        double seconds[2] = {};
        for (bool monitored : {pair % 2 == 1, pair % 2 == 0}) {
            DeleteFileW(back.c_str());
            session.phone().Controls().ClearTranscript();
            result.reports = 0;
            if (monitored) WPD_Monitor_Start(handle, WPD_EVENT_PROGRESS, &result.reports);
            const double start = bench::Seconds();
            WPD_Media_GetFile(handle, path, back.c_str(), 0);
            seconds[monitored] = bench::Seconds() - start;
            if (monitored) WPD_Monitor_Stop(handle, WPD_EVENT_PROGRESS);
        }
        delays.push_back(seconds[1] - seconds[0]);
        unmonitored.push_back(seconds[0]);
    }
    DeleteFileW(back.c_str());
    std::sort(delays.begin(), delays.end());
    std::sort(unmonitored.begin(), unmonitored.end());
    result.delay = delays[kPairs / 2];
    result.unmonitored = unmonitored[kPairs / 2];
    return result;
}

// The progress callback's share of a download. Chunks fill the cable, so a download makes few reports
// (ten, or one per 8 MiB): their cost is measured directly, as the difference monitoring makes.
void ReportMonitoringCost(bench::PhoneSession &session, void *handle, const std::wstring &back) {
    const MonitoringDelay clip = MedianMonitoringDelay(session, handle, kClipPath, back);
    std::printf("progress callback: the 64 MiB download's %d reports add %+.2f ms, %+.3f%% of its time (median of "
                "21 pairs, monitoring off and on; target under 1%%)\n",
                clip.reports, clip.delay * 1e3, clip.delay / clip.unmonitored * 100);
}

}  // namespace

int main() {
    const std::wstring local = bench::TempPath(L"orvik-bench-put.bin");
    const std::wstring copy = bench::TempPath(L"orvik-bench-copy.bin");
    const std::wstring back = bench::TempPath(L"orvik-bench-get.bin");
    if (!bench::WriteLocalFile(local, kFileBytes)) return 1;

    vphone::PhoneBuilder builder;
    builder.SerialNumber(L"BENCH0003").InstanceId(L"USB\\VID_0FCE&PID_BE0E\\BENCH0003")
        .HardwareIds({L"USB\\VID_0FCE&PID_BE0E"}).Storage(L"Card", 64ull << 30).Folder(L"\\Card\\Video")
        .File(kClipPath, vphone::PatternData(kClipBytes));
    bench::PhoneSession session(builder.Build());
    if (!session.ok()) return 1;
    session.phone().Controls().SetTransferSizes(kChunk, kChunk);
    void *handle = WPD_Initialize(0);
    char id[] = "USB\\VID_0FCE&PID_BE0E";
    if (WPD_ConnectDevice(handle, id, false, 0) != WPD_ERROR_OK) return 1;

    const double memoryBefore = PeakMiB();
    double memoryAfterOne = 0;
    Round best;
    best.plain = best.put = best.get = 1e300;
    for (int i = 0; i < 3; ++i) {
        // The phone's record of every call is its own memory, not the library's.
        session.phone().Controls().ClearTranscript();
        const Round round = MeasureRound(handle, local, copy, back);
        best.plain = std::min(best.plain, round.plain);
        best.put = std::min(best.put, round.put);
        best.get = std::min(best.get, round.get);
        if (round.putResult != WPD_ERROR_OK) best.putResult = round.putResult;
        if (round.getResult != WPD_ERROR_OK) best.getResult = round.getResult;
        if (i == 0) memoryAfterOne = PeakMiB();
    }
    const double memoryAfter = PeakMiB();

    const double mib = static_cast<double>(kFileBytes) / (1 << 20);
    std::printf("best of 3 interleaved rounds, 1 GiB, the phone's transfer size %lu KiB\n", kChunk / 1024);
    std::printf("plain stream copy (baseline)                          %7.0f MiB/s\n", mib / best.plain);
    std::printf("WPD_Media_PutFile (result %d)                           %7.0f MiB/s  (%.2f x baseline; target >= 0.9)\n",
                static_cast<int>(best.putResult), mib / best.put, best.plain / best.put);
    std::printf("WPD_Media_GetFile (result %d)                           %7.0f MiB/s  (%.2f x baseline; target >= 0.9)\n",
                static_cast<int>(best.getResult), mib / best.get, best.plain / best.get);
    ReportMonitoringCost(session, handle, back);
    // Flat after the first round, with three times as many bytes moved by the end: independent of size.
    std::printf("peak working set %.0f MiB before the transfers, %.0f MiB after 4 GiB moved, %.0f MiB after 12 GiB\n",
                memoryBefore, memoryAfterOne, memoryAfter);

    WPD_Media_DeleteFile(handle, kDevicePath, 0);
    WPD_DisconnectDevice(handle);
    WPD_Uninitialize(handle);
    for (const std::wstring &file : {local, copy, back}) DeleteFileW(file.c_str());
    return 0;
}
