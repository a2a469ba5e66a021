#include "extension/device_time_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {
constexpr int kClockTextBytes = 64;
constexpr int kTwoDigitYearLimit = 100;
constexpr WORD kCentury = 2000;
}  // namespace

bool ParseDeviceTime(const wchar_t *text, FILETIME *time, LONG *zone) {
    char narrow[kClockTextBytes] = {};
    if (!WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, kClockTextBytes, nullptr, nullptr)) return false;

    *zone = 0;
    char *sign = std::strrchr(narrow, '-');
    if (!sign) sign = std::strrchr(narrow, '+');
    if (sign) {
        *zone = std::atol(sign);
        *sign = '\0';
    }

    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::sscanf(narrow, "%d/%d/%d,%d:%d:%d", &year, &month, &day, &hour, &minute, &second);
    if (year >= 0 && year < kTwoDigitYearLimit) year += kCentury;

    SYSTEMTIME calendar = {};
    calendar.wYear = static_cast<WORD>(year);
    calendar.wMonth = static_cast<WORD>(month);
    calendar.wDay = static_cast<WORD>(day);
    calendar.wHour = static_cast<WORD>(hour);
    calendar.wMinute = static_cast<WORD>(minute);
    calendar.wSecond = static_cast<WORD>(second);
    FILETIME parsed;
    if (SystemTimeToFileTime(&calendar, &parsed)) *time = parsed;
    return true;
}

void FormatDeviceTime(wchar_t (&text)[kDeviceTimeTextChars], const FILETIME &time, LONG zone) {
    SYSTEMTIME calendar = {};
    FileTimeToSystemTime(&time, &calendar);
    // A negative zone keeps its own sign after the '+': -4 gives "+-4", which the parser reads back.
    swprintf(text, kDeviceTimeTextChars, L"%d/%02d/%02d,%02d:%02d:%02d+%02d", calendar.wYear, calendar.wMonth,
             calendar.wDay, calendar.wHour, calendar.wMinute, calendar.wSecond, static_cast<int>(zone));
}
