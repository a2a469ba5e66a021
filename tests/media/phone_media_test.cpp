// Folder listings, path resolution and storage sizes through the exports, against a virtual phone.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fieldrec.h"
#include "orvik.h"
#include "support/phone_fixture.h"
#include "win/unique_any.h"

namespace {

constexpr unsigned long long kGiB = 1ull << 30;
constexpr unsigned long long kSongBytes = 3145728;

double OleDate(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = {year, month, 0, day, hour, minute, second, 0};
    double date = 0;
    SystemTimeToVariantTime(&time, &date);
    return date;
}

// Deletable, visible, modified at that date.
vphone::ObjectAttributes ModifiedAt(double date) {
    vphone::ObjectAttributes attributes;
    attributes.dateModified = date;
    attributes.hidden = false;
    attributes.canDelete = true;
    return attributes;
}

// The standard test phone and a third storage; Card\Music holds the song and the folder of the worked
// example (in the opposite enumeration order), and a text file of no known type.
class PhoneMediaTest : public orvik_test::PhoneTest {
protected:
    virtual vphone::PhoneProfile Profile() const { return vphone::DefaultProfile(); }
    std::shared_ptr<vphone::Phone> MakePhone() override {
        vphone::PhoneBuilder builder = orvik_test::StandardPhone(Profile());
        builder.Storage(L"Phone", 3 * kGiB)
            .Folder(L"\\Card\\Music\\Live", ModifiedAt(OleDate(2008, 2, 1, 9, 30, 0)))
            .Attributes(L"\\Card\\Music\\song.mp3", ModifiedAt(OleDate(2008, 3, 5, 14, 7, 9)))
            .File(L"\\Card\\Music\\notes.txt", vphone::TextData("left out"))
            .Folder(L"\\Card\\Empty")
            .Folder(L"\\Card\\Bj\u00f6rk");
        return builder.Build();
    }

    void SetUp() override {
        PhoneTest::SetUp();
        handle_ = ConnectedHandle();
        ClearLog();
    }

    // The listing text; "(null)" for a null pointer, "(untouched)" when the pointer was not written.
    std::string Listing(const wchar_t *path, WPD_ERROR expected = WPD_ERROR_OK) {
        char untouched = 0;
        char *text = &untouched;
        EXPECT_EQ(WPD_Media_GetFolderListing(handle_, path, &text, 0), expected) << testing::PrintToString(Log());
        if (text == &untouched) return "(untouched)";
        if (!text) return "(null)";
        std::string copy(text);
        FieldrecFree(text);
        return copy;
    }

    // The X_FB_NAME values of a listing, in order.
    static std::vector<std::string> Names(const std::string &listing) {
        std::vector<std::string> names;
        const std::string field = "X_FB_NAME:";
        for (size_t at = listing.find(field); at != std::string::npos; at = listing.find(field, at + 1)) {
            const size_t start = at + field.size();
            names.push_back(listing.substr(start, listing.find("\r\n", start) - start));
        }
        return names;
    }

    bool Logged(const std::string &message) const {
        const auto messages = Log();
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    unsigned long long Bytes(WPD_ERROR (*call)(void *, wchar_t const *, unsigned __int64 *, unsigned long),
                             const wchar_t *path) {
        unsigned __int64 bytes = 0xdeadbeef;
        EXPECT_EQ(call(handle_, path, &bytes, 0), WPD_ERROR_OK);
        return bytes;
    }

    void *handle_ = nullptr;
};

const std::string kMusicListing =
    "BEGIN:VNOTE\r\nX_FB_NAME:song.mp3\r\nX_FB_ITEM:file\r\nX_FB_SIZE:3145728\r\nX_FB_DATE:20080305T140709\r\n"
    "X_FB_ATTRIBUT: \r\nEND:VNOTE\r\n"
    "BEGIN:VNOTE\r\nX_FB_NAME:Live\r\nX_FB_ITEM:folder\r\nX_FB_SIZE:0\r\nX_FB_DATE:20080201T093000\r\n"
    "X_FB_ATTRIBUT: \r\nEND:VNOTE\r\n";

// Listings, paths and sizes read alike from a phone of either profile.
class Listings : public PhoneMediaTest, public testing::WithParamInterface<vphone::PhoneProfile> {
protected:
    vphone::PhoneProfile Profile() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Profiles, Listings, orvik_test::EachProfile(), orvik_test::ProfileName);

TEST_P(Listings, ListsAFolderInEnumerationOrder) {
    EXPECT_EQ(Listing(L"\\Card\\Music"), kMusicListing);
    EXPECT_TRUE(Logged("FillFolderList Done"));
}

TEST_P(Listings, SpellingsOfOneFolderResolveAlike) {
    EXPECT_EQ(Listing(L"Card\\Music\\"), kMusicListing);
    EXPECT_EQ(Listing(L"\\Card\\\\Music"), kMusicListing);
}

TEST_P(Listings, EmptyFolderGivesOkAndANullPointer) {
    EXPECT_EQ(Listing(L"\\Card\\Empty"), "(null)");
    EXPECT_EQ(Listing(L"\\Card\\Music\\\\Live"), "(null)");
}

// A file whose name is a folder component is taken as that folder, and nothing lies below it.
TEST_F(PhoneMediaTest, FileNamedLikeAFolderComponentIsTakenAsTheFolder) {
    EXPECT_EQ(Listing(L"\\Card\\Music\\song"), "(null)");
}

TEST_P(Listings, RootListsTheStoragesAsFolders) {
    for (const wchar_t *root : {static_cast<const wchar_t *>(nullptr), L"", L"\\"}) {
        const std::string listing = Listing(root);
        EXPECT_EQ(Names(listing), (std::vector<std::string>{"Card", "Phone memory", "Phone"})) << listing;
        EXPECT_EQ(listing.find("X_FB_ITEM:file"), std::string::npos) << listing;
    }
}

TEST_P(Listings, StorageTopLevelWithUtf8Names) {
    EXPECT_EQ(Names(Listing(L"\\Card")), (std::vector<std::string>{"Music", "Photos", "Empty", "Bj\xC3\xB6rk"}));
}

TEST_P(Listings, UnresolvedPathsFailAndLeaveThePointer) {
    EXPECT_EQ(Listing(L"\\card", WPD_ERROR_FAILED), "(untouched)");
    EXPECT_TRUE(Logged("Path \\card not found, aborting folder listing"));
    EXPECT_TRUE(Logged("FillFolderList failed, hr = 80004005"));

    EXPECT_EQ(Listing(L"\\Card\\Music\\Studio\\x", WPD_ERROR_FAILED), "(untouched)");
    EXPECT_TRUE(Logged("Folder \"Studio\" in path \"Music\\Studio\\x\" not found, aborting folder listing"));
}

TEST_P(Listings, BusyDeviceMapsToBusy) {
    phone_->Controls().FailEveryCall("IPortableDevice::Capabilities", HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_EQ(Listing(L"\\Card\\Music", WPD_ERROR_BUSY), "(untouched)");
    unsigned __int64 bytes = 1;
    EXPECT_EQ(WPD_Media_GetTotalMemory(handle_, nullptr, &bytes, 0), WPD_ERROR_BUSY);
    EXPECT_EQ(bytes, 0u);
}

TEST_P(Listings, StorageSizesAddUpAbove4GiB) {
    EXPECT_EQ(Bytes(WPD_Media_GetTotalMemory, nullptr), 12 * kGiB);
    EXPECT_EQ(Bytes(WPD_Media_GetTotalMemory, L"Card"), 8 * kGiB);
    EXPECT_EQ(Bytes(WPD_Media_GetTotalMemory, L"card\\Music"), 8 * kGiB);
    EXPECT_EQ(Bytes(WPD_Media_GetTotalMemory, L"\\Card"), 0u);
    EXPECT_EQ(Bytes(WPD_Media_GetTotalMemory, L"Tape"), 0u);
    EXPECT_EQ(Bytes(WPD_Media_GetAvailableMemory, L"PHONE"), 3 * kGiB);
    EXPECT_EQ(Bytes(WPD_Media_GetAvailableMemory, nullptr), 12 * kGiB - kSongBytes - 8);
    // Storage names match whole and without regard to case: "phone" is not "Phone memory".
    EXPECT_EQ(Bytes(WPD_Media_GetTotalMemory, L"phone MEMORY"), kGiB);
}

TEST_P(Listings, ListingAndSizesLeaveTheLocationAlone) {
    ASSERT_EQ(Listing(L"\\Card\\Music"), kMusicListing);
    EXPECT_EQ(Bytes(WPD_Media_GetTotalMemory, L"Phone"), 3 * kGiB);
    ASSERT_EQ(Listing(L"\\Card\\Music"), kMusicListing);
}

// Profiles with and without bulk reads.
vphone::PhoneProfile WithoutBulk(vphone::PhoneProfile profile) {
    profile.name += L"_nobulk";
    profile.bulkProperties = false;
    return profile;
}

// A folder of entries of every kind: a hidden protected file above 4 GiB, a folder, a playlist, a file
// of no known type (left out), one whose name is its format's extension in capitals, and one whose
// name is long enough that a phone spelling paths in its ids gives it an id that does not fit.
class MixedListings : public PhoneMediaTest, public testing::WithParamInterface<vphone::PhoneProfile> {
protected:
    vphone::PhoneProfile Profile() const override { return GetParam(); }
    std::shared_ptr<vphone::Phone> MakePhone() override {
        vphone::ObjectAttributes hiddenAndProtected = ModifiedAt(OleDate(2009, 5, 14, 21, 30, 0));
        hiddenAndProtected.hidden = true;
        hiddenAndProtected.canDelete = false;
        vphone::PhoneBuilder builder = orvik_test::StandardPhone(Profile());
        builder.Storage(L"Phone", 3 * kGiB)
            .Folder(L"\\Card\\Mixed")
            .File(L"\\Card\\Mixed\\Caf\u00e9 del Mar.mp3", vphone::PatternData(5 * kGiB), hiddenAndProtected)
            .Folder(L"\\Card\\Mixed\\Live", ModifiedAt(OleDate(2008, 2, 1, 9, 30, 0)))
            .File(L"\\Card\\Mixed\\mix.m3u", vphone::TextData("Live/a.mp3\r\n"))
            .File(L"\\Card\\Mixed\\notes.txt", vphone::TextData("left out"))
            .File(L"\\Card\\Mixed\\photo.JPG", vphone::TextData("jpeg"))
            .File(L"\\Card\\Mixed\\" + std::wstring(90, L'n') + L".mp3", vphone::TextData("long"));
        return builder.Build();
    }
};

INSTANTIATE_TEST_SUITE_P(Profiles, MixedListings,
                         testing::Values(vphone::DefaultProfile(), vphone::AndroidProfile(),
                                         WithoutBulk(vphone::DefaultProfile())),
                         orvik_test::ProfileName);

// Records and log lines are the same whether the entries come in one bulk read or one by one (where
// bulk reads fail, or the phone has none).
TEST_P(MixedListings, BulkAndSingleReadsGiveTheSameRecords) {
    const std::wstring photo = *phone_->FindPath(L"\\Card\\Mixed\\photo.JPG");
    phone_->Controls().MakeUnreadable(wpd::WPD_OBJECT_DATE_MODIFIED, E_ACCESSDENIED, photo);
    auto &controls = phone_->Controls();
    const std::string listed = Listing(L"\\Card\\Mixed");
    const std::vector<std::string> log = Log();
    // The three storages and the three folders of \Card one by one, the six entries of \Card\Mixed in
    // bulk where the phone has it.
    const bool bulk = GetParam().bulkProperties;
    EXPECT_EQ(controls.CallCount("IPortableDevicePropertiesBulk::Start"), bulk ? 1u : 0u);
    EXPECT_EQ(controls.CallCount("IPortableDeviceProperties::GetValues"), bulk ? 3u + 3u : 3u + 3u + 6u);
    EXPECT_EQ(Names(listed).size(), GetParam().pathObjectIds ? 4u : 5u) << listed;
    EXPECT_NE(listed.find("X_FB_SIZE:5368709120\r\nX_FB_DATE:20090514T213000\r\nX_FB_ATTRIBUT:readonly hidden\r\n"),
              std::string::npos) << listed;

    ClearLog();
    controls.FailEveryCall("IPortableDevicePropertiesBulkCallback::OnProgress", E_FAIL);
    EXPECT_EQ(Listing(L"\\Card\\Mixed"), listed);
    EXPECT_EQ(Log(), log);
}

// Another client deletes an entry after the listing queued its bulk read and before the phone serves
// it: the phone leaves it out of the results, and the listing reads it on its own and goes on without it.
TEST_P(MixedListings, AnEntryMissingFromTheBulkResultsIsReadOnItsOwn) {
    if (!GetParam().bulkProperties) GTEST_SKIP() << "no bulk reads";
    const std::wstring live = *phone_->FindPath(L"\\Card\\Mixed\\Live");
    win::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    phone_->Worker().Post([&] { WaitForSingleObject(release.get(), 10000); });  // holds the phone's thread
    std::string listed;
    std::thread host([&] { listed = Listing(L"\\Card\\Mixed"); });
    for (int waited = 0; phone_->Controls().CallCount("IPortableDevicePropertiesBulk::Start") == 0 && waited < 10000;
         ++waited) {
        Sleep(1);
    }
    EXPECT_EQ(phone_->Delete(live, true), S_OK);
    SetEvent(release.get());
    host.join();
    EXPECT_EQ(Names(listed).size(), GetParam().pathObjectIds ? 3u : 4u) << listed;
    EXPECT_EQ(listed.find("Live"), std::string::npos) << listed;
    EXPECT_TRUE(Logged("Object " + std::string(live.begin(), live.end()) + " is gone, left out of the listing"));
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceProperties::GetValues"), 3u + 3u + 1u);
}

// Names that two children share: folders TwinA and TwinB both named Twin, and b.mp3 named a, so that
// it lists as a.mp3 beside the real a.mp3.
class SameNames : public PhoneMediaTest {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override {
        vphone::ObjectAttributes twin;
        twin.name = L"Twin";
        vphone::ObjectAttributes shownAsA;
        shownAsA.name = L"a";
        vphone::PhoneBuilder builder = orvik_test::StandardPhone();
        builder.Folder(L"\\Card\\TwinA", twin)
            .File(L"\\Card\\TwinA\\first.mp3", vphone::TextData("1"))
            .Folder(L"\\Card\\TwinB", twin)
            .File(L"\\Card\\TwinB\\second.mp3", vphone::TextData("2"))
            .File(L"\\Card\\Music\\a.mp3", vphone::TextData("first"))
            .File(L"\\Card\\Music\\b.mp3", vphone::TextData("second"), shownAsA);
        return builder.Build();
    }
};

TEST_F(SameNames, TheFirstInEnumerationOrderWins) {
    // A folder component matches names: Twin is TwinA.
    EXPECT_EQ(Names(Listing(L"\\Card\\Twin")), std::vector<std::string>{"first.mp3"});
    EXPECT_EQ(Names(Listing(L"\\Card\\Music")), (std::vector<std::string>{"song.mp3", "a.mp3", "a.mp3"}));
    // A file matches what the listing shows: the first a.mp3 goes, the second stays and is found next.
    ASSERT_EQ(WPD_Media_DeleteFile(handle_, L"\\Card\\Music\\a.mp3", 0), WPD_ERROR_OK);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\a.mp3"));
    ASSERT_TRUE(phone_->FindPath(L"\\Card\\Music\\b.mp3"));
    ASSERT_EQ(WPD_Media_DeleteFile(handle_, L"\\Card\\Music\\a.mp3", 0), WPD_ERROR_OK);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\b.mp3"));
}

// A folder of 1005 songs: its enumeration takes two fetches of ids.
class BrokenEnumeration : public PhoneMediaTest {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override {
        vphone::PhoneBuilder builder = orvik_test::StandardPhone();
        builder.Folder(L"\\Card\\Many");
        for (int i = 0; i < 1005; ++i) {
            builder.File(L"\\Card\\Many\\track" + std::to_wstring(i) + L".mp3", vphone::TextData("x"));
        }
        return builder.Build();
    }
};

// The listing fails, and the entries read before the break stay the folder's entries: a bare name finds
// one of the first fetch and none of the second.
TEST_F(BrokenEnumeration, KeepsTheEntriesReadBeforeTheBreak) {
    // The ids of \Card take two fetches, those of \Card\Many the next ones.
    phone_->Controls().FailCall("IEnumPortableDeviceObjectIDs::Next", 4, HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_EQ(Listing(L"\\Card\\Many", WPD_ERROR_BUSY), "(untouched)");
    EXPECT_EQ(Log(), (std::vector<std::string>{"Getting enumerated object failed, hr = 800700aa",
                                               "Failed to enumerate files in path \"\\Card\\Many\", aborting folder "
                                               "listing",
                                               "FillFolderList failed, hr = 800700aa"}));
    EXPECT_EQ(WPD_Media_DeleteFile(handle_, L"track1002.mp3", 0), WPD_ERROR_FAILED);
    ASSERT_EQ(WPD_Media_DeleteFile(handle_, L"track3.mp3", 0), WPD_ERROR_OK);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Many\\track3.mp3"));
    EXPECT_TRUE(phone_->FindPath(L"\\Card\\Many\\track1002.mp3"));
}

// Another client deletes an object between the listing of a folder's ids and the reading of its
// properties: the listing, and every path through the folder, go on without it.
TEST_P(Listings, AnEntryGoneBeforeItIsReadIsLeftOut) {
    constexpr HRESULT kGone = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // Bulk reads fail, so every entry is read on its own, as where the phone has none.
    phone_->Controls().FailEveryCall("IPortableDevicePropertiesBulkCallback::OnProgress", E_FAIL);
    // Three storages, the four folders of \Card, then the first entry of \Card\Music.
    phone_->Controls().FailCall("IPortableDeviceProperties::GetValues", 3 + 4 + 1, kGone);
    EXPECT_EQ(Names(Listing(L"\\Card\\Music")), std::vector<std::string>{"Live"});
    const std::wstring song = *phone_->FindPath(L"\\Card\\Music\\song.mp3");
    EXPECT_TRUE(Logged("Object " + std::string(song.begin(), song.end()) + " is gone, left out of the listing"));
    // The second folder of \Card goes while \Card\Music\Live is looked up through \Card.
    phone_->Controls().FailCall("IPortableDeviceProperties::GetValues", 3 + 2, kGone);
    EXPECT_EQ(Listing(L"\\Card\\Music\\Live"), "(null)");
}

struct ListingFault {
    const char *method;
    unsigned nth;
    HRESULT hr;
    WPD_ERROR result;
    std::vector<std::string> log;
};

class ListingFaults : public PhoneMediaTest, public testing::WithParamInterface<ListingFault> {};

// Each call site of a listing: its failure gives the mapped result, the lines of every level it passes
// through, and leaves the host's pointer alone (the fixture checks that nothing stays referenced).
TEST_P(ListingFaults, GiveTheMappedResultAndTheirLines) {
    phone_->Controls().FailCall(GetParam().method, GetParam().nth, GetParam().hr);
    EXPECT_EQ(Listing(L"\\Card\\Music", GetParam().result), "(untouched)");
    EXPECT_EQ(Log(), GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    CallSites, ListingFaults,
    testing::Values(
        ListingFault{"IPortableDevice::Capabilities", 1, E_ACCESSDENIED, WPD_ERROR_FAILED,
                     {"Getting device capabilities failed, hr = 80070005", "EnumStorages failed, hr = 80070005",
                      "FillFolderList failed, hr = 80070005"}},
        ListingFault{"IPortableDeviceCapabilities::GetFunctionalObjects", 1, HRESULT_FROM_WIN32(ERROR_BUSY),
                     WPD_ERROR_BUSY,
                     {"GetFunctionalObjects failed, hr = 800700aa", "EnumStorages failed, hr = 800700aa",
                      "FillFolderList failed, hr = 800700aa"}},
        ListingFault{"IPortableDeviceProperties::GetValues", 1, E_FAIL, WPD_ERROR_FAILED,
                     {"Getting properties values failed, hr = 80004005", "Getting value for object 0 failed, hr = 80004005",
                      "EnumStorages failed, hr = 80004005", "FillFolderList failed, hr = 80004005"}},
        ListingFault{"IPortableDeviceContent::EnumObjects", 1, E_FAIL, WPD_ERROR_FAILED,
                     {"EnumObjects failed, hr = 80004005",
                      "Enumerating objects for folder/stotrage [s10001] failed, hr = 80004005",
                      "Folder \"Music\" in path \"Music\" not found, aborting folder listing",
                      "FillFolderList failed, hr = 80004005"}},
        ListingFault{"IEnumPortableDeviceObjectIDs::Next", 2, HRESULT_FROM_WIN32(ERROR_BUSY), WPD_ERROR_BUSY,
                     {"Getting enumerated object failed, hr = 800700aa",
                      "Enumerating objects for folder/stotrage [s10001] failed, hr = 800700aa",
                      "Folder \"Music\" in path \"Music\" not found, aborting folder listing",
                      "FillFolderList failed, hr = 800700aa"}},
        ListingFault{"IPortableDeviceContent::EnumObjects", 2, E_FAIL, WPD_ERROR_FAILED,
                     {"EnumObjects failed, hr = 80004005",
                      "Failed to enumerate files in path \"\\Card\\Music\", aborting folder listing",
                      "FillFolderList failed, hr = 80004005"}}));

}  // namespace
