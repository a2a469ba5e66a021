// From device paths to storages and folders, the current location, and back from objects to paths.
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>

#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "media/bounded_text.h"
#include "media/device_path.h"
#include "media/folder_list.h"

using Microsoft::WRL::ComPtr;

HRESULT CFolderList::GetFolderList(FolderEntries &list, const wchar_t *path) {
    wchar_t normalised[kNameChars];
    if (!NormalizeDevicePath(normalised, path)) {
        LogLine(1, "Path does not fit %d characters, aborting folder listing", static_cast<int>(kNameChars - 1));
        return E_PATH_TOO_LONG;
    }
    SetCurrentLocation(nullptr, nullptr, nullptr);

    // "\Storage\Folder\...": the storage component, then the rest after its separator.
    const std::wstring_view afterRoot(normalised + 1);
    const size_t separator = afterRoot.find(L'\\');
    const std::wstring storageName(afterRoot.substr(0, separator));
    const std::wstring rest(separator == std::wstring_view::npos ? std::wstring_view() : afterRoot.substr(separator + 1));

    std::vector<ObjectRecord> storages;
    RETURN_IF_FAILED_LOG(EnumStorages(storages, FALSE), "EnumStorages failed, hr = %08x");
    if (storageName.empty()) {
        list.Clear();
        for (const ObjectRecord &storage : storages) list.Add(storage);
        SetCurrentLocation(normalised, nullptr, nullptr);
        return S_OK;
    }

    const auto storage = std::find_if(storages.begin(), storages.end(),
                                      [&](const ObjectRecord &record) { return storageName == record.name; });
    if (storage == storages.end()) {
        LogLine(1, "Path %S not found, aborting folder listing", normalised);
        return E_FAIL;
    }
    wchar_t storageId[kObjectIdChars];
    wchar_t folderId[kObjectIdChars];
    CopyBounded(storageId, storage->objectId);
    CopyBounded(folderId, storage->objectId);

    // Doubled separators give empty pieces, which are skipped.
    for (size_t start = 0; start < rest.size();) {
        const size_t end = std::min(rest.find(L'\\', start), rest.size());
        const std::wstring component = rest.substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;
        const HRESULT hr = FindChildFolder(component.c_str(), folderId);
        if (FAILED(hr)) {
            LogLine(1, "Folder \"%S\" in path \"%S\" not found, aborting folder listing", component.c_str(), rest.c_str());
            return hr;
        }
    }

    const HRESULT hr = EnumFolderObjects(list, folderId);
    if (FAILED(hr)) {
        LogLine(1, "Failed to enumerate files in path \"%S\", aborting folder listing", normalised);
        return hr;
    }
    SetCurrentLocation(normalised, storageId, folderId);
    return S_OK;
}

HRESULT CFolderList::FindChildFolder(const wchar_t *component, wchar_t (&folderId)[kObjectIdChars]) {
    FolderEntries children;
    const HRESULT hr = EnumFolderObjects(children, folderId);
    if (FAILED(hr)) {
        LogLine(1, "Enumerating objects for folder/stotrage [%S] failed, hr = %08x", folderId,
                static_cast<unsigned>(hr));
        return hr;
    }
    // Any kind of child matches: a file of that name is taken as the folder.
    for (const FolderEntry child : children) {
        if (wcscmp(child.name, component) == 0) {
            CopyBounded(folderId, child.objectId);
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CFolderList::RefreshFolderList() {
    wchar_t path[kNameChars];
    CopyBounded(path, currentPath_);
    SetCurrentLocation(nullptr, nullptr, nullptr);
    return GetFolderList(items_, path);
}

HRESULT CFolderList::FindRemoteFile(const wchar_t *path, BOOL wantFolder, ComPtr<IPortableDeviceContent> &content,
                                    ObjectRecord &record, BOOL &found) {
    found = FALSE;
    wchar_t folderPath[kNameChars];
    if (!CopyBounded(folderPath, path ? path : L"")) {
        LogLine(1, "Path does not fit %d characters, hr = %08x", static_cast<int>(kNameChars - 1),
                static_cast<unsigned>(E_PATH_TOO_LONG));
        return E_PATH_TOO_LONG;
    }
    // A bare name is looked for in the folder resolved last.
    const wchar_t *name = folderPath;
    if (wchar_t *separator = wcsrchr(folderPath, L'\\')) {
        *separator = L'\0';
        name = separator + 1;
        RETURN_IF_FAILED_LOG(GetFolderList(items_, folderPath), "GetFolderList failed, hr = %08x");
    }
    const HRESULT hr = ContentOf(Device(), content);
    RETURN_IF_FAILED_LOG(hr, "Getting device content failed, hr = %08x");

    for (size_t i = 0; i < items_.Size(); ++i) {
        const FolderEntry entry = items_[i];
        if (!entry.isFolder == !wantFolder && IsNamed(entry, name)) {
            record = items_.Record(i);
            found = TRUE;
            break;
        }
    }
    return hr;
}

// The name shown in listings, and the name the object was sent with: a path a successful upload used
// finds its object again, whatever name the phone gives it.
bool CFolderList::IsNamed(const FolderEntry &entry, const wchar_t *name) {
    return wcscmp(entry.listingName, name) == 0 || wcscmp(entry.originalFileName, name) == 0;
}

HRESULT CFolderList::GetObjectFullPath(wchar_t (&path)[kNameChars], IPortableDeviceProperties *properties,
                                       IPortableDeviceKeyCollection *keys, const wchar_t *objectId) {
    std::wstring fullPath(path);
    std::wstring id(objectId);
    for (;;) {
        ComPtr<IPortableDeviceValues> values;
        RETURN_IF_FAILED_LOG(properties->GetValues(id.c_str(), keys, &values),
                             "Failed to get the object values, hr = %08x");
        ObjectRecord record = {};
        BOOL known = FALSE;
        FillObjectNames(record, values.Get(), known);
        wchar_t parentId[kObjectIdChars];
        const bool parentIdFits = GetStringProperty(values.Get(), wpd::WPD_OBJECT_PARENT_ID, parentId);

        // "\name" in front, one separator between it and what was built so far.
        const size_t built = fullPath.find_first_not_of(L'\\');
        fullPath = std::wstring(L"\\") + record.listingName +
                   (built == std::wstring::npos ? std::wstring() : L"\\" + fullPath.substr(built));
        // Every step adds at least one character, so this also ends a parent chain that loops.
        if (fullPath.size() >= kNameChars) {
            LogLine(1, "Path of object %S does not fit, hr = %08x", objectId, static_cast<unsigned>(E_PATH_TOO_LONG));
            return E_PATH_TOO_LONG;
        }
        if (wcscmp(record.name, currentStorage_) == 0 || !parentId[0]) break;
        if (!parentIdFits) {
            LogLine(1, "Parent ID of object %S does not fit, hr = %08x", id.c_str(),
                    static_cast<unsigned>(E_PATH_TOO_LONG));
            return E_PATH_TOO_LONG;
        }
        id = parentId;
    }
    CopyBounded(path, fullPath.c_str());
    return S_OK;
}
