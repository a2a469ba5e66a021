// Storages backed by a folder of this computer: the folder's tree is the storage's content, seen live.
// The phone's objects there are a copy that is brought up to date as objects are listed (the entries
// of their folder) and read (their own file): an object keeps its id and handle while its file stays.
// What a host does to the storage it does to the folder: objects it sends become files there,
// objects it deletes or renames are deleted or renamed there.
#pragma once

#include "virtualphone/model/phone_content.h"
#include "virtualphone/model/phone_store.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace vphone {

// Whether this computer's file system can hold a file of this name: no reserved character, no
// reserved device name, no trailing dot or space.
bool IsStorableName(std::wstring_view name);

// The file or folder behind an object of a folder-backed storage; empty for any other object.
std::wstring HostPathOf(const PhoneContent &content, const PhoneObject &object);

// Compares the object (or its children) with its file (or its folder's entries); with apply, makes
// content match. *differs tells whether it did not; dropped receives the data of objects that went.
// Does nothing for objects of other storages.
HRESULT SyncWithHost(PhoneContent &content, const PhoneProfile &profile, const std::wstring &id, bool children,
                     bool apply, bool *differs, std::vector<DataPtr> *dropped);

// Whether the folder can take a new object of this name below object.parentId: one it can store, no
// sibling of that name. S_OK for objects of other storages.
HRESULT CheckHostName(const PhoneContent &content, const PhoneObject &object);
// Makes the file or folder of an object about to be added below a folder-backed storage's folder:
// the data file's bytes become the file (file may be null: an empty file, or a folder). Sets
// object.data, and the original file name to the file's. S_FALSE for a parent in another storage, where
// nothing is made.
HRESULT CreateOnHost(const PhoneContent &content, PhoneObject &object, DataFile *file);
// Makes the data file's bytes the file of an object of a folder-backed storage, in place of what it
// held; the object takes the new data (its old data goes to dropped). S_FALSE for an object of another
// storage, where nothing is done.
HRESULT ReplaceOnHost(PhoneContent &content, PhoneObject &object, DataFile &file, std::vector<DataPtr> *dropped);
// Deletes the object's file or folder (with what the folder holds, when recursive), taking each one
// deleted out of content; a failure stops it there.
HRESULT DeleteOnHost(PhoneContent &content, const PhoneProfile &profile, const std::wstring &id, bool recursive,
                     std::vector<DataPtr> *dropped);
// Renames the file or folder of object, whose name has changed from previousName.
HRESULT RenameOnHost(PhoneContent &content, const std::wstring &id, const std::wstring &previousName);

}  // namespace vphone
