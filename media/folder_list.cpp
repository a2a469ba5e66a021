#include "media/folder_list.h"

#include <cwchar>

CFolderList::CFolderList(CWpd *device) : device_(device) { SetCurrentLocation(nullptr, nullptr, nullptr); }

void CFolderList::SetFriendlyName(const wchar_t *name) { wcsncpy_s(friendlyName_, name ? name : L"", _TRUNCATE); }

void CFolderList::SetCurrentLocation(const wchar_t *path, const wchar_t *storageId, const wchar_t *folderId) {
    wcsncpy_s(currentPath_, path ? path : L"", _TRUNCATE);
    // The storage is the first component of the current path.
    currentStorage_[0] = L'\0';
    if (currentPath_[0]) {
        wcsncpy_s(currentStorage_, currentPath_ + 1, _TRUNCATE);
        if (wchar_t *separator = wcschr(currentStorage_, L'\\')) *separator = L'\0';
    }
    wcsncpy_s(storageId_, storageId ? storageId : L"", _TRUNCATE);
    wcsncpy_s(folderId_, folderId ? folderId : L"", _TRUNCATE);
}

// Media operations arrive with the content model; until then the exports report them unsupported.
WPD_ERROR CFolderList::FillFolderList(const wchar_t *, char **) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CFolderList::GetFile(const wchar_t *, const wchar_t *, unsigned long, const PROPERTYKEY &) {
    return WPD_ERROR_NOT_SUPPORTED;
}
WPD_ERROR CFolderList::PutFile(const wchar_t *, const wchar_t *, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CFolderList::DeleteFileObject(const wchar_t *, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CFolderList::CreateFolderObject(const wchar_t *, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CFolderList::DeleteFolderObject(const wchar_t *, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CFolderList::PutPlaylist(const wchar_t *, wchar_t *, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CFolderList::GetPlaylist(const wchar_t *, wchar_t **, unsigned long) { return WPD_ERROR_NOT_SUPPORTED; }
WPD_ERROR CFolderList::GetTotalMemory(const wchar_t *, unsigned long long *, unsigned long) {
    return WPD_ERROR_NOT_SUPPORTED;
}
WPD_ERROR CFolderList::GetAvailableMemory(const wchar_t *, unsigned long long *, unsigned long) {
    return WPD_ERROR_NOT_SUPPORTED;
}
