#include "virtualphone/model/phone_builder.h"

#include "device/wpd_api.h"
#include "virtualphone/model/file_types.h"

#include <stdexcept>

namespace vphone {
namespace {

[[noreturn]] void Refuse(const char *what, const std::wstring &path) {
    std::string narrow(what);
    narrow += ": ";
    for (wchar_t c : path) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    throw std::invalid_argument(narrow);
}

std::wstring LastComponent(const std::wstring &path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ParentPath(const std::wstring &path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring Stem(const std::wstring &fileName) {
    const std::size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

void Apply(const ObjectAttributes &attributes, PhoneObject &object) {
    if (attributes.name) object.name = *attributes.name;
    if (attributes.originalFileName) object.originalFileName = *attributes.originalFileName;
    if (attributes.contentType) object.contentType = *attributes.contentType;
    if (attributes.format) object.format = *attributes.format;
    if (attributes.dateModified) object.dateModified = *attributes.dateModified;
    if (attributes.hidden) object.hidden = *attributes.hidden;
    if (attributes.canDelete) object.canDelete = *attributes.canDelete;
    if (attributes.persistentId) object.persistentId = *attributes.persistentId;
}

}  // namespace

PhoneBuilder::PhoneBuilder(PhoneProfile profile)
    : phone_(std::make_shared<Phone>(std::move(profile))), defaultDate_(43831.0) {}

PhoneBuilder &PhoneBuilder::Manufacturer(std::wstring value) {
    phone_->ChangeIdentity([&](PhoneIdentity &identity) { identity.manufacturer = std::move(value); });
    return *this;
}

PhoneBuilder &PhoneBuilder::Model(std::wstring value) {
    phone_->ChangeIdentity([&](PhoneIdentity &identity) { identity.model = std::move(value); });
    return *this;
}

PhoneBuilder &PhoneBuilder::SerialNumber(std::wstring value) {
    phone_->ChangeIdentity([&](PhoneIdentity &identity) { identity.serialNumber = std::move(value); });
    return *this;
}

PhoneBuilder &PhoneBuilder::FriendlyName(std::wstring value) {
    phone_->ChangeIdentity([&](PhoneIdentity &identity) { identity.friendlyName = std::move(value); });
    return *this;
}

PhoneBuilder &PhoneBuilder::InstanceId(std::wstring value) {
    if (value.empty()) Refuse("empty instance id", value);
    phone_->ChangeIdentity([&](PhoneIdentity &identity) { identity.instanceId = std::move(value); });
    return *this;
}

PhoneBuilder &PhoneBuilder::HardwareIds(std::vector<std::wstring> values) {
    phone_->ChangeIdentity([&](PhoneIdentity &identity) { identity.hardwareIds = std::move(values); });
    return *this;
}

PhoneBuilder &PhoneBuilder::DefaultDate(double oleDate) {
    defaultDate_ = oleDate;
    return *this;
}

std::wstring PhoneBuilder::Resolve(const std::wstring &path) const {
    const auto id = phone_->FindPath(path);
    if (!id) Refuse("no object at this path", path);
    return *id;
}

std::wstring PhoneBuilder::Add(const std::wstring &path, ObjectKind kind, DataPtr data,
                               const ObjectAttributes &attributes) {
    const std::wstring leaf = LastComponent(path);
    if (leaf.empty()) Refuse("empty object name", path);
    if (phone_->FindPath(path)) Refuse("an object with this path exists already", path);
    PhoneObject object;
    object.kind = kind;
    object.dateModified = defaultDate_;
    object.data = std::move(data);
    switch (kind) {
        case ObjectKind::Storage:
            object.name = leaf;
            object.contentType = wpd::WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT;
            object.format = wpd::WPD_OBJECT_FORMAT_UNSPECIFIED;
            object.canDelete = false;
            break;
        case ObjectKind::Folder:
            object.name = object.originalFileName = leaf;
            object.contentType = wpd::WPD_CONTENT_TYPE_FOLDER;
            object.format = wpd::MtpFormatGuid(0x3001);
            break;
        default: {
            const FileType type = FileTypeOf(leaf);
            object.name = Stem(leaf);
            object.originalFileName = leaf;
            object.contentType = kind == ObjectKind::Playlist ? wpd::WPD_CONTENT_TYPE_PLAYLIST : type.contentType;
            object.format = type.format;
        }
    }
    Apply(attributes, object);
    object.parentId = kind == ObjectKind::Storage ? std::wstring(wpd::WPD_DEVICE_OBJECT_ID) : Resolve(ParentPath(path));
    std::wstring id;
    const HRESULT hr = phone_->Add(std::move(object), &id);
    if (hr == HRESULT_FROM_WIN32(ERROR_DISK_FULL)) Refuse("the storage has no room for this object", path);
    if (FAILED(hr)) Refuse("the parent is not a storage or folder", path);
    return last_ = id;
}

PhoneBuilder &PhoneBuilder::Storage(const std::wstring &name, std::uint64_t capacity,
                                    const ObjectAttributes &attributes) {
    if (name.find(L'\\') != std::wstring::npos) Refuse("a storage name holds no backslash", name);
    Add(name, ObjectKind::Storage, nullptr, attributes);
    Update(name, [&](PhoneObject &object) { object.capacity = capacity; });
    return *this;
}

PhoneBuilder &PhoneBuilder::FolderStorage(const std::wstring &name, std::uint64_t capacity, std::wstring hostFolder) {
    Storage(name, capacity);
    Update(name, [&](PhoneObject &object) { object.hostFolder = std::move(hostFolder); });
    return *this;
}

PhoneBuilder &PhoneBuilder::Folder(const std::wstring &path, const ObjectAttributes &attributes) {
    Add(path, ObjectKind::Folder, nullptr, attributes);
    return *this;
}

PhoneBuilder &PhoneBuilder::File(const std::wstring &path, DataPtr data, const ObjectAttributes &attributes) {
    if (!data) Refuse("a file needs data", path);
    Add(path, ObjectKind::File, std::move(data), attributes);
    return *this;
}

PhoneBuilder &PhoneBuilder::Thumbnail(const std::wstring &path, DataPtr data) {
    Update(path, [&](PhoneObject &object) { object.thumbnail = std::move(data); });
    return *this;
}

PhoneBuilder &PhoneBuilder::Playlist(const std::wstring &path, std::optional<std::vector<std::wstring>> memberPaths,
                                     DataPtr data, const ObjectAttributes &attributes) {
    std::optional<std::vector<std::wstring>> references;
    if (memberPaths) {
        references.emplace();
        for (const std::wstring &member : *memberPaths) references->push_back(Resolve(member));
    }
    const std::wstring id = Add(path, ObjectKind::Playlist, std::move(data), attributes);
    phone_->Update(id, [&](PhoneObject &object, PhoneIdentity &) {
        object.references = std::move(references);
        return S_OK;
    });
    return *this;
}

PhoneBuilder &PhoneBuilder::Attributes(const std::wstring &path, const ObjectAttributes &attributes) {
    Update(path, [&](PhoneObject &object) { Apply(attributes, object); });
    return *this;
}

PhoneBuilder &PhoneBuilder::Property(const std::wstring &path, const PROPERTYKEY &key, const PROPVARIANT &value) {
    PropertyValue copy(value);
    Update(path, [&](PhoneObject &object) {
        std::erase_if(object.extra, [&](const auto &entry) { return SameKey(entry.first, key); });
        object.extra.emplace_back(key, std::move(copy));
    });
    return *this;
}

PhoneBuilder &PhoneBuilder::WithoutProperty(const std::wstring &path, const PROPERTYKEY &key) {
    Update(path, [&](PhoneObject &object) { object.absent.push_back(key); });
    return *this;
}

void PhoneBuilder::Update(const std::wstring &path, const std::function<void(PhoneObject &)> &change) {
    phone_->Update(Resolve(path), [&](PhoneObject &object, PhoneIdentity &) {
        change(object);
        return S_OK;
    });
}

std::wstring PhoneBuilder::ObjectId(const std::wstring &path) const { return Resolve(path); }

std::wstring PhoneBuilder::LastObjectId() const { return last_; }

std::shared_ptr<Phone> PhoneBuilder::Build() {
    phone_->ChangeIdentity([](PhoneIdentity &identity) {
        if (identity.instanceId.empty()) identity.instanceId = L"USB\\VID_0000&PID_0000\\" + identity.serialNumber;
        if (identity.hardwareIds.empty()) {
            identity.hardwareIds.push_back(identity.instanceId.substr(0, identity.instanceId.rfind(L'\\')));
        }
    });
    return phone_;
}

}  // namespace vphone
