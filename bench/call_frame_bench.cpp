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
    constexpr int kRounds = 9, kCalls = 200;
    void *handle = WPD_Initialize(0);
    WPD_DEVICE_TIME time = {sizeof time, {}, 0, 0};

    const bench::Comparison cost =
        bench::Compare(kRounds, kCalls, BareThread, [&] { WPD_GetDeviceTime(handle, &time); });
    bench::Report("CreateThread + wait of an empty routine", cost.baseline, cost.baseline);
    bench::Report("WPD_GetDeviceTime on a base handle", cost.measured, cost.baseline);
    std::printf("frame overhead over the bare thread: %.1f%% (target: at most 25%%)\n",
                (cost.measured / cost.baseline - 1) * 100);
    WPD_Uninitialize(handle);
    return 0;
}
