#include "support/sta_host.h"

#include <objbase.h>

#include <memory>

namespace orvik_test {

namespace {

constexpr wchar_t kClassName[] = L"OrvikTestStaHost";
constexpr UINT kRunWork = WM_APP + 1;

}  // namespace

StaHost::StaHost() {
    loopEnded_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] { Loop(ready); });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

StaHost::~StaHost() {
    if (!LoopEnded()) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(loopEnded_);
}

void StaHost::Loop(HANDLE ready) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &StaHost::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);  // fails harmlessly for a second host
    window_ = CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    threadId_ = GetCurrentThreadId();
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(ready);
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    exitCode_ = got == 0 ? static_cast<int>(message.wParam) : -1;
    SetEvent(loopEnded_);
    // Work still queued never runs; its owner learns so from Run.
    while (PeekMessageW(&message, window_, kRunWork, kRunWork, PM_REMOVE)) {
        delete reinterpret_cast<std::function<void()> *>(message.lParam);
    }
    DestroyWindow(window_);
    if (SUCCEEDED(com)) CoUninitialize();
}

LRESULT CALLBACK StaHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunWork) {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()> *>(lParam));
        (*work)();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void StaHost::Post(std::function<void()> work) {
    auto *posted = new std::function<void()>(std::move(work));
    if (!PostMessageW(window_, kRunWork, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

bool StaHost::Run(const std::function<void()> &work) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Post([&work, done] {
        work();
        SetEvent(done);
    });
    const HANDLE waits[] = {done, loopEnded_};
    const bool ran = WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 ||
                     WaitForSingleObject(done, 0) == WAIT_OBJECT_0;
    CloseHandle(done);
    return ran;
}

bool StaHost::LoopEnded() const { return WaitForSingleObject(loopEnded_, 0) == WAIT_OBJECT_0; }

bool MultithreadedApartmentExists() {
    bool exists = false;
    std::thread([&] {
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        exists = SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MTA;
    }).join();
    return exists;
}

}  // namespace orvik_test
