/*
 * Orvik: one flat, synchronous call interface to a phone attached as a Windows Portable Device.
 *
 * Usable from C and C++, by MSVC and mingw-w64 hosts, on x86 and x64.
 *
 * Binding:
 *   - mingw and C hosts bind to the plain names (WPD_Initialize, ...), declared extern "C" below.
 *   - MSVC C++ hosts bind to the MSVC-decorated C++ names, which the DLL exports as well.
 *
 * Threading: every call except the six handle and monitor calls runs on a worker thread of its own,
 * in the multithreaded COM apartment, while the calling thread keeps dispatching its window messages
 * (a WM_QUIT it meets is posted again when the call returns). Any thread may call, a UI thread in a
 * single-threaded apartment included; the library keeps the multithreaded apartment alive from
 * connect to disconnect itself. The monitor callback runs on the worker thread.
 *
 * Calls made while a call on the same handle runs (from a window procedure during the pump, from
 * another thread, or from the monitor callback):
 *   - media calls (WPD_Media_*) take turns: one waits until the running one has ended;
 *   - WPD_ConnectDevice and WPD_DisconnectDevice return WPD_ERROR_BUSY at once, nothing changed;
 *   - any call on the handle from its own monitor callback returns WPD_ERROR_BUSY at once (it could
 *     only wait for the call that waits for the callback); other handles may be called from there;
 *   - WPD_Uninitialize returns at once: the running calls end early (a transfer stops as if cancelled,
 *     leaving nothing partial, and the callback is not called again), and the handle goes when the
 *     last of them has returned. Make no further call with the handle.
 * A stream given to WPD_SyncMLPut or WPD_SyncMLGet is used from the worker through COM marshalling
 * when the calling thread is in an apartment: an apartment-threaded stream works, served by the
 * calling thread while it pumps.
 *
 * Who frees what:
 *   - the text of WPD_Media_GetFolderListing comes from fieldrec.dll: release it with FieldrecFree
 *     (declared in fieldrec.h); with a fieldrec.dll that has no FieldrecFree, the way that library
 *     says, and then also a text that a failed listing hands over;
 *   - the text of WPD_Media_GetPlaylist is a locked global memory block: GlobalHandle, GlobalUnlock,
 *     GlobalFree;
 *   - the text of WPD_ATRead belongs to the handle and stays valid until the next WPD_ATRead,
 *     WPD_ATWrite or WPD_ATCloseSession on that handle.
 */
#ifndef ORVIK_H
#define ORVIK_H

/* ORVIK_NO_WINDOWS_HEADERS lets tools compute the decorated names without the Windows headers. */
#ifndef ORVIK_NO_WINDOWS_HEADERS
#include <windows.h>
#include <objidl.h>
#else
struct IStream;
typedef struct _FILETIME {
    unsigned long dwLowDateTime;
    unsigned long dwHighDateTime;
} FILETIME;
#endif

#ifndef __cplusplus
#include <stdbool.h>
#include <stddef.h>
#endif

#if defined(ORVIK_BUILDING_LIBRARY) || !defined(_MSC_VER)
#define ORVIK_IMPORT
#else
#define ORVIK_IMPORT __declspec(dllimport)
#endif

#define ORVIK_CALL __cdecl

/* Results of every call. */
#ifdef __cplusplus
enum WPD_ERROR
#else
typedef enum WPD_ERROR
#endif
{
    WPD_ERROR_OK = 0,
    WPD_ERROR_NOT_SUPPORTED = 1,
    WPD_ERROR_FAILED = 2,
    WPD_ERROR_ALREADY_EXISTS = 3,
    WPD_ERROR_BUSY = 4,
    WPD_ERROR_TIMEOUT = 5,
    WPD_ERROR_MTP_GENERAL_ERROR = 6,
    WPD_ERROR_MTP_SESSION_NOT_OPEN = 7,
    WPD_ERROR_MTP_SESSION_ALREADY_OPEN = 8,
    /* 9 is never produced */
    WPD_ERROR_MTP_OPERATION_NOT_SUPPORTED = 10,
    WPD_ERROR_MTP_PARAMETER_NOT_SUPPORTED = 11,
    WPD_ERROR_MTP_INVALID_PARAMETER = 12,
    WPD_ERROR_MTP_DEVICE_BUSY = 13,
    WPD_ERROR_MTP_ACCESS_DENIED = 14,
    WPD_ERROR_MTP_STORE_FULL = 15
}
#ifndef __cplusplus
WPD_ERROR
#endif
;

/* Device class chosen by WPD_InitializeEx. WPD_METHOD_ZEPH is for the maker's own phones only: it opens
   and closes their AT and SyncML channels with the standard MTP session operations sent through the
   vendor-extension commands, which only those phones answer that way. Any other phone takes
   WPD_METHOD_BASE. */
#ifdef __cplusplus
enum WPD_METHOD
#else
typedef enum WPD_METHOD
#endif
{
    WPD_METHOD_BASE = 0, /* portable-device services only: any phone */
    WPD_METHOD_ZEPH = 1  /* plus clock, AT, SyncML and app install over the maker's vendor MTP operations */
}
#ifndef __cplusplus
WPD_METHOD
#endif
;

/* Events a host can monitor. */
#ifdef __cplusplus
enum WPD_MONITORED_EVENT
#else
typedef enum WPD_MONITORED_EVENT
#endif
{
    WPD_EVENT_PROGRESS = 0 /* data: TransferProgress* */
}
#ifndef __cplusplus
WPD_MONITORED_EVENT
#endif
;

/* SyncML service opened by WPD_SyncMLOpenSession; sent to the phone as an operation parameter. */
#ifdef __cplusplus
enum WPD_SYNCML_SERVICE
#else
typedef enum WPD_SYNCML_SERVICE
#endif
{
    WPD_SYNCML_SERVICE_DATA_SYNC = 0,
    WPD_SYNCML_SERVICE_DEVICE_MANAGEMENT = 1
}
#ifndef __cplusplus
WPD_SYNCML_SERVICE
#endif
;

/* Content type of a SyncML package; carried as the first byte of the data. */
#ifdef __cplusplus
enum WPD_SYNCML_MIME
#else
typedef enum WPD_SYNCML_MIME
#endif
{
    WPD_SYNCML_MIME_UNKNOWN = 0,
    WPD_SYNCML_MIME_XML = 1,
    WPD_SYNCML_MIME_WBXML = 2,
    WPD_SYNCML_MIME_DEVINF_XML = 3,
    WPD_SYNCML_MIME_DEVINF_WBXML = 4
}
#ifndef __cplusplus
WPD_SYNCML_MIME
#endif
;

/* Identity of the phone; set cbSize to 708 before WPD_GetDeviceInfo. */
typedef struct WPD_DEVICE_INFO {
    unsigned long cbSize;
    unsigned char reserved1[64];
    char szSerialNumber[64];
    unsigned char reserved2[64];
    wchar_t wszManufacturer[128];
    wchar_t wszModel[128];
} WPD_DEVICE_INFO;

/* The phone's clock; set cbSize to 20. */
typedef struct WPD_DEVICE_TIME {
    unsigned long cbSize;
    FILETIME time;     /* calendar time as the phone shows it, no zone conversion */
    long timeZone;     /* the number after the clock text's last '+' or '-' */
    unsigned long dst; /* daylight-saving value */
} WPD_DEVICE_TIME;

/* Handed to the monitor callback with WPD_EVENT_PROGRESS after each chunk of a transfer. */
typedef struct TransferProgress {
    unsigned long cbSize; /* 88 */
    unsigned long padding;
    unsigned __int64 totalSize;
    unsigned long percent; /* bytes moved * 100 / totalSize */
    long cancel;           /* set nonzero in the callback to stop the transfer */
    unsigned char reserved[64];
} TransferProgress;

typedef int(ORVIK_CALL *WPD_MONITOR_CALLBACK)(WPD_MONITORED_EVENT event, void *data, void *context);

#if defined(__cplusplus) && !defined(_MSC_VER)
extern "C" {
#endif

ORVIK_IMPORT void *ORVIK_CALL WPD_Initialize(unsigned long reserved);
ORVIK_IMPORT void *ORVIK_CALL WPD_InitializeEx(WPD_METHOD method, unsigned long reserved);
ORVIK_IMPORT void ORVIK_CALL WPD_Uninitialize(void *handle);

ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Monitor_Set(void *handle, WPD_MONITOR_CALLBACK callback);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Monitor_Start(void *handle, WPD_MONITORED_EVENT event, void *context);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Monitor_Stop(void *handle, WPD_MONITORED_EVENT event);

ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_ConnectDevice(void *handle, char *deviceId, bool matchInstanceId,
                                                     unsigned long reserved);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_DisconnectDevice(void *handle);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_GetDeviceInfo(void *handle, WPD_DEVICE_INFO *info);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_GetDeviceTime(void *handle, WPD_DEVICE_TIME *time);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_SetDeviceTime(void *handle, WPD_DEVICE_TIME *time);

ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_ATOpenSession(void *handle, unsigned long session, unsigned long reserved);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_ATCloseSession(void *handle);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_ATWrite(void *handle, char const *text, unsigned long reserved);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_ATRead(void *handle, char const **text, unsigned long reserved);

ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_SyncMLOpenSession(void *handle, WPD_SYNCML_SERVICE service,
                                                         unsigned long session, unsigned long reserved);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_SyncMLCloseSession(void *handle);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_SyncMLPut(void *handle, WPD_SYNCML_MIME mime, struct IStream *stream,
                                                 unsigned __int64 size, unsigned long timeoutMs,
                                                 unsigned long reserved);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_SyncMLGet(void *handle, WPD_SYNCML_MIME *mime, struct IStream *stream,
                                                 unsigned __int64 *size, unsigned long timeoutMs,
                                                 unsigned long reserved);

/* localFiles and remotePaths: count NUL-terminated paths each, one after another. */
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_InstallApp(void *handle, wchar_t const *localFiles,
                                                  wchar_t const *remotePaths, unsigned long count,
                                                  unsigned long reserved);

/*
 * Media calls. Device paths look like \Card\Music\song.mp3: the first component is a storage, the
 * components match case-sensitively, the empty path is the root (the storages). The last component
 * finds an object by the name listings show or by the name it was sent with.
 * Flags: 2 = refuse with WPD_ERROR_BUSY while the desktop media player synchronises the phone;
 *        4 = replace an existing object (PutFile, PutPlaylist): the old object goes once the new one
 *            is complete on the phone (USAGE.md has the one exception);
 *        1 = storage-relative M3U lines (PutPlaylist).
 *
 * Names in listings and playlist entries are the phone's text: a name may be "..", hold characters
 * Windows refuses in file names, or differ from another only in case. Make a name safe before
 * building a local path from it.
 *
 * Folder listing: one record per entry, each field a content line NAME:VALUE CR LF:
 *   BEGIN:VNOTE, X_FB_NAME (UTF-8), X_FB_ITEM (folder|playlist|file), X_FB_SIZE, X_FB_DATE
 *   (yyyymmddThhmmss), X_FB_ATTRIBUT ("readonly hidden", either word may be empty), END:VNOTE.
 * Values are escaped as vCard text: backslash as \\, CR as \r, LF as \n. An empty folder gives
 * WPD_ERROR_OK and a null pointer.
 */
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_GetFolderListing(void *handle, wchar_t const *path, char **listing,
                                                              unsigned long reserved);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_GetFile(void *handle, wchar_t const *devicePath,
                                                     wchar_t const *localPath, unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_GetThumbnail(void *handle, wchar_t const *devicePath,
                                                          wchar_t const *localPath, unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_PutFile(void *handle, wchar_t const *devicePath,
                                                     wchar_t const *localPath, unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_DeleteFile(void *handle, wchar_t const *devicePath, unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_CreateFolder(void *handle, wchar_t const *devicePath,
                                                          unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_DeleteFolder(void *handle, wchar_t const *devicePath,
                                                          unsigned long flags);
/* text: one device path per line, CR LF between lines; the call writes into the buffer. */
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_PutPlaylist(void *handle, wchar_t const *devicePath, wchar_t *text,
                                                         unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_GetPlaylist(void *handle, wchar_t const *devicePath, wchar_t **text,
                                                         unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_GetTotalMemory(void *handle, wchar_t const *storagePath,
                                                            unsigned __int64 *bytes, unsigned long flags);
ORVIK_IMPORT WPD_ERROR ORVIK_CALL WPD_Media_GetAvailableMemory(void *handle, wchar_t const *storagePath,
                                                                unsigned __int64 *bytes, unsigned long flags);

#if defined(__cplusplus) && !defined(_MSC_VER)
}
#endif

#endif /* ORVIK_H */
