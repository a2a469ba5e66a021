// The 31 exported functions. Handle and monitor calls run on the caller's thread; every other call
// runs one operation of the device object on a worker thread (call_frame.h).
#include <wrl/client.h>

#include <new>

#include "api/call_frame.h"
#include "api/host_stream.h"
#include "device/cwpd.h"
#include "media/folder_list.h"
#include "orvik.h"

namespace {

CWpd *AsDevice(void *handle) { return static_cast<CWpd *>(handle); }

// A SyncML put or get with the host's stream as the worker may use it.
template <class Transfer>
WPD_ERROR RunStreamCall(void *handle, const char *comErrorLine, IStream *stream, Transfer transfer) {
    HostStream hostStream(stream);
    return RunWorkerCall(handle, comErrorLine, [&](CWpd &device) {
        Microsoft::WRL::ComPtr<IStream> usable;
        const HRESULT hr = hostStream.Take(usable);
        if (FAILED(hr)) {
            LogLine(1, "Passing the host's stream to the worker failed, hr = %08x", static_cast<unsigned>(hr));
            return device.TranslateError(hr);
        }
        return transfer(device, usable.Get());
    });
}

// Media calls run an operation of the device's CFolderList.
template <class MediaOperation>
WPD_ERROR RunMediaCall(void *handle, const char *comErrorLine, MediaOperation operation) {
    return RunWorkerCall(handle, comErrorLine,
                         [&](CWpd &device) { return operation(*device.GetFolderListObject()); });
}

}  // namespace

extern "C" {

void *ORVIK_CALL WPD_InitializeEx(WPD_METHOD method, unsigned long) {
    try {
        switch (method) {
            case WPD_METHOD_BASE: return static_cast<CWpd *>(new CWpdBase());
            case WPD_METHOD_ZEPH: return static_cast<CWpd *>(new CWpdZeph());
            default: return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

void *ORVIK_CALL WPD_Initialize(unsigned long reserved) { return WPD_InitializeEx(WPD_METHOD_BASE, reserved); }

void ORVIK_CALL WPD_Uninitialize(void *handle) {
    // A call still running on the handle destroys the object when it ends.
    if (handle && AsDevice(handle)->Use().LetGo()) DestroyDevice(AsDevice(handle));
}

WPD_ERROR ORVIK_CALL WPD_Monitor_Set(void *handle, WPD_MONITOR_CALLBACK callback) {
    if (!handle) return WPD_ERROR_FAILED;
    AsDevice(handle)->SetMonitorCallback(callback);
    return WPD_ERROR_OK;
}

WPD_ERROR ORVIK_CALL WPD_Monitor_Start(void *handle, WPD_MONITORED_EVENT event, void *context) {
    if (!handle) return WPD_ERROR_FAILED;
    if (event != WPD_EVENT_PROGRESS) return WPD_ERROR_NOT_SUPPORTED;
    AsDevice(handle)->SetMonitorEnabled(true);
    AsDevice(handle)->SetMonitorContext(context);
    return WPD_ERROR_OK;
}

WPD_ERROR ORVIK_CALL WPD_Monitor_Stop(void *handle, WPD_MONITORED_EVENT event) {
    if (!handle) return WPD_ERROR_FAILED;
    if (event != WPD_EVENT_PROGRESS) return WPD_ERROR_NOT_SUPPORTED;
    AsDevice(handle)->SetMonitorEnabled(false);
    AsDevice(handle)->SetMonitorContext(nullptr);
    return WPD_ERROR_OK;
}

WPD_ERROR ORVIK_CALL WPD_ConnectDevice(void *handle, char *deviceId, bool matchInstanceId, unsigned long) {
    return RunWorkerCall(handle, nullptr, CallKind::Exclusive,
                         [&](CWpd &device) { return device.Connect(matchInstanceId, deviceId); });
}

WPD_ERROR ORVIK_CALL WPD_DisconnectDevice(void *handle) {
    return RunWorkerCall(handle, nullptr, CallKind::Exclusive, [](CWpd &device) { return device.Disconnect(); });
}

WPD_ERROR ORVIK_CALL WPD_GetDeviceInfo(void *handle, WPD_DEVICE_INFO *info) {
    return RunWorkerCall(handle, "GetDeviceInfo COM error", [&](CWpd &device) {
        return HasRecordSize(info) ? device.GetDeviceInfo(info) : WPD_ERROR_FAILED;
    });
}

WPD_ERROR ORVIK_CALL WPD_GetDeviceTime(void *handle, WPD_DEVICE_TIME *time) {
    return RunWorkerCall(handle, "GetDeviceTime COM error", [&](CWpd &device) {
        return HasRecordSize(time) ? device.GetDeviceTime(time) : WPD_ERROR_FAILED;
    });
}

WPD_ERROR ORVIK_CALL WPD_SetDeviceTime(void *handle, WPD_DEVICE_TIME *time) {
    return RunWorkerCall(handle, "SetDeviceTime COM error", [&](CWpd &device) {
        return HasRecordSize(time) ? device.SetDeviceTime(time) : WPD_ERROR_FAILED;
    });
}

WPD_ERROR ORVIK_CALL WPD_ATOpenSession(void *handle, unsigned long session, unsigned long) {
    return RunWorkerCall(handle, "ATOpenSession COM error",
                         [&](CWpd &device) { return device.ATOpenSession(session); });
}

WPD_ERROR ORVIK_CALL WPD_ATCloseSession(void *handle) {
    return RunWorkerCall(handle, "ATCloseSession COM error", [](CWpd &device) { return device.ATCloseSession(); });
}

WPD_ERROR ORVIK_CALL WPD_ATWrite(void *handle, char const *text, unsigned long) {
    return RunWorkerCall(handle, "ATWrite COM error", [&](CWpd &device) { return device.ATWrite(text); });
}

WPD_ERROR ORVIK_CALL WPD_ATRead(void *handle, char const **text, unsigned long) {
    return RunWorkerCall(handle, "ATRead COM error", [&](CWpd &device) { return device.ATRead(text); });
}

WPD_ERROR ORVIK_CALL WPD_SyncMLOpenSession(void *handle, WPD_SYNCML_SERVICE service, unsigned long session,
                                           unsigned long) {
    return RunWorkerCall(handle, "SyncMLOpenSession COM error",
                         [&](CWpd &device) { return device.SyncMLOpenSession(service, session); });
}

WPD_ERROR ORVIK_CALL WPD_SyncMLCloseSession(void *handle) {
    return RunWorkerCall(handle, "SyncMLCloseSession COM error",
                         [](CWpd &device) { return device.SyncMLCloseSession(); });
}

WPD_ERROR ORVIK_CALL WPD_SyncMLPut(void *handle, WPD_SYNCML_MIME mime, IStream *stream, unsigned __int64 size,
                                   unsigned long timeoutMs, unsigned long) {
    return RunStreamCall(handle, "SyncMLPut COM error", stream, [&](CWpd &device, IStream *usable) {
        return device.SyncMLPut(mime, usable, size, timeoutMs);
    });
}

WPD_ERROR ORVIK_CALL WPD_SyncMLGet(void *handle, WPD_SYNCML_MIME *mime, IStream *stream, unsigned __int64 *size,
                                   unsigned long timeoutMs, unsigned long) {
    return RunStreamCall(handle, "SyncMLGet COM error", stream, [&](CWpd &device, IStream *usable) {
        return device.SyncMLGet(mime, usable, reinterpret_cast<unsigned long long *>(size), timeoutMs);
    });
}

WPD_ERROR ORVIK_CALL WPD_InstallApp(void *handle, wchar_t const *localFiles, wchar_t const *remotePaths,
                                    unsigned long count, unsigned long) {
    return RunWorkerCall(handle, "InstallApp COM error",
                         [&](CWpd &device) { return device.InstallApp(localFiles, remotePaths, count); });
}

WPD_ERROR ORVIK_CALL WPD_Media_GetFolderListing(void *handle, wchar_t const *path, char **listing, unsigned long) {
    return RunMediaCall(handle, "Get folder listing COM error",
                        [&](CFolderList &media) { return media.FillFolderList(path, listing); });
}

WPD_ERROR ORVIK_CALL WPD_Media_GetFile(void *handle, wchar_t const *devicePath, wchar_t const *localPath,
                                       unsigned long flags) {
    return RunMediaCall(handle, "Get file COM error", [&](CFolderList &media) {
        return media.GetFile(devicePath, localPath, flags, wpd::WPD_RESOURCE_DEFAULT);
    });
}

WPD_ERROR ORVIK_CALL WPD_Media_GetThumbnail(void *handle, wchar_t const *devicePath, wchar_t const *localPath,
                                            unsigned long flags) {
    return RunMediaCall(handle, "Get file COM error", [&](CFolderList &media) {
        return media.GetFile(devicePath, localPath, flags, wpd::WPD_RESOURCE_THUMBNAIL);
    });
}

WPD_ERROR ORVIK_CALL WPD_Media_PutFile(void *handle, wchar_t const *devicePath, wchar_t const *localPath,
                                       unsigned long flags) {
    return RunMediaCall(handle, "Put file COM error",
                        [&](CFolderList &media) { return media.PutFile(devicePath, localPath, flags); });
}

WPD_ERROR ORVIK_CALL WPD_Media_DeleteFile(void *handle, wchar_t const *devicePath, unsigned long flags) {
    return RunMediaCall(handle, "Delete file COM error",
                        [&](CFolderList &media) { return media.DeleteFileObject(devicePath, flags); });
}

WPD_ERROR ORVIK_CALL WPD_Media_CreateFolder(void *handle, wchar_t const *devicePath, unsigned long flags) {
    return RunMediaCall(handle, "Create folder COM error",
                        [&](CFolderList &media) { return media.CreateFolderObject(devicePath, flags); });
}

WPD_ERROR ORVIK_CALL WPD_Media_DeleteFolder(void *handle, wchar_t const *devicePath, unsigned long flags) {
    return RunMediaCall(handle, "Delete folder COM error",
                        [&](CFolderList &media) { return media.DeleteFolderObject(devicePath, flags); });
}

WPD_ERROR ORVIK_CALL WPD_Media_PutPlaylist(void *handle, wchar_t const *devicePath, wchar_t *text,
                                           unsigned long flags) {
    return RunMediaCall(handle, "Put playlist COM error",
                        [&](CFolderList &media) { return media.PutPlaylist(devicePath, text, flags); });
}

WPD_ERROR ORVIK_CALL WPD_Media_GetPlaylist(void *handle, wchar_t const *devicePath, wchar_t **text,
                                           unsigned long flags) {
    return RunMediaCall(handle, "Get playlist COM error",
                        [&](CFolderList &media) { return media.GetPlaylist(devicePath, text, flags); });
}

WPD_ERROR ORVIK_CALL WPD_Media_GetTotalMemory(void *handle, wchar_t const *storagePath, unsigned __int64 *bytes,
                                              unsigned long flags) {
    return RunMediaCall(handle, "Get total memory COM error", [&](CFolderList &media) {
        return media.GetTotalMemory(storagePath, reinterpret_cast<unsigned long long *>(bytes), flags);
    });
}

WPD_ERROR ORVIK_CALL WPD_Media_GetAvailableMemory(void *handle, wchar_t const *storagePath,
                                                  unsigned __int64 *bytes, unsigned long flags) {
    return RunMediaCall(handle, "Get Available memory COM error", [&](CFolderList &media) {
        return media.GetAvailableMemory(storagePath, reinterpret_cast<unsigned long long *>(bytes), flags);
    });
}

}  // extern "C"
