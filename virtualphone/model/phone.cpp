#include "virtualphone/model/phone.h"

#include "device/wpd_api.h"

#include <shlobj.h>

#include <cwchar>

namespace vphone {

bool SameKey(const PROPERTYKEY &a, const PROPERTYKEY &b) noexcept { return a.pid == b.pid && a.fmtid == b.fmtid; }

Phone::Phone(PhoneProfile profile) : profile_(std::move(profile)) {
    PhoneObject device;
    device.kind = ObjectKind::Device;
    device.id = wpd::WPD_DEVICE_OBJECT_ID;
    device.contentType = wpd::WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT;
    device.format = wpd::WPD_OBJECT_FORMAT_UNSPECIFIED;
    device.canDelete = false;
    std::wstring id = device.id;  // the key must not be read from the object being moved
    nodes_.emplace(std::move(id), Node{std::move(device), {}});
}

Phone::~Phone() {
    nodes_.clear();  // owned data files go first, then their folder
    if (ownsBackingFolder_) RemoveDirectoryW(backingFolder_.c_str());
}

PhoneIdentity Phone::Identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

void Phone::ChangeIdentity(const std::function<void(PhoneIdentity &)> &change) {
    std::lock_guard lock(mutex_);
    change(identity_);
}

std::wstring Phone::InterfacePath() const { return DeviceInterfacePath(Identity().instanceId); }

void Phone::SetBackingFolder(std::wstring path) {
    std::lock_guard lock(mutex_);
    backingFolder_ = std::move(path);
    ownsBackingFolder_ = false;
}

HRESULT Phone::NewBackingFile(std::wstring *path) {
    std::lock_guard lock(mutex_);
    if (backingFolder_.empty()) {
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        if (length == 0 || length > MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
        wchar_t name[64];
        static std::atomic<unsigned> phones{0};
        swprintf(name, 64, L"vphone-%lu-%u", GetCurrentProcessId(), ++phones);
        backingFolder_ = std::wstring(temp) + name;
        if (!CreateDirectoryW(backingFolder_.c_str(), nullptr)) {
            const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
            backingFolder_.clear();
            return hr;
        }
        ownsBackingFolder_ = true;
    } else if (!ownsBackingFolder_) {
        // A folder chosen by the installer may not exist yet, nor its parents. The shell keeps task
        // memory of its own for it, which nobody hands back.
        const PhoneOwnMemoryScope shellsOwn;
        const int made = SHCreateDirectoryExW(nullptr, backingFolder_.c_str(), nullptr);
        if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
            return HRESULT_FROM_WIN32(made);
        }
    }
    // The folder may hold files of earlier processes serving the same installed phone.
    wchar_t name[48];
    swprintf(name, 48, L"\\data-%lu-%llu.bin", GetCurrentProcessId(), nextBackingFile_++);
    *path = backingFolder_ + name;
    return S_OK;
}

const Phone::Node *Phone::FindNode(const std::wstring &id) const {
    const auto found = nodes_.find(id.empty() ? std::wstring(wpd::WPD_DEVICE_OBJECT_ID) : id);
    return found == nodes_.end() ? nullptr : &found->second;
}

Phone::Node *Phone::FindNode(const std::wstring &id) {
    return const_cast<Node *>(static_cast<const Phone *>(this)->FindNode(id));
}

HRESULT Phone::Read(const std::wstring &id,
                    const std::function<HRESULT(const PhoneObject &, const PhoneIdentity &)> &read) const {
    std::lock_guard lock(mutex_);
    const Node *node = FindNode(id);
    return node ? read(node->object, identity_) : kObjectNotFound;
}

HRESULT Phone::Children(const std::wstring &parentId, std::vector<std::wstring> *ids) const {
    std::lock_guard lock(mutex_);
    const Node *node = FindNode(parentId);
    if (!node) return kObjectNotFound;
    *ids = node->children;
    return S_OK;
}

std::vector<std::wstring> Phone::StorageIds() const {
    std::vector<std::wstring> ids;
    Children(wpd::WPD_DEVICE_OBJECT_ID, &ids);
    return ids;
}

namespace {

// Ids follow handles: storages "s" and objects "o", then the handle in hex.
std::wstring IdForHandle(bool storage, std::uint32_t handle) {
    wchar_t text[16];
    swprintf(text, 16, storage ? L"s%X" : L"o%X", handle);
    return text;
}

}  // namespace

bool Phone::HasChildNamed(const Node &parent, const std::wstring &fileName) const {
    for (const std::wstring &child : parent.children) {
        if (FindNode(child)->object.FileName() == fileName) return true;
    }
    return false;
}

std::wstring Phone::NewObjectId(const Node &parent, const PhoneObject &object) const {
    const bool isStorage = object.kind == ObjectKind::Storage;
    if (isStorage || !profile_.pathObjectIds) return IdForHandle(isStorage, object.handle);
    // The path below the storage; an id that a renamed object still holds gets the handle added.
    std::wstring id = parent.object.id + L"\\" + object.FileName();
    if (FindNode(id)) id += L"~" + IdForHandle(false, object.handle);
    return id;
}

std::wstring Phone::PersistentIdFor(std::uint32_t handle) const {
    // FNV-1a of the serial number: the same phone gives the same ids, two phones differ.
    std::uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : identity_.serialNumber) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    wchar_t text[40];
    swprintf(text, 40, L"{%08X-%04X-%04X-%04X-%012llX}", handle, static_cast<unsigned>(hash >> 48),
             static_cast<unsigned>((hash >> 32) & 0xFFFF), static_cast<unsigned>((hash >> 16) & 0xFFFF),
             static_cast<unsigned long long>(hash & 0xFFFF) << 32 | handle);
    return text;
}

HRESULT Phone::Add(PhoneObject object, std::wstring *id) {
    std::lock_guard lock(mutex_);
    const bool isStorage = object.kind == ObjectKind::Storage;
    Node *parent = FindNode(isStorage ? std::wstring(wpd::WPD_DEVICE_OBJECT_ID) : object.parentId);
    if (!parent) return kObjectNotFound;
    if (isStorage ? parent->object.kind != ObjectKind::Device : !parent->object.IsContainer()) return E_INVALIDARG;
    if (profile_.namesAreFileNames && !isStorage && !object.originalFileName.empty()) {
        object.name = object.originalFileName;
    }
    if (profile_.uniqueFileNames && !isStorage && HasChildNamed(*parent, object.FileName())) return kNameTaken;
    Node *storage = isStorage ? nullptr : FindNode(parent->object.storageId);
    const std::uint64_t size = object.Size();
    if (storage && storage->object.capacity - storage->object.used < size) return HRESULT_FROM_WIN32(ERROR_DISK_FULL);

    object.handle = isStorage ? (nextStorage_++ << 16) | 1 : nextHandle_++;
    object.id = NewObjectId(*parent, object);
    object.storageId = isStorage ? object.id : parent->object.storageId;
    object.parentId = parent->object.id;
    if (object.persistentId.empty()) object.persistentId = PersistentIdFor(object.handle);
    if (storage) storage->object.used += size;
    parent->children.push_back(object.id);
    if (id) *id = object.id;
    std::wstring key = object.id;  // the key must not be read from the object being moved
    nodes_.emplace(std::move(key), Node{std::move(object), {}});
    return S_OK;
}

HRESULT Phone::Update(const std::wstring &id,
                      const std::function<HRESULT(PhoneObject &, PhoneIdentity &)> &change) {
    std::lock_guard lock(mutex_);
    Node *node = FindNode(id);
    return node ? change(node->object, identity_) : kObjectNotFound;
}

HRESULT Phone::SetData(const std::wstring &id, DataPtr data) {
    std::lock_guard lock(mutex_);
    Node *node = FindNode(id);
    if (!node) return kObjectNotFound;
    if (node->object.kind != ObjectKind::File && node->object.kind != ObjectKind::Playlist) return E_INVALIDARG;
    PhoneObject &storage = FindNode(node->object.storageId)->object;
    const std::uint64_t freed = node->object.Size();
    const std::uint64_t needed = data ? data->Size() : 0;
    if (needed > freed && storage.capacity - storage.used < needed - freed) return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    storage.used = storage.used - freed + needed;
    node->object.data = std::move(data);
    return S_OK;
}

HRESULT Phone::Rename(const std::wstring &id, const std::wstring &fileName) {
    std::lock_guard lock(mutex_);
    Node *node = FindNode(id);
    if (!node) return kObjectNotFound;
    if (!profile_.renamesByFileName || node->object.kind == ObjectKind::Device ||
        node->object.kind == ObjectKind::Storage) {
        return E_ACCESSDENIED;
    }
    if (fileName.empty() || fileName.find(L'\\') != std::wstring::npos) return E_INVALIDARG;
    if (profile_.uniqueFileNames && HasChildNamed(*FindNode(node->object.parentId), fileName)) return kNameTaken;
    node->object.originalFileName = fileName;
    if (profile_.namesAreFileNames) node->object.name = fileName;
    return S_OK;
}

bool Phone::RemoveSubtree(const std::wstring &id, bool keepProtected, std::uint64_t *freed) {
    const auto found = nodes_.find(id);
    std::vector<std::wstring> kept;
    for (const std::wstring &child : found->second.children) {
        if (!RemoveSubtree(child, keepProtected, freed)) kept.push_back(child);
    }
    if (!kept.empty() || (keepProtected && !found->second.object.canDelete)) {
        found->second.children = std::move(kept);
        return false;
    }
    *freed += found->second.object.Size();
    nodes_.erase(found);
    return true;
}

HRESULT Phone::Delete(const std::wstring &id, bool recursive) {
    std::lock_guard lock(mutex_);
    Node *node = FindNode(id);
    if (!node) return kObjectNotFound;
    if (node->object.kind == ObjectKind::Device || node->object.kind == ObjectKind::Storage) return E_ACCESSDENIED;
    if (!node->object.canDelete) return E_ACCESSDENIED;
    if (!recursive && !node->children.empty()) return HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
    Node *parent = FindNode(node->object.parentId);
    Node *storage = FindNode(node->object.storageId);
    const std::wstring objectId = node->object.id;
    std::uint64_t freed = 0;
    const bool whole = RemoveSubtree(objectId, profile_.partialDeletes, &freed);
    if (whole) std::erase(parent->children, objectId);
    storage->object.used -= freed;
    return whole ? S_OK : S_FALSE;
}

HRESULT Phone::FreeSpace(const std::wstring &storageId, std::uint64_t *bytes) const {
    std::lock_guard lock(mutex_);
    const Node *node = FindNode(storageId);
    if (!node || node->object.kind != ObjectKind::Storage) return kObjectNotFound;
    *bytes = node->object.capacity - node->object.used;
    return S_OK;
}

std::optional<PhoneObject> Phone::Find(const std::wstring &id) const {
    std::lock_guard lock(mutex_);
    const Node *node = FindNode(id);
    if (!node) return std::nullopt;
    return node->object;
}

std::optional<PhoneObject> Phone::FindObjectByHandle(std::uint32_t handle) const {
    std::lock_guard lock(mutex_);
    const auto isObject = [&](const PhoneObject &object) {
        return object.handle == handle && object.kind != ObjectKind::Device && object.kind != ObjectKind::Storage;
    };
    // Handle-based ids name the object; path-based ones leave it to be searched for.
    if (!profile_.pathObjectIds) {
        const Node *node = FindNode(IdForHandle(false, handle));
        if (node && isObject(node->object)) return node->object;
        return std::nullopt;
    }
    for (const auto &[id, node] : nodes_) {
        if (isObject(node.object)) return node.object;
    }
    return std::nullopt;
}

std::optional<std::wstring> Phone::FindPath(const std::wstring &path) const {
    std::lock_guard lock(mutex_);
    const Node *node = FindNode(wpd::WPD_DEVICE_OBJECT_ID);
    std::size_t start = path.starts_with(L'\\') ? 1 : 0;
    while (start < path.size()) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        const std::wstring component = path.substr(start, end - start);
        const Node *next = nullptr;
        for (const std::wstring &child : node->children) {
            if (FindNode(child)->object.FileName() == component) {
                next = FindNode(child);
                break;
            }
        }
        if (!next) return std::nullopt;
        node = next;
        start = end + 1;
    }
    return node->object.id;
}

std::vector<PhoneObject> Phone::Tree() const {
    std::lock_guard lock(mutex_);
    std::vector<PhoneObject> tree;
    std::vector<const Node *> pending{FindNode(wpd::WPD_DEVICE_OBJECT_ID)};
    while (!pending.empty()) {
        const Node *node = pending.back();
        pending.pop_back();
        tree.push_back(node->object);
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            pending.push_back(FindNode(*child));
        }
    }
    return tree;
}

HRESULT Phone::ReadData(const std::wstring &id, bool thumbnail, std::vector<std::uint8_t> *bytes) const {
    DataPtr source;
    const HRESULT hr = Read(id, [&](const PhoneObject &object, const PhoneIdentity &) {
        source = thumbnail ? object.thumbnail : object.data;
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    if (!source) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    return ReadAll(*source, bytes);
}

}  // namespace vphone
