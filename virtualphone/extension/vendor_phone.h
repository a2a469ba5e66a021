// The phone maker's MTP extension as the virtual phone runs it: the AT and SyncML channels, the
// installer, the clock properties, and the standard operations a client sends through the extension
// commands. It takes the commands as strictly as the platform's MTP driver does; the rules, and how it
// tells its operations apart, are in PROTOCOL.md.
//
//   vphone::VendorPhone &vendor = vphone::AttachVendorExtension(*phone);   // before the phone is used
//   vendor.SetResponse(vphone::VendorOperation::ATWrite, wpd::PTP_RC_DeviceBusy);
//   ... the client ...
//   vendor.WaitForEvents();
//   EXPECT_EQ(vendor.ATCommands(), ...);
#pragma once

#include "virtualphone/model/phone.h"
#include "virtualphone/model/phone_extension.h"
#include "virtualphone/model/recording.h"
#include "win/unique_any.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vphone {

enum class VendorOperation {
    OpenChannel,
    CloseChannel,
    SyncMLOpenSession,
    SyncMLPut,
    SyncMLRequest,  // also what a session close looks like: the two are the same on the wire
    SyncMLGet,
    ATOpenSession,
    ATCloseSession,
    ATWrite,
    ATRead,
    InstallApp,
    GetObjectHandles,
    GetObjectPropValue,
    GetObjectPropList,
    Unknown,
};

enum class DataPhase { None, ToPhone, FromPhone };

// One operation as the phone received and answered it, recorded when it ended.
struct VendorExchange {
    WORD opCode = 0;
    VendorOperation operation = VendorOperation::Unknown;
    std::vector<ULONG> params;
    DataPhase phase = DataPhase::None;
    ULONGLONG declaredSize = 0;   // what the client announced (writes) or the phone announced (reads)
    std::vector<ULONG> chunks;    // sizes of the write steps, or of the read steps' answers
    std::vector<BYTE> data;       // the whole data phase
    ULONG response = 0;
};

class VendorPhone final : public PhoneExtension {
public:
    explicit VendorPhone(Phone &phone);
    ~VendorPhone() override;
    VendorPhone(const VendorPhone &) = delete;
    VendorPhone &operator=(const VendorPhone &) = delete;

    // Controls. Every later operation of that kind is answered with code and has no other effect.
    void SetResponse(VendorOperation operation, ULONG code);
    // Every later read of that kind that the phone answers hands out data instead of its own.
    void SetReadData(VendorOperation operation, std::vector<BYTE> data);
    void ClearResponses();  // both of the above
    // SyncML completions: raised after delay, carrying code; the next count of them are never raised.
    void SetCompletion(DWORD delayMs, ULONG code = wpd::PTP_RC_OK);
    void LoseCompletions(unsigned count);
    // An AT reply arrives in this many pending-data events, each carrying code.
    void SetATReplyEvents(unsigned count, ULONG code = wpd::PTP_RC_OK);
    // The transfer size a read announces: a number (0 too), or none at all.
    void SetOptimalTransferSize(std::optional<DWORD> bytes);
    // Reads announce this total instead of what they hold (0xFFFFFFFF: size unknown); nullopt: the truth.
    void AnnounceReadSize(std::optional<ULONGLONG> total);
    // A read step hands out at most this many bytes, whatever was asked for; 0 = no limit.
    void LimitReadsTo(ULONG bytes);
    // The nth read or write step from now (1-based) fails with hr, moving nothing; its transfer stays open.
    void FailDataStep(unsigned nth, HRESULT hr);
    void SetSyncMLReply(BYTE type, std::vector<BYTE> package);
    void SetClock(std::wstring text, ULONG dst);
    // Events of the phone's own accord.
    void RaiseVendorEvent(unsigned number, std::vector<ULONG> params);
    void RaiseObjectAdded();
    void PushATReply(std::string text);  // on the open AT session, as a modem's unsolicited line
    // Returns once every queued event, delayed ones included, has been delivered.
    void WaitForEvents();

    // Records.
    std::vector<VendorExchange> Exchanges() const;
    void ClearExchanges();
    std::vector<std::string> ATCommands() const;
    std::vector<std::vector<BYTE>> SyncMLPackages() const;  // as received: type byte, then the package
    std::vector<std::vector<ULONG>> InstallRequests() const;
    std::wstring ClockText() const;
    ULONG Dst() const;

    HRESULT SendCommand(IPortableDeviceValues *parameters, IPortableDeviceValues *results) override;
    HRESULT ReadDeviceProperty(const PROPERTYKEY &key, PROPVARIANT *value) override;
    HRESULT WriteDeviceProperty(const PROPERTYKEY &key, const PROPVARIANT &value) override;
    std::wstring SavedState() const override;
    void RestoreState(const std::wstring &state) override;

private:
    struct Channel {
        bool open = false;
        unsigned openedAt = 0;  // order of opening: the later channel wins where both could be meant
        bool session = false;
        ULONG sessionValue = 0;
    };
    // An operation with a data phase, from its first command to its end.
    struct Transfer {
        VendorExchange exchange;
        std::vector<BYTE> out;
        size_t position = 0;
        std::optional<ULONG> refused;
    };
    struct PendingEvent {
        ULONGLONG due;
        GUID id;
        std::vector<ULONG> params;
        std::string atText;  // made readable just before the event goes out
    };

    // The commands' steps (vendor_steps.cpp).
    HRESULT Execute(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT Begin(IPortableDeviceValues *parameters, IPortableDeviceValues *results, DataPhase phase);
    HRESULT ReadStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT WriteStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT End(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT ReadRequest(IPortableDeviceValues *parameters, DataPhase phase, VendorExchange &exchange) const;
    struct DataStep {
        Transfer *transfer = nullptr;
        ULONG count = 0;
        win::UniquePropVariant buffer;
    };
    HRESULT TakeStep(IPortableDeviceValues *parameters, DataPhase phase, const PROPERTYKEY &countKey, DataStep &step);

    // The operations' effects (vendor_operations.cpp); each returns the response code.
    VendorOperation Classify(const VendorExchange &exchange) const;
    ULONG Execute(VendorExchange &exchange);
    ULONG Produce(VendorExchange &exchange, std::vector<BYTE> &out);
    ULONG Consume(VendorExchange &exchange);
    ULONG ObjectHandles(std::vector<BYTE> &out) const;
    ULONG PersistentIdOf(ULONG handle, std::vector<BYTE> &out) const;
    ULONG ObjectPropList(const std::vector<ULONG> &params, std::vector<BYTE> &out) const;
    ULONG Install(const std::vector<BYTE> &data);
    std::string ModemReply(const std::string &command) const;

    // Events (vendor_phone.cpp).
    void Queue(DWORD delayMs, const GUID &id, std::vector<ULONG> params, std::string atText = {});
    void QueueATReply(std::string text, ULONG code);  // a pending-data event; the text is read after it
    void QueueCompletion();
    void Deliver(const PendingEvent &event);
    void Run();

    Phone &phone_;
    mutable std::mutex mutex_;
    std::map<VendorOperation, ULONG> responses_;
    std::map<VendorOperation, std::vector<BYTE>> readData_;
    Channel at_;
    Channel syncml_;
    unsigned openings_ = 0;
    bool packageReceived_ = false;           // a SyncML package came and no request since
    std::optional<std::vector<BYTE>> reply_;  // what the next SyncML get hands out, once requested
    std::string atPending_;
    std::map<std::wstring, Transfer> transfers_;
    unsigned nextTransfer_ = 1;
    // Records, kept as far as the phone's record limit says.
    Recording<VendorExchange> exchanges_;
    Recording<std::string> atCommands_;
    Recording<std::vector<BYTE>> syncmlPackages_;
    Recording<std::vector<ULONG>> installRequests_;
    BYTE replyType_ = 1;
    std::vector<BYTE> replyPackage_;
    // Read under the phone's lock: a lock of its own, taken last.
    mutable std::mutex clockMutex_;
    std::wstring clockText_;
    ULONG dst_ = 0;
    bool clockTextNext_ = true;
    DWORD completionDelay_ = 0;
    ULONG completionCode_ = wpd::PTP_RC_OK;
    unsigned lostCompletions_ = 0;
    unsigned atReplyEvents_ = 1;
    ULONG atEventCode_ = wpd::PTP_RC_OK;
    std::optional<DWORD> optimalSize_ = 4096;
    std::optional<ULONGLONG> announcedReadSize_;
    ULONG readLimit_ = 0;
    unsigned stepsUntilFault_ = 0;  // 0: no fault planned
    HRESULT stepFault_ = S_OK;

    std::deque<PendingEvent> events_;
    bool delivering_ = false;
    bool stopping_ = false;
    std::condition_variable eventsChanged_;
    std::thread thread_;
};

// Gives the phone the vendor extension, which lives as long as the phone.
VendorPhone &AttachVendorExtension(Phone &phone);

}  // namespace vphone
