// Total and free bytes of a storage, or of all storages, from the storage objects' own properties.
#include <cwchar>

#include "device/cwpd.h"
#include "log/hr_log.h"
#include "media/device_path.h"
#include "media/folder_list.h"

WPD_ERROR CFolderList::GetTotalMemory(const wchar_t *path, unsigned long long *bytes, unsigned long flags) {
    const std::lock_guard lock(mediaLock_);
    return device_->TranslateError(GetStorageMemory(path, bytes, flags, TRUE));
}

WPD_ERROR CFolderList::GetAvailableMemory(const wchar_t *path, unsigned long long *bytes, unsigned long flags) {
    const std::lock_guard lock(mediaLock_);
    return device_->TranslateError(GetStorageMemory(path, bytes, flags, FALSE));
}

// The path is not normalised: its first component, up to the first backslash, names the storage,
// compared without regard to case; no path adds up every storage.
HRESULT CFolderList::GetStorageMemory(const wchar_t *path, unsigned long long *bytes, unsigned long, BOOL total) {
    if (!bytes) {
        LogLine(1, "GetStorageMemory without an output pointer, hr = %08x", static_cast<unsigned>(E_POINTER));
        return E_POINTER;
    }
    *bytes = 0;
    wchar_t storageName[kNameChars] = {};
    if (path) {
        const wchar_t *separator = wcschr(path, L'\\');
        const size_t length = separator ? static_cast<size_t>(separator - path) : wcslen(path);
        if (length >= kNameChars) {
            LogLine(1, "Storage name does not fit, hr = %08x", static_cast<unsigned>(E_PATH_TOO_LONG));
            return E_PATH_TOO_LONG;
        }
        wcsncpy_s(storageName, kNameChars, path, length);
    }

    std::vector<ObjectRecord> storages;
    RETURN_IF_FAILED_LOG(EnumStorages(storages, TRUE), "EnumStorages failed, hr = %08x");
    for (const ObjectRecord &storage : storages) {
        if (!path || _wcsicmp(storageName, storage.name) == 0) {
            *bytes += total ? storage.storageCapacity : storage.storageFreeSpace;
        }
    }
    return S_OK;
}
