// The steps of one vendor MTP operation over IPortableDevice::SendCommand, as the platform's MTP driver
// takes them: the command that starts it (without data, or with data to read or to write), the read or
// write steps of its data phase, and the end of that phase, which carries the phone's response.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <mutex>

#include "device/wpd_api.h"
#include "win/unique_any.h"

// Stands for a data phase that stopped before its announced end: the phone's, or the host stream's.
inline constexpr HRESULT E_DATA_PHASE_ENDED = HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
// A read step or an announcement the phone got wrong.
inline constexpr HRESULT E_MALFORMED_ANSWER = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

class VendorOperation {
public:
    // The announced size of a read that the phone cannot tell in advance: read until a short chunk.
    static constexpr ULONGLONG kUnknownDataSize = 0xFFFFFFFF;
    // Read chunk when the phone gives no transfer size, and the largest one asked for whatever it gives.
    static constexpr ULONG kDefaultReadChunk = 8192;
    static constexpr ULONG kMaxReadChunk = 1 << 20;

    // Holds deviceLock, the device's one-operation-at-a-time lock, until the operation is finished.
    VendorOperation(IPortableDevice *device, WORD opCode, std::mutex &deviceLock);

    // For an operation the caller has another way for: its refusal, by the platform (a failing first
    // command) or by the phone (a response code other than OK), is not logged. Refused() tells.
    void ExpectRefusal() { refusalExpected_ = true; }
    bool Refused() const { return refused_; }

    // The first step: command 12, 13 or 14 with the operation code and parameters (params may point at
    // null), and the size to write for command 14.
    HRESULT Start(const PROPERTYKEY &command, IPortableDevicePropVariantCollection **params,
                  const ULONGLONG *totalToWrite);
    // What a read's start announced (kUnknownDataSize when the phone does not know); 0 before.
    ULONGLONG AnnouncedTotal() const { return announced_; }

    // The data phase of a read, chunk by chunk, each piece of bytes handed to take(bytes, length):
    // S_OK goes on, S_FALSE stops early (the host cancelled), a failure ends the read. The phone's
    // announcement is not trusted beyond reading: a piece never exceeds what was asked for. A chunk is
    // the phone's transfer size, or minimumChunk where that is larger.
    template <class Take>
    HRESULT ReadPhase(Take &&take, ULONG minimumChunk = 0);

    // One write step; nothing is sent for 0 bytes, which the platform's value set cannot carry.
    HRESULT WriteData(const BYTE *data, ULONG size);

    // The end of the operation. A data phase once begun is always ended (command 17), whatever happened
    // in it, so that the phone is free for the next operation; the first failure is the result. The
    // response code is checked, and any failure logged with the operation code.
    HRESULT Finish(HRESULT status, IPortableDevicePropVariantCollection **responseParams);

private:
    // Command 15: asks for size bytes into request; data holds what arrived, received how many of them.
    HRESULT ReadData(BYTE *request, ULONG size, win::UniqueCoTaskMem<BYTE> &data, ULONG &received);
    HRESULT Command(const PROPERTYKEY &command);
    HRESULT ContextCommand(const PROPERTYKEY &command);
    HRESULT Send();
    HRESULT CheckResponse(IPortableDevicePropVariantCollection **responseParams);
    // What a read's start announced: its size, and the chunk to read it in.
    HRESULT ReadAnnouncement();

    std::lock_guard<std::mutex> lock_;
    IPortableDevice *device_;
    WORD opCode_;
    Microsoft::WRL::ComPtr<IPortableDeviceValues> record_;
    Microsoft::WRL::ComPtr<IPortableDeviceValues> result_;
    win::UniqueCoTaskMemString context_;  // set once a data phase has begun
    ULONGLONG announced_ = 0;
    ULONG readChunk_ = kDefaultReadChunk;
    ULONG step_ = 0;  // the data phase's command that record_ holds, with the context
    bool started_ = false;  // the first command went through
    bool refusalExpected_ = false;
    bool refused_ = false;
};

template <class Take>
HRESULT VendorOperation::ReadPhase(Take &&take, ULONG minimumChunk) {
    const bool unknown = announced_ == kUnknownDataSize;
    if (announced_ == 0) return S_OK;
    // Never more than the phone announced, when it knows: an announcement costs no allocation beyond it.
    ULONG chunk = std::max(readChunk_, std::min(minimumChunk, kMaxReadChunk));
    if (!unknown) chunk = static_cast<ULONG>(std::min<ULONGLONG>(chunk, announced_));
    win::UniqueCoTaskMem<BYTE> request(static_cast<BYTE *>(CoTaskMemAlloc(chunk)));
    if (!request) return E_OUTOFMEMORY;
    for (ULONGLONG received = 0; unknown || received < announced_;) {
        const ULONG wanted = unknown ? chunk : static_cast<ULONG>(std::min<ULONGLONG>(chunk, announced_ - received));
        win::UniqueCoTaskMem<BYTE> data;
        ULONG length = 0;
        HRESULT hr = ReadData(request.get(), wanted, data, length);
        if (FAILED(hr)) return hr;
        received += length;
        if (length > 0) {
            hr = take(data.get(), length);
            if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
        }
        // A short chunk ends a read of unknown size; one step may bring less than asked, but none at all
        // before the announced end means the phone has stopped sending.
        if (length < wanted && unknown) return S_OK;
        if (length == 0) return E_DATA_PHASE_ENDED;
    }
    return S_OK;
}
