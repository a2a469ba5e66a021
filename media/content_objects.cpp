// Reading, listing, preparing and deleting objects on the phone.
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <cwchar>

#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "media/bounded_text.h"
#include "media/bulk_values.h"
#include "media/file_type_table.h"
#include "media/folder_list.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr std::array kObjectKeys = {
    wpd::WPD_OBJECT_ID,          wpd::WPD_OBJECT_PARENT_ID,     wpd::WPD_OBJECT_NAME,
    wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, wpd::WPD_OBJECT_ISHIDDEN, wpd::WPD_OBJECT_CAN_DELETE,
    wpd::WPD_OBJECT_SIZE,        wpd::WPD_OBJECT_DATE_MODIFIED, wpd::WPD_OBJECT_CONTENT_TYPE,
    wpd::WPD_OBJECT_FORMAT,      wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID,
};
constexpr std::array kStorageKeys = {wpd::WPD_STORAGE_CAPACITY, wpd::WPD_STORAGE_FREE_SPACE_IN_BYTES};

// Children are fetched this many IDs at a time: each fetch is an exchange with the phone.
constexpr ULONG kIdsPerFetch = 1000;

// A bulk read costs a few exchanges (queue, start, a batch of results), so folders with fewer
// children than this are read one object at a time.
constexpr size_t kFewestForBulkRead = 4;

// What reading an object answers once another client has deleted it.
constexpr HRESULT kObjectGone = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// The capabilities of the opened device; a handle that is not connected fails here instead of crashing.
HRESULT CapabilitiesOf(IPortableDevice *device, ComPtr<IPortableDeviceCapabilities> &capabilities) {
    if (!device) return E_NOT_CONNECTED;
    return device->Capabilities(capabilities.ReleaseAndGetAddressOf());
}

// The properties interface and the key collection that reading an object's record needs. A listing
// makes them once and reads every entry with them: each entry then costs one GetValues.
class ObjectReader {
public:
    HRESULT Open(IPortableDevice *device, BOOL withStorage) {
        withStorage_ = withStorage;
        ComPtr<IPortableDeviceContent> content;
        RETURN_IF_FAILED_LOG(ContentOf(device, content), "Getting device content failed, hr = %08x");
        RETURN_IF_FAILED_LOG(content->Properties(&properties_), "Getting content properties failed, hr = %08x");
        RETURN_IF_FAILED_LOG(CreateKeyCollection(keys_),
                             "CoCreateInstance on CLSID_PortableDeviceKeyCollection failed, hr = %08x");
        for (const PROPERTYKEY &key : kObjectKeys) keys_->Add(key);
        if (withStorage) {
            for (const PROPERTYKEY &key : kStorageKeys) keys_->Add(key);
        }
        return S_OK;
    }

    HRESULT Read(const wchar_t *objectId, ObjectRecord &record, BOOL &known) const {
        ComPtr<IPortableDeviceValues> values;
        RETURN_IF_FAILED_LOG(properties_->GetValues(objectId, keys_.Get(), &values),
                             "Getting properties values failed, hr = %08x");
        Fill(objectId, values.Get(), record, known);
        return S_OK;
    }

    // The values of every object in one bulk request, where the device offers it (see ReadValuesInBulk).
    HRESULT ReadInBulk(const TextList &objectIds, std::vector<ComPtr<IPortableDeviceValues>> &values) const {
        return ReadValuesInBulk(properties_.Get(), keys_.Get(), objectIds, values);
    }

    // The record of an object from its values, however they were read. Its id is the one its values
    // were read by.
    void Fill(const wchar_t *objectId, IPortableDeviceValues *values, ObjectRecord &record, BOOL &known) const {
        CFolderList::FillObjectNames(record, values, known);
        const bool idFits = CopyBounded(record.objectId, objectId);
        const bool parentIdFits =
            CFolderList::GetStringProperty(values, wpd::WPD_OBJECT_PARENT_ID, record.parentId);
        CFolderList::GetUInt64Property(values, wpd::WPD_OBJECT_SIZE, record.size);
        CFolderList::GetBoolProperty(values, wpd::WPD_OBJECT_ISHIDDEN, record.isHidden);
        CFolderList::GetBoolProperty(values, wpd::WPD_OBJECT_CAN_DELETE, record.canDelete);
        CFolderList::GetDateProperty(values, wpd::WPD_OBJECT_DATE_MODIFIED, record.dateModified);
        CFolderList::GetStringProperty(values, wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID, record.persistentId);
        if (withStorage_) {
            CFolderList::GetUInt64Property(values, wpd::WPD_STORAGE_CAPACITY, record.storageCapacity);
            CFolderList::GetUInt64Property(values, wpd::WPD_STORAGE_FREE_SPACE_IN_BYTES, record.storageFreeSpace);
        }
        if (!idFits || !parentIdFits) {
            LogLine(1, "Object ID or parent ID of object %S does not fit, object left out", objectId);
            known = FALSE;
        }
    }

private:
    ComPtr<IPortableDeviceProperties> properties_;
    ComPtr<IPortableDeviceKeyCollection> keys_;
    BOOL withStorage_ = FALSE;
};

// Every child id of an enumeration, fetched kIdsPerFetch at a time. On a failure ids holds those that
// arrived before it.
HRESULT FetchAllIds(IEnumPortableDeviceObjectIDs *children, TextList &ids) {
    std::vector<LPWSTR> fetchedIds(kIdsPerFetch);
    for (;;) {
        std::fill(fetchedIds.begin(), fetchedIds.end(), nullptr);
        ULONG fetched = 0;
        const HRESULT hr = children->Next(kIdsPerFetch, fetchedIds.data(), &fetched);
        // Every string handed out is freed, whatever happens below.
        std::vector<win::UniqueCoTaskMemString> owned(fetchedIds.begin(), fetchedIds.end());
        if (FAILED(hr)) return hr;
        if (fetched == 0) return S_OK;
        for (ULONG i = 0; i < fetched && i < kIdsPerFetch; ++i) {
            if (owned[i]) ids.Add(owned[i].get());
        }
    }
}

}  // namespace

HRESULT CFolderList::GetObjectRecord(const wchar_t *objectId, ObjectRecord &record, BOOL &known, BOOL withStorage) {
    ObjectReader reader;
    RETURN_IF_FAILED(reader.Open(Device(), withStorage));
    return reader.Read(objectId, record, known);
}

HRESULT CFolderList::EnumFolderObjects(FolderEntries &list, const wchar_t *parentId) {
    list.Clear();
    ComPtr<IPortableDeviceContent> content;
    RETURN_IF_FAILED_LOG(ContentOf(Device(), content), "Getting device content failed, hr = %08x");
    ComPtr<IEnumPortableDeviceObjectIDs> children;
    RETURN_IF_FAILED_LOG(content->EnumObjects(0, parentId, nullptr, &children), "EnumObjects failed, hr = %08x");
    // The ids first, so that the list is sized once. An enumeration that breaks off still leaves the
    // records of the ids that came before the break, read in order, as reading each batch as it came
    // would.
    TextList ids;
    const HRESULT enumerated = FetchAllIds(children.Get(), ids);
    list.Reserve(ids.Size());
    ObjectReader reader;
    // A failure to open is the first entry's failure, as reading that entry would have met it.
    const HRESULT opened = ids.Empty() ? S_OK : reader.Open(Device(), FALSE);
    // Values that a bulk read brought; an object without them is read on its own.
    std::vector<ComPtr<IPortableDeviceValues>> bulkValues;
    if (SUCCEEDED(opened) && ids.Size() >= kFewestForBulkRead) (void)reader.ReadInBulk(ids, bulkValues);
    // Each entry is read into one record, which the list keeps in its compact form.
    ObjectRecord record;
    for (size_t i = 0; i < ids.Size(); ++i) {
        const wchar_t *id = ids[i];
        record = {};
        BOOL known = FALSE;
        HRESULT read = opened;
        if (SUCCEEDED(read) && i < bulkValues.size() && bulkValues[i]) {
            reader.Fill(id, bulkValues[i].Get(), record, known);
        } else if (SUCCEEDED(read)) {
            read = reader.Read(id, record, known);
        }
        if (SUCCEEDED(read) && known) list.Add(record);
        // Another client may delete an object between the listing of the ids and the reading of it.
        if (read == kObjectGone) {
            LogLine(1, "Object %S is gone, left out of the listing", id);
            continue;
        }
        RETURN_IF_FAILED_LOG(read, "Getting values on enumerated object failed, hr = %08x");
    }
    RETURN_IF_FAILED_LOG(enumerated, "Getting enumerated object failed, hr = %08x");
    return S_OK;
}

HRESULT CFolderList::EnumStorages(std::vector<ObjectRecord> &list, BOOL withStorage) {
    ComPtr<IPortableDeviceCapabilities> capabilities;
    RETURN_IF_FAILED_LOG(CapabilitiesOf(Device(), capabilities), "Getting device capabilities failed, hr = %08x");
    ComPtr<IPortableDevicePropVariantCollection> storages;
    RETURN_IF_FAILED_LOG(capabilities->GetFunctionalObjects(wpd::WPD_FUNCTIONAL_CATEGORY_STORAGE, &storages),
                         "GetFunctionalObjects failed, hr = %08x");
    DWORD count = 0;
    RETURN_IF_FAILED_LOG(storages->GetCount(&count), "Getting object count failed, hr = %08x");

    for (DWORD i = 0; i < count; ++i) {
        win::UniquePropVariant id;
        HRESULT hr = storages->GetAt(i, id.put());
        if (FAILED(hr)) {
            list.clear();
            LogLine(1, "Getting object %d failed, hr = %08x", static_cast<int>(i), static_cast<unsigned>(hr));
            return hr;
        }
        if (id->vt != VT_LPWSTR || !id->pwszVal) continue;
        ObjectRecord record = {};
        BOOL known = FALSE;
        hr = GetObjectRecord(id->pwszVal, record, known, withStorage);
        if (FAILED(hr)) {
            list.clear();
            LogLine(1, "Getting value for object %d failed, hr = %08x", static_cast<int>(i),
                    static_cast<unsigned>(hr));
            return hr;
        }
        if (known) list.push_back(record);
    }
    return S_OK;
}

void CFolderList::PrepareNewObject(ObjectRecord &record, BOOL isFolder, const wchar_t *devicePath) const {
    // The file name is what follows the last backslash, as path look-ups split it.
    const wchar_t *separator = wcsrchr(devicePath, L'\\');
    const wchar_t *fileName = separator ? separator + 1 : devicePath;
    CopyBounded(record.originalFileName, fileName);
    CopyBounded(record.name, fileName);
    if (isFolder) {
        record.isFolder = TRUE;
        record.contentType = wpd::WPD_CONTENT_TYPE_FOLDER;
        record.format = GUID{};
    } else {
        record.isFolder = FALSE;
        ContentTypeFromExtension(devicePath, record.contentType);
        FormatFromExtension(devicePath, record.format);
        // A file of a listed type is named without its extension; any other keeps it.
        if (!IsEqualGUID(record.format, wpd::WPD_OBJECT_FORMAT_UNSPECIFIED)) {
            if (wchar_t *dot = wcsrchr(record.name, L'.')) *dot = L'\0';
        }
    }
    CopyBounded(record.parentId, folderId_);
}

HRESULT CFolderList::CreateObjectValues(const ObjectRecord &record, ComPtr<IPortableDeviceValues> &values) const {
    ComPtr<IPortableDeviceValues> created;
    RETURN_IF_FAILED_LOG(CreateValues(created), "CoCreateInstance on CLSID_PortableDeviceValues failed, hr = %08x");
    created->SetStringValue(wpd::WPD_OBJECT_PARENT_ID, record.parentId);
    created->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, record.originalFileName);
    created->SetStringValue(wpd::WPD_OBJECT_NAME, record.name);
    created->SetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, record.contentType);
    if (!record.isFolder) created->SetGuidValue(wpd::WPD_OBJECT_FORMAT, record.format);
    RETURN_IF_FAILED_LOG(created.As(&values), "QueryInterface on IPortableDeviceValues failed, hr = %08x");
    return S_OK;
}

HRESULT CFolderList::DeleteDeviceObject(IPortableDeviceContent *content, const ObjectRecord &record) const {
    return DeleteObjectById(content, record.objectId);
}

HRESULT CFolderList::DeleteObjectById(IPortableDeviceContent *content, const wchar_t *objectId) {
    ComPtr<IPortableDevicePropVariantCollection> ids;
    RETURN_IF_FAILED_LOG(CreatePropVariantCollection(ids),
                         "Failed to create instance of IPortableDevicePropVariantCollection, hr = %08x");
    // The collection keeps its own copy of the value.
    PROPVARIANT id = {};
    id.vt = VT_LPWSTR;
    id.pwszVal = const_cast<wchar_t *>(objectId);
    RETURN_IF_FAILED_LOG(ids->Add(&id), "Adding the object ID to the collection failed, hr = %08x");
    const HRESULT hr = content->Delete(wpd::PORTABLE_DEVICE_DELETE_WITH_RECURSION, ids.Get(), nullptr);
    if (FAILED(hr)) {
        LogLine(1, "Failed to delete object with ID = %S, hr = %08x", objectId, static_cast<unsigned>(hr));
        return hr;
    }
    // S_FALSE: the phone kept some of it (a protected object and the folders above it).
    if (hr == S_FALSE) {
        LogLine(1, "Object with ID = %S was deleted only in part, some of it stayed on the phone", objectId);
        return E_FAIL;
    }
    return S_OK;
}
