// Cost of one worker call that does nothing on the device, against the bare thread it needs.
#include <windows.h>

#include <cstdio>

#include "bench/bench_timer.h"
#include "orvik.h"

namespace {

DWORD WINAPI EmptyRoutine(void *) { return 0; }

void BareThread() {
    HANDLE thread = CreateThread(nullptr, 0, EmptyRoutine, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace

int main() {
    constexpr int kRounds = 5, kCalls = 400;
    void *handle = WPD_Initialize(0);
    WPD_DEVICE_TIME time = {sizeof time, {}, 0, 0};

    const double bare = bench::NanosecondsPerCall(kRounds, kCalls, BareThread);
    const double frame = bench::NanosecondsPerCall(kRounds, kCalls, [&] { WPD_GetDeviceTime(handle, &time); });
    bench::Report("CreateThread + wait of an empty routine", bare / 1000, "us", bare);
    bench::Report("WPD_GetDeviceTime on a base handle", frame / 1000, "us", bare);
    std::printf("frame overhead over the bare thread: %.1f%% (target: at most 25%%)\n", (frame / bare - 1) * 100);
    WPD_Uninitialize(handle);
    return 0;
}
