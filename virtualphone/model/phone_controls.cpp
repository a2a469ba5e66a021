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

std::vector<TranscriptEntry> PhoneControls::Transcript() const {
    std::lock_guard lock(mutex_);
    return transcript_;
}

void PhoneControls::ClearTranscript() {
    std::lock_guard lock(mutex_);
    transcript_.clear();
}

std::vector<std::pair<PROPERTYKEY, PropertyValue>> PhoneControls::ClientInformation() const {
    std::lock_guard lock(mutex_);
    return clientInformation_;
}

HRESULT PhoneControls::OnCall(const char *method, std::wstring arguments) {
    std::lock_guard lock(mutex_);
    transcript_.push_back({method, std::move(arguments)});
    const unsigned call = ++calls_[method];
    const auto planned = faults_.find(std::string_view(method));
    if (planned == faults_.end()) return S_OK;
    for (const Fault &fault : planned->second) {
        if (fault.atCall == 0 || fault.atCall == call) return fault.hr;
    }
    return S_OK;
}

void PhoneControls::Record(const char *what, std::wstring arguments) {
    std::lock_guard lock(mutex_);
    transcript_.push_back({what, std::move(arguments)});
}

bool PhoneControls::FullAccessRefused() const {
    std::lock_guard lock(mutex_);
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

HRESULT PhoneControls::ReadFault(const std::wstring &objectId, const PROPERTYKEY &key) const {
    std::lock_guard lock(mutex_);
    for (const Unreadable &entry : unreadable_) {
        if (SameKey(entry.key, key) && (entry.objectId.empty() || entry.objectId == objectId)) return entry.hr;
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

DWORD PhoneControls::ReadTransferSize() const {
    std::lock_guard lock(mutex_);
    return readTransferSize_;
}

DWORD PhoneControls::WriteTransferSize() const {
    std::lock_guard lock(mutex_);
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
