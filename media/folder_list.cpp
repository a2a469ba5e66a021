#include "media/folder_list.h"

#include <cwchar>

#include "device/cwpd.h"

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

IPortableDevice *CFolderList::Device() const { return device_->GetDeviceRef()->Get(); }
