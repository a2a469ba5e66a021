// The "TMonitor" window: each WM_COPYDATA line it receives is printed with the local time to the
// console and added to its list box. Hidden windows work too (Wine's null display driver).
#pragma once

#include <windows.h>

#include <string>

#include "win/unique_any.h"

inline constexpr wchar_t kViewerTitle[] = L"TMonitor";

class ViewerWindow {
public:
    // false when the window could not be made; *error tells the system error.
    bool Create(bool visible, DWORD *error);
    HWND window() const { return window_.get(); }

    // "12:34:56.789  ": what precedes each received line.
    static std::string Stamp(const SYSTEMTIME &localTime);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void Receive(const COPYDATASTRUCT &data);

    win::UniqueWindow window_;
    HWND list_ = nullptr;
};
