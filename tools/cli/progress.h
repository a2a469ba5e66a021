// Progress of a transfer: the library's monitor callback drawn as a bar with bytes, speed and time
// left (only on a terminal), and Ctrl+C turned into the callback's cancel request.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "orvik_library.h"
#include "output.h"

// What one progress report shows; pure, so that the bar can be checked on its own.
std::string ProgressLine(std::uint64_t totalBytes, unsigned percent, std::uint64_t elapsedMs, bool exactSizes);

// Watches the transfers made on a handle while it lives.
class TransferMonitor {
public:
    TransferMonitor(OrvikLibrary &orvik, void *handle, Output &out, bool exactSizes);
    ~TransferMonitor();
    TransferMonitor(const TransferMonitor &) = delete;
    TransferMonitor &operator=(const TransferMonitor &) = delete;

    // True once the user asked to stop (Ctrl+C, or RequestCancel).
    bool CancelRequested() const;
    unsigned Reports() const { return reports_; }

private:
    static int __cdecl OnEvent(WPD_MONITORED_EVENT event, void *data, void *context) noexcept;
    void Show(const TransferProgress &progress);

    OrvikLibrary &orvik_;
    void *handle_;
    Output &out_;
    bool exactSizes_;
    ULONGLONG started_ = GetTickCount64();
    unsigned reports_ = 0;
    bool drawn_ = false;
};

// What Ctrl+C does: the next progress report of every running transfer asks the library to stop.
void RequestCancel();
