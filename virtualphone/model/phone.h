// The simulated phone: identity, object tree, controls and accounting. Free-threaded: every member
// takes the phone's lock for as long as it needs the tree, never while data is read.
//
// Its content lives in a store (phone_store.h): in memory for a phone a test builds, or in a data
// folder shared by every process that opens the phone (KeepIn). Each call first brings the content up
// to date, so a change one process makes is seen by another's next call; storages backed by a folder
// of this computer are brought up to date with the folder as their objects are listed and read.
#pragma once

#include "virtualphone/model/phone_accounting.h"
#include "virtualphone/model/phone_content.h"
#include "virtualphone/model/phone_controls.h"
#include "virtualphone/model/phone_extension.h"
#include "virtualphone/model/phone_profile.h"
#include "virtualphone/model/phone_store.h"
#include "virtualphone/model/phone_worker.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vphone {

class Phone {
public:
    explicit Phone(PhoneProfile profile = DefaultProfile());
    ~Phone();
    Phone(const Phone &) = delete;
    Phone &operator=(const Phone &) = delete;

    // From now on the phone is the one kept in dataFolder: what the folder holds replaces the current
    // content, which stays as the phone's description (what a reset returns to). Call it before the
    // phone is used, after the extension is set.
    HRESULT KeepIn(const std::wstring &dataFolder);

    const PhoneProfile &Profile() const noexcept { return profile_; }
    PhoneIdentity Identity() const;
    void ChangeIdentity(const std::function<void(PhoneIdentity &)> &change);
    std::wstring InterfacePath() const;

    PhoneControls &Controls() noexcept { return controls_; }
    PhoneAccounting &Accounting() noexcept { return accounting_; }
    // The clients subscribed to the phone's events, across all its opened device objects.
    PhoneEvents &Events() noexcept { return events_; }
    // The phone's own thread; its jobs may use the phone, which outlives them.
    PhoneWorker &Worker() noexcept { return worker_; }
    // The maker's extension (MTP-extension commands, vendor device properties), or null. Set it before
    // the phone is used: it is read without a lock, under the phone's lock too.
    void SetExtension(std::shared_ptr<PhoneExtension> extension) { extension_ = std::move(extension); }
    PhoneExtension *Extension() const noexcept { return extension_.get(); }
    // Runs change, which changes the extension's kept state, as one change of the phone's content.
    HRESULT ChangeExtensionState(const std::function<void()> &change);

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
    // Whether the phone would take object (not a storage) with size bytes of data below
    // object.parentId: kObjectNotFound, E_INVALIDARG for a parent that is no storage or folder,
    // HRESULT_FROM_WIN32(ERROR_DISK_FULL), kNameTaken, or a name a folder-backed storage refuses.
    HRESULT CheckNewObject(const PhoneObject &object, std::uint64_t size) const;
    // A file for the data a host sends with a new object.
    HRESULT NewDataFile(DataFile *file);
    // Adds object (as Add does) with the size bytes written to file as its data; an object the phone
    // shows already (object.id set: the profile shows uploads at once) gets them as its data instead.
    // The file is the phone's from here: closed, and removed when the object is refused.
    HRESULT AddWithData(PhoneObject object, DataFile file, std::uint64_t size, std::wstring *id);
    // Changes an object (and the identity, for "DEVICE") in place; the change must not touch ids, kind,
    // names or data.
    HRESULT Update(const std::wstring &id, const std::function<HRESULT(PhoneObject &, PhoneIdentity &)> &change);
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
    // With the lock held: brings content_ up to date with the store; then, for an object of a
    // folder-backed storage, with its file (or with the folder's entries, for children).
    HRESULT RefreshLocked() const;
    HRESULT RefreshFromFolderLocked(const std::wstring &id, bool children) const;
    // With the lock held: one change of the content, kept by the store. change sets *changed when it
    // changed content_, and lists in dropped the data it took away (files of the phone's own among
    // them go once the change is kept).
    using Change = std::function<HRESULT(bool *changed, std::vector<DataPtr> *dropped)>;
    HRESULT ChangeLocked(const Change &change) const;
    HRESULT CheckNewLocked(const PhoneObject &object, std::uint64_t size) const;
    HRESULT AddLocked(PhoneObject object, DataFile *file, std::uint64_t size, std::wstring *id);
    HRESULT AttachLocked(const std::wstring &id, DataFile &file, std::uint64_t size, std::vector<DataPtr> *dropped);

    const PhoneProfile profile_;
    mutable std::mutex mutex_;
    // A copy of what the store and the folders of folder-backed storages hold: reading refreshes it.
    mutable PhoneContent content_;
    std::unique_ptr<PhoneStore> store_;
    PhoneControls controls_;
    PhoneAccounting accounting_;
    PhoneEvents events_;
    std::shared_ptr<PhoneExtension> extension_;  // its event thread goes before the subscribers
    PhoneWorker worker_;                         // last: its jobs go before everything they use
};

}  // namespace vphone
