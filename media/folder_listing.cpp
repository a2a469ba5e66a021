// The folder listing handed to the host: one vNote-style record of seven fields per entry.
#include <windows.h>

#include <array>
#include <charconv>
#include <cstring>
#include <utility>

#include "device/cwpd.h"
#include "log/hr_log.h"
#include "media/folder_list.h"
#include "media/record_library.h"

namespace {

// Every value is formatted into a buffer of this size; a name of 259 UTF-16 units fits as UTF-8.
constexpr size_t kValueBytes = 1024;

// Two digits at least, as "%02d" writes them.
char *PaddedNumber(char *out, unsigned value) {
    if (value < 10) *out++ = '0';
    return std::to_chars(out, out + 5, value).ptr;
}

// The modification time as "%d%02d%02dT%02d%02d%02d" writes it, without a format string per entry.
void FormatDate(const SYSTEMTIME &time, char *out) {
    out = std::to_chars(out, out + 5, static_cast<unsigned>(time.wYear)).ptr;
    for (WORD part : {time.wMonth, time.wDay}) out = PaddedNumber(out, part);
    *out++ = 'T';
    for (WORD part : {time.wHour, time.wMinute, time.wSecond}) out = PaddedNumber(out, part);
    *out = '\0';
}

const char *ItemKind(const FolderEntry &entry) {
    if (entry.isFolder) return "folder";
    return entry.isPlaylist ? "playlist" : "file";
}

}  // namespace

WPD_ERROR CFolderList::FillFolderList(const wchar_t *path, char **listing) {
    const std::lock_guard lock(mediaLock_);
    if (!listing) {
        LogLine(1, "FillFolderList without an output pointer, hr = %08x", static_cast<unsigned>(E_POINTER));
        return device_->TranslateError(E_POINTER);
    }
    RecordLibrary records;
    HRESULT hr = records.Load();
    if (FAILED(hr)) {
        LogLine(1, "Loading fieldrec.dll failed, hr = %08x", static_cast<unsigned>(hr));
        return device_->TranslateError(hr);
    }
    hr = GetFolderList(items_, path);
    if (FAILED(hr)) {
        LogLine(1, "FillFolderList failed, hr = %08x", static_cast<unsigned>(hr));
        return device_->TranslateError(hr);
    }
    LogLine(1, "FillFolderList Done");
    hr = BuildFolderListing(listing, items_, records);
    return device_->TranslateError(hr);
}

HRESULT CFolderList::BuildFolderListing(char **listing, const FolderEntries &list, const RecordLibrary &records) {
    // Built aside: the host's pointer is written only with a whole listing.
    char *text = nullptr;
    unsigned long length = 0;
    for (const FolderEntry entry : list) {
        char name[kValueBytes];
        if (!WideCharToMultiByte(CP_UTF8, 0, entry.listingName, -1, name, sizeof name, nullptr, nullptr)) {
            name[0] = '\0';
        }
        char size[kValueBytes];
        *std::to_chars(size, size + sizeof size - 1, entry.size).ptr = '\0';
        char date[kValueBytes];
        FormatDate(entry.dateModified, date);
        char attributes[kValueBytes] = {};
        std::strcat(std::strcat(std::strcat(attributes, entry.canDelete ? "" : "readonly"), " "),
                    entry.isHidden ? "hidden" : "");

        const std::array<std::pair<const char *, const char *>, 7> fields = {{
            {"BEGIN", "VNOTE"},
            {"X_FB_NAME", name},
            {"X_FB_ITEM", ItemKind(entry)},
            {"X_FB_SIZE", size},
            {"X_FB_DATE", date},
            {"X_FB_ATTRIBUT", attributes},
            {"END", "VNOTE"},
        }};
        for (const auto &[fieldName, value] : fields) {
            if (!records.AddField(&text, &length, fieldName, value)) {
                LogLine(1, "Adding field %s to the listing failed, hr = %08x", fieldName,
                        static_cast<unsigned>(E_OUTOFMEMORY));
                // What only the record library could release goes to the host, which releases
                // listings the way that library says.
                if (!records.Free(text) && text) *listing = text;
                return E_OUTOFMEMORY;
            }
        }
    }
    *listing = text;
    return S_OK;
}
