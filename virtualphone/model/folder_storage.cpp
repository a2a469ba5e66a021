#include "virtualphone/model/folder_storage.h"

#include "device/wpd_api.h"
#include "virtualphone/model/file_types.h"

#include <oleauto.h>

#include <algorithm>
#include <cwctype>
#include <unordered_map>

namespace vphone {
namespace {

// A file or folder of this computer as the storage compares it with its object.
struct HostEntry {
    std::wstring name;
    bool folder = false;
    std::uint64_t size = 0;
    std::uint64_t stamp = 0;  // last write time
    DWORD attributes = 0;
};

std::uint64_t Value(const FILETIME &time) { return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime; }

HostEntry EntryOf(std::wstring name, DWORD attributes, DWORD sizeHigh, DWORD sizeLow, const FILETIME &written) {
    HostEntry entry;
    entry.name = std::move(name);
    entry.folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    entry.size = entry.folder ? 0 : static_cast<std::uint64_t>(sizeHigh) << 32 | sizeLow;
    entry.stamp = Value(written);
    entry.attributes = attributes;
    return entry;
}

bool Gone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// S_FALSE when there is no such file or folder.
HRESULT ReadEntry(const std::wstring &path, HostEntry *entry) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return Gone(error) ? S_FALSE : HRESULT_FROM_WIN32(error);
    }
    *entry = EntryOf(path.substr(path.rfind(L'\\') + 1), data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                     data.ftLastWriteTime);
    return S_OK;
}

// The entries of a folder; none when the folder has gone.
HRESULT ReadEntries(const std::wstring &folder, std::vector<HostEntry> *entries) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(ExtendedPath(folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Gone(error) ? S_OK : HRESULT_FROM_WIN32(error);
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        entries->push_back(EntryOf(found.cFileName, found.dwFileAttributes, found.nFileSizeHigh, found.nFileSizeLow,
                                   found.ftLastWriteTime));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return S_OK;
}

double OleDate(std::uint64_t stamp) {
    FILETIME time{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
    SYSTEMTIME system{};
    double date = 0;
    if (FileTimeToSystemTime(&time, &system)) SystemTimeToVariantTime(&system, &date);
    return date;
}

// Whether the object still stands for the entry as it was when the object last matched it.
bool Matches(const PhoneObject &object, const HostEntry &entry) {
    if (object.IsContainer() != entry.folder) return false;
    if (entry.folder) return true;
    const DataRecord record = object.data ? object.data->Describe() : DataRecord{};
    return record.kind == DataRecord::Kind::File && record.size == entry.size && record.stamp == entry.stamp;
}

// Takes the entry's bytes and date.
void Follow(PhoneContent &content, PhoneObject &object, const std::wstring &path, const HostEntry &entry,
            std::vector<DataPtr> *dropped) {
    content.ReplaceData(object, FileData(path, entry.size, entry.stamp), dropped);
    object.dateModified = OleDate(entry.stamp);
}

PhoneObject ObjectFor(const HostEntry &entry, const std::wstring &parentId) {
    PhoneObject object;
    object.parentId = parentId;
    object.originalFileName = entry.name;
    object.hidden = entry.attributes & FILE_ATTRIBUTE_HIDDEN;
    object.canDelete = !(entry.attributes & FILE_ATTRIBUTE_READONLY);
    object.dateModified = OleDate(entry.stamp);
    if (entry.folder) {
        object.kind = ObjectKind::Folder;
        object.name = entry.name;
        object.contentType = wpd::WPD_CONTENT_TYPE_FOLDER;
        object.format = wpd::MtpFormatGuid(0x3001);
        return object;
    }
    const FileType type = FileTypeOf(entry.name);
    const std::size_t dot = entry.name.rfind(L'.');
    object.kind = type.contentType == wpd::WPD_CONTENT_TYPE_PLAYLIST ? ObjectKind::Playlist : ObjectKind::File;
    object.name = dot == std::wstring::npos || dot == 0 ? entry.name : entry.name.substr(0, dot);
    object.contentType = type.contentType;
    object.format = type.format;
    return object;
}

HRESULT SyncObject(PhoneContent &content, const PhoneObject &object, const std::wstring &path, bool apply,
                   bool *differs, std::vector<DataPtr> *dropped) {
    if (object.kind == ObjectKind::Storage) return S_OK;  // its folder's entries are its children
    HostEntry entry;
    const HRESULT hr = ReadEntry(path, &entry);
    if (FAILED(hr)) return hr;
    const bool present = hr == S_OK;
    if (present && Matches(object, entry)) return S_OK;
    *differs = true;
    if (!apply) return S_OK;
    // A file that became a folder (or the other way) is another object: its folder's listing makes it.
    if (present && object.IsContainer() == entry.folder) {
        Follow(content, content.Find(object.id)->object, path, entry, dropped);
    } else {
        content.Remove(object.id, false, dropped);
    }
    return S_OK;
}

HRESULT SyncChildren(PhoneContent &content, const PhoneProfile &profile, const PhoneObject &folder,
                     const std::wstring &path, bool apply, bool *differs, std::vector<DataPtr> *dropped) {
    if (!folder.IsContainer()) return S_OK;
    std::vector<HostEntry> entries;
    HRESULT hr = ReadEntries(path, &entries);
    if (FAILED(hr)) return hr;
    const std::wstring folderId = folder.id;  // content changes below
    // Entries by name, each taken out once an object stands for it: a large folder stays one pass.
    std::unordered_map<std::wstring_view, const HostEntry *> unclaimed;
    for (const HostEntry &entry : entries) unclaimed.emplace(entry.name, &entry);
    for (const std::wstring &childId : std::vector<std::wstring>(content.Find(folderId)->children)) {
        PhoneObject &child = content.Find(childId)->object;
        const auto found = unclaimed.find(child.FileName());
        const HostEntry *entry = found == unclaimed.end() ? nullptr : found->second;
        if (entry) unclaimed.erase(found);
        if (entry && Matches(child, *entry)) continue;
        *differs = true;
        if (!apply) return S_OK;
        if (entry && child.IsContainer() == entry->folder) {
            Follow(content, child, path + L"\\" + entry->name, *entry, dropped);
        } else {
            content.Remove(childId, false, dropped);
            if (entry) unclaimed.emplace(entry->name, entry);  // another kind now: a new object
        }
    }
    // What is left are files and folders the phone has no object for yet, taken in the folder's order.
    if (!unclaimed.empty()) *differs = true;
    for (const HostEntry &entry : entries) {
        if (!apply || !unclaimed.contains(entry.name)) continue;
        std::wstring id;
        hr = content.Add(ObjectFor(entry, folderId), profile, &id);
        if (FAILED(hr)) return hr;
        // Charged after adding, without the check for room: a folder holding more than the storage's
        // capacity shows a full storage rather than hide files.
        if (!entry.folder) Follow(content, content.Find(id)->object, path + L"\\" + entry.name, entry, dropped);
    }
    return S_OK;
}

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

// The data file becomes the file at path: closed first, then moved (copied, across volumes).
HRESULT MoveIn(DataFile &file, const std::wstring &path, DWORD flags) {
    file.handle.reset();
    if (!MoveFileExW(ExtendedPath(file.path).c_str(), ExtendedPath(path).c_str(), flags | MOVEFILE_COPY_ALLOWED)) {
        return LastError();
    }
    return S_OK;
}

}  // namespace

bool IsStorableName(std::wstring_view name) {
    // Windows' rules for file names ("Naming Files, Paths, and Namespaces").
    if (name.empty() || name.size() > 255 || name.back() == L'.' || name.back() == L' ') return false;
    for (wchar_t c : name) {
        if (c < 0x20 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) return false;
    }
    // Device names, alone or before an extension.
    std::wstring base(name.substr(0, name.find(L'.')));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t &c : base) c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t *device : {L"CON", L"PRN", L"AUX", L"NUL"}) {
        if (base == device) return false;
    }
    return !(base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) && base[3] >= L'1' &&
             base[3] <= L'9');
}

std::wstring HostPathOf(const PhoneContent &content, const PhoneObject &object) {
    const PhoneObject *storage = content.StorageOf(object);
    if (!storage || storage->hostFolder.empty()) return {};
    std::wstring path;
    for (const PhoneObject *step = &object; step != storage;) {
        path = L"\\" + step->FileName() + path;
        const PhoneNode *parent = content.Find(step->parentId);
        if (!parent) return {};
        step = &parent->object;
    }
    return storage->hostFolder + path;
}

HRESULT SyncWithHost(PhoneContent &content, const PhoneProfile &profile, const std::wstring &id, bool children,
                     bool apply, bool *differs, std::vector<DataPtr> *dropped) {
    *differs = false;
    const PhoneNode *node = content.Find(id);
    const std::wstring path = node ? HostPathOf(content, node->object) : std::wstring();
    if (path.empty()) return S_OK;
    const PhoneObject object = node->object;
    return children ? SyncChildren(content, profile, object, path, apply, differs, dropped)
                    : SyncObject(content, object, path, apply, differs, dropped);
}

HRESULT CheckHostName(const PhoneContent &content, const PhoneObject &object) {
    const PhoneNode *parent = content.Find(object.parentId);
    if (!parent || HostPathOf(content, parent->object).empty()) return S_OK;
    if (!IsStorableName(object.FileName())) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    for (const std::wstring &sibling : parent->children) {
        const PhoneNode *node = content.Find(sibling);
        if (sibling != object.id && node->object.FileName() == object.FileName()) return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    }
    return S_OK;
}

HRESULT CreateOnHost(const PhoneContent &content, PhoneObject &object, DataFile *file) {
    const PhoneNode *parent = content.Find(object.parentId);
    const std::wstring folder = parent ? HostPathOf(content, parent->object) : std::wstring();
    if (folder.empty()) return S_FALSE;
    if (!parent->object.IsContainer()) return E_INVALIDARG;
    const HRESULT checked = CheckHostName(content, object);
    if (FAILED(checked)) return checked;
    object.originalFileName = object.FileName();  // the file's name, whatever the name becomes
    const std::wstring path = folder + L"\\" + object.originalFileName;
    const std::wstring extended = ExtendedPath(path);
    if (object.kind == ObjectKind::Folder) {
        if (!CreateDirectoryW(extended.c_str(), nullptr)) return LastError();
    } else if (file) {
        const HRESULT moved = MoveIn(*file, path, 0);
        if (FAILED(moved)) return moved;
    } else {
        if (object.Size() != 0) return E_INVALIDARG;  // data comes to a folder only through a data file
        const win::UniqueFileHandle created(
            CreateFileW(extended.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!created) return LastError();
    }
    HostEntry entry;
    const HRESULT hr = ReadEntry(path, &entry);
    if (hr != S_OK) return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (!entry.folder) object.data = FileData(path, entry.size, entry.stamp);
    return S_OK;
}

HRESULT ReplaceOnHost(PhoneContent &content, PhoneObject &object, DataFile &file, std::vector<DataPtr> *dropped) {
    const std::wstring path = HostPathOf(content, object);
    if (path.empty()) return S_FALSE;
    HRESULT hr = MoveIn(file, path, MOVEFILE_REPLACE_EXISTING);
    HostEntry entry;
    if (SUCCEEDED(hr)) hr = ReadEntry(path, &entry);
    if (hr != S_OK) return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    Follow(content, object, path, entry, dropped);
    return S_OK;
}

HRESULT DeleteOnHost(PhoneContent &content, const PhoneProfile &profile, const std::wstring &id, bool recursive,
                     std::vector<DataPtr> *dropped) {
    const PhoneObject object = content.Find(id)->object;
    const std::wstring path = ExtendedPath(HostPathOf(content, object));
    if (object.IsContainer()) {
        // Files added to the folder since it was listed go too, or not at all.
        bool differs = false;
        HRESULT hr = SyncWithHost(content, profile, id, true, true, &differs, dropped);
        if (FAILED(hr)) return hr;
        const std::vector<std::wstring> children = content.Find(id)->children;
        if (!children.empty() && !recursive) return HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
        for (const std::wstring &child : children) {
            hr = DeleteOnHost(content, profile, child, true, dropped);
            if (FAILED(hr)) return hr;
        }
        if (!RemoveDirectoryW(path.c_str()) && !Gone(GetLastError())) return LastError();
    } else if (!DeleteFileW(path.c_str()) && !Gone(GetLastError())) {
        return LastError();
    }
    content.Remove(id, false, dropped);
    return S_OK;
}

HRESULT RenameOnHost(PhoneContent &content, const std::wstring &id, const std::wstring &previousName) {
    PhoneObject &object = content.Find(id)->object;
    const std::wstring path = HostPathOf(content, object);
    if (path.empty() || object.FileName() == previousName) return S_OK;
    const HRESULT checked = CheckHostName(content, object);
    if (FAILED(checked)) return checked;
    const std::wstring previousPath = path.substr(0, path.rfind(L'\\') + 1) + previousName;
    if (!MoveFileExW(ExtendedPath(previousPath).c_str(), ExtendedPath(path).c_str(), 0)) return LastError();
    // The files below have new paths now: their data follows them.
    std::vector<std::wstring> pending{id};
    while (!pending.empty()) {
        PhoneNode &node = *content.Find(pending.back());
        pending.pop_back();
        pending.insert(pending.end(), node.children.begin(), node.children.end());
        if (!node.object.data) continue;
        const DataRecord record = node.object.data->Describe();
        if (record.kind == DataRecord::Kind::File) {
            node.object.data = FileData(HostPathOf(content, node.object), record.size, record.stamp);
        }
    }
    return S_OK;
}

}  // namespace vphone
