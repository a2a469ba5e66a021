// The media content of one device object: the entries of the folder resolved last, the current
// location, and every media operation of the exports.
#pragma once

#include <windows.h>

#include <vector>

#include "media/object_record.h"
#include "orvik.h"

class CWpd;

class CFolderList {
public:
    explicit CFolderList(CWpd *device);
    CFolderList(const CFolderList &) = delete;
    CFolderList &operator=(const CFolderList &) = delete;

    // Media operations behind the WPD_Media_ exports.
    WPD_ERROR FillFolderList(const wchar_t *path, char **listing);
    WPD_ERROR GetFile(const wchar_t *remotePath, const wchar_t *localPath, unsigned long flags,
                      const PROPERTYKEY &resourceKey);
    WPD_ERROR PutFile(const wchar_t *remotePath, const wchar_t *localPath, unsigned long flags);
    WPD_ERROR DeleteFileObject(const wchar_t *path, unsigned long flags);
    WPD_ERROR CreateFolderObject(const wchar_t *path, unsigned long flags);
    WPD_ERROR DeleteFolderObject(const wchar_t *path, unsigned long flags);
    WPD_ERROR PutPlaylist(const wchar_t *path, wchar_t *text, unsigned long flags);
    WPD_ERROR GetPlaylist(const wchar_t *path, wchar_t **text, unsigned long flags);
    WPD_ERROR GetTotalMemory(const wchar_t *path, unsigned long long *bytes, unsigned long flags);
    WPD_ERROR GetAvailableMemory(const wchar_t *path, unsigned long long *bytes, unsigned long flags);

    // Written by Connect, read by the media player guard.
    void SetFriendlyName(const wchar_t *name);
    const wchar_t *FriendlyName() const { return friendlyName_; }

private:
    void SetCurrentLocation(const wchar_t *path, const wchar_t *storageId, const wchar_t *folderId);

    CWpd *device_;
    std::vector<ObjectRecord> items_;
    wchar_t currentPath_[kNameChars] = {};
    wchar_t currentStorage_[kNameChars] = {};
    wchar_t storageId_[kObjectIdChars] = {};
    wchar_t folderId_[kObjectIdChars] = {};
    wchar_t friendlyName_[kFriendlyNameChars] = {};
};
