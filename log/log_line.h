// The diagnostic log: one line per call, sent as WM_COPYDATA to a window titled "TMonitor".
#pragma once

// level 0..5 is sent, above is dropped; format follows wvsprintfA (%s narrow, %S wide, %08x, ...).
void LogLine(int level, const char *format, ...) __attribute__((format(ms_printf, 2, 3)));
