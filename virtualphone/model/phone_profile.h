// How a kind of phone behaves, fixed when the phone is made: a set of named switches, each read where
// its behaviour happens. The default profile is a phone of the library's original era; "android"
// behaves as Android's MTP responder does (its MtpServer and MtpStorageManager).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vphone {

struct PhoneProfile {
    std::wstring name = L"default";
    // An object's name is its file name, extension included, whatever name the client sent.
    bool namesAreFileNames = false;
    // A second object of a file name already in the folder is refused, and so is renaming onto one.
    bool uniqueFileNames = false;
    // WPD_OBJECT_ORIGINAL_FILE_NAME is writable and renames the object; otherwise it is read-only.
    bool renamesByFileName = false;
    // Revert abandons an upload that was not committed; otherwise it answers E_NOTIMPL.
    bool revertsUploads = true;
    // An upload's object is in the tree from its creation, committed or not, until it is deleted.
    bool uploadsVisibleAtOnce = false;
    // The DEVICE object reports WPD_DEVICE_DATETIME.
    bool deviceDateTime = true;
    // Object ids spell the object's path below its storage's id, as path-based drivers make them.
    bool pathObjectIds = false;
    // A recursive delete removes what it can, keeps protected objects with the folders above them,
    // and answers S_FALSE.
    bool partialDeletes = false;
    // Every playlist answers an empty WPD_OBJECT_REFERENCES, and references are not accepted.
    bool emptyReferenceLists = false;
    // The properties of many objects come in one request (IPortableDevicePropertiesBulk), as the MTP
    // driver serves them with GetObjectPropList; otherwise the properties object has no bulk interface,
    // and GetObjectPropList sent through the vendor extension commands answers "operation not supported"
    // (MTP leaves it optional).
    bool bulkProperties = true;
};

inline PhoneProfile DefaultProfile() { return {}; }

inline PhoneProfile AndroidProfile() {
    PhoneProfile profile;
    profile.name = L"android";
    profile.namesAreFileNames = true;
    profile.uniqueFileNames = true;
    profile.renamesByFileName = true;
    profile.revertsUploads = false;
    profile.uploadsVisibleAtOnce = true;
    profile.deviceDateTime = false;
    profile.pathObjectIds = true;
    profile.partialDeletes = true;
    profile.emptyReferenceLists = true;
    return profile;
}

// The profile of that name, or none.
inline std::optional<PhoneProfile> ProfileNamed(std::wstring_view name) {
    if (name == L"default") return DefaultProfile();
    if (name == L"android") return AndroidProfile();
    return std::nullopt;
}

}  // namespace vphone
