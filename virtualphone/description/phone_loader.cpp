#include "virtualphone/description/phone_loader.h"

#include "virtualphone/description/description_parser.h"

#include <exception>
#include <new>

namespace vphone::description {
namespace {

DataPtr MakeData(const DataOrigin &origin) {
    switch (origin.kind) {
        case DataOrigin::Kind::LocalFile:
            return LocalFileData(origin.file);
        case DataOrigin::Kind::Pattern:
            return PatternData(origin.size, origin.seed);
        case DataOrigin::Kind::None:
            break;
    }
    return nullptr;
}

void Add(const DescribedObject &object, PhoneBuilder &builder) {
    switch (object.type) {
        case ObjectType::Storage:
            if (!object.hostFolder.empty()) {
                builder.FolderStorage(object.path.substr(1), object.capacity, object.hostFolder);
                break;
            }
            builder.Storage(object.path.substr(1), object.capacity, object.attributes);
            break;
        case ObjectType::Folder:
            builder.Folder(object.path, object.attributes);
            break;
        case ObjectType::File: {
            DataPtr data = MakeData(object.data);
            builder.File(object.path, data ? std::move(data) : BytesData({}), object.attributes);
            if (!object.thumbnailFile.empty()) builder.Thumbnail(object.path, LocalFileData(object.thumbnailFile));
            break;
        }
        case ObjectType::Playlist:
            builder.Playlist(object.path, object.members, MakeData(object.data), object.attributes);
            break;
    }
}

std::wstring Widen(const char *text) {
    std::wstring wide;
    for (const char *c = text; *c; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return wide;
}

void Build(const PhoneDescription &description, PhoneBuilder &builder) {
    const PhoneIdentity &identity = description.identity;
    builder.Manufacturer(identity.manufacturer)
        .Model(identity.model)
        .SerialNumber(identity.serialNumber)
        .FriendlyName(identity.friendlyName)
        .InstanceId(identity.instanceId)
        .HardwareIds(identity.hardwareIds);
    if (description.defaultDate) builder.DefaultDate(*description.defaultDate);
    // Playlists go last: their members must exist when they are made.
    for (const bool playlists : {false, true}) {
        for (const DescribedObject &object : description.objects) {
            if ((object.type == ObjectType::Playlist) != playlists) continue;
            try {
                Add(object, builder);
            } catch (const std::bad_alloc &) {
                throw;
            } catch (const std::exception &refused) {
                throw DescriptionError{{}, object.line, L"cannot add " + object.path + L": " + Widen(refused.what())};
            }
        }
    }
}

}  // namespace

bool BuildPhone(const PhoneDescription &description, PhoneBuilder &builder, DescriptionError *error) noexcept {
    try {
        Build(description, builder);
        return true;
    } catch (const DescriptionError &failure) {
        if (error) *error = failure;
    } catch (const std::bad_alloc &) {
        if (error) *error = DescriptionError{{}, 0, L"out of memory"};
    }
    return false;
}

std::shared_ptr<Phone> LoadPhone(const std::wstring &descriptionFile, const std::wstring &dataFolder,
                                 DescriptionError *error) noexcept {
    const auto description = LoadDescription(descriptionFile, error);
    if (!description) return nullptr;
    try {
        PhoneBuilder builder(description->profile);
        if (!BuildPhone(*description, builder, error)) {
            if (error) error->file = descriptionFile;
            return nullptr;
        }
        std::shared_ptr<Phone> phone = builder.Build();
        if (dataFolder.empty()) {
            phone->Controls().Apply(description->controls);
            return phone;
        }
        // An installed phone's controls live in its data folder, for every process that serves it.
        std::unique_ptr<SharedControls> shared;
        if (FAILED(SharedControls::Open(SharedControls::FileIn(dataFolder), description->controls, &shared))) {
            if (error) *error = DescriptionError{descriptionFile, 0, L"cannot open the controls file in " + dataFolder};
            return nullptr;
        }
        phone->Controls().ShareThrough(std::move(shared));
        return phone;
    } catch (const std::exception &) {
        if (error) *error = DescriptionError{descriptionFile, 0, L"cannot make the phone"};
    }
    return nullptr;
}

}  // namespace vphone::description
