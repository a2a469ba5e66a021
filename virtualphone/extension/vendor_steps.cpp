// The MTP-extension commands as the platform's MTP driver takes them: the parameters and results of
// each are those of the portable-device documentation ("MTP Extension Commands",
// WPD_COMMAND_MTP_EXT_*), and a command the driver cannot use is refused with E_INVALIDARG, as the
// platform's driver samples refuse a missing or unusable parameter.
#include "virtualphone/extension/vendor_phone.h"

#include "virtualphone/platform/com_out.h"
#include "win/unique_any.h"

#include <wrl/client.h>

#include <algorithm>
#include <vector>

namespace vphone {

using Microsoft::WRL::ComPtr;
using namespace wpd;

HRESULT VendorPhone::SendCommand(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    GUID category = GUID_NULL;
    ULONG command = 0;
    if (FAILED(parameters->GetGuidValue(WPD_PROPERTY_COMMON_COMMAND_CATEGORY, &category)) ||
        FAILED(parameters->GetUnsignedIntegerValue(WPD_PROPERTY_COMMON_COMMAND_ID, &command)) ||
        category != WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS) {
        return E_NOTIMPL;
    }
    if (command == WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE.pid) return Execute(parameters, results);
    if (command == WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ.pid) {
        return Begin(parameters, results, DataPhase::FromPhone);
    }
    if (command == WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE.pid) {
        return Begin(parameters, results, DataPhase::ToPhone);
    }
    if (command == WPD_COMMAND_MTP_EXT_READ_DATA.pid) return ReadStep(parameters, results);
    if (command == WPD_COMMAND_MTP_EXT_WRITE_DATA.pid) return WriteStep(parameters, results);
    if (command == WPD_COMMAND_MTP_EXT_END_DATA_TRANSFER.pid) return End(parameters, results);
    return E_NOTIMPL;
}

// The first command of an operation: its code, and its parameters, a collection that the driver
// requires even when empty, each parameter an unsigned 32-bit value (VT_UI4): MTP carries operation
// parameters as 32-bit fields, and the documentation types them VT_UI4.
HRESULT VendorPhone::ReadRequest(IPortableDeviceValues *parameters, DataPhase phase, VendorExchange &exchange) const {
    ULONG opCode = 0;
    ComPtr<IPortableDevicePropVariantCollection> params;
    DWORD count = 0;
    if (FAILED(parameters->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPERATION_CODE, &opCode)) ||
        FAILED(parameters->GetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS,
                                                                        &params)) ||
        FAILED(params->GetCount(&count))) {
        return E_INVALIDARG;
    }
    exchange.opCode = static_cast<WORD>(opCode);
    exchange.phase = phase;
    for (DWORD i = 0; i < count; ++i) {
        win::UniquePropVariant value;
        if (FAILED(params->GetAt(i, value.get())) || value->vt != VT_UI4) return E_INVALIDARG;
        exchange.params.push_back(value->ulVal);
    }
    if (phase == DataPhase::ToPhone &&
        FAILED(parameters->GetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE,
                                                        &exchange.declaredSize))) {
        return E_INVALIDARG;
    }
    return S_OK;
}

// An MTP session runs one transaction at a time, and a transaction with data lasts until its data phase
// is ended: meanwhile the phone answers any other operation with Device_Busy.
HRESULT VendorPhone::Execute(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    VendorExchange exchange;
    HRESULT hr = ReadRequest(parameters, DataPhase::None, exchange);
    if (FAILED(hr)) return hr;
    ComPtr<IPortableDevicePropVariantCollection> responseParams;
    hr = NewPropVariants(&responseParams);
    if (FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    exchange.operation = Classify(exchange);
    const auto refused = responses_.find(exchange.operation);
    if (!transfers_.empty()) {
        exchange.response = PTP_RC_DeviceBusy;
    } else {
        exchange.response = refused != responses_.end() ? refused->second : Execute(exchange);
    }
    const ULONG response = exchange.response;
    exchanges_.Add(std::move(exchange), phone_.Controls().RecordLimit());
    hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_RESPONSE_CODE, response);
    if (FAILED(hr)) return hr;
    return results->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS,
                                                                 responseParams.Get());
}

HRESULT VendorPhone::Begin(IPortableDeviceValues *parameters, IPortableDeviceValues *results, DataPhase phase) {
    Transfer transfer;
    HRESULT hr = ReadRequest(parameters, phase, transfer.exchange);
    if (FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    VendorExchange &exchange = transfer.exchange;
    exchange.operation = Classify(exchange);
    const auto refused = responses_.find(exchange.operation);
    if (!transfers_.empty()) {
        transfer.refused = PTP_RC_DeviceBusy;
    } else if (refused != responses_.end()) {
        transfer.refused = refused->second;
    } else if (phase == DataPhase::FromPhone) {
        const ULONG code = Produce(exchange, transfer.out);
        const auto replaced = readData_.find(exchange.operation);
        if (code != PTP_RC_OK) {
            transfer.refused = code;
        } else if (replaced != readData_.end()) {
            transfer.out = replaced->second;
        }
    }
    const std::wstring context = L"vendor-transfer-" + std::to_wstring(nextTransfer_++);
    hr = results->SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context.c_str());
    if (SUCCEEDED(hr) && phase == DataPhase::FromPhone) {
        exchange.declaredSize = announcedReadSize_.value_or(transfer.out.size());
        hr = results->SetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, exchange.declaredSize);
    }
    if (SUCCEEDED(hr) && optimalSize_) {
        hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPTIMAL_TRANSFER_BUFFER_SIZE, *optimalSize_);
    }
    if (FAILED(hr)) return hr;
    transfers_.emplace(context, std::move(transfer));
    return S_OK;
}

// A read or write step: the open transfer of its phase that it names, the byte count it gives under
// countKey, and its buffer, which must hold that many bytes; E_INVALIDARG for a step the driver could
// not use, or the fault planned for this step.
HRESULT VendorPhone::TakeStep(IPortableDeviceValues *parameters, DataPhase phase, const PROPERTYKEY &countKey,
                              DataStep &step) {
    win::UniqueCoTaskMemString context;
    if (FAILED(parameters->GetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context.put()))) return E_INVALIDARG;
    const auto found = transfers_.find(context.get());
    if (found == transfers_.end() || found->second.exchange.phase != phase ||
        FAILED(parameters->GetUnsignedIntegerValue(countKey, &step.count)) ||
        FAILED(parameters->GetValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, step.buffer.get())) ||
        step.buffer->vt != (VT_VECTOR | VT_UI1) || step.buffer->caub.cElems < step.count) {
        return E_INVALIDARG;
    }
    step.transfer = &found->second;
    if (stepsUntilFault_ == 0 || --stepsUntilFault_ > 0) return S_OK;
    return stepFault_;
}

// A read step hands back the client's own buffer with the device data copied to its start, and the
// number of bytes read: only that many are data.
HRESULT VendorPhone::ReadStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    std::lock_guard lock(mutex_);
    DataStep step;
    HRESULT hr = TakeStep(parameters, DataPhase::FromPhone, WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ, step);
    if (FAILED(hr)) return hr;
    Transfer &transfer = *step.transfer;
    BYTE *buffer = step.buffer->caub.pElems;
    ULONG count = static_cast<ULONG>(std::min<size_t>(step.count, transfer.out.size() - transfer.position));
    if (readLimit_) count = std::min(count, readLimit_);
    const BYTE *start = transfer.out.data() + transfer.position;
    std::copy_n(start, count, buffer);
    hr = results->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, buffer, step.buffer->caub.cElems);
    if (SUCCEEDED(hr)) hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_READ, count);
    if (FAILED(hr)) return hr;
    transfer.exchange.chunks.push_back(count);
    transfer.exchange.data.insert(transfer.exchange.data.end(), start, start + count);
    transfer.position += count;
    return S_OK;
}

HRESULT VendorPhone::WriteStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    std::lock_guard lock(mutex_);
    DataStep step;
    const HRESULT hr = TakeStep(parameters, DataPhase::ToPhone, WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE, step);
    if (FAILED(hr)) return hr;
    VendorExchange &exchange = step.transfer->exchange;
    const BYTE *bytes = step.buffer->caub.pElems;
    exchange.chunks.push_back(step.count);
    exchange.data.insert(exchange.data.end(), bytes, bytes + step.count);
    return results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN, step.count);
}

// The end of a data phase carries the operation's response; a write takes effect here.
HRESULT VendorPhone::End(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    ComPtr<IPortableDevicePropVariantCollection> responseParams;
    HRESULT hr = NewPropVariants(&responseParams);
    if (FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    win::UniqueCoTaskMemString context;
    if (FAILED(parameters->GetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context.put()))) return E_INVALIDARG;
    const auto found = transfers_.find(context.get());
    if (found == transfers_.end()) return E_INVALIDARG;
    Transfer &transfer = found->second;
    VendorExchange &exchange = transfer.exchange;
    if (transfer.refused) {
        exchange.response = *transfer.refused;
    } else {
        exchange.response = exchange.phase == DataPhase::ToPhone ? Consume(exchange) : PTP_RC_OK;
    }
    const ULONG response = exchange.response;
    exchanges_.Add(std::move(exchange), phone_.Controls().RecordLimit());
    transfers_.erase(found);
    hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_RESPONSE_CODE, response);
    if (FAILED(hr)) return hr;
    return results->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS,
                                                                 responseParams.Get());
}

}  // namespace vphone
