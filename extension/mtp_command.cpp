// The five forms of a vendor MTP operation: without data, reading or writing one buffer, reading into
// or writing from a stream.
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "device/cwpd.h"
#include "extension/operation_params.h"
#include "extension/vendor_operations.h"
#include "extension/vendor_transfer.h"
#include "log/log_line.h"
#include "media/stream_copy.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;
using namespace wpd;

namespace {

// The bytes of a buffered read, in one task-memory block that grows as they arrive, up to a ceiling.
class ReceivedBytes {
public:
    explicit ReceivedBytes(ULONG ceiling) : ceiling_(ceiling) {}

    HRESULT Append(const BYTE *bytes, ULONG length) {
        if (length > ceiling_ - size_) return HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);
        if (length > capacity_ - size_) {
            const ULONG capacity = std::max(size_ + length, capacity_ > ceiling_ / 2 ? ceiling_ : capacity_ * 2);
            // The first block is allocated, not reallocated from null: Wine's malloc spy miscounts that.
            BYTE *grown = static_cast<BYTE *>(data_ ? CoTaskMemRealloc(data_.get(), capacity) : CoTaskMemAlloc(capacity));
            if (!grown) return E_OUTOFMEMORY;
            data_.release();
            data_.reset(grown);
            capacity_ = capacity;
        }
        std::memcpy(data_.get() + size_, bytes, length);
        size_ += length;
        return S_OK;
    }
    // To the caller, who frees it: null and 0 when nothing came.
    void HandOver(BYTE **data, ULONG *size) {
        *size = size_;
        *data = size_ ? data_.release() : nullptr;
    }

private:
    win::UniqueCoTaskMem<BYTE> data_;
    ULONG size_ = 0;
    ULONG capacity_ = 0;
    ULONG ceiling_;
};

}  // namespace

HRESULT CWpdMtpext::SendVendorCommand(WORD opCode, IPortableDevicePropVariantCollection **params,
                                      IPortableDevicePropVariantCollection **responseParams) {
    VendorOperation operation(GetDeviceRef()->Get(), opCode, vendorLock_);
    const HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE, params, nullptr);
    return operation.Finish(hr, responseParams);
}

HRESULT CWpdMtpext::SendVendorCommandUInt32(WORD opCode, std::initializer_list<ULONG> values) {
    ComPtr<IPortableDevicePropVariantCollection> params;
    const HRESULT hr = OperationParams(opCode, values, params);
    if (FAILED(hr)) return hr;
    return SendVendorCommand(opCode, params.GetAddressOf(), nullptr);
}

HRESULT CWpdMtpext::OpenVendorChannel(ULONG channel) { return SendVendorCommandUInt32(PTP_OC_OpenSession, {channel}); }

HRESULT CWpdMtpext::CloseVendorChannel(ULONG channel) {
    return SendVendorCommandUInt32(PTP_OC_CloseSession, {channel});
}

HRESULT CWpdMtpext::ReadVendorData(WORD opCode, IPortableDevicePropVariantCollection **params,
                                   IPortableDevicePropVariantCollection **responseParams, BYTE **data, ULONG *size,
                                   bool *refused) {
    *data = nullptr;
    *size = 0;
    VendorOperation operation(GetDeviceRef()->Get(), opCode, vendorLock_);
    if (refused) operation.ExpectRefusal();
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ, params, nullptr);
    ReceivedBytes received(kMaxBufferedRead);
    if (hr == S_OK) {
        hr = operation.ReadPhase([&](const BYTE *bytes, ULONG length) { return received.Append(bytes, length); },
                                 kBufferedReadStep);
    }
    hr = operation.Finish(hr, responseParams);
    if (refused) *refused = operation.Refused();
    if (hr == S_OK) received.HandOver(data, size);
    return hr;
}

HRESULT CWpdMtpext::WriteVendorData(WORD opCode, IPortableDevicePropVariantCollection **params,
                                    IPortableDevicePropVariantCollection **responseParams, const BYTE *data,
                                    ULONG size) {
    VendorOperation operation(GetDeviceRef()->Get(), opCode, vendorLock_);
    const ULONGLONG total = size;
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE, params, &total);
    if (hr == S_OK) hr = operation.WriteData(data, size);
    return operation.Finish(hr, responseParams);
}

HRESULT CWpdMtpext::ReadVendorDataToStream(WORD opCode, IPortableDevicePropVariantCollection **params,
                                           IPortableDevicePropVariantCollection **responseParams, IStream *stream,
                                           ULONGLONG *count, BYTE *header, ULONG headerLength) {
    *count = 0;
    VendorOperation operation(GetDeviceRef()->Get(), opCode, vendorLock_);
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ, params, nullptr);
    ProgressReport progress(*this, operation.AnnouncedTotal());
    ULONGLONG received = 0;
    if (hr == S_OK) {
        hr = operation.ReadPhase([&](const BYTE *bytes, ULONG length) -> HRESULT {
            const ULONG toHeader = std::min(length, headerLength);
            std::copy_n(bytes, toHeader, header);
            header += toHeader;
            headerLength -= toHeader;
            if (length > toHeader) {
                const HRESULT written = stream->Write(bytes + toHeader, length - toHeader, nullptr);
                if (FAILED(written)) return written;
                *count += length - toHeader;
            }
            received += length;
            return progress.Cancelled(received) ? S_FALSE : S_OK;
        });
    }
    return operation.Finish(hr, responseParams);
}

HRESULT CWpdMtpext::WriteVendorDataFromStream(WORD opCode, IPortableDevicePropVariantCollection **params,
                                              IPortableDevicePropVariantCollection **responseParams, IStream *stream,
                                              ULONGLONG total, const BYTE *header, ULONG headerLength) {
    if (headerLength > kVendorChunkBytes) return E_INVALIDARG;
    VendorOperation operation(GetDeviceRef()->Get(), opCode, vendorLock_);
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE, params, &total);
    const std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kVendorChunkBytes]);
    if (hr == S_OK && !chunk) hr = E_OUTOFMEMORY;
    if (hr == S_OK) std::copy_n(header, headerLength, chunk.get());
    ProgressReport progress(*this, total);
    ULONGLONG sent = 0;
    bool cancelled = false;
    while (hr == S_OK && sent < total && !cancelled) {
        // Never more than was announced: the phone counts on the total.
        const ULONG wanted = static_cast<ULONG>(std::min<ULONGLONG>(kVendorChunkBytes - headerLength, total - sent));
        ULONG read = 0;
        hr = stream->Read(chunk.get() + headerLength, wanted, &read);
        if (FAILED(hr)) break;
        hr = S_OK;  // S_FALSE is a stream that ended within this read: its bytes still go
        if (read == 0) break;
        hr = operation.WriteData(chunk.get(), read + headerLength);
        sent += read;
        headerLength = 0;
        cancelled = hr == S_OK && progress.Cancelled(sent);
    }
    if (hr == S_OK && !cancelled && sent < total) {
        char counts[64];  // the log's formatting knows no 64-bit numbers
        snprintf(counts, sizeof counts, "%llu of %llu", sent, total);
        LogLine(1, "Stream ended after %s bytes", counts);
        hr = E_DATA_PHASE_ENDED;
    }
    return operation.Finish(hr, responseParams);
}
