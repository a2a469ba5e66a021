// A phone as its description file declares it, before any phone is built from it.
#pragma once

#include "virtualphone/model/control_settings.h"
#include "virtualphone/model/phone_builder.h"
#include "virtualphone/model/phone_identity.h"
#include "virtualphone/model/phone_profile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vphone::description {

// Where the bytes of a file or playlist come from.
struct DataOrigin {
    enum class Kind { None, LocalFile, Pattern };
    Kind kind = Kind::None;
    std::wstring file;        // LocalFile: full path
    std::uint64_t size = 0;   // Pattern
    std::uint8_t seed = 0;    // Pattern
};

enum class ObjectType { Storage, Folder, File, Playlist };

struct DescribedObject {
    ObjectType type = ObjectType::Folder;
    std::wstring path;  // device path: "\Card\Music\song.mp3"
    int line = 0;       // where the description declares it
    std::uint64_t capacity = 0;  // storages
    std::wstring hostFolder;     // storages backed by a folder of this computer: its full path
    DataOrigin data;
    std::wstring thumbnailFile;  // full path, or empty
    std::optional<std::vector<std::wstring>> members;  // playlists: device paths of the entries
    ObjectAttributes attributes;
};

struct PhoneDescription {
    PhoneIdentity identity;
    PhoneProfile profile;
    std::optional<double> defaultDate;  // OLE date of objects that give none
    std::vector<DescribedObject> objects;  // every parent before its children, in file order
    ControlSettings controls;  // what the phone starts with
};

// What is wrong with a description, and where. line 0: the file as a whole.
struct DescriptionError {
    std::wstring file;
    int line = 0;
    std::wstring message;

    // "sample.phone:12: unknown keyword 'flder'"
    std::wstring Text() const;
};

}  // namespace vphone::description
