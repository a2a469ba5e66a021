// References every export of orvik.h so that clang, targeting MSVC, lists their decorated names.
#define ORVIK_NO_WINDOWS_HEADERS
#include "orvik.h"

extern void *const everyExport[];
void *const everyExport[] = {
    (void *)&WPD_Initialize,         (void *)&WPD_InitializeEx,          (void *)&WPD_Uninitialize,
    (void *)&WPD_Monitor_Set,        (void *)&WPD_Monitor_Start,         (void *)&WPD_Monitor_Stop,
    (void *)&WPD_ConnectDevice,      (void *)&WPD_DisconnectDevice,      (void *)&WPD_GetDeviceInfo,
    (void *)&WPD_GetDeviceTime,      (void *)&WPD_SetDeviceTime,         (void *)&WPD_ATOpenSession,
    (void *)&WPD_ATCloseSession,     (void *)&WPD_ATWrite,               (void *)&WPD_ATRead,
    (void *)&WPD_SyncMLOpenSession,  (void *)&WPD_SyncMLCloseSession,    (void *)&WPD_SyncMLPut,
    (void *)&WPD_SyncMLGet,          (void *)&WPD_InstallApp,            (void *)&WPD_Media_GetFolderListing,
    (void *)&WPD_Media_GetFile,      (void *)&WPD_Media_GetThumbnail,    (void *)&WPD_Media_PutFile,
    (void *)&WPD_Media_DeleteFile,   (void *)&WPD_Media_CreateFolder,    (void *)&WPD_Media_DeleteFolder,
    (void *)&WPD_Media_PutPlaylist,  (void *)&WPD_Media_GetPlaylist,     (void *)&WPD_Media_GetTotalMemory,
    (void *)&WPD_Media_GetAvailableMemory,
};
