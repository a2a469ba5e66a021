// orvik.dll loaded at run time, every function bound by its MSVC-decorated name as an MSVC host would;
// fieldrec.dll beside it for FieldrecFree, which releases folder listings.
#pragma once

#include <windows.h>

#include <string>

#include "fieldrec.h"
#include "orvik.h"

#define ORVIK_EACH_EXPORT(X)                                                                                  \
    X(WPD_Initialize) X(WPD_InitializeEx) X(WPD_Uninitialize) X(WPD_Monitor_Set) X(WPD_Monitor_Start)         \
    X(WPD_Monitor_Stop) X(WPD_ConnectDevice) X(WPD_DisconnectDevice) X(WPD_GetDeviceInfo) X(WPD_GetDeviceTime) \
    X(WPD_SetDeviceTime) X(WPD_ATOpenSession) X(WPD_ATCloseSession) X(WPD_ATWrite) X(WPD_ATRead)               \
    X(WPD_SyncMLOpenSession) X(WPD_SyncMLCloseSession) X(WPD_SyncMLPut) X(WPD_SyncMLGet) X(WPD_InstallApp)     \
    X(WPD_Media_GetFolderListing) X(WPD_Media_GetFile) X(WPD_Media_GetThumbnail) X(WPD_Media_PutFile)          \
    X(WPD_Media_DeleteFile) X(WPD_Media_CreateFolder) X(WPD_Media_DeleteFolder) X(WPD_Media_PutPlaylist)       \
    X(WPD_Media_GetPlaylist) X(WPD_Media_GetTotalMemory) X(WPD_Media_GetAvailableMemory)

class OrvikLibrary {
public:
    // Loads orvik.dll and fieldrec.dll from the folder of this program; error() tells what failed.
    OrvikLibrary();
    ~OrvikLibrary();
    OrvikLibrary(const OrvikLibrary &) = delete;
    OrvikLibrary &operator=(const OrvikLibrary &) = delete;

    bool loaded() const { return error_.empty(); }
    const std::string &error() const { return error_; }

#define ORVIK_DECLARE_POINTER(name) decltype(&::name) name = nullptr;
    ORVIK_EACH_EXPORT(ORVIK_DECLARE_POINTER)
#undef ORVIK_DECLARE_POINTER
    FieldrecFreeProc FieldrecFree = nullptr;

private:
    HMODULE module_ = nullptr;
    HMODULE fieldrec_ = nullptr;
    std::string error_;
};
