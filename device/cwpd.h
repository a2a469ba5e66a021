// The device class family behind a handle: CWpd declares the operation table, CWpdBase provides what
// the portable-device API offers by itself, CWpdMtpext adds the MTP response-code mapping, CWpdZeph the
// vendor operations.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <initializer_list>
#include <mutex>
#include <set>
#include <string>

#include "device/handle_use.h"
#include "device/mta_usage.h"
#include "device/wpd_api.h"
#include "extension/channel_responses.h"
#include "orvik.h"
#include "win/unique_any.h"

class CFolderList;

class CWpd {
public:
    CWpd() = default;
    CWpd(const CWpd &) = delete;
    CWpd &operator=(const CWpd &) = delete;

    virtual WPD_ERROR Connect(bool matchInstanceId, char *deviceId) = 0;
    virtual WPD_ERROR Disconnect() = 0;
    virtual WPD_ERROR GetDeviceInfo(WPD_DEVICE_INFO *info) = 0;
    virtual WPD_ERROR GetDeviceTime(WPD_DEVICE_TIME *time) = 0;
    virtual WPD_ERROR SetDeviceTime(WPD_DEVICE_TIME *time) = 0;
    virtual CFolderList *GetFolderListObject() = 0;
    virtual WPD_ERROR SyncMLOpenSession(WPD_SYNCML_SERVICE service, unsigned long session) = 0;
    virtual WPD_ERROR SyncMLCloseSession() = 0;
    virtual WPD_ERROR SyncMLPut(WPD_SYNCML_MIME mime, IStream *stream, unsigned long long size,
                                unsigned long timeoutMs) = 0;
    virtual WPD_ERROR SyncMLGet(WPD_SYNCML_MIME *mime, IStream *stream, unsigned long long *size,
                                unsigned long timeoutMs) = 0;
    virtual WPD_ERROR ATOpenSession(unsigned long session) = 0;
    virtual WPD_ERROR ATCloseSession() = 0;
    virtual WPD_ERROR ATWrite(const char *text) = 0;
    virtual WPD_ERROR ATRead(const char **text) = 0;
    virtual WPD_ERROR InstallApp(const wchar_t *localFiles, const wchar_t *remotePaths, unsigned long count) = 0;
    virtual WPD_ERROR TranslateError(HRESULT hr) = 0;
    virtual Microsoft::WRL::ComPtr<IPortableDevice> *GetDeviceRef() = 0;
    virtual void SetMonitorCallback(WPD_MONITOR_CALLBACK callback) = 0;
    virtual WPD_MONITOR_CALLBACK GetMonitorCallback() = 0;
    virtual void SetMonitorEnabled(bool enabled) = 0;
    virtual bool IsMonitorEnabled() = 0;
    virtual void SetMonitorContext(void *context) = 0;
    virtual void *GetMonitorContext() = 0;
    virtual ~CWpd() = default;

    HandleUse &Use() noexcept { return use_; }

private:
    HandleUse use_;
};

class CWpdBase : public CWpd {
public:
    CWpdBase();
    ~CWpdBase() override;

    WPD_ERROR Connect(bool matchInstanceId, char *deviceId) override;
    WPD_ERROR Disconnect() override;
    WPD_ERROR GetDeviceInfo(WPD_DEVICE_INFO *info) override;
    CFolderList *GetFolderListObject() override;
    WPD_ERROR TranslateError(HRESULT hr) override;
    Microsoft::WRL::ComPtr<IPortableDevice> *GetDeviceRef() override;
    void SetMonitorCallback(WPD_MONITOR_CALLBACK callback) override;
    WPD_MONITOR_CALLBACK GetMonitorCallback() override;
    void SetMonitorEnabled(bool enabled) override;
    bool IsMonitorEnabled() override;
    void SetMonitorContext(void *context) override;
    void *GetMonitorContext() override;

    // Operations this class does not provide answer WPD_ERROR_NOT_SUPPORTED.
    WPD_ERROR GetDeviceTime(WPD_DEVICE_TIME *) override;
    WPD_ERROR SetDeviceTime(WPD_DEVICE_TIME *) override;
    WPD_ERROR SyncMLOpenSession(WPD_SYNCML_SERVICE, unsigned long) override;
    WPD_ERROR SyncMLCloseSession() override;
    WPD_ERROR SyncMLPut(WPD_SYNCML_MIME, IStream *, unsigned long long, unsigned long) override;
    WPD_ERROR SyncMLGet(WPD_SYNCML_MIME *, IStream *, unsigned long long *, unsigned long) override;
    WPD_ERROR ATOpenSession(unsigned long) override;
    WPD_ERROR ATCloseSession() override;
    WPD_ERROR ATWrite(const char *) override;
    WPD_ERROR ATRead(const char **) override;
    WPD_ERROR InstallApp(const wchar_t *, const wchar_t *, unsigned long) override;

    // Properties of the "DEVICE" object.
    HRESULT ReadDeviceProperties(const wchar_t *objectId, IPortableDeviceKeyCollection **keys,
                                 IPortableDeviceValues **values);
    HRESULT ReadDeviceProperty(const PROPERTYKEY &key, IPortableDeviceValues **values);
    HRESULT WriteDeviceProperties(const PROPERTYKEY &key, IPortableDeviceValues **values);

private:
    std::unique_ptr<CFolderList> folderList_;
    WPD_MONITOR_CALLBACK monitorCallback_ = nullptr;
    bool monitorEnabled_ = false;
    void *monitorContext_ = nullptr;
    // Held while connected; declared before the device, so that it goes after it.
    MtaUsage apartmentUsage_;
    Microsoft::WRL::ComPtr<IPortableDevice> deviceRef_;
};

class CWpdMtpext : public CWpdBase {
public:
    WPD_ERROR TranslateError(HRESULT hr) override;

    // Vendor MTP operations over the platform's MTP-extension commands. params may point at null (no
    // parameters); responseParams may be null. Every status is an HRESULT: S_OK when the phone answered
    // OK, 0xA0000000 | c for another response code c. Nothing here throws. One operation runs at a time
    // on a device object, from its first step to its last, whichever thread sends it.
    HRESULT SendVendorCommand(WORD opCode, IPortableDevicePropVariantCollection **params,
                              IPortableDevicePropVariantCollection **responseParams);
    // The parameters given as 32-bit values.
    HRESULT SendVendorCommandUInt32(WORD opCode, std::initializer_list<ULONG> params);
    HRESULT OpenVendorChannel(ULONG channel);
    HRESULT CloseVendorChannel(ULONG channel);
    // The whole data phase into one CoTaskMem buffer that the caller frees; null and 0 when empty. The
    // buffer grows as the data arrives, whatever size the phone announced, up to kMaxBufferedRead. With
    // refused given, a refusal of the operation is not logged but told there (the caller has another way).
    HRESULT ReadVendorData(WORD opCode, IPortableDevicePropVariantCollection **params,
                           IPortableDevicePropVariantCollection **responseParams, BYTE **data, ULONG *size,
                           bool *refused = nullptr);
    HRESULT WriteVendorData(WORD opCode, IPortableDevicePropVariantCollection **params,
                            IPortableDevicePropVariantCollection **responseParams, const BYTE *data, ULONG size);
    // The first headerLength bytes of the data phase go to header, the rest to stream; count is what
    // the stream received.
    HRESULT ReadVendorDataToStream(WORD opCode, IPortableDevicePropVariantCollection **params,
                                   IPortableDevicePropVariantCollection **responseParams, IStream *stream,
                                   ULONGLONG *count, BYTE *header, ULONG headerLength);
    // Sends header (at most kVendorChunkBytes), then total bytes of stream; a stream that ends sooner
    // fails the operation.
    HRESULT WriteVendorDataFromStream(WORD opCode, IPortableDevicePropVariantCollection **params,
                                      IPortableDevicePropVariantCollection **responseParams, IStream *stream,
                                      ULONGLONG total, const BYTE *header, ULONG headerLength);
    // The MTP handle of the object whose persistent unique id prints as id ("{...}"); E_FAIL if none.
    HRESULT FindObjectByPersistentId(const wchar_t *id, ULONG *handle);

    static constexpr ULONG kVendorChunkBytes = 8192;
    static constexpr ULONG kMaxBufferedRead = 64 << 20;
    // A buffered read asks for at least this much a step, whatever the phone's transfer size: its data
    // is wanted whole, and every step costs a round trip.
    static constexpr ULONG kBufferedReadStep = 256 * 1024;

private:
    // The two ways of FindObjectByPersistentId: the persistent ids of every object in one exchange,
    // and the handles one at a time, newest first. refused: the phone has no such list.
    HRESULT FindInObjectPropList(const wchar_t *id, ULONG *handle, bool &refused);
    HRESULT FindAmongObjectHandles(const wchar_t *id, ULONG *handle);

    std::mutex vendorLock_;
};

class CZephEventsCallback;

// The vendor class: clock, AT and SyncML channels and app install over vendor MTP operations.
class CWpdZeph : public CWpdMtpext {
public:
    CWpdZeph() = default;
    ~CWpdZeph() override;

    WPD_ERROR Disconnect() override;

    WPD_ERROR GetDeviceTime(WPD_DEVICE_TIME *time) override;
    WPD_ERROR SetDeviceTime(WPD_DEVICE_TIME *time) override;
    WPD_ERROR SyncMLOpenSession(WPD_SYNCML_SERVICE service, unsigned long session) override;
    WPD_ERROR SyncMLCloseSession() override;
    WPD_ERROR SyncMLPut(WPD_SYNCML_MIME mime, IStream *stream, unsigned long long size,
                        unsigned long timeoutMs) override;
    WPD_ERROR SyncMLGet(WPD_SYNCML_MIME *mime, IStream *stream, unsigned long long *size,
                        unsigned long timeoutMs) override;
    WPD_ERROR ATOpenSession(unsigned long session) override;
    WPD_ERROR ATCloseSession() override;
    WPD_ERROR ATWrite(const char *text) override;
    WPD_ERROR ATRead(const char **text) override;
    WPD_ERROR InstallApp(const wchar_t *localFiles, const wchar_t *remotePaths, unsigned long count) override;

    // Vendor event handlers, run on the platform's event thread.
    HRESULT OnATPendingData(IPortableDeviceValues *parameters);
    HRESULT OnSyncMLOperationComplete(IPortableDeviceValues *parameters);

private:
    HRESULT ReceiveATData();
    // A vendor channel with the session on it. A channel this object opened and could not close is
    // closed and opened again; a session that fails to open closes its channel again.
    HRESULT OpenChannelSession(ULONG channel, WORD opCode, std::initializer_list<ULONG> params);
    // Ends the session, and closes the channel whatever the phone answered to that.
    HRESULT CloseChannelSession(ULONG channel, WORD opCode, ULONG session);
    // The one event subscription both channels share: made by the first open, dropped when the last
    // channel closes.
    void Subscribe();
    void Unsubscribe();
    // The channels are over and the subscription goes, while the device it was made on is there.
    void LeaveSessions();
    // The result of a SyncML put or request that sent: its completion, or WPD_ERROR_TIMEOUT.
    WPD_ERROR AwaitSyncMLCompletion(HRESULT sent, unsigned long timeoutMs);

    ULONG syncmlSession_ = 0;
    bool syncmlOpen_ = false;

    std::atomic<ULONG> atSession_ = 0;  // read by the event thread
    bool atOpen_ = false;
    std::mutex atLock_;        // guards the two texts against the event thread
    std::string atBuffer_;     // received and not yet handed out
    std::string atReadText_;   // what the last ATRead handed out; lives until the next one

    ChannelResponses responses_;
    std::set<ULONG> openChannels_;  // opened by this object and not yet closed
    CZephEventsCallback *eventCallback_ = nullptr;
};

// Status reported when a service needs the phone but the handle is not connected; maps to 2.
inline constexpr HRESULT E_NOT_CONNECTED = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
