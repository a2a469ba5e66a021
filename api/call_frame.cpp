#include "api/call_frame.h"

#include "win/unique_any.h"

void RunOnWorker(LPTHREAD_START_ROUTINE routine, void *record) {
    win::UniqueHandle thread(CreateThread(nullptr, 0, routine, record, 0, nullptr));
    if (!thread) return;
    const HANDLE waitFor = thread.get();
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return;
        if (woken == WAIT_FAILED) {
            // Without a usable message wait, still never return before the worker has ended.
            WaitForSingleObject(waitFor, INFINITE);
            return;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
