// Switches that make the phone misbehave, the link's costs, unplugging, and the record of what the
// phone received. Tests turn them in process; an installed phone takes them from its controls file
// (ShareThrough), which its description and vphone-ctl write.
#pragma once

#include "virtualphone/model/control_settings.h"
#include "virtualphone/model/link.h"
#include "virtualphone/model/property_value.h"
#include "virtualphone/model/recording.h"
#include "virtualphone/model/shared_controls.h"

#include <windows.h>
#include <propsys.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vphone {

// What every call of an unplugged phone gives, as a removed device's calls do: the device is not
// connected (what the platform's USB stack reports for transfers to a device that went away).
inline constexpr HRESULT kPhoneUnplugged = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

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

    // Unplugged, every call fails with kPhoneUnplugged and the manager lists no device. Devices
    // opened before stay dead once the phone is plugged in again, as a real opened handle does.
    void Unplug();
    void PlugIn();
    void SetLink(LinkSpeed speed);
    // How many calls and vendor exchanges are kept: kRecordEverything (the default), 0 for none.
    void SetRecordLimit(std::size_t limit);
    // Turns every control the settings name, as the calls above would.
    void Apply(const ControlSettings &settings);
    // From now on the controls file decides: a change that another process makes there is seen at
    // this phone's next call. The calls above still work for what the file does not hold.
    void ShareThrough(std::unique_ptr<SharedControls> shared);

    std::vector<TranscriptEntry> Transcript() const;
    void ClearTranscript();
    // The client information of the last Open.
    std::vector<std::pair<PROPERTYKEY, PropertyValue>> ClientInformation() const;

    // For the platform classes.
    // The connection now: objects made now belong to it. Connected: plugged in, still that connection.
    unsigned Connection();
    bool Connected(unsigned connection);
    bool Unplugged();
    Link &Cable() noexcept { return link_; }
    // Records (when recording), counts, and gives the injected fault.
    HRESULT OnCall(const char *method, std::initializer_list<std::wstring_view> arguments);
    void Record(const char *what, std::wstring arguments);  // records only
    std::size_t RecordLimit();
    bool FullAccessRefused();
    bool Hidden() const;
    bool ReferencesRefused() const;
    HRESULT ReadFault(const std::wstring &objectId, const PROPERTYKEY &key);  // S_OK when readable
    HRESULT SetValueFault(const PROPERTYKEY &key) const;
    DWORD ReadTransferSize();
    DWORD WriteTransferSize();
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
    // Takes the controls file's settings when another process changed them. Under the lock.
    void Refresh();
    void UnplugLocked(bool unplugged);
    HRESULT SharedFault(const char *method);

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
    bool unplugged_ = false;
    unsigned connection_ = 0;
    Link link_;
    std::size_t recordLimit_ = kRecordEverything;
    Recording<TranscriptEntry> transcript_;
    std::vector<std::pair<PROPERTYKEY, PropertyValue>> clientInformation_;

    std::unique_ptr<SharedControls> shared_;
    long sharedGeneration_ = -1;
    ControlSettings sharedSettings_;  // as last read: its faults and unreadable properties apply
};

}  // namespace vphone
