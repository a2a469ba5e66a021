// Playlists: written as references to the objects of their lines, or as M3U data when the phone
// refuses references, and read back the same two ways.
#include <shlwapi.h>

#include <array>

#include "device/cwpd.h"
#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "media/folder_list.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

// GetObjectFullPath needs the names, types and parent of every entry as well.
constexpr std::array kReferenceKeys = {
    wpd::WPD_OBJECT_REFERENCES,   wpd::WPD_OBJECT_NAME,   wpd::WPD_OBJECT_ORIGINAL_FILE_NAME,
    wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_OBJECT_FORMAT, wpd::WPD_OBJECT_PARENT_ID,
};

}  // namespace

WPD_ERROR CFolderList::PutPlaylist(const wchar_t *path, wchar_t *text, unsigned long flags) {
    const std::lock_guard lock(mediaLock_);
    Target existing;
    const HRESULT hr = FindTarget(path, FALSE, flags, existing);
    if (FAILED(hr)) return device_->TranslateError(hr);
    if (existing.found && !(flags & kReplaceExisting)) return WPD_ERROR_ALREADY_EXISTS;
    return device_->TranslateError(CreatePlaylist(existing, path, text, flags));
}

HRESULT CFolderList::CreatePlaylist(const Target &existing, const wchar_t *path, wchar_t *text, unsigned long flags) {
    // Named and placed now: resolving the lines moves the current location.
    ObjectRecord playlist = {};
    PrepareNewObject(playlist, FALSE, path);
    std::vector<ObjectRecord> items;
    RETURN_IF_FAILED_LOG(ParsePlaylistText(items, text, flags), "Failed to parse the playlist text, hr = %08x");
    // Only a playlist whose every line resolved replaces the old one, and only once it is complete.
    IPortableDeviceContent *content = existing.content.Get();
    RETURN_IF_FAILED(CreateInPlaceOf(existing, playlist, [&](NewObject &object) -> HRESULT {
        ComPtr<IPortableDeviceValues> values;
        RETURN_IF_FAILED_LOG(CreateObjectValues(object.names, values), "CreateObjectValues failed, hr = %08x");
        if (SUCCEEDED(AddPlaylistReferences(content, values.Get(), items, object))) return S_OK;
        // A phone that refused the references is not sent them again with the data.
        values->RemoveValue(wpd::WPD_OBJECT_REFERENCES);
        return WritePlaylistData(content, values.Get(), items, object);
    }));
    RefreshFolderList();
    return S_OK;
}

HRESULT CFolderList::AddPlaylistReferences(IPortableDeviceContent *content, IPortableDeviceValues *values,
                                           const std::vector<ObjectRecord> &items, NewObject &playlist) {
    ComPtr<IPortableDevicePropVariantCollection> references;
    RETURN_IF_FAILED_LOG(CreatePropVariantCollection(references),
                         "Failed to create instance of IPortableDevicePropVariantCollection, hr = %08x");
    for (const ObjectRecord &item : items) {
        // The collection keeps its own copy of the value.
        PROPVARIANT id = {};
        id.vt = VT_LPWSTR;
        id.pwszVal = const_cast<wchar_t *>(item.objectId);
        const HRESULT hr = references->Add(&id);
        if (FAILED(hr)) {
            LogLine(1, "Failed to add %S to the playlist, hr = %08x", item.name, static_cast<unsigned>(hr));
            return hr;
        }
    }
    RETURN_IF_FAILED_LOG(values->SetIPortableDevicePropVariantCollectionValue(wpd::WPD_OBJECT_REFERENCES,
                                                                              references.Get()),
                         "SetIPortableDevicePropVariantCollectionValue failed, hr = %08x");
    win::UniqueCoTaskMemString objectId;
    const HRESULT hr = content->CreateObjectWithPropertiesOnly(values, objectId.put());
    playlist.refused = FAILED(hr);
    RETURN_IF_FAILED_LOG(hr, "CreateObjectWithPropertiesOnly failed, hr = %08x");
    if (objectId) playlist.id = objectId.get();
    return S_OK;
}

WPD_ERROR CFolderList::GetPlaylist(const wchar_t *path, wchar_t **text, unsigned long flags) {
    const std::lock_guard lock(mediaLock_);
    if (!text) {
        LogLine(1, "GetPlaylist without an output pointer, hr = %08x", static_cast<unsigned>(E_POINTER));
        return device_->TranslateError(E_POINTER);
    }
    Target playlist;
    HRESULT hr = FindTarget(path, FALSE, flags, playlist);
    if (FAILED(hr)) return device_->TranslateError(hr);
    if (!playlist.found) return WPD_ERROR_FAILED;

    std::vector<ObjectRecord> items;
    hr = GetPlaylistReferences(playlist.content.Get(), items, playlist.record.objectId);
    // An empty list may be all a phone answers (Android's does, for every playlist): a playlist that
    // has data keeps its entries there.
    if (FAILED(hr) || (items.empty() && playlist.record.size > 0)) {
        hr = ReadPlaylistData(playlist.content.Get(), items, playlist.record.objectId, playlist.record.format,
                              lstrcmpiW(PathFindExtensionW(path), L".m3u8") == 0);
    }
    if (FAILED(hr)) {
        LogLine(1, "Failed to read playlist %S, hr = %08x", path, static_cast<unsigned>(hr));
        return device_->TranslateError(hr);
    }
    return device_->TranslateError(BuildTextPlaylist(text, items));
}

HRESULT CFolderList::GetPlaylistReferences(IPortableDeviceContent *content, std::vector<ObjectRecord> &items,
                                           const wchar_t *objectId) {
    ComPtr<IPortableDeviceProperties> properties;
    RETURN_IF_FAILED_LOG(content->Properties(&properties), "Getting content properties interface failed, hr = %08x");
    ComPtr<IPortableDeviceKeyCollection> keys;
    RETURN_IF_FAILED_LOG(CreateKeyCollection(keys),
                         "Getting instance of IPortableDeviceKeyCollection failed, hr = %08x");
    for (const PROPERTYKEY &key : kReferenceKeys) {
        RETURN_IF_FAILED_LOG(keys->Add(key), "Adding object property IDs to the value list failed, hr = %08x");
    }
    ComPtr<IPortableDeviceValues> values;
    RETURN_IF_FAILED_LOG(properties->GetValues(objectId, keys.Get(), &values),
                         "Failed to get the object values, hr = %08x");
    // A playlist without references is read from its data instead.
    ComPtr<IPortableDevicePropVariantCollection> references;
    RETURN_IF_FAILED(values->GetIPortableDevicePropVariantCollectionValue(wpd::WPD_OBJECT_REFERENCES, &references));
    DWORD count = 0;
    RETURN_IF_FAILED_LOG(references->GetCount(&count), "Getting object count failed, hr = %08x");

    // Built aside: a list that cannot be read whole is dropped whole.
    std::vector<ObjectRecord> entries;
    for (DWORD i = 0; i < count; ++i) {
        win::UniquePropVariant link;
        HRESULT hr = references->GetAt(i, link.put());
        if (FAILED(hr)) {
            LogLine(1, "Getting link %d failed, hr = %08x", static_cast<int>(i), static_cast<unsigned>(hr));
            return hr;
        }
        if (link->vt != VT_LPWSTR || !link->pwszVal) {
            LogLine(1, "Link %d is not a string", static_cast<int>(i));
            return E_FAIL;
        }
        ObjectRecord entry = {};
        hr = GetObjectFullPath(entry.name, properties.Get(), keys.Get(), link->pwszVal);
        if (FAILED(hr)) {
            LogLine(1, "Failed to get the full link path for object %d, hr = %08x", static_cast<int>(i),
                    static_cast<unsigned>(hr));
            return hr;
        }
        entries.push_back(entry);
    }
    items = std::move(entries);
    return S_OK;
}
