#include "support/log_collector.h"

namespace orvik_test {

namespace {
constexpr wchar_t kClassName[] = L"OrvikTestLogCollector";
}

LogCollector::LogCollector() {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] { Run(ready); });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

LogCollector::~LogCollector() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

void LogCollector::Run(HANDLE ready) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &LogCollector::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);  // fails harmlessly when a second collector registers again
    window_ = CreateWindowExW(0, kClassName, L"TMonitor", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    threadId_ = GetCurrentThreadId();
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread has a queue before anyone posts
    SetEvent(ready);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    DestroyWindow(window_);
}

LRESULT CALLBACK LogCollector::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *create = reinterpret_cast<CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message == WM_COPYDATA) {
        auto *self = reinterpret_cast<LogCollector *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto *record = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        if (self && record && record->lpData && record->cbData > 0) {
            const char *data = static_cast<const char *>(record->lpData);
            std::lock_guard lock(self->mutex_);
            self->lines_.emplace_back(data, record->cbData - 1);
            if (data[record->cbData - 1] != '\0' || record->dwData != 0) self->allCountedNul_ = false;
        }
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<std::string> LogCollector::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<std::string> LogCollector::Messages() const {
    std::vector<std::string> messages;
    for (const std::string &line : Lines()) {
        const size_t end = line.find("> ");
        messages.push_back(end == std::string::npos ? line : line.substr(end + 2));
    }
    return messages;
}

void LogCollector::Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

bool LogCollector::AllRecordsCountedTheirNul() const {
    std::lock_guard lock(mutex_);
    return allCountedNul_;
}

}  // namespace orvik_test
