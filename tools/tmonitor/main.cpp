// tmonitor: the log viewer. Opens a top-level window titled "TMonitor", prints every line that
// arrives by WM_COPYDATA with the local time, until the window is closed or Ctrl+C.
//   tmonitor [--hidden]   run the viewer (--hidden: keep the window off the screen)
//   tmonitor --close      close a running viewer
#include <windows.h>

#include <cstdio>
#include <string>

#include "viewer_window.h"

namespace {

HWND viewerWindow = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) noexcept {
    if (viewerWindow) PostMessageW(viewerWindow, WM_CLOSE, 0, 0);
    return TRUE;
}

int CloseRunningViewer() {
    HWND running = FindWindowW(nullptr, kViewerTitle);
    if (!running) {
        std::fputs("tmonitor: no viewer is running\n", stderr);
        return 1;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    const HANDLE viewer = OpenProcess(SYNCHRONIZE, FALSE, process);
    PostMessageW(running, WM_CLOSE, 0, 0);
    if (viewer) {
        WaitForSingleObject(viewer, 5000);
        CloseHandle(viewer);
    }
    return 0;
}

int RunViewer(bool visible) {
    if (FindWindowW(nullptr, kViewerTitle)) {
        std::fputs("tmonitor: a viewer is already running\n", stderr);
        return 1;
    }
    ViewerWindow viewer;
    DWORD error = 0;
    if (!viewer.Create(visible, &error)) {
        std::fprintf(stderr, "tmonitor: cannot create the window (error %lu)\n", error);
        return 1;
    }
    viewerWindow = viewer.window();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    std::puts("tmonitor: listening as window \"TMonitor\"");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    viewerWindow = nullptr;
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    const std::wstring option = argc > 1 ? argv[1] : L"";
    if (argc > 2 || (!option.empty() && option != L"--close" && option != L"--hidden")) {
        std::fputs("usage: tmonitor [--hidden] | tmonitor --close\n", stderr);
        return 2;
    }
    try {
        return option == L"--close" ? CloseRunningViewer() : RunViewer(option != L"--hidden");
    } catch (...) {
        std::fputs("tmonitor: out of memory\n", stderr);
        return 1;
    }
}
