// A folder's entries come back from their compact form as the records they were made of, whatever
// their texts: persistent ids kept as GUIDs and as text, texts shared between entries, the longest
// names, nothing at all.
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "media/folder_entries.h"

namespace {

ObjectRecord Entry(const wchar_t *name, const wchar_t *parentId, const wchar_t *persistentId) {
    ObjectRecord record = {};
    wcscpy_s(record.name, name);
    wcscpy_s(record.originalFileName, (std::wstring(name) + L".mp3").c_str());
    wcscpy_s(record.listingName, record.originalFileName);
    wcscpy_s(record.objectId, (std::wstring(L"o") + name).c_str());
    wcscpy_s(record.parentId, parentId);
    wcscpy_s(record.persistentId, persistentId);
    record.size = 0x123456789ull;
    record.dateModified = {2026, 12, 1, 7, 8, 9, 10, 0};
    record.format = {0x30090000, 0xAE6C, 0x4804, {0x98, 0xBA, 0xC5, 0x7B, 0x46, 0x96, 0x5F, 0xE7}};
    record.canDelete = TRUE;
    return record;
}

void ExpectSameRecord(const ObjectRecord &actual, const ObjectRecord &expected) {
    EXPECT_STREQ(actual.name, expected.name);
    EXPECT_STREQ(actual.originalFileName, expected.originalFileName);
    EXPECT_STREQ(actual.listingName, expected.listingName);
    EXPECT_STREQ(actual.objectId, expected.objectId);
    EXPECT_STREQ(actual.parentId, expected.parentId);
    EXPECT_STREQ(actual.persistentId, expected.persistentId);
    EXPECT_EQ(!actual.isFolder, !expected.isFolder);
    EXPECT_EQ(!actual.isHidden, !expected.isHidden);
    EXPECT_EQ(!actual.canDelete, !expected.canDelete);
    EXPECT_EQ(!actual.isPlaylist, !expected.isPlaylist);
    EXPECT_EQ(actual.size, expected.size);
    EXPECT_EQ(std::memcmp(&actual.dateModified, &expected.dateModified, sizeof actual.dateModified), 0);
    EXPECT_TRUE(IsEqualGUID(actual.format, expected.format));
}

// A GUID in the platform's text form, braces and upper case.
std::wstring GuidText(const GUID &guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    return text;
}

TEST(FolderEntries, PersistentIdsComeBackInEveryForm) {
    const std::wstring platformForm = GuidText({0x2A, 0x5D3C, 0x4F21, {0x9E, 0x0B, 0, 0, 0, 0, 0, 0x2A}});
    std::wstring lowerCase = platformForm;
    for (wchar_t &c : lowerCase) c = towlower(c);
    std::wstring notADigit = platformForm;
    notADigit[platformForm.size() - 2] = L'G';
    std::wstring notASeparator = platformForm;
    notASeparator[9] = L'_';
    const std::vector<std::wstring> ids = {
        platformForm,
        lowerCase,                                                  // kept as text
        platformForm.substr(1, platformForm.size() - 2),            // no braces
        platformForm + L"x",                                        // more after the GUID
        platformForm.substr(0, platformForm.size() - 2) + L"}",     // a digit short
        notADigit,
        notASeparator,
        GuidText({0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}),
        GuidText(GUID{}),
        L"",
        std::wstring(kObjectIdChars - 1, L'7'),
    };
    FolderEntries list;
    std::vector<ObjectRecord> records;
    for (const std::wstring &id : ids) {
        records.push_back(Entry(std::to_wstring(records.size()).c_str(), L"folder", id.c_str()));
        list.Add(records.back());
    }
    ASSERT_EQ(list.Size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "entry " << i);
        ExpectSameRecord(list.Record(i), records[i]);
    }
}

// Texts one entry shares with the one before it, or within itself, and texts at their longest.
TEST(FolderEntries, SharedAndLongestTextsStayApart) {
    const std::wstring longest(kNameChars - 1, L'n');
    std::vector<ObjectRecord> records = {
        Entry(L"a", L"folder", L""),
        Entry(L"b", L"folder", L""),
        Entry(L"c", L"other", L""),
        Entry(longest.substr(0, kNameChars - 5).c_str(), L"other", L""),
    };
    wcscpy_s(records[1].listingName, L"b listed");
    wcscpy_s(records[2].originalFileName, records[2].name);
    records[2].isFolder = TRUE;
    records[2].isHidden = TRUE;
    records[2].canDelete = FALSE;
    wcscpy_s(records[3].listingName, longest.c_str());
    wcscpy_s(records[3].parentId, std::wstring(kObjectIdChars - 1, L'p').c_str());
    records[3].isPlaylist = TRUE;

    FolderEntries list;
    list.Reserve(1);  // more entries than reserved
    for (const ObjectRecord &record : records) list.Add(record);
    std::vector<std::wstring> listed;
    for (const FolderEntry entry : list) listed.emplace_back(entry.listingName);
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"a.mp3", L"b listed", L"c.mp3", longest}));
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "entry " << i);
        ExpectSameRecord(list.Record(i), records[i]);
    }

    list.Clear();
    EXPECT_TRUE(list.Empty());
    list.Add(records[1]);
    ExpectSameRecord(list.Record(0), records[1]);
}

}  // namespace
