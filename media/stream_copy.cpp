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

namespace {

// Runs the local file's side of a copy on a pool thread while the calling thread makes the phone's
// call, so that the cable never waits for the disk. Phone objects stay in the caller's apartment; the
// local file stream is no phone object and is used by one thread at a time.
class LocalSideWork {
public:
    LocalSideWork() : work_(CreateThreadpoolWork(&Run, this, nullptr)) {}
    LocalSideWork(const LocalSideWork &) = delete;
    LocalSideWork &operator=(const LocalSideWork &) = delete;
    ~LocalSideWork() {
        if (work_) CloseThreadpoolWork(work_);
    }

    // Returns when both are done. Without a pool work item they run one after the other.
    template <class Local, class Phone>
    void Together(Local &local, Phone &&phone) {
        if (!work_) {
            local();
            phone();
            return;
        }
        task_ = [](void *context) { (*static_cast<Local *>(context))(); };
        context_ = &local;
        SubmitThreadpoolWork(work_);
        phone();
        WaitForThreadpoolWorkCallbacks(work_, FALSE);
    }

private:
    static void CALLBACK Run(PTP_CALLBACK_INSTANCE, void *self, PTP_WORK) {
        const LocalSideWork &work = *static_cast<LocalSideWork *>(self);
        work.task_(work.context_);
    }

    PTP_WORK work_;
    void (*task_)(void *) = nullptr;
    void *context_ = nullptr;
};

struct Chunk {
    BYTE *data;
    ULONG bytes = 0;
    HRESULT result = S_OK;
};

}  // namespace

HRESULT CFolderList::StreamCopy(IStream *destination, IStream *source, LocalEnd local, DWORD chunkSize,
                                unsigned long long totalSize, unsigned long long *copiedBytes) {
    DWORD size = CopyChunkSize(chunkSize, totalSize);
    // Two chunks: one being written while the next is read.
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[2 * static_cast<size_t>(size)]);
    // A host short of address space (a 32-bit process after a long run) still gets its copy, in the
    // platform's own transfer size.
    if (!buffer && size > ChunkSizeOr(chunkSize)) {
        size = ChunkSizeOr(chunkSize);
        buffer.reset(new (std::nothrow) BYTE[2 * static_cast<size_t>(size)]);
    }
    if (!buffer) {
        LogLine(1, "failed to allocate data to copy file stream, size = %lu", size);
        return E_OUTOFMEMORY;
    }
    ProgressReport progress(*device_, totalSize);
    LocalSideWork localSide;
    unsigned long long uncounted = 0;
    unsigned long long &copied = copiedBytes ? *copiedBytes : uncounted;
    copied = 0;
    Chunk chunks[2] = {{buffer.get()}, {buffer.get() + size}};
    const auto read = [&](Chunk &chunk) {
        chunk.bytes = 0;
        chunk.result = source->Read(chunk.data, size, &chunk.bytes);
    };
    read(chunks[0]);
    for (unsigned n = 0;; n ^= 1) {
        const Chunk &current = chunks[n];
        if (FAILED(current.result)) {
            LogLine(1, "failed to read stream data, size = %lu, current = %s", size, DecimalText(copied).text);
            return current.result;
        }
        // Only a read of nothing is the end of the data; a short read is not.
        if (current.bytes == 0) return S_OK;
        // This chunk is written while the next is read. The host hears of a chunk once the phone has
        // taken it (uploads) or given it (downloads, while the local file takes it), and the phone is
        // asked for nothing more once the host has cancelled.
        ULONG written = 0;
        HRESULT wrote = S_OK;
        bool cancelled = false;
        auto write = [&] { wrote = destination->Write(current.data, current.bytes, &written); };
        auto readNext = [&] { read(chunks[n ^ 1]); };
        if (local == LocalEnd::Source) {
            localSide.Together(readNext, [&] {
                write();
                cancelled = SUCCEEDED(wrote) && progress.Cancelled(copied + written);
            });
        } else {
            localSide.Together(write, [&] {
                cancelled = progress.Cancelled(copied + current.bytes);
                if (!cancelled) readNext();
            });
        }
        if (FAILED(wrote)) {
            LogLine(1, "failed to write stream data, size = %lu, current = %s", current.bytes, DecimalText(copied).text);
            return wrote;
        }
        copied += written;
        if (cancelled) return S_FALSE;
    }
}
