// The device class family behind a handle: CWpd declares the operation table, CWpdBase provides what
// the portable-device API offers by itself, CWpdMtpext adds the MTP response-code mapping, CWpdZeph the
// vendor operations.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <memory>

#include "device/wpd_api.h"
#include "orvik.h"

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
    Microsoft::WRL::ComPtr<IPortableDevice> deviceRef_;
};

class CWpdMtpext : public CWpdBase {
public:
    WPD_ERROR TranslateError(HRESULT hr) override;

protected:
    // Response code of the last vendor MTP operation; OK until the first one.
    unsigned long lastResponseCode_ = 0x2001;
};

// The vendor class: clock, AT and SyncML channels and app install over vendor MTP operations.
class CWpdZeph : public CWpdMtpext {
public:
    WPD_ERROR GetDeviceTime(WPD_DEVICE_TIME *time) override;
    WPD_ERROR SetDeviceTime(WPD_DEVICE_TIME *time) override;
};

// Status reported when a service needs the phone but the handle is not connected; maps to 2.
inline constexpr HRESULT E_NOT_CONNECTED = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
