// The host's side of playlists: UTF-16 text, one device path per line, lines separated by CR LF.
#include <cwchar>
#include <string>

#include "log/hr_log.h"
#include "media/bounded_text.h"
#include "media/folder_list.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

// Cuts the text into lines in place: the CR of every CR LF becomes NUL. Every line must name a file
// object on the phone.
HRESULT CFolderList::ParsePlaylistText(std::vector<ObjectRecord> &items, wchar_t *text, unsigned long flags) {
    if (!text) {
        LogLine(1, "Playlist text missing, hr = %08x", static_cast<unsigned>(E_POINTER));
        return E_POINTER;
    }
    for (wchar_t *line = text; *line;) {
        wchar_t *next = wcsstr(line, L"\r\n");
        if (next) {
            *next = L'\0';
            next += 2;
        }
        ComPtr<IPortableDeviceContent> content;
        ObjectRecord record = {};
        BOOL found = FALSE;
        RETURN_IF_FAILED_LOG(FindRemoteFile(line, FALSE, content, record, found), "FindRemoteFile failed, hr = %08x");
        if (!found) {
            LogLine(1, "Failed to locate %S, cannot be added to the playlist", line);
            return E_FAIL;
        }
        // Storage-relative lines start after the storage, which the look-up made the line's own.
        const wchar_t *entry = line;
        if (flags & kStorageRelativeLines) {
            if (const wchar_t *storage = wcsstr(line, currentStorage_)) entry = storage + wcslen(currentStorage_);
        }
        CopyBounded(record.name, entry);
        items.push_back(record);
        // An empty line between two CR LF pairs is looked up like any other, and fails.
        if (!next) break;
        line = next;
    }
    return S_OK;
}

HRESULT CFolderList::BuildTextPlaylist(wchar_t **text, const std::vector<ObjectRecord> &items) {
    *text = nullptr;
    if (items.empty()) return S_OK;
    std::wstring lines;
    for (const ObjectRecord &item : items) {
        lines += item.name;
        lines += L"\r\n";
    }
    win::UniqueGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (lines.size() + 1) * sizeof(wchar_t)));
    auto *locked = block ? static_cast<wchar_t *>(GlobalLock(block.get())) : nullptr;
    if (!locked) {
        LogLine(1, "Allocating the playlist text failed, hr = %08x", static_cast<unsigned>(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    wmemcpy(locked, lines.c_str(), lines.size() + 1);
    // The host owns the block from here on, locked.
    block.release();
    *text = locked;
    return S_OK;
}
