// The phone maker's MTP extension as the virtual phone runs it: the AT and SyncML channels, the
// installer, the clock properties, and the standard operations a client sends through the extension
// commands. The rules by which it tells its operations apart are in PROTOCOL.md.
//
//   vphone::VendorPhone &vendor = vphone::AttachVendorExtension(*phone);   // before the phone is used
//   vendor.SetResponse(vphone::VendorOperation::ATWrite, 0x2019);
//   ... the client ...
//   vendor.WaitForEvents();
//   EXPECT_EQ(vendor.ATCommands(), ...);
#pragma once

#include "virtualphone/model/phone.h"
#include "virtualphone/model/phone_extension.h"

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
    SyncMLCloseSession,
    SyncMLPut,
    SyncMLRequest,
    SyncMLGet,
    ATOpenSession,
    ATCloseSession,
    ATWrite,
    ATRead,
    InstallApp,
    GetObjectHandles,
    GetObjectPropValue,
    Unknown,
};

enum class DataPhase { None, ToPhone, FromPhone };

// One operation as the phone received and answered it.
struct VendorExchange {
    WORD opCode = 0;
    VendorOperation operation = VendorOperation::Unknown;
    std::vector<ULONG> params;
    std::vector<VARTYPE> paramTypes;
    DataPhase phase = DataPhase::None;
    ULONGLONG declaredSize = 0;   // what the client announced (writes) or the phone announced (reads)
    std::vector<ULONG> chunks;    // sizes of the write steps, or of the read steps' answers
    std::vector<BYTE> data;       // the whole data phase
    ULONG response = 0;           // 0 until the operation ended
};

class VendorPhone final : public PhoneExtension {
public:
    explicit VendorPhone(Phone &phone);
    ~VendorPhone() override;
    VendorPhone(const VendorPhone &) = delete;
    VendorPhone &operator=(const VendorPhone &) = delete;

    // Controls. Every later operation of that kind is answered with code and has no other effect.
    void SetResponse(VendorOperation operation, ULONG code);
    void ClearResponses();
    // SyncML completions: raised after delay, carrying code; the next count of them are never raised.
    void SetCompletion(DWORD delayMs, ULONG code = 0x2001);
    void LoseCompletions(unsigned count);
    // An AT reply arrives in this many pending-data events, each carrying code.
    void SetATReplyEvents(unsigned count, ULONG code = 0x2001);
    void SetOptimalTransferSize(DWORD bytes);  // may be 0
    void SetEmptyReads(bool empty);            // read steps deliver no bytes
    void SetSyncMLReply(BYTE type, std::vector<BYTE> package);
    void SetClock(std::wstring text, ULONG dst);
    // Events of the phone's own accord.
    void RaiseVendorEvent(unsigned number, std::vector<ULONG> params);
    void RaiseObjectAdded();
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
    enum class SyncMLState { Idle, PackageReceived, ReplyReady };
    struct Transfer {
        size_t exchange;
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

    VendorOperation Classify(const VendorExchange &exchange) const;
    // Effects; each returns the response code.
    ULONG Execute(VendorExchange &exchange);
    ULONG Produce(VendorExchange &exchange, std::vector<BYTE> &out);
    ULONG Consume(VendorExchange &exchange);
    ULONG ObjectHandles(std::vector<BYTE> &out) const;
    ULONG PersistentIdOf(ULONG handle, std::vector<BYTE> &out) const;
    ULONG Install(const std::vector<BYTE> &data);
    std::string ModemReply(const std::string &command) const;

    HRESULT Begin(IPortableDeviceValues *parameters, IPortableDeviceValues *results, DataPhase phase);
    HRESULT ReadStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT WriteStep(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT End(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT Execute(IPortableDeviceValues *parameters, IPortableDeviceValues *results);
    HRESULT ReadRequest(IPortableDeviceValues *parameters, DataPhase phase, VendorExchange &exchange) const;
    Transfer *FindTransfer(IPortableDeviceValues *parameters);

    void Queue(DWORD delayMs, const GUID &id, std::vector<ULONG> params, std::string atText = {});
    void QueueCompletion();
    void Deliver(const PendingEvent &event);
    void Run();

    Phone &phone_;
    mutable std::mutex mutex_;
    std::map<VendorOperation, ULONG> responses_;
    Channel at_;
    Channel syncml_;
    unsigned openings_ = 0;
    SyncMLState syncmlState_ = SyncMLState::Idle;
    std::string atPending_;
    std::map<std::wstring, Transfer> transfers_;
    unsigned nextTransfer_ = 1;
    std::vector<VendorExchange> exchanges_;
    std::vector<std::string> atCommands_;
    std::vector<std::vector<BYTE>> syncmlPackages_;
    std::vector<std::vector<ULONG>> installRequests_;
    BYTE replyType_ = 1;
    std::vector<BYTE> replyPackage_;
    // Read under the phone's lock: a lock of its own, taken last.
    mutable std::mutex clockMutex_;
    std::wstring clockText_;
    ULONG dst_ = 0;
    bool clockTextNext_ = true;
    DWORD completionDelay_ = 0;
    ULONG completionCode_ = 0x2001;
    unsigned lostCompletions_ = 0;
    unsigned atReplyEvents_ = 1;
    ULONG atEventCode_ = 0x2001;
    DWORD optimalSize_ = 4096;
    bool emptyReads_ = false;

    std::deque<PendingEvent> events_;
    bool delivering_ = false;
    bool stopping_ = false;
    std::condition_variable eventsChanged_;
    std::thread thread_;
};

// Gives the phone the vendor extension, which lives as long as the phone.
VendorPhone &AttachVendorExtension(Phone &phone);

}  // namespace vphone
