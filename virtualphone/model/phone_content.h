// What a phone holds, as its store keeps it: the identity, the object tree, the counters that name new
// objects, and the state its maker's extension keeps across sessions. Not locked: the phone locks.
#pragma once

#include "virtualphone/model/phone_identity.h"
#include "virtualphone/model/phone_object.h"
#include "virtualphone/model/phone_profile.h"

#include <windows.h>

#include <cstdint>
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

// Ids follow handles: storages "s" and objects "o", then the handle in hex.
std::wstring IdForHandle(bool storage, std::uint32_t handle);

struct PhoneNode {
    PhoneObject object;
    std::vector<std::wstring> children;  // in creation order
};

struct PhoneContent {
    PhoneContent();  // the DEVICE object alone

    PhoneIdentity identity;
    std::unordered_map<std::wstring, PhoneNode> nodes;
    std::uint32_t nextHandle = 1;
    std::uint32_t nextStorage = 1;
    std::wstring extensionState;  // as the extension saved it; empty: its first state

    // "" is the DEVICE object.
    const PhoneNode *Find(const std::wstring &id) const;
    PhoneNode *Find(const std::wstring &id);
    // The storage an object lies in (itself for a storage); null for the DEVICE object.
    const PhoneObject *StorageOf(const PhoneObject &object) const;
    bool HasChildNamed(const PhoneNode &parent, const std::wstring &fileName) const;
    // Adds an object below object.parentId (a storage or folder; "DEVICE" for storages), giving it its
    // id, handle and persistent id (unless set) and charging its data to its storage, as the profile
    // has it. HRESULT_FROM_WIN32(ERROR_DISK_FULL) when the storage has no room for the data;
    // kNameTaken when the profile keeps file names unique and the folder has one of that name.
    HRESULT Add(PhoneObject object, const PhoneProfile &profile, std::wstring *id);
    // Removes an object with everything below it, freeing their room; their data goes to dropped. True
    // when it went whole; with keepProtected, protected objects stay, and so do the folders above them.
    bool Remove(const std::wstring &id, bool keepProtected, std::vector<DataPtr> *dropped);
    // Gives an object new data, charging the difference to its storage; the old data goes to dropped.
    void ReplaceData(PhoneObject &object, DataPtr data, std::vector<DataPtr> *dropped);

private:
    std::wstring NewObjectId(const PhoneNode &parent, const PhoneObject &object, const PhoneProfile &profile) const;
    std::wstring PersistentIdFor(std::uint32_t handle) const;
};

}  // namespace vphone
