// The media content of one device object: the entries of the folder resolved last, the current
// location, and every media operation of the exports.
//
// The public media operations (the WPD_ERROR ones) take turns: each holds mediaLock_ for its whole
// run, because they share items_ and the location. The HRESULT operations below them are the building
// blocks of those operations and expect the caller to hold the lock.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "device/wpd_api.h"
#include "media/folder_entries.h"
#include "media/object_record.h"
#include "orvik.h"

class CWpd;
class RecordLibrary;

class CFolderList {
public:
    explicit CFolderList(CWpd *device);
    CFolderList(const CFolderList &) = delete;
    CFolderList &operator=(const CFolderList &) = delete;

    // Bits of the flags word of the media calls.
    static constexpr unsigned long kStorageRelativeLines = 1;      // PutPlaylist: M3U lines without the storage
    static constexpr unsigned long kRefuseWhileSynchronizing = 2;  // ask the media player guard first
    static constexpr unsigned long kReplaceExisting = 4;           // PutFile, PutPlaylist

    // Media operations behind the WPD_Media_ exports.
    WPD_ERROR FillFolderList(const wchar_t *path, char **listing);
    WPD_ERROR GetFile(const wchar_t *remotePath, const wchar_t *localPath, unsigned long flags,
                      const PROPERTYKEY &resourceKey);
    WPD_ERROR PutFile(const wchar_t *remotePath, const wchar_t *localPath, unsigned long flags);
    WPD_ERROR DeleteFileObject(const wchar_t *path, unsigned long flags);
    WPD_ERROR CreateFolderObject(const wchar_t *path, unsigned long flags);
    WPD_ERROR DeleteFolderObject(const wchar_t *path, unsigned long flags);
    WPD_ERROR PutPlaylist(const wchar_t *path, wchar_t *text, unsigned long flags);
    WPD_ERROR GetPlaylist(const wchar_t *path, wchar_t **text, unsigned long flags);
    WPD_ERROR GetTotalMemory(const wchar_t *path, unsigned long long *bytes, unsigned long flags);
    WPD_ERROR GetAvailableMemory(const wchar_t *path, unsigned long long *bytes, unsigned long flags);

    // Written by Connect, read by the media player guard.
    void SetFriendlyName(const wchar_t *name);
    const wchar_t *FriendlyName() const { return friendlyName_; }
    BOOL IsDeviceSynchronizing() const;

    // Typed reads of one property: a value that cannot be read leaves the destination zero-filled, and
    // no read fails its caller. A string longer than its field is cut; GetStringProperty then returns
    // false, so that a cut identifier is never used.
    static bool GetStringProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, wchar_t *destination,
                                  size_t chars);
    template <size_t N>
    static bool GetStringProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, wchar_t (&destination)[N]) {
        return GetStringProperty(values, key, destination, N);
    }
    static void GetGuidProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, GUID &destination);
    static void GetUInt64Property(IPortableDeviceValues *values, const PROPERTYKEY &key,
                                  unsigned long long &destination);
    static void GetBoolProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, BOOL &destination);
    static void GetDateProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, SYSTEMTIME &destination);

    // Names, kind and format of an object; known becomes TRUE when its content type is known (it is
    // never cleared here).
    static void FillObjectNames(ObjectRecord &record, IPortableDeviceValues *values, BOOL &known);

    // One object's record. known is cleared for an object whose ID or parent ID does not fit its field:
    // such an object cannot be addressed and is left out of every list.
    HRESULT GetObjectRecord(const wchar_t *objectId, ObjectRecord &record, BOOL &known, BOOL withStorage);
    // The known children of a parent, in enumeration order; the list is emptied first.
    HRESULT EnumFolderObjects(FolderEntries &list, const wchar_t *parentId);
    // Appends the known storages; on failure the list is left empty.
    HRESULT EnumStorages(std::vector<ObjectRecord> &list, BOOL withStorage);
    // Names and types an object about to be created under folderId_; record is zeroed by the caller.
    void PrepareNewObject(ObjectRecord &record, BOOL isFolder, const wchar_t *devicePath) const;
    HRESULT CreateObjectValues(const ObjectRecord &record, Microsoft::WRL::ComPtr<IPortableDeviceValues> &values) const;
    // Deletes the object with everything below it; a delete that leaves part of it is a failure.
    HRESULT DeleteDeviceObject(IPortableDeviceContent *content, const ObjectRecord &record) const;
    static HRESULT DeleteObjectById(IPortableDeviceContent *content, const wchar_t *objectId);

    // Resolves a device path and lists that folder (the storages for the root) into list; on success
    // the current location is that folder.
    HRESULT GetFolderList(FolderEntries &list, const wchar_t *path);
    HRESULT FindChildFolder(const wchar_t *component, wchar_t (&folderId)[kObjectIdChars]);
    HRESULT RefreshFolderList();
    // Finds the entry named by the last component of path (a bare name: in the folder resolved last);
    // "not found" is reported through found alone.
    HRESULT FindRemoteFile(const wchar_t *path, BOOL wantFolder, Microsoft::WRL::ComPtr<IPortableDeviceContent> &content,
                           ObjectRecord &record, BOOL &found);
    // The persistent unique id of the file at a device path (empty when there is none, E_FAIL). Takes
    // the media lock: it is called from outside the media operations.
    HRESULT GetRemotePersistentId(const wchar_t *path, wchar_t (&persistentId)[kObjectIdChars]);
    // Prepends the path of objectId and its ancestors to path, up to the current storage or the top.
    HRESULT GetObjectFullPath(wchar_t (&path)[kNameChars], IPortableDeviceProperties *properties,
                              IPortableDeviceKeyCollection *keys, const wchar_t *objectId);

    // The listing text of list; the host receives null for an empty list.
    static HRESULT BuildFolderListing(char **listing, const FolderEntries &list, const RecordLibrary &records);

    HRESULT GetStorageMemory(const wchar_t *path, unsigned long long *bytes, unsigned long flags, BOOL total);

    // Which end of a copy is the local file; the other is the phone.
    enum class LocalEnd { Source, Destination };
    // Copies source into destination in chunks (CopyChunkSize of the platform's chunkSize and the
    // totalSize), reporting to the host's monitor after each one. S_OK at the end of the data, S_FALSE
    // when the host cancelled. copied, when given, receives the bytes written. The local file's reads
    // or writes run on a pool thread beside the phone's calls, which all stay on the calling thread.
    HRESULT StreamCopy(IStream *destination, IStream *source, LocalEnd local, DWORD chunkSize,
                       unsigned long long totalSize, unsigned long long *copied = nullptr);

    // An object on its way to the phone: what it is named and typed, the objects of its name that were
    // in its folder before it (an upload that cannot be reverted is told from them), and once it is
    // complete its id. refused tells that the phone refused the object itself, before any of its data.
    struct NewObject {
        ObjectRecord names;
        std::vector<std::wstring> before;
        std::wstring id;
        bool refused = false;
    };

    // Playlist steps. Items are in text order; while writing, an item's name is its M3U line.
    HRESULT ParsePlaylistText(std::vector<ObjectRecord> &items, wchar_t *text, unsigned long flags);
    static HRESULT AddPlaylistReferences(IPortableDeviceContent *content, IPortableDeviceValues *values,
                                         const std::vector<ObjectRecord> &items, NewObject &playlist);
    HRESULT WritePlaylistData(IPortableDeviceContent *content, IPortableDeviceValues *values,
                              const std::vector<ObjectRecord> &items, NewObject &playlist);
    HRESULT WriteM3uPlaylist(IPortableDeviceContent *content, IPortableDeviceValues *values,
                             const std::vector<ObjectRecord> &items, NewObject &playlist);
    HRESULT GetPlaylistReferences(IPortableDeviceContent *content, std::vector<ObjectRecord> &items,
                                  const wchar_t *objectId);
    HRESULT ReadPlaylistData(IPortableDeviceContent *content, std::vector<ObjectRecord> &items,
                             const wchar_t *objectId, const GUID &format, bool utf8) const;
    // Lines that start with a separator are taken from the current storage, others from the current
    // folder (the playlist's); "#" lines are directives. The text is UTF-8 when it is valid UTF-8 (or
    // utf8 says so), else in the ANSI code page.
    HRESULT ParseM3uPlaylist(std::vector<ObjectRecord> &items, const char *text, size_t length, bool utf8) const;
    // The host's text: a locked global memory block, or null for no items.
    static HRESULT BuildTextPlaylist(wchar_t **text, const std::vector<ObjectRecord> &items);

private:
    // The object a media operation works on, as the look-up left it, and every object its name names.
    struct Target {
        Microsoft::WRL::ComPtr<IPortableDeviceContent> content;
        ObjectRecord record;
        BOOL found;
        std::vector<std::wstring> sameNamed;
    };
    // One attempt at sending a new object: S_OK once it is complete on the phone, S_FALSE when the host
    // cancelled; either way a failed or cancelled attempt leaves nothing on the phone.
    using Creation = std::function<HRESULT(NewObject &object)>;

    static bool IsNamed(const FolderEntry &entry, const wchar_t *name);
    // The start of every operation on one object: the guard when the flags ask for it, a path that
    // names an object, and the look-up, which makes the path's folder the current location.
    HRESULT FindTarget(const wchar_t *path, BOOL wantFolder, unsigned long flags, Target &target);
    HRESULT ReceiveFile(const Target &source, const wchar_t *localPath, const PROPERTYKEY &resourceKey);
    HRESULT SendFile(const Target &existing, const wchar_t *remotePath, const wchar_t *localPath);
    HRESULT UploadFile(IPortableDeviceContent *content, IStream *local, unsigned long long size, NewObject &object);
    // Creates the object of record through create, in place of the target when it exists: the old
    // object goes only once the new one is complete.
    HRESULT CreateInPlaceOf(const Target &existing, const ObjectRecord &record, const Creation &create);
    HRESULT DropReplaced(const Target &existing, const std::wstring &newId) const;
    // Commits an upload whose data went as copied says, or removes what it left on the phone.
    HRESULT FinishUpload(IPortableDeviceContent *content, IPortableDeviceDataStream *data, HRESULT copied,
                         NewObject &object);
    HRESULT DiscardUpload(IPortableDeviceContent *content, IPortableDeviceDataStream *data, const NewObject &object);
    WPD_ERROR DeleteObjectAt(const wchar_t *path, unsigned long flags, BOOL wantFolder);
    HRESULT CreatePlaylist(const Target &existing, const wchar_t *path, wchar_t *text, unsigned long flags);

    void SetCurrentLocation(const wchar_t *path, const wchar_t *storageId, const wchar_t *folderId);
    IPortableDevice *Device() const;

    CWpd *device_;
    FolderEntries items_;
    wchar_t currentPath_[kNameChars] = {};
    wchar_t currentStorage_[kNameChars] = {};
    wchar_t storageId_[kObjectIdChars] = {};
    wchar_t folderId_[kObjectIdChars] = {};
    wchar_t friendlyName_[kFriendlyNameChars] = {};
    std::mutex mediaLock_;
};
