// Switches that tests turn to make the phone misbehave, and the record of what it received.
#pragma once

#include "virtualphone/model/property_value.h"

#include <windows.h>
#include <propsys.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vphone {

// One call as the phone received it: "IPortableDeviceContent::EnumObjects" and its arguments as text.
struct TranscriptEntry {
    std::string method;
    std::wstring arguments;
};

class PhoneControls {
public:
    // Faults: the nth call (1-based, counted from now) of method, or every call, fails with hr
    // before the method does anything. Method names are "Interface::Method".
    void FailCall(const std::string &method, unsigned nth, HRESULT hr);
    void FailEveryCall(const std::string &method, HRESULT hr);
    void ClearFaults();
    unsigned CallCount(const std::string &method) const;

    void RefuseFullAccess(bool refuse);  // Open: E_ACCESSDENIED unless the client asks for GENERIC_READ
    void HideFromManager(bool hide);
    void RefuseReferences(bool refuse);  // no WPD_OBJECT_REFERENCES: neither read nor accepted
    // GetValues reports key as VT_ERROR hr (of every object when objectId is empty).
    void MakeUnreadable(const PROPERTYKEY &key, HRESULT hr = E_ACCESSDENIED, const std::wstring &objectId = {});
    void FailSetValue(const PROPERTYKEY &key, HRESULT hr);  // SetValues' per-key result
    // Optimal transfer sizes reported by GetStream and CreateObjectWithPropertiesAndData (may be 0).
    void SetTransferSizes(DWORD readSize, DWORD writeSize);
    void LimitReadsTo(ULONG bytesPerRead);  // short reads; 0 = no limit
    // A device object released without Unadvise keeps its event subscriptions, as a real driver may:
    // the phone goes on calling the client's callbacks.
    void KeepSubscriptionsOnRelease(bool keep);

    std::vector<TranscriptEntry> Transcript() const;
    void ClearTranscript();
    // The client information of the last Open.
    std::vector<std::pair<PROPERTYKEY, PropertyValue>> ClientInformation() const;

    // For the platform classes.
    HRESULT OnCall(const char *method, std::wstring arguments);  // records, counts, and gives the fault
    void Record(const char *what, std::wstring arguments);      // records only
    bool FullAccessRefused() const;
    bool Hidden() const;
    bool ReferencesRefused() const;
    HRESULT ReadFault(const std::wstring &objectId, const PROPERTYKEY &key) const;  // S_OK when readable
    HRESULT SetValueFault(const PROPERTYKEY &key) const;
    DWORD ReadTransferSize() const;
    DWORD WriteTransferSize() const;
    ULONG ReadLimit() const;
    bool SubscriptionsKeptOnRelease() const;
    void RecordClientInformation(std::vector<std::pair<PROPERTYKEY, PropertyValue>> values);

private:
    struct Fault {
        unsigned atCall;  // 0 = every call
        HRESULT hr;
    };
    struct Unreadable {
        PROPERTYKEY key;
        HRESULT hr;
        std::wstring objectId;
    };

    mutable std::mutex mutex_;
    std::map<std::string, unsigned, std::less<>> calls_;
    std::map<std::string, std::vector<Fault>, std::less<>> faults_;
    bool refuseFullAccess_ = false;
    bool hidden_ = false;
    bool refuseReferences_ = false;
    std::vector<Unreadable> unreadable_;
    std::vector<std::pair<PROPERTYKEY, HRESULT>> setValueFaults_;
    DWORD readTransferSize_ = 256 * 1024;
    DWORD writeTransferSize_ = 256 * 1024;
    ULONG readLimit_ = 0;
    bool keepSubscriptions_ = false;
    std::vector<TranscriptEntry> transcript_;
    std::vector<std::pair<PROPERTYKEY, PropertyValue>> clientInformation_;
};

}  // namespace vphone
