#include "virtualphone/extension/vendor_phone.h"

#include "virtualphone/platform/com_out.h"
#include "win/unique_any.h"

#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cwchar>
#include <utility>

namespace vphone {

using Microsoft::WRL::ComPtr;
using namespace wpd;

namespace {

constexpr ULONG kOK = 0x2001;
constexpr ULONG kGeneralError = 0x2002;
constexpr ULONG kSessionNotOpen = 0x2003;
constexpr ULONG kOperationNotSupported = 0x2005;
constexpr ULONG kInvalidObjectHandle = 0x2009;
constexpr ULONG kInvalidParameter = 0x201D;
constexpr ULONG kSessionAlreadyOpen = 0x201E;
constexpr ULONG kInvalidObjectPropCode = 0xA801;

constexpr WORD kOpenSession = 0x1002;
constexpr WORD kCloseSession = 0x1003;
constexpr WORD kGetObjectHandles = 0x1007;
constexpr WORD kGetObjectPropValue = 0x9803;
constexpr WORD kPersistentUniqueId = 0xDC41;
constexpr ULONG kSyncMLChannel = 0x1000;
constexpr ULONG kATChannel = 0x1001;
constexpr unsigned kATPendingData = 0;
constexpr unsigned kSyncMLOperationComplete = 1;

constexpr HRESULT kNotMine = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr wchar_t kFirstClockText[] = L"2009/01/01,12:00:00+00";

GUID VendorEventId(unsigned number) {
    GUID id = WPD_EVENT_MTP_VENDOR_EXTENDED_EVENTS;
    id.Data1 = static_cast<unsigned long>(number) << 16;
    return id;
}

void AppendUInt32(std::vector<BYTE> &out, ULONG value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

std::string Narrow(const std::wstring &text) { return std::string(text.begin(), text.end()); }

// The default reply: a small SyncML status message.
std::vector<BYTE> DefaultReply() {
    const std::string text =
        "<SyncML><SyncHdr><VerDTD>1.2</VerDTD><VerProto>SyncML/1.2</VerProto><SessionID>1</SessionID>"
        "<MsgID>1</MsgID></SyncHdr><SyncBody><Status><CmdID>1</CmdID><MsgRef>1</MsgRef><CmdRef>0</CmdRef>"
        "<Cmd>SyncHdr</Cmd><Data>200</Data></Status><Final/></SyncBody></SyncML>";
    return {text.begin(), text.end()};
}

}  // namespace

VendorPhone::VendorPhone(Phone &phone) : phone_(phone), replyPackage_(DefaultReply()), clockText_(kFirstClockText) {
    thread_ = std::thread([this] { Run(); });
}

VendorPhone::~VendorPhone() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    eventsChanged_.notify_all();
    thread_.join();
}

// ---------------------------------------------------------------------------------------------------
// Controls and records

void VendorPhone::SetResponse(VendorOperation operation, ULONG code) {
    std::lock_guard lock(mutex_);
    responses_[operation] = code;
}
void VendorPhone::ClearResponses() {
    std::lock_guard lock(mutex_);
    responses_.clear();
}
void VendorPhone::SetCompletion(DWORD delayMs, ULONG code) {
    std::lock_guard lock(mutex_);
    completionDelay_ = delayMs;
    completionCode_ = code;
}
void VendorPhone::LoseCompletions(unsigned count) {
    std::lock_guard lock(mutex_);
    lostCompletions_ = count;
}
void VendorPhone::SetATReplyEvents(unsigned count, ULONG code) {
    std::lock_guard lock(mutex_);
    atReplyEvents_ = std::max(count, 1u);
    atEventCode_ = code;
}
void VendorPhone::SetOptimalTransferSize(DWORD bytes) {
    std::lock_guard lock(mutex_);
    optimalSize_ = bytes;
}
void VendorPhone::SetEmptyReads(bool empty) {
    std::lock_guard lock(mutex_);
    emptyReads_ = empty;
}
void VendorPhone::SetSyncMLReply(BYTE type, std::vector<BYTE> package) {
    std::lock_guard lock(mutex_);
    replyType_ = type;
    replyPackage_ = std::move(package);
}
void VendorPhone::SetClock(std::wstring text, ULONG dst) {
    phone_.ChangeExtensionState([&] {
        std::lock_guard lock(clockMutex_);
        clockText_ = std::move(text);
        dst_ = dst;
        clockTextNext_ = true;
    });
}
void VendorPhone::RaiseVendorEvent(unsigned number, std::vector<ULONG> params) {
    std::lock_guard lock(mutex_);
    Queue(0, VendorEventId(number), std::move(params));
}
void VendorPhone::RaiseObjectAdded() {
    std::lock_guard lock(mutex_);
    Queue(0, WPD_EVENT_OBJECT_ADDED, {});
}

std::vector<VendorExchange> VendorPhone::Exchanges() const {
    std::lock_guard lock(mutex_);
    return exchanges_;
}
void VendorPhone::ClearExchanges() {
    std::lock_guard lock(mutex_);
    exchanges_.clear();
    transfers_.clear();
}
std::vector<std::string> VendorPhone::ATCommands() const {
    std::lock_guard lock(mutex_);
    return atCommands_;
}
std::vector<std::vector<BYTE>> VendorPhone::SyncMLPackages() const {
    std::lock_guard lock(mutex_);
    return syncmlPackages_;
}
std::vector<std::vector<ULONG>> VendorPhone::InstallRequests() const {
    std::lock_guard lock(mutex_);
    return installRequests_;
}
std::wstring VendorPhone::ClockText() const {
    std::lock_guard lock(clockMutex_);
    return clockText_;
}
ULONG VendorPhone::Dst() const {
    std::lock_guard lock(clockMutex_);
    return dst_;
}

// ---------------------------------------------------------------------------------------------------
// The clock: two properties under code 0, told apart by the type of their value.

HRESULT VendorPhone::ReadDeviceProperty(const PROPERTYKEY &key, PROPVARIANT *value) {
    if (key.fmtid != WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS || key.pid != 0) return kNotMine;
    std::lock_guard lock(clockMutex_);
    const bool text = std::exchange(clockTextNext_, !clockTextNext_);
    if (text) return StringVariant(clockText_, value);
    PropVariantInit(value);
    value->vt = VT_UI4;
    value->ulVal = dst_;
    return S_OK;
}

HRESULT VendorPhone::WriteDeviceProperty(const PROPERTYKEY &key, const PROPVARIANT &value) {
    if (key.fmtid != WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS || key.pid != 0) return kNotMine;
    const bool text = value.vt == VT_LPWSTR && value.pwszVal;
    if (!text && value.vt != VT_UI4) return DISP_E_TYPEMISMATCH;
    return phone_.ChangeExtensionState([&] {
        std::lock_guard lock(clockMutex_);
        if (!text) {
            dst_ = value.ulVal;
            return;
        }
        clockText_ = value.pwszVal;
        clockTextNext_ = true;
    });
}

// The clock outlives a session: "DST TEXT".
std::wstring VendorPhone::SavedState() const {
    std::lock_guard lock(clockMutex_);
    return std::to_wstring(dst_) + L" " + clockText_;
}

void VendorPhone::RestoreState(const std::wstring &state) {
    std::lock_guard lock(clockMutex_);
    const std::size_t space = state.find(L' ');
    const bool saved = space != std::wstring::npos;
    dst_ = saved ? std::wcstoul(state.c_str(), nullptr, 10) : 0;
    clockText_ = saved ? state.substr(space + 1) : kFirstClockText;
}

// ---------------------------------------------------------------------------------------------------
// Commands

HRESULT VendorPhone::SendCommand(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    GUID category = GUID_NULL;
    ULONG command = 0;
    if (FAILED(parameters->GetGuidValue(WPD_PROPERTY_COMMON_COMMAND_CATEGORY, &category)) ||
        FAILED(parameters->GetUnsignedIntegerValue(WPD_PROPERTY_COMMON_COMMAND_ID, &command)) ||
        category != WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS) {
        return E_NOTIMPL;
    }
    switch (command) {
        case 12: return Execute(parameters, results);
        case 13: return Begin(parameters, results, DataPhase::FromPhone);
        case 14: return Begin(parameters, results, DataPhase::ToPhone);
        case 15: return ReadStep(parameters, results);
        case 16: return WriteStep(parameters, results);
        case 17: return End(parameters, results);
        default: return E_NOTIMPL;
    }
}

HRESULT VendorPhone::ReadRequest(IPortableDeviceValues *parameters, DataPhase phase, VendorExchange &exchange) const {
    ULONG opCode = 0;
    HRESULT hr = parameters->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPERATION_CODE, &opCode);
    if (FAILED(hr)) return E_INVALIDARG;
    exchange.opCode = static_cast<WORD>(opCode);
    exchange.phase = phase;
    ComPtr<IPortableDevicePropVariantCollection> params;
    if (SUCCEEDED(parameters->GetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS,
                                                                           &params))) {
        DWORD count = 0;
        hr = params->GetCount(&count);
        for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
            win::UniquePropVariant value;
            hr = params->GetAt(i, value.get());
            if (FAILED(hr)) break;
            exchange.paramTypes.push_back(value->vt);
            switch (value->vt) {
                case VT_UI1: exchange.params.push_back(value->bVal); break;
                case VT_UI2: exchange.params.push_back(value->uiVal); break;
                case VT_UI4: exchange.params.push_back(value->ulVal); break;
                default: return E_INVALIDARG;  // MTP parameters are unsigned integers
            }
        }
        if (FAILED(hr)) return hr;
    }
    if (phase == DataPhase::ToPhone) {
        hr = parameters->GetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE,
                                                      &exchange.declaredSize);
        if (FAILED(hr)) return E_INVALIDARG;
    }
    return S_OK;
}

VendorOperation VendorPhone::Classify(const VendorExchange &exchange) const {
    const auto &p = exchange.params;
    const auto &types = exchange.paramTypes;
    switch (exchange.opCode) {
        case kOpenSession: return VendorOperation::OpenChannel;
        case kCloseSession: return VendorOperation::CloseChannel;
        case kGetObjectHandles: return VendorOperation::GetObjectHandles;
        case kGetObjectPropValue: return VendorOperation::GetObjectPropValue;
        case 0: break;
        default: return VendorOperation::Unknown;
    }
    if (p.empty()) return exchange.phase == DataPhase::ToPhone ? VendorOperation::InstallApp : VendorOperation::Unknown;
    // A parameter collection takes the type of its first item: the session arrives as a byte.
    if (p.size() == 2 && types[0] == VT_UI1 && exchange.phase == DataPhase::None) {
        return VendorOperation::SyncMLOpenSession;
    }
    if (p.size() != 1 || types[0] != VT_UI4) return VendorOperation::Unknown;
    const bool atMeant = at_.open && at_.session && at_.sessionValue == p[0];
    const bool syncmlMeant = syncml_.open && syncml_.session && syncml_.sessionValue == p[0];
    if (!atMeant && !syncmlMeant) {
        return at_.open && !at_.session && exchange.phase == DataPhase::None ? VendorOperation::ATOpenSession
                                                                             : VendorOperation::Unknown;
    }
    const bool at = atMeant && (!syncmlMeant || at_.openedAt > syncml_.openedAt);
    switch (exchange.phase) {
        case DataPhase::None:
            if (at) return VendorOperation::ATCloseSession;
            return syncmlState_ == SyncMLState::PackageReceived ? VendorOperation::SyncMLRequest
                                                                : VendorOperation::SyncMLCloseSession;
        case DataPhase::ToPhone: return at ? VendorOperation::ATWrite : VendorOperation::SyncMLPut;
        case DataPhase::FromPhone: return at ? VendorOperation::ATRead : VendorOperation::SyncMLGet;
    }
    return VendorOperation::Unknown;
}

ULONG VendorPhone::Execute(VendorExchange &exchange) {
    const auto &p = exchange.params;
    switch (exchange.operation) {
        case VendorOperation::OpenChannel:
        case VendorOperation::CloseChannel: {
            if (p.size() != 1 || (p[0] != kATChannel && p[0] != kSyncMLChannel)) return kInvalidParameter;
            Channel &channel = p[0] == kATChannel ? at_ : syncml_;
            if (exchange.operation == VendorOperation::OpenChannel) {
                if (channel.open) return kSessionAlreadyOpen;
                channel = Channel{true, ++openings_, false, 0};
                return kOK;
            }
            if (!channel.open) return kSessionNotOpen;
            channel = Channel{};  // closing the channel ends its session
            if (p[0] == kATChannel) atPending_.clear();
            return kOK;
        }
        case VendorOperation::ATOpenSession:
            at_.session = true;
            at_.sessionValue = p[0];
            atPending_.clear();
            return kOK;
        case VendorOperation::ATCloseSession: at_.session = false; return kOK;
        case VendorOperation::SyncMLOpenSession:
            if (!syncml_.open) return kSessionNotOpen;
            if (syncml_.session) return kSessionAlreadyOpen;
            syncml_.session = true;
            syncml_.sessionValue = p[1];
            syncmlState_ = SyncMLState::Idle;
            return kOK;
        case VendorOperation::SyncMLCloseSession: syncml_.session = false; return kOK;
        case VendorOperation::SyncMLRequest:
            syncmlState_ = SyncMLState::ReplyReady;
            QueueCompletion();
            return kOK;
        default: return exchange.opCode == 0 ? kSessionNotOpen : kOperationNotSupported;
    }
}

ULONG VendorPhone::Produce(VendorExchange &exchange, std::vector<BYTE> &out) {
    switch (exchange.operation) {
        case VendorOperation::GetObjectHandles: return ObjectHandles(out);
        case VendorOperation::GetObjectPropValue:
            if (exchange.params.size() != 2) return kInvalidParameter;
            if (exchange.params[1] != kPersistentUniqueId) return kInvalidObjectPropCode;
            return PersistentIdOf(exchange.params[0], out);
        case VendorOperation::ATRead:
            out.assign(atPending_.begin(), atPending_.end());
            atPending_.clear();
            return kOK;
        case VendorOperation::SyncMLGet:
            if (syncmlState_ != SyncMLState::ReplyReady) return kGeneralError;
            out.push_back(replyType_);
            out.insert(out.end(), replyPackage_.begin(), replyPackage_.end());
            syncmlState_ = SyncMLState::Idle;
            return kOK;
        default: return exchange.opCode == 0 ? kSessionNotOpen : kOperationNotSupported;
    }
}

ULONG VendorPhone::Consume(VendorExchange &exchange) {
    switch (exchange.operation) {
        case VendorOperation::ATWrite: {
            const std::string command(exchange.data.begin(), exchange.data.end());
            atCommands_.push_back(command);
            const std::string reply = ModemReply(command);
            // The reply in atReplyEvents_ nearly equal pieces, one per event.
            const size_t pieces = std::min<size_t>(atReplyEvents_, reply.size());
            size_t start = 0;
            for (size_t i = 0; i < pieces; ++i) {
                const size_t end = reply.size() * (i + 1) / pieces;
                Queue(0, VendorEventId(kATPendingData), {at_.sessionValue, atEventCode_}, reply.substr(start, end - start));
                start = end;
            }
            return kOK;
        }
        case VendorOperation::SyncMLPut:
            syncmlPackages_.push_back(exchange.data);
            syncmlState_ = SyncMLState::PackageReceived;
            QueueCompletion();
            return kOK;
        case VendorOperation::InstallApp: return Install(exchange.data);
        default: return exchange.opCode == 0 ? kSessionNotOpen : kOperationNotSupported;
    }
}

ULONG VendorPhone::ObjectHandles(std::vector<BYTE> &out) const {
    std::vector<ULONG> handles;
    for (const PhoneObject &object : phone_.Tree()) {
        if (object.kind != ObjectKind::Device && object.kind != ObjectKind::Storage) handles.push_back(object.handle);
    }
    AppendUInt32(out, static_cast<ULONG>(handles.size()));
    for (ULONG handle : handles) AppendUInt32(out, handle);
    return kOK;
}

ULONG VendorPhone::PersistentIdOf(ULONG handle, std::vector<BYTE> &out) const {
    const std::optional<PhoneObject> object = phone_.FindObjectByHandle(handle);
    if (!object) return kInvalidObjectHandle;
    GUID id;
    if (FAILED(IIDFromString(object->persistentId.c_str(), &id))) return kGeneralError;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(&id);
    out.assign(bytes, bytes + sizeof id);
    return kOK;
}

ULONG VendorPhone::Install(const std::vector<BYTE> &data) {
    if (data.empty() || data.size() % 4 != 0) return kInvalidParameter;
    std::vector<ULONG> handles;
    for (size_t i = 0; i < data.size(); i += 4) {
        handles.push_back(data[i] | data[i + 1] << 8 | data[i + 2] << 16 | static_cast<ULONG>(data[i + 3]) << 24);
    }
    const std::vector<PhoneObject> tree = phone_.Tree();
    for (ULONG handle : handles) {
        const bool file = std::any_of(tree.begin(), tree.end(), [&](const PhoneObject &object) {
            return object.kind == ObjectKind::File && object.handle == handle;
        });
        if (!file) return kInvalidObjectHandle;
    }
    installRequests_.push_back(std::move(handles));
    return kOK;
}

std::string VendorPhone::ModemReply(const std::string &command) const {
    std::string line = command;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    std::transform(line.begin(), line.end(), line.begin(), [](char c) { return static_cast<char>(toupper(c)); });
    const PhoneIdentity identity = phone_.Identity();
    std::string information;
    if (line == "ATI") {
        information = Narrow(identity.manufacturer) + " " + Narrow(identity.model);
    } else if (line == "AT+CGMI") {
        information = Narrow(identity.manufacturer);
    } else if (line == "AT+CGMM") {
        information = Narrow(identity.model);
    } else if (line == "AT+CGSN") {
        information = Narrow(identity.serialNumber);
    } else if (line == "AT+CCLK?") {
        // The modem's clock has a two-digit year.
        const std::string clock = Narrow(ClockText());
        information = "+CCLK: \"" + clock.substr(std::min<size_t>(2, clock.size())) + "\"";
    } else if (line != "AT") {
        return "\r\nERROR\r\n";
    }
    return information.empty() ? "\r\nOK\r\n" : "\r\n" + information + "\r\n\r\nOK\r\n";
}

// ---------------------------------------------------------------------------------------------------
// The steps of the extension commands

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
    exchange.response = refused != responses_.end() ? refused->second : Execute(exchange);
    exchanges_.push_back(exchange);
    hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_RESPONSE_CODE, exchange.response);
    if (FAILED(hr)) return hr;
    return results->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS,
                                                                 responseParams.Get());
}

HRESULT VendorPhone::Begin(IPortableDeviceValues *parameters, IPortableDeviceValues *results, DataPhase phase) {
    VendorExchange exchange;
    HRESULT hr = ReadRequest(parameters, phase, exchange);
    if (FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    exchange.operation = Classify(exchange);
    Transfer transfer{exchanges_.size(), {}, 0, std::nullopt};
    const auto refused = responses_.find(exchange.operation);
    if (refused != responses_.end()) {
        transfer.refused = refused->second;
    } else if (phase == DataPhase::FromPhone) {
        const ULONG code = Produce(exchange, transfer.out);
        if (code != kOK) transfer.refused = code;
        exchange.declaredSize = transfer.out.size();
    }
    const std::wstring context = L"vendor-transfer-" + std::to_wstring(nextTransfer_++);
    hr = results->SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context.c_str());
    if (SUCCEEDED(hr) && phase == DataPhase::FromPhone) {
        hr = results->SetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, transfer.out.size());
    }
    if (SUCCEEDED(hr)) hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPTIMAL_TRANSFER_BUFFER_SIZE, optimalSize_);
    if (FAILED(hr)) return hr;
    exchanges_.push_back(std::move(exchange));
    transfers_.emplace(context, std::move(transfer));
    return S_OK;
}

VendorPhone::Transfer *VendorPhone::FindTransfer(IPortableDeviceValues *parameters) {
    win::UniqueCoTaskMemString context;
    if (FAILED(parameters->GetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context.put()))) return nullptr;
    const auto found = transfers_.find(context.get());
    return found == transfers_.end() ? nullptr : &found->second;
}

HRESULT VendorPhone::ReadStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    std::lock_guard lock(mutex_);
    Transfer *transfer = FindTransfer(parameters);
    ULONG requested = 0;
    if (!transfer || exchanges_[transfer->exchange].phase != DataPhase::FromPhone ||
        FAILED(parameters->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ, &requested))) {
        return E_INVALIDARG;
    }
    // The client hands a buffer of the size it asks for, as the platform's driver wants it.
    win::UniquePropVariant buffer;
    if (FAILED(parameters->GetValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, buffer.get())) ||
        buffer->vt != (VT_VECTOR | VT_UI1) || buffer->caub.cElems < requested) {
        return E_INVALIDARG;
    }
    const size_t left = transfer->out.size() - transfer->position;
    const ULONG count = emptyReads_ ? 0 : static_cast<ULONG>(std::min<size_t>(requested, left));
    BYTE *start = transfer->out.data() + transfer->position;
    HRESULT hr = results->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, count ? start : buffer->caub.pElems, count);
    if (SUCCEEDED(hr)) hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_READ, count);
    if (FAILED(hr)) return hr;
    VendorExchange &exchange = exchanges_[transfer->exchange];
    exchange.chunks.push_back(count);
    exchange.data.insert(exchange.data.end(), start, start + count);
    transfer->position += count;
    return S_OK;
}

HRESULT VendorPhone::WriteStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    std::lock_guard lock(mutex_);
    Transfer *transfer = FindTransfer(parameters);
    ULONG count = 0;
    win::UniquePropVariant buffer;
    if (!transfer || exchanges_[transfer->exchange].phase != DataPhase::ToPhone ||
        FAILED(parameters->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE, &count)) ||
        FAILED(parameters->GetValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, buffer.get())) ||
        buffer->vt != (VT_VECTOR | VT_UI1) || buffer->caub.cElems < count) {
        return E_INVALIDARG;
    }
    VendorExchange &exchange = exchanges_[transfer->exchange];
    exchange.chunks.push_back(count);
    exchange.data.insert(exchange.data.end(), buffer->caub.pElems, buffer->caub.pElems + count);
    return results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN, count);
}

HRESULT VendorPhone::End(IPortableDeviceValues *parameters, IPortableDeviceValues *results) {
    ComPtr<IPortableDevicePropVariantCollection> responseParams;
    HRESULT hr = NewPropVariants(&responseParams);
    if (FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    Transfer *transfer = FindTransfer(parameters);
    if (!transfer) return E_INVALIDARG;
    VendorExchange &exchange = exchanges_[transfer->exchange];
    if (transfer->refused) {
        exchange.response = *transfer->refused;
    } else {
        exchange.response = exchange.phase == DataPhase::ToPhone ? Consume(exchange) : kOK;
    }
    const ULONG response = exchange.response;
    win::UniqueCoTaskMemString context;
    parameters->GetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context.put());
    transfers_.erase(context.get());
    hr = results->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_RESPONSE_CODE, response);
    if (FAILED(hr)) return hr;
    return results->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS,
                                                                 responseParams.Get());
}

// ---------------------------------------------------------------------------------------------------
// Events, raised from the phone's own thread in the order they fall due

void VendorPhone::Queue(DWORD delayMs, const GUID &id, std::vector<ULONG> params, std::string atText) {
    PendingEvent event{GetTickCount64() + delayMs, id, std::move(params), std::move(atText)};
    const auto later = std::upper_bound(events_.begin(), events_.end(), event.due,
                                        [](ULONGLONG due, const PendingEvent &e) { return due < e.due; });
    events_.insert(later, std::move(event));
    eventsChanged_.notify_all();
}

void VendorPhone::QueueCompletion() {
    if (lostCompletions_ > 0) {
        --lostCompletions_;
        return;
    }
    Queue(completionDelay_, VendorEventId(kSyncMLOperationComplete), {syncml_.sessionValue, 0, completionCode_});
}

void VendorPhone::Deliver(const PendingEvent &event) {
    ComPtr<IPortableDeviceValues> values;
    ComPtr<IPortableDevicePropVariantCollection> params;
    if (FAILED(NewValues(&values)) || FAILED(NewPropVariants(&params))) return;
    for (ULONG value : event.params) {
        PROPVARIANT item;
        PropVariantInit(&item);
        item.vt = VT_UI4;
        item.ulVal = value;
        params->Add(&item);
    }
    values->SetGuidValue(WPD_EVENT_PARAMETER_EVENT_ID, event.id);
    values->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_EVENT_PARAMS, params.Get());
    values->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS, params.Get());
    phone_.Events().Raise(values.Get());
}

void VendorPhone::Run() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (events_.empty()) {
            eventsChanged_.wait(lock);
            continue;
        }
        const ULONGLONG now = GetTickCount64();
        if (events_.front().due > now) {
            eventsChanged_.wait_for(lock, std::chrono::milliseconds(events_.front().due - now));
            continue;
        }
        PendingEvent event = std::move(events_.front());
        events_.pop_front();
        atPending_ += event.atText;
        delivering_ = true;
        lock.unlock();
        Deliver(event);
        lock.lock();
        delivering_ = false;
        eventsChanged_.notify_all();
    }
    lock.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}

void VendorPhone::WaitForEvents() {
    std::unique_lock lock(mutex_);
    eventsChanged_.wait(lock, [&] { return stopping_ || (!delivering_ && events_.empty()); });
}

VendorPhone &AttachVendorExtension(Phone &phone) {
    auto vendor = std::make_shared<VendorPhone>(phone);
    VendorPhone &attached = *vendor;
    phone.SetExtension(std::move(vendor));
    return attached;
}

}  // namespace vphone
