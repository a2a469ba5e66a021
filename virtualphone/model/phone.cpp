#include "virtualphone/model/phone.h"

#include "device/wpd_api.h"
#include "virtualphone/model/folder_storage.h"
#include "virtualphone/model/snapshot_store.h"

#include <algorithm>

namespace vphone {

bool SameKey(const PROPERTYKEY &a, const PROPERTYKEY &b) noexcept { return a.pid == b.pid && a.fmtid == b.fmtid; }

Phone::Phone(PhoneProfile profile) : profile_(std::move(profile)), store_(MemoryStore()) {}

Phone::~Phone() { worker_.Stop(); }  // its jobs read the objects

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
    std::vector<DataPtr> dropped;
    hr = change(&changed, &dropped);
    const HRESULT kept = store_->End(content_, changed);
    if (FAILED(kept)) return kept;
    // The data is gone for every process now: so are the files of data hosts sent. A process still
    // reading one opened it with delete sharing and reads on.
    for (const DataPtr &data : dropped) {
        const DataRecord record = data->Describe();
        if (record.kind == DataRecord::Kind::Stored) DeleteFileW(record.path.c_str());
    }
    return hr;
}

HRESULT Phone::RefreshFromFolderLocked(const std::wstring &id, bool children) const {
    HRESULT hr = RefreshLocked();
    bool differs = false;
    if (SUCCEEDED(hr)) hr = SyncWithHost(content_, profile_, id, children, false, &differs, nullptr);
    if (FAILED(hr) || !differs) return hr;
    return ChangeLocked([&](bool *changed, std::vector<DataPtr> *dropped) {
        return SyncWithHost(content_, profile_, id, children, true, changed, dropped);
    });
}

PhoneIdentity Phone::Identity() const {
    std::lock_guard lock(mutex_);
    RefreshLocked();
    return content_.identity;
}

void Phone::ChangeIdentity(const std::function<void(PhoneIdentity &)> &change) {
    std::lock_guard lock(mutex_);
    ChangeLocked([&](bool *changed, std::vector<DataPtr> *) {
        change(content_.identity);
        *changed = true;
        return S_OK;
    });
}

std::wstring Phone::InterfacePath() const { return DeviceInterfacePath(Identity().instanceId); }

HRESULT Phone::ChangeExtensionState(const std::function<void()> &change) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](bool *changed, std::vector<DataPtr> *) {
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
    if (profile_.uniqueFileNames && content_.HasChildNamed(*parent, object.FileName())) return kNameTaken;
    return CheckHostName(content_, object);
}

HRESULT Phone::CheckNewObject(const PhoneObject &object, std::uint64_t size) const {
    std::lock_guard lock(mutex_);
    const HRESULT hr = RefreshLocked();
    return FAILED(hr) ? hr : CheckNewLocked(object, size);
}

HRESULT Phone::AddLocked(PhoneObject object, DataFile *file, std::uint64_t size, std::wstring *id) {
    const HRESULT hr = ChangeLocked([&](bool *changed, std::vector<DataPtr> *dropped) {
        if (file && !object.id.empty()) {
            if (id) *id = object.id;
            const HRESULT attached = AttachLocked(object.id, *file, size, dropped);
            *changed = SUCCEEDED(attached);
            return attached;
        }
        HRESULT added = object.kind == ObjectKind::Storage ? S_OK : CheckNewLocked(object, file ? size : object.Size());
        if (SUCCEEDED(added)) added = CreateOnHost(content_, object, file);
        if (FAILED(added)) return added;
        if (added == S_FALSE && file) {
            file->handle.reset();  // inside the lock: no other process can take the file for an orphan
            object.data = StoredFileData(file->path, size);
        }
        added = content_.Add(std::move(object), profile_, id);
        *changed = SUCCEEDED(added);
        return added;
    });
    if (FAILED(hr) && file) {
        file->handle.reset();
        DeleteFileW(file->path.c_str());
    }
    return hr;
}

HRESULT Phone::AttachLocked(const std::wstring &id, DataFile &file, std::uint64_t size, std::vector<DataPtr> *dropped) {
    PhoneNode *node = content_.Find(id);
    if (!node) return kObjectNotFound;  // a client deleted the unfinished object meanwhile
    PhoneObject &object = node->object;
    if (object.kind != ObjectKind::File && object.kind != ObjectKind::Playlist) return E_INVALIDARG;
    if (size > object.Size() && content_.StorageOf(object)->Free() < size - object.Size()) {
        return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    }
    const HRESULT replaced = ReplaceOnHost(content_, object, file, dropped);
    if (replaced != S_FALSE) return replaced;
    file.handle.reset();  // inside the lock, as for a new object
    content_.ReplaceData(object, StoredFileData(file.path, size), dropped);
    return S_OK;
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
    return ChangeLocked([&](bool *changed, std::vector<DataPtr> *) {
        PhoneNode *node = content_.Find(id);
        if (!node) return kObjectNotFound;
        const HRESULT hr = change(node->object, content_.identity);
        *changed = SUCCEEDED(hr);
        return hr;
    });
}

HRESULT Phone::Rename(const std::wstring &id, const std::wstring &fileName) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](bool *changed, std::vector<DataPtr> *) {
        PhoneNode *node = content_.Find(id);
        if (!node) return kObjectNotFound;
        if (!profile_.renamesByFileName || node->object.kind == ObjectKind::Device ||
            node->object.kind == ObjectKind::Storage) {
            return E_ACCESSDENIED;
        }
        if (fileName.empty() || fileName.find(L'\\') != std::wstring::npos) return E_INVALIDARG;
        if (profile_.uniqueFileNames && content_.HasChildNamed(*content_.Find(node->object.parentId), fileName)) {
            return kNameTaken;
        }
        const PhoneObject before = node->object;
        node->object.originalFileName = fileName;
        if (profile_.namesAreFileNames) node->object.name = fileName;
        const HRESULT renamed = RenameOnHost(content_, id, before.FileName());
        if (FAILED(renamed)) {
            content_.Find(id)->object = before;
            return renamed;
        }
        *changed = true;
        return S_OK;
    });
}

HRESULT Phone::Delete(const std::wstring &id, bool recursive) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](bool *changed, std::vector<DataPtr> *dropped) {
        const PhoneNode *node = content_.Find(id);
        if (!node) return kObjectNotFound;
        const PhoneObject &object = node->object;
        if (object.kind == ObjectKind::Device || object.kind == ObjectKind::Storage) return E_ACCESSDENIED;
        if (!object.canDelete) return E_ACCESSDENIED;
        if (!recursive && !node->children.empty()) return HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
        *changed = true;
        if (!HostPathOf(content_, object).empty()) return DeleteOnHost(content_, profile_, id, recursive, dropped);
        return content_.Remove(id, profile_.partialDeletes, dropped) ? S_OK : S_FALSE;
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
    std::lock_guard lock(mutex_);
    RefreshLocked();
    const auto isObject = [&](const PhoneObject &object) {
        return object.handle == handle && object.kind != ObjectKind::Device && object.kind != ObjectKind::Storage;
    };
    // Handle-based ids name the object; path-based ones leave it to be searched for.
    if (!profile_.pathObjectIds) {
        const PhoneNode *node = content_.Find(IdForHandle(false, handle));
        if (node && isObject(node->object)) return node->object;
        return std::nullopt;
    }
    for (const auto &[id, node] : content_.nodes) {
        if (isObject(node.object)) return node.object;
    }
    return std::nullopt;
}

std::optional<std::wstring> Phone::FindPath(const std::wstring &path) const {
    std::lock_guard lock(mutex_);
    RefreshLocked();
    std::wstring id = wpd::WPD_DEVICE_OBJECT_ID;
    std::size_t start = path.starts_with(L'\\') ? 1 : 0;
    while (start < path.size()) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        const std::wstring component = path.substr(start, end - start);
        RefreshFromFolderLocked(id, true);  // a folder of this computer shows what it holds now
        const PhoneNode *node = content_.Find(id);
        if (!node) return std::nullopt;
        const auto child = std::find_if(node->children.begin(), node->children.end(), [&](const std::wstring &c) {
            return content_.Find(c)->object.FileName() == component;
        });
        if (child == node->children.end()) return std::nullopt;
        id = *child;
        start = end + 1;
    }
    return id;
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
