// One object of the simulated phone: the device object, a storage, a folder, a file or a playlist.
#pragma once

#include "virtualphone/model/data_source.h"
#include "virtualphone/model/property_value.h"

#include <windows.h>
#include <propsys.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vphone {

enum class ObjectKind { Device, Storage, Folder, File, Playlist };

struct PhoneObject {
    ObjectKind kind = ObjectKind::File;
    std::wstring id;
    std::wstring parentId;
    std::wstring storageId;  // the storage it lies in; its own id for a storage
    std::wstring name;
    std::wstring originalFileName;
    std::wstring persistentId;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    GUID contentType = GUID_NULL;
    GUID format = GUID_NULL;
    double dateModified = 0;  // OLE date
    bool hidden = false;
    bool canDelete = true;
    std::uint32_t handle = 0;  // MTP object handle; the MTP storage id for a storage

    std::uint64_t capacity = 0;  // storages
    std::uint64_t used = 0;      // storages: sum of the data sizes below
    std::wstring hostFolder;     // storages backed by a folder of this computer: its full path

    DataPtr data;
    DataPtr thumbnail;
    std::optional<std::vector<std::wstring>> references;  // playlists: member object ids
    // Properties beyond the fixed fields, and fixed ones the object lacks.
    std::vector<std::pair<PROPERTYKEY, PropertyValue>> extra;
    std::vector<PROPERTYKEY> absent;

    std::uint64_t Size() const { return data ? data->Size() : 0; }
    // What a device path names it by: its original file name, or its name when it has none.
    const std::wstring &FileName() const { return originalFileName.empty() ? name : originalFileName; }
    bool IsContainer() const { return kind == ObjectKind::Storage || kind == ObjectKind::Folder; }
    // Storages: room left for data (none when a folder-backed storage holds more than its capacity).
    std::uint64_t Free() const { return used < capacity ? capacity - used : 0; }
};

bool SameKey(const PROPERTYKEY &a, const PROPERTYKEY &b) noexcept;

}  // namespace vphone
