// One object on the phone, copied by value out of its properties.
#pragma once

#include <windows.h>

constexpr size_t kNameChars = 260;      // names and paths, terminator included
constexpr size_t kObjectIdChars = 80;   // object identifiers, terminator included
constexpr size_t kFriendlyNameChars = 128;

struct ObjectRecord {
    wchar_t name[kNameChars];
    wchar_t originalFileName[kNameChars];
    wchar_t listingName[kNameChars];  // shown in listings, matched by path look-ups
    wchar_t objectId[kObjectIdChars];
    wchar_t parentId[kObjectIdChars];
    wchar_t persistentId[kObjectIdChars];
    BOOL isFolder;  // storage or folder
    unsigned long long size;
    SYSTEMTIME dateModified;
    BOOL isHidden;
    BOOL canDelete;
    GUID format;
    GUID contentType;  // only for objects about to be created
    BOOL isPlaylist;
    unsigned long long storageCapacity;
    unsigned long long storageFreeSpace;
};
