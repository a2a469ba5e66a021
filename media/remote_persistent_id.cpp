#include <mutex>

#include "log/log_line.h"
#include "media/bounded_text.h"
#include "media/folder_list.h"

using Microsoft::WRL::ComPtr;

HRESULT CFolderList::GetRemotePersistentId(const wchar_t *path, wchar_t (&persistentId)[kObjectIdChars]) {
    std::lock_guard lock(mediaLock_);
    persistentId[0] = L'\0';
    ObjectRecord record = {};
    ComPtr<IPortableDeviceContent> content;
    BOOL found = FALSE;
    const HRESULT hr = FindRemoteFile(path, FALSE, content, record, found);
    if (!found) return E_FAIL;
    CopyBounded(persistentId, record.persistentId);
    return hr;
}
