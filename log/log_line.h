// The diagnostic log: one line per call, sent as WM_COPYDATA to a window titled "TMonitor". A viewer
// that does not take a line within a short time-out loses it, and the lines of a while after it: the
// log never holds a call.
#pragma once

// level 0..5 is sent, above is dropped; format follows wvsprintfA (%s narrow, %S wide, %08x, ...).
void LogLine(int level, const char *format, ...) __attribute__((format(ms_printf, 2, 3)));
