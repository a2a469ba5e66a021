// The vendor phone's controls, records, clock properties and events.
#include "virtualphone/extension/vendor_phone.h"

#include "virtualphone/platform/com_out.h"
#include "win/unique_any.h"

#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <utility>

namespace vphone {

using Microsoft::WRL::ComPtr;
using namespace wpd;

namespace {

constexpr HRESULT kNotMine = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr unsigned kATPendingData = 0;
constexpr unsigned kSyncMLOperationComplete = 1;

constexpr wchar_t kFirstClockText[] = L"2009/01/01,12:00:00+00";

GUID VendorEventId(unsigned number) {
    GUID id = WPD_EVENT_MTP_VENDOR_EXTENDED_EVENTS;
    id.Data1 = static_cast<unsigned long>(number) << 16;
    return id;
}

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
void VendorPhone::SetReadData(VendorOperation operation, std::vector<BYTE> data) {
    std::lock_guard lock(mutex_);
    readData_[operation] = std::move(data);
}
void VendorPhone::ClearResponses() {
    std::lock_guard lock(mutex_);
    responses_.clear();
    readData_.clear();
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
void VendorPhone::SetOptimalTransferSize(std::optional<DWORD> bytes) {
    std::lock_guard lock(mutex_);
    optimalSize_ = bytes;
}
void VendorPhone::AnnounceReadSize(std::optional<ULONGLONG> total) {
    std::lock_guard lock(mutex_);
    announcedReadSize_ = total;
}
void VendorPhone::LimitReadsTo(ULONG bytes) {
    std::lock_guard lock(mutex_);
    readLimit_ = bytes;
}
void VendorPhone::FailDataStep(unsigned nth, HRESULT hr) {
    std::lock_guard lock(mutex_);
    stepsUntilFault_ = nth;
    stepFault_ = hr;
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
void VendorPhone::PushATReply(std::string text) {
    std::lock_guard lock(mutex_);
    QueueATReply(std::move(text), PTP_RC_OK);
}

std::vector<VendorExchange> VendorPhone::Exchanges() const {
    std::lock_guard lock(mutex_);
    return exchanges_.Entries();
}
void VendorPhone::ClearExchanges() {
    std::lock_guard lock(mutex_);
    exchanges_.Clear();
    transfers_.clear();
}
std::vector<std::string> VendorPhone::ATCommands() const {
    std::lock_guard lock(mutex_);
    return atCommands_.Entries();
}
std::vector<std::vector<BYTE>> VendorPhone::SyncMLPackages() const {
    std::lock_guard lock(mutex_);
    return syncmlPackages_.Entries();
}
std::vector<std::vector<ULONG>> VendorPhone::InstallRequests() const {
    std::lock_guard lock(mutex_);
    return installRequests_.Entries();
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
// Events, raised from the phone's own thread in the order they fall due

void VendorPhone::Queue(DWORD delayMs, const GUID &id, std::vector<ULONG> params, std::string atText) {
    PendingEvent event{GetTickCount64() + delayMs, id, std::move(params), std::move(atText)};
    const auto later = std::upper_bound(events_.begin(), events_.end(), event.due,
                                        [](ULONGLONG due, const PendingEvent &e) { return due < e.due; });
    events_.insert(later, std::move(event));
    eventsChanged_.notify_all();
}

void VendorPhone::QueueATReply(std::string text, ULONG code) {
    Queue(0, VendorEventId(kATPendingData), {at_.sessionValue, code}, std::move(text));
}

void VendorPhone::QueueCompletion() {
    if (lostCompletions_ > 0) {
        --lostCompletions_;
        return;
    }
    Queue(completionDelay_, VendorEventId(kSyncMLOperationComplete), {syncml_.sessionValue, 0, completionCode_});
}

// The parameters of a vendor event go under WPD_PROPERTY_MTP_EXT_EVENT_PARAMS, a collection of VT_UI4,
// as the platform reports them ("MTP Extension Events" in the portable-device documentation).
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
    phone_.Events().Raise(values.Get());
}

void VendorPhone::Run() {
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
        // In the multithreaded apartment only while delivering, as the platform's event threads are:
        // an idle phone must not keep the apartment alive for its clients.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Deliver(event);
        if (SUCCEEDED(com)) CoUninitialize();
        lock.lock();
        delivering_ = false;
        eventsChanged_.notify_all();
    }
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
