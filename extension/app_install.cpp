// Installing an application: its files are copied to the phone, and the phone is given the MTP
// handles of the copies in one vendor operation.
#include <memory>
#include <new>

#include "device/cwpd.h"
#include "media/folder_list.h"
#include "extension/vendor_operations.h"

namespace {

// The next string of a list of NUL-terminated strings.
const wchar_t *NextString(const wchar_t *text) { return text + wcslen(text) + 1; }

}  // namespace

WPD_ERROR CWpdZeph::InstallApp(const wchar_t *localFiles, const wchar_t *remotePaths, unsigned long count) {
    if (count > 0 && (!localFiles || !remotePaths)) return WPD_ERROR_FAILED;
    CFolderList *folderList = GetFolderListObject();
    const wchar_t *local = localFiles;
    const wchar_t *remote = remotePaths;
    for (unsigned long i = 0; i < count; ++i, local = NextString(local), remote = NextString(remote)) {
        const WPD_ERROR put = folderList->PutFile(remote, local, CFolderList::kReplaceExisting);
        if (put != WPD_ERROR_OK) return put;
    }
    const std::unique_ptr<ULONG[]> handles(new (std::nothrow) ULONG[count]());
    if (!handles) return WPD_ERROR_FAILED;
    HRESULT hr = S_OK;
    remote = remotePaths;
    for (unsigned long i = 0; i < count && hr >= 0; ++i, remote = NextString(remote)) {
        wchar_t persistentId[kObjectIdChars] = {};
        hr = folderList->GetRemotePersistentId(remote, persistentId);
        if (SUCCEEDED(hr)) hr = FindObjectByPersistentId(persistentId, &handles[i]);
    }
    if (hr == S_OK) {
        // The handles go as little-endian 32-bit words, which is how this machine keeps them.
        hr = WriteVendorData(ZEPH_InstallApp, nullptr, nullptr, reinterpret_cast<const BYTE *>(handles.get()),
                             static_cast<ULONG>(count * sizeof(ULONG)));
    }
    return TranslateError(hr);
}
