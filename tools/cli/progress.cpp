#include "progress.h"

#include <atomic>
#include <cstdio>

#include "text.h"

namespace {

std::atomic<bool> cancelRequested{false};

BOOL WINAPI OnConsoleControl(DWORD event) noexcept {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    RequestCancel();
    return TRUE;
}

std::string Duration(std::uint64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

}  // namespace

void RequestCancel() { cancelRequested = true; }

std::string ProgressLine(std::uint64_t totalBytes, unsigned percent, std::uint64_t elapsedMs, bool exactSizes) {
    constexpr unsigned kWidth = 24;
    const unsigned shown = percent > 100 ? 100 : percent;
    const std::uint64_t moved = totalBytes / 100 * shown + totalBytes % 100 * shown / 100;
    char bar[kWidth + 1] = {};
    for (unsigned i = 0; i < kWidth; ++i) bar[i] = i < shown * kWidth / 100 ? '#' : '-';
    char head[64];
    std::snprintf(head, sizeof head, "\r%3u%% [%s] ", shown, bar);
    std::string line = head;
    line += SizeText(moved, exactSizes);
    line += " / ";
    line += SizeText(totalBytes, exactSizes);
    if (elapsedMs > 0 && moved > 0) {
        const std::uint64_t perSecond = moved * 1000 / elapsedMs;
        line += "  ";
        line += SizeText(perSecond, exactSizes);
        line += "/s";
        if (perSecond > 0) {
            line += "  ";
            line += Duration((totalBytes - moved) / perSecond);
            line += " left";
        }
    }
    line += "   ";
    return line;
}

TransferMonitor::TransferMonitor(OrvikLibrary &orvik, void *handle, Output &out, bool exactSizes)
    : orvik_(orvik), handle_(handle), out_(out), exactSizes_(exactSizes) {
    cancelRequested = false;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    orvik_.WPD_Monitor_Set(handle_, OnEvent);
    orvik_.WPD_Monitor_Start(handle_, WPD_EVENT_PROGRESS, this);
}

TransferMonitor::~TransferMonitor() {
    orvik_.WPD_Monitor_Stop(handle_, WPD_EVENT_PROGRESS);
    orvik_.WPD_Monitor_Set(handle_, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    if (drawn_) out_.Write("\n");
}

bool TransferMonitor::CancelRequested() const { return cancelRequested; }

int __cdecl TransferMonitor::OnEvent(WPD_MONITORED_EVENT event, void *data, void *context) noexcept {
    if (event != WPD_EVENT_PROGRESS || !data || !context) return 0;
    auto &progress = *static_cast<TransferProgress *>(data);
    auto &monitor = *static_cast<TransferMonitor *>(context);
    ++monitor.reports_;
    try {
        monitor.Show(progress);
    } catch (...) {
        // Drawing is best effort: a report that cannot be shown is skipped.
    }
    if (cancelRequested) progress.cancel = 1;
    return 0;
}

void TransferMonitor::Show(const TransferProgress &progress) {
    if (!out_.IsTerminal()) return;
    out_.Write(ProgressLine(progress.totalSize, progress.percent, GetTickCount64() - started_, exactSizes_));
    drawn_ = true;
}
