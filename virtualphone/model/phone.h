// The simulated phone: identity, object tree, backing folder, controls and accounting. Free-threaded:
// every member takes the phone's lock for as long as it needs the tree, never while data is read.
#pragma once

#include "virtualphone/model/phone_accounting.h"
#include "virtualphone/model/phone_controls.h"
#include "virtualphone/model/phone_extension.h"
#include "virtualphone/model/phone_identity.h"
#include "virtualphone/model/phone_object.h"
#include "virtualphone/model/phone_profile.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vphone {

// HRESULT of every look-up of an object id the phone does not have.
inline constexpr HRESULT kObjectNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
// HRESULT of an object refused because its folder holds one of that file name already. An MTP responder
// answers such a SendObjectInfo with General Error (0x2002), which reaches clients of the platform's
// MTP driver as ERROR_GEN_FAILURE.
inline constexpr HRESULT kNameTaken = HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);

class Phone {
public:
    explicit Phone(PhoneProfile profile = DefaultProfile());
    ~Phone();
    Phone(const Phone &) = delete;
    Phone &operator=(const Phone &) = delete;

    const PhoneProfile &Profile() const noexcept { return profile_; }
    PhoneIdentity Identity() const;
    void ChangeIdentity(const std::function<void(PhoneIdentity &)> &change);
    std::wstring InterfacePath() const;

    // Data written to the phone goes into files of this folder; set it before the first write.
    void SetBackingFolder(std::wstring path);
    // A new empty file in the backing folder, which is made on first use.
    HRESULT NewBackingFile(std::wstring *path);

    PhoneControls &Controls() noexcept { return controls_; }
    PhoneAccounting &Accounting() noexcept { return accounting_; }
    // The clients subscribed to the phone's events, across all its opened device objects.
    PhoneEvents &Events() noexcept { return events_; }
    // The maker's extension (MTP-extension commands, vendor device properties), or null. Set it before
    // the phone is used: it is read without a lock, under the phone's lock too.
    void SetExtension(std::shared_ptr<PhoneExtension> extension) { extension_ = std::move(extension); }
    PhoneExtension *Extension() const noexcept { return extension_.get(); }

    // Runs read on the object (and the identity, for "DEVICE") under the lock; kObjectNotFound when
    // there is no such object.
    HRESULT Read(const std::wstring &id,
                 const std::function<HRESULT(const PhoneObject &, const PhoneIdentity &)> &read) const;
    // Children in creation order. "" is the DEVICE object, whose children are the storages.
    HRESULT Children(const std::wstring &parentId, std::vector<std::wstring> *ids) const;
    std::vector<std::wstring> StorageIds() const;

    // Adds an object below object.parentId (a storage or folder; "DEVICE" for storages), giving it
    // its id, handle and persistent id (unless set) and charging its data to its storage.
    // HRESULT_FROM_WIN32(ERROR_DISK_FULL) when the storage has no room for the data; kNameTaken when
    // the profile keeps file names unique and the folder has one of that name.
    HRESULT Add(PhoneObject object, std::wstring *id);
    // Changes an object (and the identity, for "DEVICE") in place; the change must not touch ids, kind,
    // names or data.
    HRESULT Update(const std::wstring &id, const std::function<HRESULT(PhoneObject &, PhoneIdentity &)> &change);
    // Gives a file or playlist new data, charging the difference to its storage.
    HRESULT SetData(const std::wstring &id, DataPtr data);
    // Gives an object a new file name where the profile allows renaming (E_ACCESSDENIED otherwise).
    HRESULT Rename(const std::wstring &id, const std::wstring &fileName);
    // Without recursion an object with children fails with HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY).
    // S_FALSE when the profile deletes in part and protected objects stayed.
    HRESULT Delete(const std::wstring &id, bool recursive);
    // Free bytes of a storage for new data.
    HRESULT FreeSpace(const std::wstring &storageId, std::uint64_t *bytes) const;

    // A copy of one object, the object at a device path ("\Card\Music"), the whole tree depth-first
    // in creation order, and the bytes of data or thumbnail.
    std::optional<PhoneObject> Find(const std::wstring &id) const;
    std::optional<std::wstring> FindPath(const std::wstring &path) const;
    // A file, folder or playlist by its MTP handle (never the device or a storage).
    std::optional<PhoneObject> FindObjectByHandle(std::uint32_t handle) const;
    std::vector<PhoneObject> Tree() const;
    HRESULT ReadData(const std::wstring &id, bool thumbnail, std::vector<std::uint8_t> *bytes) const;

private:
    struct Node {
        PhoneObject object;
        std::vector<std::wstring> children;
    };
    const Node *FindNode(const std::wstring &id) const;
    Node *FindNode(const std::wstring &id);
    // True when the object went with everything below it; with keepProtected, protected objects stay,
    // and so do the folders above them.
    bool RemoveSubtree(const std::wstring &id, bool keepProtected, std::uint64_t *freed);
    bool HasChildNamed(const Node &parent, const std::wstring &fileName) const;
    std::wstring NewObjectId(const Node &parent, const PhoneObject &object) const;
    std::wstring PersistentIdFor(std::uint32_t handle) const;

    const PhoneProfile profile_;
    mutable std::mutex mutex_;
    PhoneIdentity identity_;
    std::unordered_map<std::wstring, Node> nodes_;
    std::uint32_t nextHandle_ = 1;
    std::uint32_t nextStorage_ = 1;
    std::wstring backingFolder_;
    bool ownsBackingFolder_ = false;
    std::uint64_t nextBackingFile_ = 1;
    PhoneControls controls_;
    PhoneAccounting accounting_;
    PhoneEvents events_;
    std::shared_ptr<PhoneExtension> extension_;  // last: its event thread goes before the subscribers
};

}  // namespace vphone
