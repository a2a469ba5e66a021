// What the vendor phone makes of an operation, and what it does with it (PROTOCOL.md).
#include "virtualphone/extension/vendor_phone.h"

#include <objbase.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <utility>

namespace vphone {

using namespace wpd;

namespace {

constexpr ULONG kSyncMLChannel = 0x1000;
constexpr ULONG kATChannel = 0x1001;

constexpr ULONG kAll = 0xFFFFFFFF;  // GetObjectPropList: every object, every property, every level

void AppendLittleEndian(std::vector<BYTE> &out, ULONG value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}
void AppendUInt32(std::vector<BYTE> &out, ULONG value) { AppendLittleEndian(out, value, 4); }

// The object's persistent unique id as MTP's UINT128 carries it: the GUID's bytes as it keeps them.
bool AppendPersistentId(const PhoneObject &object, std::vector<BYTE> &out) {
    GUID id;
    if (FAILED(IIDFromString(object.persistentId.c_str(), &id))) return false;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(&id);
    out.insert(out.end(), bytes, bytes + sizeof id);
    return true;
}

// The objects MTP lists (the device and storages are none), in the order they were made: this phone
// keeps them in one table, as simple responders do, so the newest come last.
std::vector<PhoneObject> ListedObjects(const Phone &phone) {
    std::vector<PhoneObject> objects = phone.Tree();
    std::erase_if(objects, [](const PhoneObject &object) {
        return object.kind == ObjectKind::Device || object.kind == ObjectKind::Storage;
    });
    std::sort(objects.begin(), objects.end(), [](const PhoneObject &a, const PhoneObject &b) { return a.handle < b.handle; });
    return objects;
}

std::string Narrow(const std::wstring &text) { return std::string(text.begin(), text.end()); }

}  // namespace

VendorOperation VendorPhone::Classify(const VendorExchange &exchange) const {
    const auto &p = exchange.params;
    switch (exchange.opCode) {
        case PTP_OC_OpenSession: return VendorOperation::OpenChannel;
        case PTP_OC_CloseSession: return VendorOperation::CloseChannel;
        case PTP_OC_GetObjectHandles: return VendorOperation::GetObjectHandles;
        case PTP_OC_MTP_GetObjectPropValue: return VendorOperation::GetObjectPropValue;
        case PTP_OC_MTP_GetObjPropList: return VendorOperation::GetObjectPropList;
        case 0: break;
        default: return VendorOperation::Unknown;
    }
    if (p.empty()) return exchange.phase == DataPhase::ToPhone ? VendorOperation::InstallApp : VendorOperation::Unknown;
    if (p.size() == 2 && exchange.phase == DataPhase::None) return VendorOperation::SyncMLOpenSession;
    if (p.size() != 1) return VendorOperation::Unknown;
    const bool atMeant = at_.open && at_.session && at_.sessionValue == p[0];
    const bool syncmlMeant = syncml_.open && syncml_.session && syncml_.sessionValue == p[0];
    if (!atMeant && !syncmlMeant) {
        return at_.open && !at_.session && exchange.phase == DataPhase::None ? VendorOperation::ATOpenSession
                                                                             : VendorOperation::Unknown;
    }
    const bool at = atMeant && (!syncmlMeant || at_.openedAt > syncml_.openedAt);
    switch (exchange.phase) {
        case DataPhase::None: return at ? VendorOperation::ATCloseSession : VendorOperation::SyncMLRequest;
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
            if (p.size() != 1 || (p[0] != kATChannel && p[0] != kSyncMLChannel)) return PTP_RC_InvalidParameter;
            Channel &channel = p[0] == kATChannel ? at_ : syncml_;
            if (exchange.operation == VendorOperation::OpenChannel) {
                if (channel.open) return PTP_RC_SessionAlreadyOpened;
                channel = Channel{true, ++openings_, false, 0};
                return PTP_RC_OK;
            }
            if (!channel.open) return PTP_RC_SessionNotOpen;
            channel = Channel{};  // closing the channel ends its session
            if (p[0] == kATChannel) atPending_.clear();
            return PTP_RC_OK;
        }
        case VendorOperation::ATOpenSession:
            at_.session = true;
            at_.sessionValue = p[0];
            atPending_.clear();
            return PTP_RC_OK;
        case VendorOperation::ATCloseSession: at_.session = false; return PTP_RC_OK;
        case VendorOperation::SyncMLOpenSession:
            if (!syncml_.open) return PTP_RC_SessionNotOpen;
            if (syncml_.session) return PTP_RC_SessionAlreadyOpened;
            syncml_.session = true;
            syncml_.sessionValue = p[1];
            packageReceived_ = false;
            reply_.reset();
            return PTP_RC_OK;
        case VendorOperation::SyncMLRequest: {
            // The reply to the package received; with none pending, a reply without data.
            std::vector<BYTE> reply;
            if (std::exchange(packageReceived_, false)) {
                reply.push_back(replyType_);
                reply.insert(reply.end(), replyPackage_.begin(), replyPackage_.end());
            }
            reply_ = std::move(reply);
            QueueCompletion();
            return PTP_RC_OK;
        }
        default: return exchange.opCode == 0 ? PTP_RC_SessionNotOpen : PTP_RC_OperationNotSupported;
    }
}

ULONG VendorPhone::Produce(VendorExchange &exchange, std::vector<BYTE> &out) {
    switch (exchange.operation) {
        case VendorOperation::GetObjectHandles: return ObjectHandles(out);
        case VendorOperation::GetObjectPropValue:
            if (exchange.params.size() != 2) return PTP_RC_InvalidParameter;
            if (exchange.params[1] != PTP_OPC_PersistantUniqueObjectIdentifier) return PTP_RC_MTP_Invalid_ObjectPropCode;
            return PersistentIdOf(exchange.params[0], out);
        case VendorOperation::GetObjectPropList: return ObjectPropList(exchange.params, out);
        case VendorOperation::ATRead:
            out.assign(atPending_.begin(), atPending_.end());
            atPending_.clear();
            return PTP_RC_OK;
        case VendorOperation::SyncMLGet:
            // Nothing requested, or nothing to reply: no data.
            out = reply_.value_or(std::vector<BYTE>{});
            reply_.reset();
            return PTP_RC_OK;
        default: return exchange.opCode == 0 ? PTP_RC_SessionNotOpen : PTP_RC_OperationNotSupported;
    }
}

ULONG VendorPhone::Consume(VendorExchange &exchange) {
    switch (exchange.operation) {
        case VendorOperation::ATWrite: {
            const std::string command(exchange.data.begin(), exchange.data.end());
            atCommands_.Add(command, phone_.Controls().RecordLimit());
            const std::string reply = ModemReply(command);
            // The reply in atReplyEvents_ nearly equal pieces, one per event.
            const size_t pieces = std::min<size_t>(atReplyEvents_, reply.size());
            size_t start = 0;
            for (size_t i = 0; i < pieces; ++i) {
                const size_t end = reply.size() * (i + 1) / pieces;
                QueueATReply(reply.substr(start, end - start), atEventCode_);
                start = end;
            }
            return PTP_RC_OK;
        }
        case VendorOperation::SyncMLPut:
            syncmlPackages_.Add(exchange.data, phone_.Controls().RecordLimit());
            packageReceived_ = true;
            QueueCompletion();
            return PTP_RC_OK;
        case VendorOperation::InstallApp: return Install(exchange.data);
        default: return exchange.opCode == 0 ? PTP_RC_SessionNotOpen : PTP_RC_OperationNotSupported;
    }
}

ULONG VendorPhone::ObjectHandles(std::vector<BYTE> &out) const {
    const std::vector<PhoneObject> objects = ListedObjects(phone_);
    AppendUInt32(out, static_cast<ULONG>(objects.size()));
    for (const PhoneObject &object : objects) AppendUInt32(out, object.handle);
    return PTP_RC_OK;
}

ULONG VendorPhone::PersistentIdOf(ULONG handle, std::vector<BYTE> &out) const {
    const std::optional<PhoneObject> object = phone_.FindObjectByHandle(handle);
    if (!object) return PTP_RC_InvalidObjectHandle;
    return AppendPersistentId(*object, out) ? PTP_RC_OK : PTP_RC_GeneralError;
}

// MTP GetObjectPropList [handle, format, property, group, depth], for the one property the
// phone lists this way, the persistent unique id. Handle 0xFFFFFFFF is every object, with depth 0 or
// 0xFFFFFFFF (Android's responder takes both); another handle is that object at depth 0 and its
// children at depth 1; handle 0 is the root, whose children are the objects at the storages' tops.
// What the phone does not do it answers as MTP says: by format, by group, other depths.
ULONG VendorPhone::ObjectPropList(const std::vector<ULONG> &params, std::vector<BYTE> &out) const {
    if (!phone_.Profile().bulkProperties) return PTP_RC_OperationNotSupported;
    if (params.size() != 5) return PTP_RC_InvalidParameter;
    const ULONG handle = params[0], format = params[1], property = params[2], depth = params[4];
    if (format != 0) return PTP_RC_SpecificationByFormatUnsupported;
    if (property == 0) return PTP_RC_MTP_Specification_By_Group_Unsupported;
    if (property != kAll && property != PTP_OPC_PersistantUniqueObjectIdentifier) {
        return PTP_RC_MTP_Invalid_ObjectPropCode;
    }
    const std::vector<PhoneObject> objects = ListedObjects(phone_);
    std::function<bool(const PhoneObject &)> selected;
    const bool everything = (handle == kAll && (depth == 0 || depth == kAll)) || (handle == 0 && depth == kAll);
    if (everything) {
        selected = [](const PhoneObject &) { return true; };
    } else if (handle == 0 && depth == 1) {
        selected = [&](const PhoneObject &o) { return o.parentId == o.storageId; };
    } else if (handle != 0 && handle != kAll && (depth == 0 || depth == 1)) {
        const auto object = std::find_if(objects.begin(), objects.end(), [&](const PhoneObject &o) { return o.handle == handle; });
        if (object == objects.end()) return PTP_RC_InvalidObjectHandle;
        const std::wstring id = object->id;
        selected = [id, depth](const PhoneObject &o) { return depth == 0 ? o.id == id : o.parentId == id; };
    } else {
        return PTP_RC_MTP_Specification_By_Depth_Unsupported;
    }
    std::vector<BYTE> elements;
    ULONG count = 0;
    for (const PhoneObject &object : objects) {
        if (!selected(object)) continue;
        AppendUInt32(elements, object.handle);
        AppendLittleEndian(elements, PTP_OPC_PersistantUniqueObjectIdentifier, 2);
        AppendLittleEndian(elements, PTP_DTC_UINT128, 2);
        if (!AppendPersistentId(object, elements)) return PTP_RC_GeneralError;
        ++count;
    }
    AppendUInt32(out, count);
    out.insert(out.end(), elements.begin(), elements.end());
    return PTP_RC_OK;
}

ULONG VendorPhone::Install(const std::vector<BYTE> &data) {
    if (data.empty() || data.size() % 4 != 0) return PTP_RC_InvalidParameter;
    std::vector<ULONG> handles;
    for (size_t i = 0; i < data.size(); i += 4) {
        handles.push_back(data[i] | data[i + 1] << 8 | data[i + 2] << 16 | static_cast<ULONG>(data[i + 3]) << 24);
    }
    const std::vector<PhoneObject> tree = phone_.Tree();
    for (ULONG handle : handles) {
        const bool file = std::any_of(tree.begin(), tree.end(), [&](const PhoneObject &object) {
            return object.kind == ObjectKind::File && object.handle == handle;
        });
        if (!file) return PTP_RC_InvalidObjectHandle;
    }
    installRequests_.Add(std::move(handles), phone_.Controls().RecordLimit());
    return PTP_RC_OK;
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

}  // namespace vphone
