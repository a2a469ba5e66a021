#include "virtualphone/model/phone.h"

#include "device/wpd_api.h"
#include "virtualphone/model/folder_storage.h"
#include "virtualphone/model/snapshot_store.h"

namespace vphone {

bool SameKey(const PROPERTYKEY &a, const PROPERTYKEY &b) noexcept { return a.pid == b.pid && a.fmtid == b.fmtid; }

Phone::Phone() : store_(MemoryStore()) {}

Phone::~Phone() = default;

HRESULT Phone::KeepIn(const std::wstring &dataFolder) {
    std::lock_guard lock(mutex_);
    PhoneContent described = content_;
    if (extension_) described.extensionState = extension_->SavedState();
    std::unique_ptr<PhoneStore> store;
    const HRESULT hr = OpenSnapshotStore(dataFolder, std::move(described), &store);
    if (FAILED(hr)) return hr;
    store_ = std::move(store);
    return RefreshLocked();
}

HRESULT Phone::RefreshLocked() const {
    bool reloaded = false;
    const HRESULT hr = store_->Refresh(content_, &reloaded);
    if (reloaded && extension_) extension_->RestoreState(content_.extensionState);
    return hr;
}

HRESULT Phone::ChangeLocked(const Change &change) const {
    bool reloaded = false;
    HRESULT hr = store_->Begin(content_, &reloaded);
    if (reloaded && extension_) extension_->RestoreState(content_.extensionState);
    if (FAILED(hr)) return hr;
    bool changed = false;
    std::vector<PhoneObject> removed;
    hr = change(&changed, &removed);
    const HRESULT kept = store_->End(content_, changed);
    if (FAILED(kept)) return kept;
    // The objects are gone for every process now: so are the files of data hosts sent them. A process
    // still reading one opened it with delete sharing and reads on.
    for (const PhoneObject &object : removed) {
        for (const DataPtr &data : {object.data, object.thumbnail}) {
            if (!data) continue;
            const DataRecord record = data->Describe();
            if (record.kind == DataRecord::Kind::Stored) DeleteFileW(record.path.c_str());
        }
    }
    return hr;
}

HRESULT Phone::RefreshFromFolderLocked(const std::wstring &id, bool children) const {
    HRESULT hr = RefreshLocked();
    bool differs = false;
    if (SUCCEEDED(hr)) hr = SyncWithHost(content_, id, children, false, &differs, nullptr);
    if (FAILED(hr) || !differs) return hr;
    return ChangeLocked([&](bool *changed, std::vector<PhoneObject> *removed) {
        return SyncWithHost(content_, id, children, true, changed, removed);
    });
}

PhoneIdentity Phone::Identity() const {
    std::lock_guard lock(mutex_);
    RefreshLocked();
    return content_.identity;
}

void Phone::ChangeIdentity(const std::function<void(PhoneIdentity &)> &change) {
    std::lock_guard lock(mutex_);
    ChangeLocked([&](bool *changed, std::vector<PhoneObject> *) {
        change(content_.identity);
        *changed = true;
        return S_OK;
    });
}

std::wstring Phone::InterfacePath() const { return DeviceInterfacePath(Identity().instanceId); }

HRESULT Phone::ChangeExtensionState(const std::function<void()> &change) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](bool *changed, std::vector<PhoneObject> *) {
        change();
        content_.extensionState = extension_->SavedState();
        *changed = true;
        return S_OK;
    });
}

HRESULT Phone::Read(const std::wstring &id,
                    const std::function<HRESULT(const PhoneObject &, const PhoneIdentity &)> &read) const {
    std::lock_guard lock(mutex_);
    const HRESULT hr = RefreshFromFolderLocked(id, false);
    if (FAILED(hr)) return hr;
    const PhoneNode *node = content_.Find(id);
    return node ? read(node->object, content_.identity) : kObjectNotFound;
}

HRESULT Phone::Children(const std::wstring &parentId, std::vector<std::wstring> *ids) const {
    std::lock_guard lock(mutex_);
    const HRESULT hr = RefreshFromFolderLocked(parentId, true);
    if (FAILED(hr)) return hr;
    const PhoneNode *node = content_.Find(parentId);
    if (!node) return kObjectNotFound;
    *ids = node->children;
    return S_OK;
}

std::vector<std::wstring> Phone::StorageIds() const {
    std::vector<std::wstring> ids;
    Children(wpd::WPD_DEVICE_OBJECT_ID, &ids);
    return ids;
}

HRESULT Phone::CheckNewLocked(const PhoneObject &object, std::uint64_t size) const {
    const PhoneNode *parent = content_.Find(object.parentId);
    if (!parent) return kObjectNotFound;
    if (!parent->object.IsContainer()) return E_INVALIDARG;
    if (content_.StorageOf(parent->object)->Free() < size) return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    return CheckHostName(content_, object);
}

HRESULT Phone::CheckNewObject(const PhoneObject &object, std::uint64_t size) const {
    std::lock_guard lock(mutex_);
    const HRESULT hr = RefreshLocked();
    return FAILED(hr) ? hr : CheckNewLocked(object, size);
}

HRESULT Phone::AddLocked(PhoneObject object, DataFile *file, std::uint64_t size, std::wstring *id) {
    const HRESULT hr = ChangeLocked([&](bool *changed, std::vector<PhoneObject> *) {
        HRESULT added = object.kind == ObjectKind::Storage ? S_OK : CheckNewLocked(object, file ? size : object.Size());
        if (SUCCEEDED(added)) added = CreateOnHost(content_, object, file);
        if (FAILED(added)) return added;
        if (added == S_FALSE && file) {
            file->handle.reset();  // inside the lock: no other process can take the file for an orphan
            object.data = StoredFileData(file->path, size);
        }
        added = content_.Add(std::move(object), id);
        *changed = SUCCEEDED(added);
        return added;
    });
    if (FAILED(hr) && file) {
        file->handle.reset();
        DeleteFileW(file->path.c_str());
    }
    return hr;
}

HRESULT Phone::Add(PhoneObject object, std::wstring *id) {
    std::lock_guard lock(mutex_);
    return AddLocked(std::move(object), nullptr, 0, id);
}

HRESULT Phone::NewDataFile(DataFile *file) {
    std::lock_guard lock(mutex_);
    return store_->NewDataFile(file);
}

HRESULT Phone::AddWithData(PhoneObject object, DataFile file, std::uint64_t size, std::wstring *id) {
    std::lock_guard lock(mutex_);
    return AddLocked(std::move(object), &file, size, id);
}

HRESULT Phone::Update(const std::wstring &id,
                      const std::function<HRESULT(PhoneObject &, PhoneIdentity &)> &change) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](bool *changed, std::vector<PhoneObject> *) {
        PhoneNode *node = content_.Find(id);
        if (!node) return kObjectNotFound;
        const PhoneObject before = node->object;
        const PhoneIdentity identityBefore = content_.identity;
        HRESULT hr = change(node->object, content_.identity);
        if (SUCCEEDED(hr)) hr = RenameOnHost(content_, id, before.PathName());
        if (FAILED(hr)) {
            content_.Find(id)->object = before;
            content_.identity = identityBefore;
            return hr;
        }
        *changed = true;
        return hr;
    });
}

HRESULT Phone::Delete(const std::wstring &id, bool recursive) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](bool *changed, std::vector<PhoneObject> *removed) {
        const PhoneNode *node = content_.Find(id);
        if (!node) return kObjectNotFound;
        const PhoneObject &object = node->object;
        if (object.kind == ObjectKind::Device || object.kind == ObjectKind::Storage) return E_ACCESSDENIED;
        if (!object.canDelete) return E_ACCESSDENIED;
        if (!recursive && !node->children.empty()) return HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
        *changed = true;
        if (!HostPathOf(content_, object).empty()) return DeleteOnHost(content_, id, recursive, removed);
        content_.Remove(id, removed);
        return S_OK;
    });
}

HRESULT Phone::FreeSpace(const std::wstring &storageId, std::uint64_t *bytes) const {
    std::lock_guard lock(mutex_);
    const HRESULT hr = RefreshLocked();
    if (FAILED(hr)) return hr;
    const PhoneNode *node = content_.Find(storageId);
    if (!node || node->object.kind != ObjectKind::Storage) return kObjectNotFound;
    *bytes = node->object.Free();
    return S_OK;
}

std::optional<PhoneObject> Phone::Find(const std::wstring &id) const {
    std::optional<PhoneObject> found;
    Read(id, [&](const PhoneObject &object, const PhoneIdentity &) {
        found = object;
        return S_OK;
    });
    return found;
}

std::optional<PhoneObject> Phone::FindObjectByHandle(std::uint32_t handle) const {
    std::optional<PhoneObject> object = Find(IdForHandle(false, handle));
    if (object && object->handle != handle) object.reset();
    return object;
}

std::optional<std::wstring> Phone::FindPath(const std::wstring &path) const {
    std::lock_guard lock(mutex_);
    RefreshLocked();
    const PhoneNode *node = content_.Find(wpd::WPD_DEVICE_OBJECT_ID);
    std::size_t start = path.starts_with(L'\\') ? 1 : 0;
    while (start < path.size()) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        const std::wstring component = path.substr(start, end - start);
        const PhoneNode *next = nullptr;
        for (const std::wstring &child : node->children) {
            if (content_.Find(child)->object.PathName() == component) {
                next = content_.Find(child);
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
    RefreshLocked();
    std::vector<PhoneObject> tree;
    std::vector<const PhoneNode *> pending{content_.Find(wpd::WPD_DEVICE_OBJECT_ID)};
    while (!pending.empty()) {
        const PhoneNode *node = pending.back();
        pending.pop_back();
        tree.push_back(node->object);
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            pending.push_back(content_.Find(*child));
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
