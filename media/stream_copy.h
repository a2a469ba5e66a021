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

// Every call to the phone costs a round trip besides its bytes: 1 ms on USB 2 at 35 MB/s, 0.5 ms on
// USB 3 at 100 MB/s. Chunks of 8 MiB keep that near half a percent of a copy on either (0.4% and
// 0.6%), leaving room under 2% for what else each call costs, where the platform's optimal transfer
// size (often 256 KiB) would cost 11% and 19%. Two such chunks are in memory during a copy.
inline constexpr DWORD kCableFillingChunkBytes = 8 << 20;
// A copy smaller than ten such chunks is still copied in ten, so that its progress moves in steps.
inline constexpr unsigned kProgressSteps = 10;

// The chunk of a copy of total bytes (0: not known): the platform's optimal transfer size, or the
// smallest whole multiple of it that reaches kCableFillingChunkBytes, or a tenth of the copy where
// that is less.
DWORD CopyChunkSize(DWORD optimal, unsigned long long total);

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
