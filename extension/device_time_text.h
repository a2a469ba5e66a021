// The phone's clock text, "yyyy/mm/dd,hh:mm:ss+zz", to and from a FILETIME without zone conversion.
#pragma once

#include <windows.h>

// Longest text FormatDeviceTime produces, terminator included.
constexpr size_t kDeviceTimeTextChars = 40;

// Reads the zone from the last '-' (or else the last '+') and the calendar fields before it; a two-digit
// year means 20yy. A date that is no calendar date leaves time as it was. False, with nothing written,
// when the text is too long to be a clock text.
bool ParseDeviceTime(const wchar_t *text, FILETIME *time, LONG *zone);

void FormatDeviceTime(wchar_t (&text)[kDeviceTimeTextChars], const FILETIME &time, LONG zone);
