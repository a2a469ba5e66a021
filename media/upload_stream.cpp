// The end of an upload: a complete one is committed; a cancelled or failed one leaves nothing on the
// phone, also on phones that cannot revert an upload and show it as soon as it began.
#include <algorithm>

#include "log/hr_log.h"
#include "media/folder_list.h"
#include "win/unique_any.h"

HRESULT CFolderList::FinishUpload(IPortableDeviceContent *content, IPortableDeviceDataStream *data, HRESULT copied,
                                  NewObject &object) {
    HRESULT hr = copied;
    if (hr == S_OK) {
        hr = data->Commit(STGC_DEFAULT);
        if (FAILED(hr)) LogLine(1, "Commit failed, hr = %08x", static_cast<unsigned>(hr));
    }
    if (hr == S_OK) {
        // Replacing needs the new object's id; an upload that cannot tell it is complete all the same.
        win::UniqueCoTaskMemString id;
        const HRESULT named = data->GetObjectID(id.put());
        if (SUCCEEDED(named) && id) {
            object.id = id.get();
        } else {
            LogLine(1, "Getting the ID of the new object failed, hr = %08x", static_cast<unsigned>(named));
        }
        return S_OK;
    }
    const HRESULT discarded = DiscardUpload(content, data, object);
    if (FAILED(hr)) return hr;
    return FAILED(discarded) ? discarded : S_FALSE;
}

HRESULT CFolderList::DiscardUpload(IPortableDeviceContent *content, IPortableDeviceDataStream *data,
                                   const NewObject &object) {
    if (SUCCEEDED(data->Revert())) return S_OK;
    // No Revert: the phone may hold the unfinished object. It is the one of its name in its folder that
    // was not there before.
    FolderEntries children;
    HRESULT hr = EnumFolderObjects(children, object.names.parentId);
    for (const FolderEntry child : children) {
        if (FAILED(hr)) break;
        const bool before = std::find(object.before.begin(), object.before.end(), child.objectId) != object.before.end();
        if (IsNamed(child, object.names.originalFileName) && !before) hr = DeleteObjectById(content, child.objectId);
    }
    if (FAILED(hr)) {
        LogLine(1, "The unfinished %S stays on the phone, hr = %08x", object.names.originalFileName,
                static_cast<unsigned>(hr));
    }
    return hr;
}
