#include "virtualphone/model/phone_controls.h"

#include "virtualphone/model/phone_object.h"

#include <algorithm>

namespace vphone {

void PhoneControls::FailCall(const std::string &method, unsigned nth, HRESULT hr) {
    std::lock_guard lock(mutex_);
    faults_[method].push_back({calls_[method] + nth, hr});
}

void PhoneControls::FailEveryCall(const std::string &method, HRESULT hr) {
    std::lock_guard lock(mutex_);
    faults_[method].push_back({0, hr});
}

void PhoneControls::ClearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

unsigned PhoneControls::CallCount(const std::string &method) const {
    std::lock_guard lock(mutex_);
    const auto found = calls_.find(method);
    return found == calls_.end() ? 0 : found->second;
}

void PhoneControls::RefuseFullAccess(bool refuse) {
    std::lock_guard lock(mutex_);
    refuseFullAccess_ = refuse;
}

void PhoneControls::HideFromManager(bool hide) {
    std::lock_guard lock(mutex_);
    hidden_ = hide;
}

void PhoneControls::RefuseReferences(bool refuse) {
    std::lock_guard lock(mutex_);
    refuseReferences_ = refuse;
}

void PhoneControls::MakeUnreadable(const PROPERTYKEY &key, HRESULT hr, const std::wstring &objectId) {
    std::lock_guard lock(mutex_);
    unreadable_.push_back({key, hr, objectId});
}

void PhoneControls::FailSetValue(const PROPERTYKEY &key, HRESULT hr) {
    std::lock_guard lock(mutex_);
    setValueFaults_.emplace_back(key, hr);
}

void PhoneControls::SetTransferSizes(DWORD readSize, DWORD writeSize) {
    std::lock_guard lock(mutex_);
    readTransferSize_ = readSize;
    writeTransferSize_ = writeSize;
}

void PhoneControls::LimitReadsTo(ULONG bytesPerRead) {
    std::lock_guard lock(mutex_);
    readLimit_ = bytesPerRead;
}

void PhoneControls::KeepSubscriptionsOnRelease(bool keep) {
    std::lock_guard lock(mutex_);
    keepSubscriptions_ = keep;
}

void PhoneControls::UnplugLocked(bool unplugged) {
    if (unplugged && !unplugged_) ++connection_;
    unplugged_ = unplugged;
}

void PhoneControls::Unplug() {
    std::lock_guard lock(mutex_);
    UnplugLocked(true);
}

void PhoneControls::PlugIn() {
    std::lock_guard lock(mutex_);
    UnplugLocked(false);
}

void PhoneControls::SetLink(LinkSpeed speed) { link_.SetSpeed(speed); }

void PhoneControls::SetRecordLimit(std::size_t limit) {
    std::lock_guard lock(mutex_);
    recordLimit_ = limit;
}

void PhoneControls::Apply(const ControlSettings &settings) {
    for (const InjectedFault &fault : settings.faults) {
        if (fault.nth == 0) {
            FailEveryCall(fault.method, fault.hr);
        } else {
            FailCall(fault.method, fault.nth, fault.hr);
        }
    }
    for (const UnreadableProperty &property : settings.unreadable) MakeUnreadable(property.key, property.hr);
    RefuseFullAccess(settings.refuseFullAccess);
    SetTransferSizes(settings.readTransferSize, settings.writeTransferSize);
    SetLink(settings.link);
    SetRecordLimit(settings.recordLimit);
    if (settings.unplugged) Unplug();
}

void PhoneControls::ShareThrough(std::unique_ptr<SharedControls> shared) {
    std::lock_guard lock(mutex_);
    shared_ = std::move(shared);
    sharedGeneration_ = -1;
    Refresh();
}

void PhoneControls::Refresh() {
    if (!shared_ || shared_->Generation() == sharedGeneration_) return;
    ControlSettings settings;
    unsigned connection = 0;
    long generation = 0;
    if (!shared_->Read(&settings, &connection, &generation)) return;
    refuseFullAccess_ = settings.refuseFullAccess;
    readTransferSize_ = settings.readTransferSize;
    writeTransferSize_ = settings.writeTransferSize;
    link_.SetSpeed(settings.link);
    recordLimit_ = settings.recordLimit;
    unplugged_ = settings.unplugged;
    connection_ = connection;
    sharedSettings_ = std::move(settings);
    sharedGeneration_ = generation;
}

std::vector<TranscriptEntry> PhoneControls::Transcript() const {
    std::lock_guard lock(mutex_);
    return transcript_.Entries();
}

void PhoneControls::ClearTranscript() {
    std::lock_guard lock(mutex_);
    transcript_.Clear();
}

std::vector<std::pair<PROPERTYKEY, PropertyValue>> PhoneControls::ClientInformation() const {
    std::lock_guard lock(mutex_);
    return clientInformation_;
}

unsigned PhoneControls::Connection() {
    std::lock_guard lock(mutex_);
    Refresh();
    return connection_;
}

bool PhoneControls::Connected(unsigned connection) {
    std::lock_guard lock(mutex_);
    Refresh();
    return !unplugged_ && connection == connection_;
}

bool PhoneControls::Unplugged() {
    std::lock_guard lock(mutex_);
    Refresh();
    return unplugged_;
}

HRESULT PhoneControls::SharedFault(const char *method) {
    HRESULT fault = S_OK;
    for (std::size_t i = 0; i < sharedSettings_.faults.size(); ++i) {
        const InjectedFault &planned = sharedSettings_.faults[i];
        // Every slot of the method counts the call, also when an earlier one already fails it.
        if (planned.method == method && shared_->CountCall(i) && SUCCEEDED(fault)) fault = planned.hr;
    }
    return fault;
}

HRESULT PhoneControls::OnCall(const char *method, std::initializer_list<std::wstring_view> arguments) {
    std::lock_guard lock(mutex_);
    Refresh();
    if (Recording<TranscriptEntry>::Wanted(recordLimit_)) {
        std::wstring text;
        for (std::wstring_view argument : arguments) {
            if (!text.empty()) text += L", ";
            text += argument;
        }
        transcript_.Add({method, std::move(text)}, recordLimit_);
    }
    const unsigned call = ++calls_[method];
    const HRESULT shared = SharedFault(method);
    if (FAILED(shared)) return shared;
    const auto planned = faults_.find(std::string_view(method));
    if (planned == faults_.end()) return S_OK;
    for (const Fault &fault : planned->second) {
        if (fault.atCall == 0 || fault.atCall == call) return fault.hr;
    }
    return S_OK;
}

void PhoneControls::Record(const char *what, std::wstring arguments) {
    std::lock_guard lock(mutex_);
    transcript_.Add({what, std::move(arguments)}, recordLimit_);
}

std::size_t PhoneControls::RecordLimit() {
    std::lock_guard lock(mutex_);
    Refresh();
    return recordLimit_;
}

bool PhoneControls::FullAccessRefused() {
    std::lock_guard lock(mutex_);
    Refresh();
    return refuseFullAccess_;
}

bool PhoneControls::Hidden() const {
    std::lock_guard lock(mutex_);
    return hidden_;
}

bool PhoneControls::ReferencesRefused() const {
    std::lock_guard lock(mutex_);
    return refuseReferences_;
}

HRESULT PhoneControls::ReadFault(const std::wstring &objectId, const PROPERTYKEY &key) {
    std::lock_guard lock(mutex_);
    Refresh();
    for (const Unreadable &entry : unreadable_) {
        if (SameKey(entry.key, key) && (entry.objectId.empty() || entry.objectId == objectId)) return entry.hr;
    }
    for (const UnreadableProperty &entry : sharedSettings_.unreadable) {
        if (SameKey(entry.key, key)) return entry.hr;
    }
    return S_OK;
}

HRESULT PhoneControls::SetValueFault(const PROPERTYKEY &key) const {
    std::lock_guard lock(mutex_);
    for (const auto &[faultKey, hr] : setValueFaults_) {
        if (SameKey(faultKey, key)) return hr;
    }
    return S_OK;
}

DWORD PhoneControls::ReadTransferSize() {
    std::lock_guard lock(mutex_);
    Refresh();
    return readTransferSize_;
}

DWORD PhoneControls::WriteTransferSize() {
    std::lock_guard lock(mutex_);
    Refresh();
    return writeTransferSize_;
}

ULONG PhoneControls::ReadLimit() const {
    std::lock_guard lock(mutex_);
    return readLimit_;
}

bool PhoneControls::SubscriptionsKeptOnRelease() const {
    std::lock_guard lock(mutex_);
    return keepSubscriptions_;
}

void PhoneControls::RecordClientInformation(std::vector<std::pair<PROPERTYKEY, PropertyValue>> values) {
    std::lock_guard lock(mutex_);
    clientInformation_ = std::move(values);
}

}  // namespace vphone
