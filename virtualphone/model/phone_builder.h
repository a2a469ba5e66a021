// Fluent construction of a phone, for tests and for the phone description parser.
//
// Objects are addressed by device paths: "\Card\Music\song.mp3". The first component names a storage
// (by its name), the others folders, files and playlists by their original file name (by name when
// that is empty). The parent of each new object must already exist. Every method throws
// std::invalid_argument, with a message naming the path, when its arguments cannot be used; the phone
// is then left as it was before that call.
#pragma once

#include "virtualphone/model/data_source.h"
#include "virtualphone/model/phone.h"

#include <windows.h>
#include <propidl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vphone {

// Attributes that override what the builder derives. For files: name = the file name without its
// extension, original file name = the last path component, content type and format from the extension
// (unknown extensions give the unspecified type and format).
struct ObjectAttributes {
    std::optional<std::wstring> name;
    std::optional<std::wstring> originalFileName;
    std::optional<GUID> contentType;
    std::optional<GUID> format;
    std::optional<double> dateModified;  // OLE date
    std::optional<bool> hidden;
    std::optional<bool> canDelete;
    std::optional<std::wstring> persistentId;
};

class PhoneBuilder {
public:
    // A phone of that profile; the profile is fixed with the phone.
    explicit PhoneBuilder(PhoneProfile profile = DefaultProfile());

    PhoneBuilder &Manufacturer(std::wstring value);
    PhoneBuilder &Model(std::wstring value);
    PhoneBuilder &SerialNumber(std::wstring value);
    PhoneBuilder &FriendlyName(std::wstring value);
    // Default: USB\VID_0000&PID_0000\ + the serial number.
    PhoneBuilder &InstanceId(std::wstring value);
    // Default: the instance id without its last component.
    PhoneBuilder &HardwareIds(std::vector<std::wstring> values);
    // Date modified of objects built without one (OLE date; default 1 Jan 2020 00:00).
    PhoneBuilder &DefaultDate(double oleDate);

    PhoneBuilder &Storage(const std::wstring &name, std::uint64_t capacity, const ObjectAttributes &attributes = {});
    // A storage whose content is the tree of a folder of this computer (full path), seen live.
    PhoneBuilder &FolderStorage(const std::wstring &name, std::uint64_t capacity, std::wstring hostFolder);
    PhoneBuilder &Folder(const std::wstring &path, const ObjectAttributes &attributes = {});
    PhoneBuilder &File(const std::wstring &path, DataPtr data, const ObjectAttributes &attributes = {});
    PhoneBuilder &Thumbnail(const std::wstring &path, DataPtr data);
    // A playlist with references to the objects at memberPaths, and/or data (e.g. M3U text). Without
    // references pass std::nullopt: the playlist then has no WPD_OBJECT_REFERENCES at all.
    PhoneBuilder &Playlist(const std::wstring &path, std::optional<std::vector<std::wstring>> memberPaths,
                           DataPtr data = nullptr, const ObjectAttributes &attributes = {});
    // Changes attributes of an existing object.
    PhoneBuilder &Attributes(const std::wstring &path, const ObjectAttributes &attributes);
    // A property beyond the fixed ones ("" or "\" addresses the DEVICE object), e.g. a vendor
    // device property.
    PhoneBuilder &Property(const std::wstring &path, const PROPERTYKEY &key, const PROPVARIANT &value);
    // Makes the object lack a property it would have (GetValues leaves it out).
    PhoneBuilder &WithoutProperty(const std::wstring &path, const PROPERTYKEY &key);

    // Object id of the object at a path, or of the object added last.
    std::wstring ObjectId(const std::wstring &path) const;
    std::wstring LastObjectId() const;

    // The phone; the builder may go on adding to the same phone afterwards.
    std::shared_ptr<Phone> Build();

private:
    std::wstring Add(const std::wstring &path, ObjectKind kind, DataPtr data, const ObjectAttributes &attributes);
    std::wstring Resolve(const std::wstring &path) const;
    void Update(const std::wstring &path, const std::function<void(PhoneObject &)> &change);

    std::shared_ptr<Phone> phone_;
    std::wstring last_;
    double defaultDate_;
};

}  // namespace vphone
