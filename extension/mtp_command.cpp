// The five forms of a vendor MTP operation over IPortableDevice::SendCommand: without data, reading or
// writing one buffer, reading into or writing from a stream.
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <new>

#include "device/cwpd.h"
#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "media/stream_copy.h"
#include "extension/operation_params.h"
#include "extension/vendor_operations.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;
using namespace wpd;

namespace {

// Stands for a data phase that stopped delivering before its announced end.
constexpr HRESULT E_DATA_PHASE_ENDED = HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);

// One operation: its command record, reused and emptied between steps, the result of the last step,
// and the transfer context of its data phase.
class VendorOperation {
public:
    VendorOperation(CWpd &device, WORD opCode) : device_(device.GetDeviceRef()->Get()), opCode_(opCode) {}

    // The first step: command 12, 13 or 14 with the operation code and parameters.
    HRESULT Start(const PROPERTYKEY &command, IPortableDevicePropVariantCollection **params,
                  const ULONGLONG *totalToWrite) {
        RETURN_IF_FAILED(CreateValues(record_));
        RETURN_IF_FAILED(Command(command));
        RETURN_IF_FAILED(record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPERATION_CODE, opCode_));
        if (params && *params) {
            RETURN_IF_FAILED(record_->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS,
                                                                                   *params));
        }
        if (totalToWrite) {
            RETURN_IF_FAILED(
                record_->SetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, *totalToWrite));
        }
        RETURN_IF_FAILED(Send());
        if (command.pid == WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE.pid) return S_OK;
        return result_->GetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.put());
    }

    // Command 15: asks for size bytes; data and received are what arrived, never more.
    HRESULT ReadData(BYTE *request, ULONG size, win::UniqueCoTaskMem<BYTE> &data, ULONG &received) {
        received = 0;
        RETURN_IF_FAILED(ContextCommand(WPD_COMMAND_MTP_EXT_READ_DATA));
        RETURN_IF_FAILED(record_->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, request, size));
        RETURN_IF_FAILED(record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ, size));
        RETURN_IF_FAILED(Send());
        DWORD length = 0;
        RETURN_IF_FAILED(result_->GetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, data.put(), &length));
        received = length;
        return S_OK;
    }

    // Command 16.
    HRESULT WriteData(const BYTE *data, ULONG size) {
        RETURN_IF_FAILED(ContextCommand(WPD_COMMAND_MTP_EXT_WRITE_DATA));
        RETURN_IF_FAILED(record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE, size));
        RETURN_IF_FAILED(record_->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, const_cast<BYTE *>(data), size));
        RETURN_IF_FAILED(Send());
        ULONG written = 0;
        return result_->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN, &written);
    }

    // The end of every form: command 17 after a data phase, then the response check, and the one line
    // that any failure of the operation logs.
    HRESULT Finish(HRESULT status, bool dataPhase, IPortableDevicePropVariantCollection **responseParams,
                   std::atomic<unsigned long> &lastResponseCode) {
        if (status == S_OK && dataPhase) status = ContextCommand(WPD_COMMAND_MTP_EXT_END_DATA_TRANSFER);
        if (status == S_OK && dataPhase) status = Send();
        if (status == S_OK) status = CheckResponse(responseParams, lastResponseCode);
        if (status != S_OK) {
            LogLine(1, "Mtp Send command failed, hr=%08x, OpCode=%04x", static_cast<unsigned>(status), opCode_);
        }
        return status;
    }

    IPortableDeviceValues *Result() const { return result_.Get(); }

private:
    HRESULT Command(const PROPERTYKEY &command) {
        RETURN_IF_FAILED(record_->Clear());
        RETURN_IF_FAILED(record_->SetGuidValue(WPD_PROPERTY_COMMON_COMMAND_CATEGORY, command.fmtid));
        return record_->SetUnsignedIntegerValue(WPD_PROPERTY_COMMON_COMMAND_ID, command.pid);
    }
    HRESULT ContextCommand(const PROPERTYKEY &command) {
        RETURN_IF_FAILED(Command(command));
        return record_->SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.get());
    }
    HRESULT Send() {
        result_.Reset();
        if (!device_) return E_NOT_CONNECTED;
        RETURN_IF_FAILED(device_->SendCommand(0, record_.Get(), &result_));
        HRESULT commandResult = S_OK;
        RETURN_IF_FAILED(result_->GetErrorValue(WPD_PROPERTY_COMMON_HRESULT, &commandResult));
        return commandResult;
    }
    HRESULT CheckResponse(IPortableDevicePropVariantCollection **responseParams,
                          std::atomic<unsigned long> &lastResponseCode) {
        ULONG code = 0;
        RETURN_IF_FAILED(result_->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_RESPONSE_CODE, &code));
        lastResponseCode = code;
        if (code != MTP_ResponseOK) {
            LogLine(1, "Mtp Send command failed, ResponseCode=%08x, OpCode=%04x", static_cast<unsigned>(code),
                    opCode_);
            return MtpResponseAsHResult(code);
        }
        if (!responseParams) return S_OK;
        return result_->GetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS,
                                                                     responseParams);
    }

    IPortableDevice *device_;
    WORD opCode_;
    ComPtr<IPortableDeviceValues> record_;
    ComPtr<IPortableDeviceValues> result_;
    win::UniqueCoTaskMemString context_;
};

// The announced size of a read's data phase.
HRESULT TotalToRead(IPortableDeviceValues *result, ULONGLONG &total) {
    return result->GetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, &total);
}

}  // namespace

HRESULT CWpdMtpext::LastResponseAsHResult() const {
    return MtpResponseAsHResult(lastResponseCode_);
}

HRESULT CWpdMtpext::SendVendorCommand(WORD opCode, IPortableDevicePropVariantCollection **params,
                                      IPortableDevicePropVariantCollection **responseParams) {
    lastResponseCode_ = MTP_ResponseOK;
    VendorOperation operation(*this, opCode);
    const HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE, params, nullptr);
    return operation.Finish(hr, false, responseParams, lastResponseCode_);
}

HRESULT CWpdMtpext::SendVendorCommandUInt32(WORD opCode, ULONG value) {
    ComPtr<IPortableDevicePropVariantCollection> params;
    const HRESULT hr = CreateSessionParams(value, params);
    if (FAILED(hr)) {
        LogLine(1, "Mtp Send command failed, hr=%08x, OpCode=%04x", static_cast<unsigned>(hr), opCode);
        return hr;
    }
    return SendVendorCommand(opCode, params.GetAddressOf(), nullptr);
}

HRESULT CWpdMtpext::OpenVendorChannel(ULONG channel) { return SendVendorCommandUInt32(MTP_OpenSession, channel); }

HRESULT CWpdMtpext::CloseVendorChannel(ULONG channel) { return SendVendorCommandUInt32(MTP_CloseSession, channel); }

HRESULT CWpdMtpext::ReadVendorData(WORD opCode, IPortableDevicePropVariantCollection **params,
                                   IPortableDevicePropVariantCollection **responseParams, BYTE **data, ULONG *size) {
    lastResponseCode_ = MTP_ResponseOK;
    VendorOperation operation(*this, opCode);
    ULONGLONG total = 0;
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ, params, nullptr);
    if (hr == S_OK) hr = TotalToRead(operation.Result(), total);
    // The buffer form holds the whole phase in one block.
    if (hr == S_OK && total > MAXDWORD) hr = E_OUTOFMEMORY;
    win::UniqueCoTaskMem<BYTE> received;
    ULONG length = 0;
    if (hr == S_OK && total > 0) {
        const ULONG requested = static_cast<ULONG>(total);
        const win::UniqueCoTaskMem<BYTE> request(static_cast<BYTE *>(CoTaskMemAlloc(requested)));
        hr = request ? operation.ReadData(request.get(), requested, received, length) : E_OUTOFMEMORY;
    }
    *data = nullptr;
    *size = 0;
    hr = operation.Finish(hr, true, responseParams, lastResponseCode_);
    if (hr == S_OK && length > 0) {
        *data = received.release();
        *size = length;
    }
    return hr;
}

HRESULT CWpdMtpext::WriteVendorData(WORD opCode, IPortableDevicePropVariantCollection **params,
                                    IPortableDevicePropVariantCollection **responseParams, const BYTE *data,
                                    ULONG size) {
    lastResponseCode_ = MTP_ResponseOK;
    VendorOperation operation(*this, opCode);
    const ULONGLONG total = size;
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE, params, &total);
    if (hr == S_OK) hr = operation.WriteData(data, size);
    return operation.Finish(hr, true, responseParams, lastResponseCode_);
}

HRESULT CWpdMtpext::ReadVendorDataToStream(WORD opCode, IPortableDevicePropVariantCollection **params,
                                           IPortableDevicePropVariantCollection **responseParams, IStream *stream,
                                           ULONGLONG *count, BYTE *header, ULONG headerLength) {
    lastResponseCode_ = MTP_ResponseOK;
    *count = 0;
    VendorOperation operation(*this, opCode);
    ULONGLONG total = 0;
    ULONG chunkSize = 0;
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ, params, nullptr);
    if (hr == S_OK) hr = TotalToRead(operation.Result(), total);
    if (hr == S_OK && total > 0) {
        hr = operation.Result()->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPTIMAL_TRANSFER_BUFFER_SIZE, &chunkSize);
        // A device without a transfer size cannot be read from; the status is S_FALSE, not a failure.
        if (hr == S_OK && chunkSize == 0) hr = S_FALSE;
    }
    std::unique_ptr<BYTE[]> request;
    if (hr == S_OK && total > 0) {
        request.reset(new (std::nothrow) BYTE[chunkSize]);
        if (!request) hr = E_OUTOFMEMORY;
    }
    ProgressReport progress(*this, total);
    ULONGLONG received = 0;
    while (hr == S_OK && received < total) {
        win::UniqueCoTaskMem<BYTE> chunk;
        ULONG length = 0;
        hr = operation.ReadData(request.get(), chunkSize, chunk, length);
        if (hr != S_OK) break;
        // A device that stops sending before its announced end would keep this loop going for ever.
        if (length == 0) {
            hr = E_DATA_PHASE_ENDED;
            break;
        }
        const ULONG toHeader = std::min(length, headerLength);
        std::copy_n(chunk.get(), toHeader, header);
        if (length > toHeader) {
            ULONG written = 0;
            hr = stream->Write(chunk.get() + toHeader, length - toHeader, &written);
            if (FAILED(hr)) break;
            hr = S_OK;
            *count += length - toHeader;
        }
        header += toHeader;
        headerLength -= toHeader;
        received += length;
        if (progress.Cancelled(received)) break;
    }
    return operation.Finish(hr, true, responseParams, lastResponseCode_);
}

HRESULT CWpdMtpext::WriteVendorDataFromStream(WORD opCode, IPortableDevicePropVariantCollection **params,
                                              IPortableDevicePropVariantCollection **responseParams, IStream *stream,
                                              ULONGLONG total, const BYTE *header, ULONG headerLength) {
    lastResponseCode_ = MTP_ResponseOK;
    if (headerLength > kVendorChunkBytes) return E_INVALIDARG;
    VendorOperation operation(*this, opCode);
    HRESULT hr = operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE, params, &total);
    const std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kVendorChunkBytes]);
    if (hr == S_OK && !chunk) hr = E_OUTOFMEMORY;
    if (hr == S_OK) std::copy_n(header, headerLength, chunk.get());
    ProgressReport progress(*this, total);
    ULONGLONG sent = 0;
    while (hr == S_OK && sent < total) {
        ULONG read = 0;
        hr = stream->Read(chunk.get() + headerLength, kVendorChunkBytes - headerLength, &read);
        if (FAILED(hr)) break;
        // S_FALSE is a stream that ended within this read: its bytes still go to the phone.
        const bool ended = hr == S_FALSE;
        hr = S_OK;
        if (read == 0) break;
        hr = operation.WriteData(chunk.get(), read + headerLength);
        sent += read;
        headerLength = 0;
        if (hr == S_OK && progress.Cancelled(sent)) break;
        if (ended) break;
    }
    return operation.Finish(hr, true, responseParams, lastResponseCode_);
}

HRESULT CWpdMtpext::FindObjectByPersistentId(const wchar_t *id, ULONG *handle) {
    *handle = 0;
    ComPtr<IPortableDevicePropVariantCollection> params;
    RETURN_IF_FAILED(CreateSessionParams(MTP_AllStorages, params));
    win::UniqueCoTaskMem<BYTE> handles;
    ULONG size = 0;
    HRESULT hr = ReadVendorData(MTP_GetObjectHandles, params.GetAddressOf(), nullptr, handles.put(), &size);
    if (FAILED(hr)) return hr;
    if (size < sizeof(ULONG)) return E_FAIL;
    // An MTP array: a count, then the handles. The count is the phone's word, the size is what came.
    ULONG declared = 0;
    memcpy(&declared, handles.get(), sizeof declared);
    const ULONG available = std::min<ULONG>(declared, (size - sizeof(ULONG)) / sizeof(ULONG));
    for (ULONG i = 0; i < available && hr >= 0; ++i) {
        ULONG candidate = 0;
        memcpy(&candidate, handles.get() + sizeof(ULONG) * (i + 1), sizeof candidate);
        hr = params->Clear();
        if (SUCCEEDED(hr)) hr = AddParam(params.Get(), VT_UI4, candidate);
        if (SUCCEEDED(hr)) hr = AddParam(params.Get(), VT_UI2, MTP_ObjectPropPersistentUniqueId);
        if (FAILED(hr)) break;
        win::UniqueCoTaskMem<BYTE> value;
        ULONG valueSize = 0;
        hr = ReadVendorData(MTP_GetObjectPropValue, params.GetAddressOf(), nullptr, value.put(), &valueSize);
        if (hr != S_OK || valueSize < sizeof(GUID)) continue;
        GUID persistentId;
        memcpy(&persistentId, value.get(), sizeof persistentId);
        wchar_t text[80];
        if (StringFromGUID2(persistentId, text, ARRAYSIZE(text)) && wcscmp(text, id) == 0) {
            *handle = candidate;
            break;
        }
    }
    return *handle ? hr : E_FAIL;
}
