#include "virtualphone/model/phone_content.h"

#include "device/wpd_api.h"

#include <algorithm>
#include <cwchar>

namespace vphone {

std::wstring IdForHandle(bool storage, std::uint32_t handle) {
    wchar_t text[16];
    swprintf(text, 16, storage ? L"s%X" : L"o%X", handle);
    return text;
}

PhoneContent::PhoneContent() {
    PhoneObject device;
    device.kind = ObjectKind::Device;
    device.id = wpd::WPD_DEVICE_OBJECT_ID;
    device.contentType = wpd::WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT;
    device.format = wpd::WPD_OBJECT_FORMAT_UNSPECIFIED;
    device.canDelete = false;
    std::wstring id = device.id;  // the key must not be read from the object being moved
    nodes.emplace(std::move(id), PhoneNode{std::move(device), {}});
}

const PhoneNode *PhoneContent::Find(const std::wstring &id) const {
    const auto found = nodes.find(id.empty() ? std::wstring(wpd::WPD_DEVICE_OBJECT_ID) : id);
    return found == nodes.end() ? nullptr : &found->second;
}

PhoneNode *PhoneContent::Find(const std::wstring &id) {
    return const_cast<PhoneNode *>(static_cast<const PhoneContent *>(this)->Find(id));
}

const PhoneObject *PhoneContent::StorageOf(const PhoneObject &object) const {
    const PhoneNode *storage = object.kind == ObjectKind::Device ? nullptr : Find(object.storageId);
    return storage ? &storage->object : nullptr;
}

std::wstring PhoneContent::PersistentIdFor(std::uint32_t handle) const {
    // FNV-1a of the serial number: the same phone gives the same ids, two phones differ.
    std::uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : identity.serialNumber) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    wchar_t text[40];
    swprintf(text, 40, L"{%08X-%04X-%04X-%04X-%012llX}", handle, static_cast<unsigned>(hash >> 48),
             static_cast<unsigned>((hash >> 32) & 0xFFFF), static_cast<unsigned>((hash >> 16) & 0xFFFF),
             static_cast<unsigned long long>(hash & 0xFFFF) << 32 | handle);
    return text;
}

bool PhoneContent::HasChildNamed(const PhoneNode &parent, const std::wstring &fileName) const {
    for (const std::wstring &child : parent.children) {
        if (Find(child)->object.FileName() == fileName) return true;
    }
    return false;
}

std::wstring PhoneContent::NewObjectId(const PhoneNode &parent, const PhoneObject &object,
                                       const PhoneProfile &profile) const {
    const bool isStorage = object.kind == ObjectKind::Storage;
    if (isStorage || !profile.pathObjectIds) return IdForHandle(isStorage, object.handle);
    // The path below the storage; an id that a renamed object still holds gets the handle added.
    std::wstring id = parent.object.id + L"\\" + object.FileName();
    if (Find(id)) id += L"~" + IdForHandle(false, object.handle);
    return id;
}

HRESULT PhoneContent::Add(PhoneObject object, const PhoneProfile &profile, std::wstring *id) {
    const bool isStorage = object.kind == ObjectKind::Storage;
    PhoneNode *parent = Find(isStorage ? std::wstring(wpd::WPD_DEVICE_OBJECT_ID) : object.parentId);
    if (!parent) return kObjectNotFound;
    if (isStorage ? parent->object.kind != ObjectKind::Device : !parent->object.IsContainer()) return E_INVALIDARG;
    if (profile.namesAreFileNames && !isStorage && !object.originalFileName.empty()) {
        object.name = object.originalFileName;
    }
    if (profile.uniqueFileNames && !isStorage && HasChildNamed(*parent, object.FileName())) return kNameTaken;
    PhoneNode *storage = isStorage ? nullptr : Find(parent->object.storageId);
    const std::uint64_t size = object.Size();
    if (storage && storage->object.Free() < size) return HRESULT_FROM_WIN32(ERROR_DISK_FULL);

    object.handle = isStorage ? (nextStorage++ << 16) | 1 : nextHandle++;
    object.id = NewObjectId(*parent, object, profile);
    object.storageId = isStorage ? object.id : parent->object.storageId;
    object.parentId = parent->object.id;
    if (object.persistentId.empty()) object.persistentId = PersistentIdFor(object.handle);
    if (storage) storage->object.used += size;
    parent->children.push_back(object.id);
    if (id) *id = object.id;
    std::wstring key = object.id;  // the key must not be read from the object being moved
    nodes.emplace(std::move(key), PhoneNode{std::move(object), {}});
    return S_OK;
}

bool PhoneContent::Remove(const std::wstring &id, bool keepProtected, std::vector<DataPtr> *dropped) {
    PhoneNode *node = Find(id);
    if (!node) return true;
    // Children take themselves out of the list as they go: what is left at the end stayed.
    for (const std::wstring &child : std::vector<std::wstring>(node->children)) Remove(child, keepProtected, dropped);
    node = Find(id);
    if (!node->children.empty() || (keepProtected && !node->object.canDelete)) return false;
    PhoneObject &object = node->object;
    if (PhoneNode *parent = Find(object.parentId); parent && parent->object.id != object.id) {
        std::erase(parent->children, object.id);
    }
    if (PhoneNode *storage = Find(object.storageId); storage && storage->object.id != object.id) {
        storage->object.used -= std::min(storage->object.used, object.Size());
    }
    for (DataPtr *data : {&object.data, &object.thumbnail}) {
        if (*data) dropped->push_back(std::move(*data));
    }
    const std::wstring key = object.id;  // erasing must not read the key from the element it destroys
    nodes.erase(key);
    return true;
}

void PhoneContent::ReplaceData(PhoneObject &object, DataPtr data, std::vector<DataPtr> *dropped) {
    if (PhoneNode *storage = Find(object.storageId)) {
        storage->object.used -= std::min(storage->object.used, object.Size());
        storage->object.used += data ? data->Size() : 0;
    }
    if (object.data) dropped->push_back(std::move(object.data));
    object.data = std::move(data);
}

}  // namespace vphone
