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
#include "bench/phone_session.h"
#include "orvik.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr unsigned long long kFileBytes = 1ull << 30;
constexpr DWORD kChunk = 256 * 1024;

std::wstring TempPath(const wchar_t *name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

void WriteLocalFile(const std::wstring &path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<unsigned char> chunk(1 << 20, 0x42);
    for (unsigned long long written = 0; written < kFileBytes; written += chunk.size()) {
        DWORD done = 0;
        WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &done, nullptr);
    }
    CloseHandle(file);
}

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

}  // namespace

int main() {
    const std::wstring local = TempPath(L"orvik-bench-put.bin");
    const std::wstring copy = TempPath(L"orvik-bench-copy.bin");
    const std::wstring back = TempPath(L"orvik-bench-get.bin");
    WriteLocalFile(local);

    vphone::PhoneBuilder builder;
    builder.SerialNumber(L"BENCH0003").InstanceId(L"USB\\VID_0FCE&PID_BE0E\\BENCH0003")
        .HardwareIds({L"USB\\VID_0FCE&PID_BE0E"}).Storage(L"Card", 64ull << 30).Folder(L"\\Card\\Video");
    bench::PhoneSession session(builder.Build());
    if (!session.ok()) return 1;
    session.phone().Controls().SetTransferSizes(kChunk, kChunk);
    void *handle = WPD_Initialize(0);
    char id[] = "USB\\VID_0FCE&PID_BE0E";
    if (WPD_ConnectDevice(handle, id, false, 0) != WPD_ERROR_OK) return 1;

    double plain = PlainStreamCopy(local, copy);
    const double memoryBefore = PeakMiB();
    double start = bench::Seconds();
    const WPD_ERROR put = WPD_Media_PutFile(handle, L"\\Card\\Video\\big.mp4", local.c_str(), 0);
    const double putSeconds = bench::Seconds() - start;
    start = bench::Seconds();
    const WPD_ERROR get = WPD_Media_GetFile(handle, L"\\Card\\Video\\big.mp4", back.c_str(), 0);
    const double getSeconds = bench::Seconds() - start;
    const double memoryAfter = PeakMiB();
    // Again once the transfers have filled the page cache with dirty data, which slows every writer.
    const double plainAfter = PlainStreamCopy(local, copy);

    int reports = 0;
    WPD_Monitor_Set(handle, CountReport);
    WPD_Monitor_Start(handle, WPD_EVENT_PROGRESS, &reports);
    start = bench::Seconds();
    WPD_Media_GetFile(handle, L"\\Card\\Video\\big.mp4", back.c_str(), 0);
    const double monitoredSeconds = bench::Seconds() - start;

    const double mib = static_cast<double>(kFileBytes) / (1 << 20);
    std::printf("plain stream copy of 1 GiB, %lu KiB chunks: %.0f MiB/s first, %.0f MiB/s after the transfers "
                "(baseline: the slower)\n", kChunk / 1024, mib / plain, mib / plainAfter);
    plain = std::max(plain, plainAfter);
    std::printf("WPD_Media_PutFile (result %d)                           %7.0f MiB/s  (%.2f x baseline; target >= 0.9)\n",
                static_cast<int>(put), mib / putSeconds, plain / putSeconds);
    std::printf("WPD_Media_GetFile (result %d)                           %7.0f MiB/s  (%.2f x baseline; target >= 0.9)\n",
                static_cast<int>(get), mib / getSeconds, plain / getSeconds);
    std::printf("GetFile with monitoring on: %d reports, %+.1f%% time against unmonitored (target under 1%%)\n",
                reports, (monitoredSeconds / getSeconds - 1) * 100);
    std::printf("peak working set %.0f MiB before the transfers, %.0f MiB after them\n", memoryBefore, memoryAfter);

    WPD_DisconnectDevice(handle);
    WPD_Uninitialize(handle);
    for (const std::wstring &file : {local, copy, back}) DeleteFileW(file.c_str());
    return 0;
}
