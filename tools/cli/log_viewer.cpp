#include "log_viewer.h"

#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kViewerTitle[] = L"TMonitor";
constexpr DWORD kStartWaitMs = 10000;
constexpr DWORD kStopWaitMs = 5000;

std::wstring ViewerBesideThisProgram() {
    wchar_t path[MAX_PATH] = {};
    const std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.find_last_of(L"\\/") + 1) + L"tmonitor.exe";
}

}  // namespace

LogViewer::LogViewer(Output &out) {
    if (FindWindowW(nullptr, kViewerTitle)) return;  // the library will find the one running
    std::wstring commandLine = L"\"" + ViewerBesideThisProgram() + L"\"";
    commandLine += L" --hidden";
    // The viewer prints to this command's own output.
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
        out.PrintError("orvik-cli: cannot start tmonitor.exe (error %lu); going on without the log\n", GetLastError());
        return;
    }
    CloseHandle(started.hThread);
    process_.reset(started.hProcess);
    // The library looks for the window at its first line only: wait until the window exists.
    const ULONGLONG deadline = GetTickCount64() + kStartWaitMs;
    while (!FindWindowW(nullptr, kViewerTitle) && GetTickCount64() < deadline &&
           WaitForSingleObject(process_.get(), 20) == WAIT_TIMEOUT) {
    }
    if (!FindWindowW(nullptr, kViewerTitle)) out.PrintError("orvik-cli: tmonitor.exe did not open its window\n");
}

LogViewer::~LogViewer() {
    if (!process_) return;
    if (HWND viewer = FindWindowW(nullptr, kViewerTitle)) PostMessageW(viewer, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.get(), kStopWaitMs) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
}
