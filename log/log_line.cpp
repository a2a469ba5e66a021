#include "log/log_line.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "win/unique_any.h"

namespace {

constexpr wchar_t kViewerTitle[] = L"TMonitor";
constexpr DWORD kLookupGraceMs = 1000;
constexpr int kHighestSentLevel = 5;
constexpr size_t kTagBytes = 16;
constexpr size_t kMessageChars = 1024;
constexpr size_t kLineBytes = 1064;
// A viewer that takes longer than this for one line is hung or suspended: the line is dropped, and
// nothing more is sent to that window for a while, so that a call that logs many lines pays one
// time-out per pause and not one per line.
constexpr UINT kSendTimeoutMs = 250;
constexpr DWORD kPauseAfterTimeoutMs = 10000;

// Process-wide state. The off switch is read without the lock so that a process without a viewer pays
// one flag test per line; everything else is changed under the lock, so concurrent first calls agree.
std::atomic<bool> logDisabled{false};
SRWLOCK stateLock = SRWLOCK_INIT;
HWND viewerWindow = nullptr;
DWORD lastLookupTick = 0;
HWND pausedWindow = nullptr;  // the viewer that timed out, until pauseEndTick
DWORD pauseEndTick = 0;
char buildDateTag[kTagBytes] = {};

// The host executable's last-write date (UTC), in the user's short-date format; empty on failure.
void ComputeBuildDateTag() {
    char exePath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exePath, MAX_PATH);
    win::UniqueFileHandle file(
        CreateFileA(exePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return;
    FILETIME written = {};
    SYSTEMTIME date = {};
    if (!GetFileTime(file.get(), nullptr, nullptr, &written) || !FileTimeToSystemTime(&written, &date)) return;
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE | DATE_SHORTDATE, &date, nullptr, buildDateTag,
                        kTagBytes)) {
        buildDateTag[0] = '\0';
    }
}

// Finds the viewer for this line and copies the tag; false when the log is (now) off for good.
bool PrepareToSend(HWND &viewer, char (&tag)[kTagBytes]) {
    AcquireSRWLockExclusive(&stateLock);
    win::ScopeExit unlock([] { ReleaseSRWLockExclusive(&stateLock); });
    if (logDisabled.load(std::memory_order_relaxed)) return false;

    if (!IsWindow(viewerWindow)) {
        const bool lookedUpBefore = lastLookupTick != 0;
        if (!lookedUpBefore || GetTickCount() > lastLookupTick + kLookupGraceMs) {
            viewerWindow = FindWindowW(nullptr, kViewerTitle);
            lastLookupTick = GetTickCount();
        }
    }
    if (buildDateTag[0] == '\0') ComputeBuildDateTag();
    if (!viewerWindow) {
        logDisabled.store(true, std::memory_order_release);
        return false;
    }
    if (viewerWindow == pausedWindow && static_cast<int>(pauseEndTick - GetTickCount()) > 0) return false;
    viewer = viewerWindow;
    std::memcpy(tag, buildDateTag, kTagBytes);
    return true;
}

// Sends a line and never waits long for it. A message that timed out is still delivered when the
// viewer wakes up; in a viewer of this process it then reads the line in place, so the line and its
// record are left to it rather than freed (one small block per pause).
void SendLine(HWND viewer, const char *text) {
    struct Message {
        COPYDATASTRUCT record;
        char line[kLineBytes];
    };
    auto *message = new (std::nothrow) Message{};
    if (!message) return;
    std::memcpy(message->line, text, std::strlen(text) + 1);
    message->record.dwData = 0;
    message->record.cbData = static_cast<DWORD>(std::strlen(message->line) + 1);
    message->record.lpData = message->line;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(viewer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message->record),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs, &answer) ||
        GetLastError() != ERROR_TIMEOUT) {
        delete message;
        return;
    }
    AcquireSRWLockExclusive(&stateLock);
    pausedWindow = viewer;
    pauseEndTick = GetTickCount() + kPauseAfterTimeoutMs;
    ReleaseSRWLockExclusive(&stateLock);
}

}  // namespace

void LogLine(int level, const char *format, ...) {
    if (logDisabled.load(std::memory_order_acquire) || level > kHighestSentLevel) return;

    HWND viewer = nullptr;
    char tag[kTagBytes] = {};
    if (!PrepareToSend(viewer, tag)) return;

    char message[kMessageChars + 1] = {};
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(message, format, arguments);
    va_end(arguments);

    char line[kLineBytes] = {};
    sprintf_s(line, sizeof line, "<Orvik-%s> %s", tag, message);

    SendLine(viewer, line);
}
