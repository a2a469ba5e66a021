#include "api/call_frame.h"

#include "win/unique_any.h"

bool RunOnWorker(LPTHREAD_START_ROUTINE routine, void *record) {
    win::UniqueHandle thread(CreateThread(nullptr, 0, routine, record, 0, nullptr));
    if (!thread) return false;
    const HANDLE waitFor = thread.get();
    bool quit = false;
    WPARAM exitCode = 0;
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) break;
        if (woken == WAIT_FAILED) {
            // Without a usable message wait, still never return before the worker has ended.
            WaitForSingleObject(waitFor, INFINITE);
            break;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The host's own loop must see it, after the call.
                quit = true;
                exitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(exitCode));
    return true;
}

namespace {

DWORD WINAPI DestroyRoutine(void *device) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    delete static_cast<CWpd *>(device);
    CoUninitialize();
    return 0;
}

}  // namespace

void DestroyDevice(CWpd *device) {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    if (SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MTA) {
        delete device;
        return;
    }
    // Leaking the device would keep the phone open; releasing it here is the last resort.
    if (!RunOnWorker(&DestroyRoutine, device)) delete device;
}

const CWpd *&WorkerDevice() {
    thread_local const CWpd *device = nullptr;
    return device;
}
