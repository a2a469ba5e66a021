// Creating folders and deleting files and folders, and the look-up that every operation on one object
// starts with.
#include <cwchar>

#include "device/cwpd.h"
#include "log/hr_log.h"
#include "media/folder_list.h"

using Microsoft::WRL::ComPtr;

namespace {

// What the guard answers when the media player synchronises the phone; TranslateError makes it busy.
constexpr HRESULT kPlayerSynchronizing = HRESULT_FROM_WIN32(ERROR_BUSY);

// A path whose last component is empty names no object that could be looked up, made or deleted.
bool NamesObject(const wchar_t *path) {
    const size_t length = path ? wcslen(path) : 0;
    return length > 0 && path[length - 1] != L'\\';
}

}  // namespace

HRESULT CFolderList::FindTarget(const wchar_t *path, BOOL wantFolder, unsigned long flags, Target &target) {
    target.found = FALSE;
    if ((flags & kRefuseWhileSynchronizing) && IsDeviceSynchronizing()) return kPlayerSynchronizing;
    if (!NamesObject(path)) {
        LogLine(1, "Path %S names no object, hr = %08x", path ? path : L"", static_cast<unsigned>(E_INVALIDARG));
        return E_INVALIDARG;
    }
    target.record = {};
    RETURN_IF_FAILED_LOG(FindRemoteFile(path, wantFolder, target.content, target.record, target.found),
                         "FindRemoteFile failed, hr = %08x");
    const wchar_t *separator = wcsrchr(path, L'\\');
    const wchar_t *name = separator ? separator + 1 : path;
    target.sameNamed.clear();
    for (const FolderEntry entry : items_) {
        if (IsNamed(entry, name)) target.sameNamed.emplace_back(entry.objectId);
    }
    return S_OK;
}

WPD_ERROR CFolderList::DeleteFileObject(const wchar_t *path, unsigned long flags) {
    return DeleteObjectAt(path, flags, FALSE);
}

WPD_ERROR CFolderList::DeleteFolderObject(const wchar_t *path, unsigned long flags) {
    return DeleteObjectAt(path, flags, TRUE);
}

// A folder goes with everything below it, without asking.
WPD_ERROR CFolderList::DeleteObjectAt(const wchar_t *path, unsigned long flags, BOOL wantFolder) {
    const std::lock_guard lock(mediaLock_);
    Target target;
    HRESULT hr = FindTarget(path, wantFolder, flags, target);
    if (FAILED(hr)) return device_->TranslateError(hr);
    if (!target.found) {
        LogLine(1, wantFolder ? "Folder %S not found on the device for erase" : "File %S not found on the device for erase",
                path);
        return WPD_ERROR_FAILED;
    }
    hr = DeleteDeviceObject(target.content.Get(), target.record);
    if (FAILED(hr)) {
        LogLine(1, wantFolder ? "Failed to delete folder: %S, hr = %08x" : "Failed to delete file: %S, hr = %08x", path,
                static_cast<unsigned>(hr));
        return device_->TranslateError(hr);
    }
    RefreshFolderList();
    return device_->TranslateError(hr);
}

// One level at a time: the folder above the new one must exist.
WPD_ERROR CFolderList::CreateFolderObject(const wchar_t *path, unsigned long flags) {
    const std::lock_guard lock(mediaLock_);
    Target target;
    const HRESULT hr = FindTarget(path, TRUE, flags, target);
    if (FAILED(hr)) return device_->TranslateError(hr);
    if (target.found) return WPD_ERROR_OK;

    const auto create = [&]() -> HRESULT {
        ObjectRecord record = {};
        PrepareNewObject(record, TRUE, path);
        ComPtr<IPortableDeviceValues> values;
        RETURN_IF_FAILED_LOG(CreateObjectValues(record, values), "CreateObjectValues failed, hr = %08x");
        RETURN_IF_FAILED_LOG(target.content->CreateObjectWithPropertiesOnly(values.Get(), nullptr),
                             "CreateObjectWithPropertiesOnly failed, hr = %08x");
        RefreshFolderList();
        return S_OK;
    };
    return device_->TranslateError(create());
}
