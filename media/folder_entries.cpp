#include "media/folder_entries.h"

#include <objbase.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "media/bounded_text.h"

namespace {

// What the texts of an entry take, on average at most, in characters: room reserved beyond what is
// used is address space only, and keeps the buffer from being copied as a big folder's list grows.
constexpr size_t kReservedCharsPerEntry = 160;

// An upper-case hex digit, as StringFromGUID2 writes them, or -1.
int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The GUID a persistent id is the text form of, exactly as StringFromGUID2 writes it (braces, upper
// case): only such a text is given back whole by the GUID.
bool PersistentIdAsGuid(const wchar_t *text, GUID &guid) {
    constexpr wchar_t kForm[] = L"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    BYTE bytes[16] = {};  // in the order of the text
    size_t nibble = 0;
    // Stops at the first character out of form, the terminator of a shorter text included.
    for (size_t i = 0; i < std::size(kForm); ++i) {
        if (kForm[i] != L'X') {
            if (text[i] != kForm[i]) return false;
            continue;
        }
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        bytes[nibble / 2] = static_cast<BYTE>(bytes[nibble / 2] << 4 | digit);
        ++nibble;
    }
    guid.Data1 = static_cast<unsigned long>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
    guid.Data2 = static_cast<unsigned short>(bytes[4] << 8 | bytes[5]);
    guid.Data3 = static_cast<unsigned short>(bytes[6] << 8 | bytes[7]);
    std::copy(bytes + 8, bytes + 16, guid.Data4);
    return true;
}

// What an object is besides its texts, from a record, an entry or its stored form to another.
template <class To, class From>
void CopyFacts(To &to, const From &from) {
    to.isFolder = from.isFolder;
    to.isHidden = from.isHidden;
    to.canDelete = from.canDelete;
    to.isPlaylist = from.isPlaylist;
    to.size = from.size;
    to.dateModified = from.dateModified;
    to.format = from.format;
}

}  // namespace

void FolderEntries::Clear() {
    entries_.clear();
    texts_.clear();
}

void FolderEntries::Reserve(size_t count) {
    entries_.reserve(count);
    texts_.reserve(count * kReservedCharsPerEntry);
}

std::uint32_t FolderEntries::Keep(const wchar_t *text, const std::uint32_t *shared) {
    if (shared && wcscmp(TextAt(*shared), text) == 0) return *shared;
    const auto offset = static_cast<std::uint32_t>(texts_.size());
    texts_.insert(texts_.end(), text, text + wcslen(text) + 1);
    return offset;
}

void FolderEntries::Add(const ObjectRecord &record) {
    Stored stored;
    CopyFacts(stored, record);
    stored.persistentIsGuid = PersistentIdAsGuid(record.persistentId, stored.persistentGuid);
    std::uint32_t *texts = stored.texts;
    texts[kName] = Keep(record.name);
    texts[kOriginalFileName] = Keep(record.originalFileName, &texts[kName]);
    texts[kListingName] = Keep(record.listingName, &texts[kOriginalFileName]);
    texts[kObjectId] = Keep(record.objectId);
    texts[kParentId] = Keep(record.parentId, entries_.empty() ? nullptr : &entries_.back().texts[kParentId]);
    texts[kPersistentId] = stored.persistentIsGuid ? 0 : Keep(record.persistentId);
    entries_.push_back(stored);
}

FolderEntry FolderEntries::operator[](size_t index) const {
    const Stored &stored = entries_[index];
    FolderEntry entry = {};
    entry.name = TextAt(stored.texts[kName]);
    entry.originalFileName = TextAt(stored.texts[kOriginalFileName]);
    entry.listingName = TextAt(stored.texts[kListingName]);
    entry.objectId = TextAt(stored.texts[kObjectId]);
    entry.parentId = TextAt(stored.texts[kParentId]);
    CopyFacts(entry, stored);
    return entry;
}

ObjectRecord FolderEntries::Record(size_t index) const {
    const Stored &stored = entries_[index];
    const FolderEntry entry = (*this)[index];
    ObjectRecord record = {};
    // Every text came from a record's field of the same size: it fits.
    CopyBounded(record.name, entry.name);
    CopyBounded(record.originalFileName, entry.originalFileName);
    CopyBounded(record.listingName, entry.listingName);
    CopyBounded(record.objectId, entry.objectId);
    CopyBounded(record.parentId, entry.parentId);
    if (stored.persistentIsGuid) {
        StringFromGUID2(stored.persistentGuid, record.persistentId, kObjectIdChars);
    } else {
        CopyBounded(record.persistentId, TextAt(stored.texts[kPersistentId]));
    }
    CopyFacts(record, entry);
    return record;
}
