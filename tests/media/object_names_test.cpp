#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "media/folder_list.h"
#include "media_test_support.h"

using media_test::NamedRecord;
using media_test::ObjectProperties;
using media_test::ValuesOf;

namespace {

constexpr GUID kAudio = wpd::WPD_CONTENT_TYPE_AUDIO;
constexpr GUID kImage = wpd::WPD_CONTENT_TYPE_IMAGE;
constexpr GUID kFolder = wpd::WPD_CONTENT_TYPE_FOLDER;
constexpr GUID kStorage = wpd::WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT;
constexpr GUID kPlaylist = wpd::WPD_CONTENT_TYPE_PLAYLIST;
constexpr GUID kUnspecified = wpd::WPD_CONTENT_TYPE_UNSPECIFIED;
constexpr GUID kUnspecifiedFormat = wpd::WPD_OBJECT_FORMAT_UNSPECIFIED;

struct NamesCase {
    const char *label;
    ObjectProperties object;
    const wchar_t *name;
    const wchar_t *listingName;
    BOOL known;
    BOOL isFolder;
    BOOL isPlaylist;
    GUID format;
};

void PrintTo(const NamesCase &c, std::ostream *out) { *out << c.label; }

class FillObjectNamesTest : public testing::TestWithParam<NamesCase> {};

TEST_P(FillObjectNamesTest, NamesAndKind) {
    const NamesCase &c = GetParam();
    BOOL known = FALSE;
    const ObjectRecord record = NamedRecord(c.object, &known);
    EXPECT_STREQ(record.name, c.name);
    EXPECT_STREQ(record.listingName, c.listingName);
    EXPECT_EQ(known, c.known);
    EXPECT_EQ(record.isFolder, c.isFolder);
    EXPECT_EQ(record.isPlaylist, c.isPlaylist);
    EXPECT_TRUE(IsEqualGUID(record.format, c.format));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillObjectNamesTest,
    testing::Values(
        NamesCase{"nameless file named after its original file name",
                  {L"", L"track01.mp3", &kAudio, &media_test::kMp3}, L"track01", L"track01.mp3", TRUE, FALSE, FALSE,
                  media_test::kMp3},
        NamesCase{"format extension appended", {L"Summer", nullptr, &kImage, &media_test::kJfif}, L"Summer",
                  L"Summer.jpg", TRUE, FALSE, FALSE, media_test::kJfif},
        NamesCase{"extension of the format in capitals kept", {L"IMG_0001.JPG", nullptr, &kImage, &media_test::kJfif},
                  L"IMG_0001.JPG", L"IMG_0001.JPG", TRUE, FALSE, FALSE, media_test::kJfif},
        NamesCase{"any extension of the format kept", {L"image.jpeg", nullptr, &kImage, &media_test::kJfif},
                  L"image.jpeg", L"image.jpeg", TRUE, FALSE, FALSE, media_test::kJfif},
        NamesCase{"extension of another format gets the format's", {L"cover.png", nullptr, &kImage, &media_test::kJfif},
                  L"cover.png", L"cover.png.jpg", TRUE, FALSE, FALSE, media_test::kJfif},
        NamesCase{"matching extension kept", {L"song.mp3", L"song.mp3", &kAudio, &media_test::kMp3}, L"song.mp3",
                  L"song.mp3", TRUE, FALSE, FALSE, media_test::kMp3},
        NamesCase{"folder shown by its original file name", {L"Music", L"MUSIC", &kFolder, &media_test::kAssociation},
                  L"Music", L"MUSIC", TRUE, TRUE, FALSE, GUID{}},
        NamesCase{"storage without original file name keeps its name", {L"Card", nullptr, &kStorage, nullptr},
                  L"Card", L"Card", TRUE, TRUE, FALSE, GUID{}},
        NamesCase{"unspecified type of an unlisted extension is unknown", {L"notes", L"notes.txt", &kUnspecified,
                  &kUnspecifiedFormat}, L"notes", L"notes.txt", FALSE, FALSE, FALSE, kUnspecifiedFormat},
        NamesCase{"unspecified type and format taken from the extension",
                  {L"song", L"song.mp3", &kUnspecified, &kUnspecifiedFormat}, L"song", L"song.mp3", TRUE, FALSE,
                  FALSE, media_test::kMp3},
        NamesCase{"unreadable type is a known file", {L"readme", L"readme.txt", nullptr, nullptr}, L"readme",
                  L"readme.txt", TRUE, FALSE, FALSE, GUID{}},
        NamesCase{"playlist", {L"mix", nullptr, &kPlaylist, &media_test::kM3u}, L"mix", L"mix.m3u", TRUE, FALSE, TRUE,
                  media_test::kM3u}));

TEST(FillObjectNames, NeverClearsKnown) {
    ObjectRecord record = {};
    BOOL known = TRUE;
    CFolderList::FillObjectNames(record, ValuesOf({L"notes", L"notes.txt", &kUnspecified, nullptr}).Get(), known);
    EXPECT_EQ(known, TRUE);
}

TEST(TypedReads, CutLongNamesAtTheFieldAndSayTheyDid) {
    const std::wstring longName(300, L'n');
    ObjectRecord record = {};
    EXPECT_FALSE(CFolderList::GetStringProperty(ValuesOf({longName.c_str()}).Get(), wpd::WPD_OBJECT_NAME, record.name));
    EXPECT_EQ(std::wstring(record.name), longName.substr(0, kNameChars - 1));

    // FillObjectNames cuts the same way.
    const ObjectRecord named = NamedRecord({longName.c_str(), nullptr, &kFolder, nullptr});
    EXPECT_EQ(std::wstring(named.name), longName.substr(0, kNameChars - 1));
    EXPECT_EQ(std::wstring(named.listingName), longName.substr(0, kNameChars - 1));
}

TEST(TypedReads, NeverCutInsideASurrogatePair) {
    // U+1F600 straddles the last place of the field: it goes whole.
    const std::wstring name = std::wstring(kNameChars - 2, L'a') + L"\xD83D\xDE00" + L"z";
    ObjectRecord record = {};
    EXPECT_FALSE(CFolderList::GetStringProperty(ValuesOf({name.c_str()}).Get(), wpd::WPD_OBJECT_NAME, record.name));
    EXPECT_EQ(std::wstring(record.name), std::wstring(kNameChars - 2, L'a'));
}

TEST(TypedReads, MissingOrMistypedValuesLeaveZeroes) {
    auto values = ValuesOf({});
    values->SetUnsignedIntegerValue(wpd::WPD_OBJECT_DATE_MODIFIED, 39512);  // a number, not a date
    values->SetStringValue(wpd::WPD_OBJECT_SIZE, L"12");

    wchar_t text[kObjectIdChars] = L"stale";
    GUID guid = {0xdeadbeef, 0, 0, {}};
    unsigned long long size = 0xdeadbeef;
    BOOL flag = 0xdeadbeef;
    SYSTEMTIME date;
    memset(&date, 0xcd, sizeof date);
    EXPECT_TRUE(CFolderList::GetStringProperty(values.Get(), wpd::WPD_OBJECT_ID, text));
    CFolderList::GetGuidProperty(values.Get(), wpd::WPD_OBJECT_FORMAT, guid);
    CFolderList::GetUInt64Property(values.Get(), wpd::WPD_OBJECT_SIZE, size);
    CFolderList::GetBoolProperty(values.Get(), wpd::WPD_OBJECT_ISHIDDEN, flag);
    CFolderList::GetDateProperty(values.Get(), wpd::WPD_OBJECT_DATE_MODIFIED, date);

    EXPECT_STREQ(text, L"");
    EXPECT_TRUE(IsEqualGUID(guid, GUID{}));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(flag, FALSE);
    const SYSTEMTIME zero = {};
    EXPECT_EQ(memcmp(&date, &zero, sizeof date), 0);
}

TEST(TypedReads, ReadDatesAndLargeSizes) {
    auto values = ValuesOf({});
    PROPVARIANT modified;
    PropVariantInit(&modified);
    modified.vt = VT_DATE;
    SYSTEMTIME when = {2008, 3, 0, 5, 14, 7, 9, 0};
    ASSERT_TRUE(SystemTimeToVariantTime(&when, &modified.date));
    values->SetValue(wpd::WPD_OBJECT_DATE_MODIFIED, &modified);
    values->SetUnsignedLargeIntegerValue(wpd::WPD_STORAGE_CAPACITY, 5ull << 30);

    SYSTEMTIME date = {};
    unsigned long long capacity = 0;
    CFolderList::GetDateProperty(values.Get(), wpd::WPD_OBJECT_DATE_MODIFIED, date);
    CFolderList::GetUInt64Property(values.Get(), wpd::WPD_STORAGE_CAPACITY, capacity);
    EXPECT_EQ(date.wYear, 2008);
    EXPECT_EQ(date.wMonth, 3);
    EXPECT_EQ(date.wDay, 5);
    EXPECT_EQ(date.wHour, 14);
    EXPECT_EQ(date.wMinute, 7);
    EXPECT_EQ(date.wSecond, 9);
    EXPECT_EQ(capacity, 5ull << 30);
}

struct NewObjectCase {
    const wchar_t *path;
    BOOL isFolder;
    const wchar_t *name;
    const wchar_t *originalFileName;
    GUID contentType;
    GUID format;
};

class PrepareNewObjectTest : public testing::TestWithParam<NewObjectCase> {};

TEST_P(PrepareNewObjectTest, NamesAndTypesFromThePath) {
    const NewObjectCase &c = GetParam();
    CFolderList media(nullptr);
    ObjectRecord record = {};
    media.PrepareNewObject(record, c.isFolder, c.path);
    EXPECT_STREQ(record.name, c.name);
    EXPECT_STREQ(record.originalFileName, c.originalFileName);
    EXPECT_EQ(record.isFolder, c.isFolder);
    EXPECT_TRUE(IsEqualGUID(record.contentType, c.contentType));
    EXPECT_TRUE(IsEqualGUID(record.format, c.format));
    EXPECT_STREQ(record.parentId, L"");  // nothing resolved yet
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrepareNewObjectTest,
    testing::Values(NewObjectCase{L"\\Card\\Songs\\hit.mp3", FALSE, L"hit", L"hit.mp3", kAudio, media_test::kMp3},
                    NewObjectCase{L"\\Card\\Songs\\Hit.MP3", FALSE, L"Hit", L"Hit.MP3", kAudio, media_test::kMp3},
                    NewObjectCase{L"\\Card\\Docs\\read.me", FALSE, L"read.me", L"read.me", kUnspecified,
                                  kUnspecifiedFormat},
                    NewObjectCase{L"\\Card\\My.Album", TRUE, L"My.Album", L"My.Album", kFolder, GUID{}},
                    NewObjectCase{L"bare.jpg", FALSE, L"bare", L"bare.jpg", kImage, media_test::kJfif}));

}  // namespace
