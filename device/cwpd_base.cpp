#include <memory>

#include "device/cwpd.h"
#include "media/folder_list.h"

CWpdBase::CWpdBase() : folderList_(std::make_unique<CFolderList>(this)) {}

// Releasing the reference is the only signal the platform gets; the device is not closed explicitly.
CWpdBase::~CWpdBase() = default;

CFolderList *CWpdBase::GetFolderListObject() { return folderList_.get(); }
// std::addressof: ComPtr's operator& hands out a reference wrapper that releases the pointer.
Microsoft::WRL::ComPtr<IPortableDevice> *CWpdBase::GetDeviceRef() { return std::addressof(deviceRef_); }

void CWpdBase::SetMonitorCallback(WPD_MONITOR_CALLBACK callback) { monitorCallback_ = callback; }
WPD_MONITOR_CALLBACK CWpdBase::GetMonitorCallback() { return monitorCallback_; }
void CWpdBase::SetMonitorEnabled(bool enabled) { monitorEnabled_ = enabled; }
bool CWpdBase::IsMonitorEnabled() { return monitorEnabled_; }
void CWpdBase::SetMonitorContext(void *context) { monitorContext_ = context; }
void *CWpdBase::GetMonitorContext() { return monitorContext_; }

WPD_ERROR CWpdBase::GetDeviceTime(WPD_DEVICE_TIME *) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::SetDeviceTime(WPD_DEVICE_TIME *) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::SyncMLOpenSession(WPD_SYNCML_SERVICE, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::SyncMLCloseSession() { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::SyncMLPut(WPD_SYNCML_MIME, IStream *, unsigned long long, unsigned long) {
    return WPD_ERROR_NOT_SUPPORTED;
}
WPD_ERROR CWpdBase::SyncMLGet(WPD_SYNCML_MIME *, IStream *, unsigned long long *, unsigned long) {
    return WPD_ERROR_NOT_SUPPORTED;
}
WPD_ERROR CWpdBase::ATOpenSession(unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::ATCloseSession() { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::ATWrite(const char *) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::ATRead(const char **) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CWpdBase::InstallApp(const wchar_t *, const wchar_t *, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
