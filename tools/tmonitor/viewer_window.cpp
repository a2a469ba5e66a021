#include "viewer_window.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr wchar_t kClassName[] = L"OrvikTMonitorWindow";
constexpr int kListId = 1;

std::wstring FromAnsi(const char *text, std::size_t length) {
    const int chars = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(chars > 0 ? chars : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide.data(), chars);
    return wide;
}

std::string ToUtf8(const std::wstring &text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                          nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

}  // namespace

bool ViewerWindow::Create(bool visible, DWORD *error) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) {
        *error = GetLastError();
        return false;
    }
    window_.reset(CreateWindowExW(0, kClassName, kViewerTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 720,
                                  400, nullptr, nullptr, windowClass.hInstance, this));
    if (!window_) {
        *error = GetLastError();
        return false;
    }
    RECT client = {};
    GetClientRect(window_.get(), &client);
    list_ = CreateWindowExW(0, L"LISTBOX", nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0,
                            client.right, client.bottom, window_.get(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), windowClass.hInstance, nullptr);
    if (visible) ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    return true;
}

std::string ViewerWindow::Stamp(const SYSTEMTIME &localTime) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u.%03u  ", localTime.wHour, localTime.wMinute,
                  localTime.wSecond, localTime.wMilliseconds);
    return stamp;
}

void ViewerWindow::Receive(const COPYDATASTRUCT &data) {
    const char *bytes = static_cast<const char *>(data.lpData);
    // The line's NUL is counted in cbData; anything after a NUL is not part of the line.
    const std::size_t length = bytes ? strnlen(bytes, data.cbData) : 0;
    const std::wstring line = FromAnsi(bytes, length);
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const std::string stamp = Stamp(now);
    const std::string shown = stamp + ToUtf8(line) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fflush(stdout);
    if (list_) {
        const std::wstring entry = FromAnsi(stamp.data(), stamp.size()) + line;
        const LRESULT index = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        if (index >= 0) SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    }
}

LRESULT CALLBACK ViewerWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *self = reinterpret_cast<ViewerWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_COPYDATA:
        if (self && lParam) {
            try {
                self->Receive(*reinterpret_cast<const COPYDATASTRUCT *>(lParam));
            } catch (...) {
                return FALSE;  // out of memory: the line is lost, the viewer goes on
            }
        }
        return TRUE;
    case WM_SIZE:
        if (self && self->list_) MoveWindow(self->list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_DESTROY:
        if (self) self->window_.release();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
