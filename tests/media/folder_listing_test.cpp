#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fieldrec.h"
#include "media/folder_list.h"
#include "media/record_library.h"
#include "media_test_support.h"

using media_test::NamedRecord;

namespace {

constexpr GUID kAudio = wpd::WPD_CONTENT_TYPE_AUDIO;
constexpr GUID kFolder = wpd::WPD_CONTENT_TYPE_FOLDER;

// Builds listings with the real fieldrec.dll, loaded from beside the test program as the library does.
class FolderListingTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(records_.Load(), S_OK) << "fieldrec.dll beside the test program"; }

    std::string Listing(const std::vector<ObjectRecord> &records) {
        FolderEntries list;
        for (const ObjectRecord &record : records) list.Add(record);
        char *text = reinterpret_cast<char *>(0x1);
        EXPECT_EQ(CFolderList::BuildFolderListing(&text, list, records_), S_OK);
        if (!text) return "(null)";
        std::string copy(text);
        FieldrecFree(text);
        return copy;
    }

    // The value of one field of a one-entry listing.
    std::string Field(const ObjectRecord &entry, const std::string &name) {
        const std::string text = Listing({entry});
        const size_t start = text.find("\r\n" + name + ":");
        if (start == std::string::npos) return "(missing)";
        const size_t valueStart = start + name.size() + 3;
        return text.substr(valueStart, text.find("\r\n", valueStart) - valueStart);
    }

    static ObjectRecord File(const wchar_t *listingName) {
        ObjectRecord record = {};
        wcscpy_s(record.listingName, listingName);
        record.canDelete = TRUE;
        return record;
    }

    RecordLibrary records_;
};

TEST_F(FolderListingTest, WorkedExampleByteForByte) {
    ObjectRecord live = NamedRecord({L"Live", L"Live", &kFolder, nullptr});
    live.dateModified = {2008, 2, 0, 1, 9, 30, 0, 0};
    live.canDelete = TRUE;
    ObjectRecord song = NamedRecord({L"song", L"song.mp3", &kAudio, &media_test::kMp3});
    song.size = 3145728;
    song.dateModified = {2008, 3, 0, 5, 14, 7, 9, 0};
    song.canDelete = TRUE;

    EXPECT_EQ(Listing({live, song}),
              "BEGIN:VNOTE\r\nX_FB_NAME:Live\r\nX_FB_ITEM:folder\r\nX_FB_SIZE:0\r\nX_FB_DATE:20080201T093000\r\n"
              "X_FB_ATTRIBUT: \r\nEND:VNOTE\r\n"
              "BEGIN:VNOTE\r\nX_FB_NAME:song.mp3\r\nX_FB_ITEM:file\r\nX_FB_SIZE:3145728\r\nX_FB_DATE:20080305T140709\r\n"
              "X_FB_ATTRIBUT: \r\nEND:VNOTE\r\n");
}

TEST_F(FolderListingTest, EmptyListGivesANullText) { EXPECT_EQ(Listing({}), "(null)"); }

TEST_F(FolderListingTest, AttributesJoinTwoWordsWithOneSpace) {
    ObjectRecord entry = File(L"a.mp3");
    EXPECT_EQ(Field(entry, "X_FB_ATTRIBUT"), " ");
    entry.isHidden = TRUE;
    EXPECT_EQ(Field(entry, "X_FB_ATTRIBUT"), " hidden");
    entry.canDelete = FALSE;
    EXPECT_EQ(Field(entry, "X_FB_ATTRIBUT"), "readonly hidden");
    entry.isHidden = FALSE;
    EXPECT_EQ(Field(entry, "X_FB_ATTRIBUT"), "readonly ");
}

TEST_F(FolderListingTest, SizesDatesAndKinds) {
    ObjectRecord entry = File(L"big.avi");
    entry.size = 5368709120ull;  // above 4 GiB
    EXPECT_EQ(Field(entry, "X_FB_SIZE"), "5368709120");
    EXPECT_EQ(Field(entry, "X_FB_DATE"), "00000T000000");
    EXPECT_EQ(Field(entry, "X_FB_ITEM"), "file");
    entry.isPlaylist = TRUE;
    EXPECT_EQ(Field(entry, "X_FB_ITEM"), "playlist");
    entry.isFolder = TRUE;
    EXPECT_EQ(Field(entry, "X_FB_ITEM"), "folder");
}

TEST_F(FolderListingTest, NamesArriveInUtf8) {
    EXPECT_EQ(Field(File(L"Bj\u00f6rk \u2013 J\u00f3ga \U0001F3B5.mp3"), "X_FB_NAME"),
              "Bj\xC3\xB6rk \xE2\x80\x93 J\xC3\xB3ga \xF0\x9F\x8E\xB5.mp3");
    // The longest name, three bytes a unit, fits its buffer whole.
    const std::wstring longest(kNameChars - 1, L'\u4E2D');
    std::string expected;
    for (size_t i = 0; i < longest.size(); ++i) expected += "\xE4\xB8\xAD";
    EXPECT_EQ(Field(File(longest.c_str()), "X_FB_NAME"), expected);
}

TEST_F(FolderListingTest, NamesCannotForgeRecords) {
    const std::string text = Listing({File(L"x\r\nEND:VNOTE\r\nBEGIN:VNOTE"), File(L"back\\slash;comma,")});
    EXPECT_NE(text.find("X_FB_NAME:x\\r\\nEND:VNOTE\\r\\nBEGIN:VNOTE\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("X_FB_NAME:back\\\\slash;comma,\r\n"), std::string::npos) << text;
    size_t records = 0;
    for (size_t at = text.find("END:VNOTE\r\n"); at != std::string::npos; at = text.find("END:VNOTE\r\n", at + 1)) {
        if (at == 0 || text[at - 1] == '\n') ++records;
    }
    EXPECT_EQ(records, 2u);
}

}  // namespace
