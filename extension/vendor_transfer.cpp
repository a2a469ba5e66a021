#include "extension/vendor_transfer.h"

#include "device/cwpd.h"
#include "device/platform_objects.h"
#include "extension/vendor_operations.h"
#include "log/hr_log.h"

using namespace wpd;

VendorOperation::VendorOperation(IPortableDevice *device, WORD opCode, std::mutex &deviceLock)
    : lock_(deviceLock), device_(device), opCode_(opCode) {}

HRESULT VendorOperation::Start(const PROPERTYKEY &command, IPortableDevicePropVariantCollection **params,
                               const ULONGLONG *totalToWrite) {
    RETURN_IF_FAILED(CreateValues(record_));
    RETURN_IF_FAILED(Command(command));
    RETURN_IF_FAILED(record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPERATION_CODE, opCode_));
    // The driver requires the parameters even where the operation takes none: then they are empty.
    Microsoft::WRL::ComPtr<IPortableDevicePropVariantCollection> none;
    IPortableDevicePropVariantCollection *operationParams = params ? *params : nullptr;
    if (!operationParams) {
        RETURN_IF_FAILED(CreatePropVariantCollection(none));
        operationParams = none.Get();
    }
    RETURN_IF_FAILED(
        record_->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS, operationParams));
    if (totalToWrite) {
        RETURN_IF_FAILED(
            record_->SetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, *totalToWrite));
    }
    RETURN_IF_FAILED(Send());
    if (command.pid != WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE.pid) {
        RETURN_IF_FAILED(result_->GetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.put()));
        if (!totalToWrite) RETURN_IF_FAILED(ReadAnnouncement());
    }
    started_ = true;
    return S_OK;
}

HRESULT VendorOperation::ReadAnnouncement() {
    RETURN_IF_FAILED(result_->GetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, &announced_));
    // The transfer size is optional; without one, or with 0, the read goes in a chunk of our own.
    ULONG optimal = 0;
    if (SUCCEEDED(result_->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPTIMAL_TRANSFER_BUFFER_SIZE, &optimal)) &&
        optimal > 0) {
        readChunk_ = std::min(optimal, kMaxReadChunk);
    }
    return S_OK;
}

HRESULT VendorOperation::ReadData(BYTE *request, ULONG size, win::UniqueCoTaskMem<BYTE> &data, ULONG &received) {
    received = 0;
    RETURN_IF_FAILED(ContextCommand(WPD_COMMAND_MTP_EXT_READ_DATA));
    RETURN_IF_FAILED(record_->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, request, size));
    RETURN_IF_FAILED(record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ, size));
    RETURN_IF_FAILED(Send());
    // The buffer may be the whole one handed in: only the bytes the phone says it read are data.
    ULONG read = 0;
    RETURN_IF_FAILED(result_->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_READ, &read));
    if (read == 0) return S_OK;
    DWORD length = 0;
    RETURN_IF_FAILED(result_->GetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, data.put(), &length));
    if (read > length || read > size) return E_MALFORMED_ANSWER;
    received = read;
    return S_OK;
}

HRESULT VendorOperation::WriteData(const BYTE *data, ULONG size) {
    if (size == 0) return S_OK;
    RETURN_IF_FAILED(ContextCommand(WPD_COMMAND_MTP_EXT_WRITE_DATA));
    RETURN_IF_FAILED(record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE, size));
    RETURN_IF_FAILED(record_->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, const_cast<BYTE *>(data), size));
    RETURN_IF_FAILED(Send());
    ULONG written = 0;
    RETURN_IF_FAILED(result_->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN, &written));
    return written == size ? S_OK : E_MALFORMED_ANSWER;
}

HRESULT VendorOperation::Finish(HRESULT status, IPortableDevicePropVariantCollection **responseParams) {
    if (context_) {
        HRESULT ended = ContextCommand(WPD_COMMAND_MTP_EXT_END_DATA_TRANSFER);
        if (SUCCEEDED(ended)) ended = Send();
        if (status == S_OK) status = ended;
    }
    if (!started_) refused_ = true;
    if (status == S_OK) status = CheckResponse(responseParams);
    if (status != S_OK && !(refused_ && refusalExpected_)) {
        LogLine(1, "Mtp Send command failed, hr=%08x, OpCode=%04x", static_cast<unsigned>(status), opCode_);
    }
    return status;
}

HRESULT VendorOperation::Command(const PROPERTYKEY &command) {
    step_ = 0;
    RETURN_IF_FAILED(record_->Clear());
    RETURN_IF_FAILED(record_->SetGuidValue(WPD_PROPERTY_COMMON_COMMAND_CATEGORY, command.fmtid));
    return record_->SetUnsignedIntegerValue(WPD_PROPERTY_COMMON_COMMAND_ID, command.pid);
}

// Steps of one kind differ only in their count and data, which the caller sets again each time: the
// record is built once for the run of them.
HRESULT VendorOperation::ContextCommand(const PROPERTYKEY &command) {
    if (step_ == command.pid) return S_OK;
    RETURN_IF_FAILED(Command(command));
    RETURN_IF_FAILED(record_->SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.get()));
    step_ = command.pid;
    return S_OK;
}

HRESULT VendorOperation::Send() {
    result_.Reset();
    if (!device_) return E_NOT_CONNECTED;
    RETURN_IF_FAILED(device_->SendCommand(0, record_.Get(), &result_));
    HRESULT commandResult = S_OK;
    RETURN_IF_FAILED(result_->GetErrorValue(WPD_PROPERTY_COMMON_HRESULT, &commandResult));
    return commandResult;
}

HRESULT VendorOperation::CheckResponse(IPortableDevicePropVariantCollection **responseParams) {
    ULONG code = 0;
    RETURN_IF_FAILED(result_->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_RESPONSE_CODE, &code));
    if (code != PTP_RC_OK) {
        refused_ = true;
        if (!refusalExpected_) {
            LogLine(1, "Mtp Send command failed, ResponseCode=%08x, OpCode=%04x", static_cast<unsigned>(code), opCode_);
        }
        return MtpResponseAsHResult(code);
    }
    if (!responseParams) return S_OK;
    return result_->GetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS, responseParams);
}
