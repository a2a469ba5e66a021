#include "log/log_line.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "win/unique_any.h"

namespace {

constexpr wchar_t kViewerTitle[] = L"TMonitor";
constexpr DWORD kLookupGraceMs = 1000;
constexpr int kHighestSentLevel = 5;
constexpr size_t kTagBytes = 16;
constexpr size_t kMessageChars = 1024;
constexpr size_t kLineBytes = 1064;

// Process-wide state. The off switch is read without the lock so that a process without a viewer pays
// one flag test per line; everything else is changed under the lock, so concurrent first calls agree.
std::atomic<bool> logDisabled{false};
SRWLOCK stateLock = SRWLOCK_INIT;
HWND viewerWindow = nullptr;
DWORD lastLookupTick = 0;
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
    viewer = viewerWindow;
    std::memcpy(tag, buildDateTag, kTagBytes);
    return true;
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

    COPYDATASTRUCT record = {};
    record.dwData = 0;
    record.cbData = static_cast<DWORD>(std::strlen(line) + 1);
    record.lpData = line;
    SendMessageW(viewer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
}
