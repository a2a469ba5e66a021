#include "media/stream_copy.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <new>

#include "device/cwpd.h"
#include "log/log_line.h"
#include "media/folder_list.h"

DecimalText::DecimalText(unsigned long long value) { *std::to_chars(text, text + sizeof text - 1, value).ptr = '\0'; }

unsigned long ProgressPercent(unsigned long long moved, unsigned long long total) {
    if (total == 0) return moved ? 100 : 0;
    if (moved >= total) return 100;
    // floor(100 * moved / total) by binary long division over the bits of 100: the remainder stays
    // below total, and nothing is doubled before checking that it fits.
    constexpr unsigned kHundred = 100;
    unsigned long quotient = 0;
    unsigned long long remainder = 0;
    for (int bit = 6; bit >= 0; --bit) {
        quotient *= 2;
        if (remainder >= total - remainder) {
            remainder -= total - remainder;
            ++quotient;
        } else {
            remainder *= 2;
        }
        if (kHundred & (1u << bit)) {
            if (remainder >= total - moved) {
                remainder -= total - moved;
                ++quotient;
            } else {
                remainder += moved;
            }
        }
    }
    return quotient;
}

DWORD CopyChunkSize(DWORD optimal, unsigned long long total) {
    const unsigned long long unit = ChunkSizeOr(optimal);
    const unsigned long long wanted = total ? std::min<unsigned long long>(kCableFillingChunkBytes, total / kProgressSteps)
                                            : kCableFillingChunkBytes;
    // Below 2 * kCableFillingChunkBytes, or the unit itself: it fits.
    return static_cast<DWORD>(unit * std::max<unsigned long long>(1, (wanted + unit - 1) / unit));
}

ProgressReport::ProgressReport(CWpd &device, unsigned long long totalSize) : device_(device) {
    record_.cbSize = sizeof record_;
    record_.totalSize = totalSize;
}

bool ProgressReport::Cancelled(unsigned long long moved) {
    // A handle the host has let go of stops its transfers: nobody waits for them any more.
    if (device_.Use().HostLetGo()) return true;
    const WPD_MONITOR_CALLBACK callback = device_.GetMonitorCallback();
    if (!callback || !device_.IsMonitorEnabled()) return false;
    record_.percent = ProgressPercent(moved, record_.totalSize);
    callback(WPD_EVENT_PROGRESS, &record_, device_.GetMonitorContext());
    return record_.cancel != 0;
}

HRESULT CFolderList::StreamCopy(IStream *destination, IStream *source, DWORD chunkSize,
                                unsigned long long totalSize, unsigned long long *copiedBytes) {
    const DWORD size = CopyChunkSize(chunkSize, totalSize);
    const std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
    if (!buffer) {
        LogLine(1, "failed to allocate data to copy file stream, size = %lu", size);
        return E_OUTOFMEMORY;
    }
    ProgressReport progress(*device_, totalSize);
    unsigned long long uncounted = 0;
    unsigned long long &copied = copiedBytes ? *copiedBytes : uncounted;
    copied = 0;
    for (;;) {
        ULONG read = 0;
        HRESULT hr = source->Read(buffer.get(), size, &read);
        if (FAILED(hr)) {
            LogLine(1, "failed to read stream data, size = %lu, current = %s", size, DecimalText(copied).text);
            return hr;
        }
        // Only a read of nothing is the end of the data; a short read is not.
        if (read == 0) return S_OK;
        ULONG written = 0;
        hr = destination->Write(buffer.get(), read, &written);
        if (FAILED(hr)) {
            LogLine(1, "failed to write stream data, size = %lu, current = %s", read, DecimalText(copied).text);
            return hr;
        }
        copied += written;
        if (progress.Cancelled(copied)) return S_FALSE;
    }
}
