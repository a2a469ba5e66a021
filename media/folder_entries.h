// The entries of one folder, as a listing and the look-ups after it keep them.
//
// A record holds every text at its longest: two kilobytes an entry, which the first listing of a big
// folder would write into memory never used before, page by page. Here an entry's texts take their own
// length in one buffer for the whole folder, and a text an entry shares (the parent id of the entry
// before it, a listing name that is the original file name) is kept once, and a persistent id in the
// platform's GUID form as its sixteen bytes: a tenth of the memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/object_record.h"

// One entry, seen in its list: the texts point into the list and stay valid until it changes. The
// persistent id is in the entry's Record.
struct FolderEntry {
    const wchar_t *name;
    const wchar_t *originalFileName;
    const wchar_t *listingName;
    const wchar_t *objectId;
    const wchar_t *parentId;
    BOOL isFolder;
    BOOL isHidden;
    BOOL canDelete;
    BOOL isPlaylist;
    unsigned long long size;
    SYSTEMTIME dateModified;
    GUID format;
};

class FolderEntries {
public:
    class Iterator {
    public:
        Iterator(const FolderEntries &list, size_t index) : list_(&list), index_(index) {}
        FolderEntry operator*() const { return (*list_)[index_]; }
        Iterator &operator++() {
            ++index_;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return index_ != other.index_; }

    private:
        const FolderEntries *list_;
        size_t index_;
    };

    void Clear();
    // Room for count entries, so that a list of known length is laid out once.
    void Reserve(size_t count);
    // Keeps what a listing shows and looks up of a listed object (not its content type and storage
    // sizes, which listed records do not carry).
    void Add(const ObjectRecord &record);

    size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    FolderEntry operator[](size_t index) const;
    // The entry as a record of its own, for an operation that goes on with that object.
    ObjectRecord Record(size_t index) const;

    Iterator begin() const { return {*this, 0}; }
    Iterator end() const { return {*this, entries_.size()}; }

private:
    enum Text { kName, kOriginalFileName, kListingName, kObjectId, kParentId, kPersistentId, kTextCount };

    struct Stored {
        std::uint32_t texts[kTextCount];  // offsets into texts_
        unsigned long long size;
        SYSTEMTIME dateModified;
        GUID format;
        GUID persistentGuid;  // the persistent id, when persistentIsGuid
        bool persistentIsGuid;
        bool isFolder;
        bool isHidden;
        bool canDelete;
        bool isPlaylist;
    };

    // The offset of text in texts_: shared's when shared holds the same text, else a new copy.
    std::uint32_t Keep(const wchar_t *text, const std::uint32_t *shared = nullptr);
    const wchar_t *TextAt(std::uint32_t offset) const { return texts_.data() + offset; }

    std::vector<Stored> entries_;
    std::vector<wchar_t> texts_;
};
