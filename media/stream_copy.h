// Chunked copies with progress reports to the host's monitor callback.
#pragma once

#include <windows.h>

#include "orvik.h"

class CWpd;

// A byte count as text for the log, which formats like wsprintf and has no 64-bit conversion.
struct DecimalText {
    explicit DecimalText(unsigned long long value);
    char text[24];
};

// Chunk size when the platform gives no optimal transfer size.
inline constexpr DWORD kFallbackChunkBytes = 256 * 1024;

inline DWORD ChunkSizeOr(DWORD optimal) { return optimal ? optimal : kFallbackChunkBytes; }

// moved * 100 / total, rounded down, without overflow for any sizes and never above 100 (a source that
// delivers more than it announced shows as complete). A total of 0 gives 100 once anything moved, and
// 0 before.
unsigned long ProgressPercent(unsigned long long moved, unsigned long long total);

// One TransferProgress record for the whole of one transfer. The monitor switch and callback are
// asked again after every chunk, so a host that starts or stops monitoring is heard from the next one.
class ProgressReport {
public:
    ProgressReport(CWpd &device, unsigned long long totalSize);
    ProgressReport(const ProgressReport &) = delete;
    ProgressReport &operator=(const ProgressReport &) = delete;

    // After a chunk, with the bytes moved so far: true when the host asked to stop.
    bool Cancelled(unsigned long long moved);

private:
    CWpd &device_;
    TransferProgress record_ = {};
};
