// What a host sends is found again by the path it sent it to, and a replace, cancel or failure never
// costs the phone's copy: on a phone of each profile.
#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

constexpr wchar_t kTen[] = L"\\Card\\Music\\ten.mp3";

using SentObjects = BothProfiles;

// Names phones write with their extension, and extensions that are not the first of their format.
TEST_P(SentObjects, AreFoundAgainByThePathTheyWereSentTo) {
    struct Sent {
        const wchar_t *name;
        const char *listedByDefault;
    };
    WriteLocal(L"x.bin", Pattern(100));
    for (const Sent &sent : {Sent{L"IMG.JPG", "IMG.jpg"}, Sent{L"photo.jpeg", "photo.jpg"}, Sent{L"scan.tiff", "scan.tif"},
                             Sent{L"take.aiff", "take.aif"}, Sent{L"clip.mpeg", "clip.mpg"}, Sent{L"Song.MP3", "Song.mp3"}}) {
        const std::wstring path = std::wstring(L"\\Card\\Photos\\") + sent.name;
        SCOPED_TRACE(testing::PrintToString(path));
        ASSERT_EQ(WPD_Media_PutFile(handle_, path.c_str(), Local(L"x.bin").c_str(), 0), WPD_ERROR_OK);
        EXPECT_EQ(WPD_Media_PutFile(handle_, path.c_str(), Local(L"x.bin").c_str(), 0), WPD_ERROR_ALREADY_EXISTS);
        EXPECT_EQ(WPD_Media_GetFile(handle_, path.c_str(), Local(L"back").c_str(), 0), WPD_ERROR_OK);
        EXPECT_EQ(ReadLocal(L"back"), Pattern(100));
        const std::wstring name(sent.name);
        EXPECT_EQ(ListedNames(L"\\Card\\Photos"), Strings{Android() ? std::string(name.begin(), name.end()) : sent.listedByDefault});
        EXPECT_EQ(WPD_Media_DeleteFile(handle_, path.c_str(), 0), WPD_ERROR_OK);
        EXPECT_TRUE(FileNames(L"\\Card\\Photos").empty());
    }
    // Names match with case: song.mp3 is not Song.MP3.
    EXPECT_EQ(WPD_Media_GetFile(handle_, L"\\Card\\Music\\Song.MP3", Local(L"back").c_str(), 0), WPD_ERROR_FAILED);
}

INSTANTIATE_TEST_SUITE_P(Profiles, SentObjects, EachProfile(), ProfileName);

struct Unfinished {
    const char *name;
    bool replace;                     // onto ten.mp3, or a new up.mp3
    enum { Complete, Cancel, Fail } end;  // at half of the data
    WPD_ERROR result;
};

class UnfinishedUploads : public TransferTest, public testing::WithParamInterface<std::tuple<vphone::PhoneProfile, Unfinished>> {
protected:
    vphone::PhoneProfile Profile() const override { return std::get<0>(GetParam()); }
};

// The old object goes only once the new one is complete; a cancelled or failed upload leaves the folder
// as it was, on a phone that reverts uploads and on one that shows them until they are deleted.
TEST_P(UnfinishedUploads, LeaveThePhonesCopy) {
    const Unfinished &upload = std::get<1>(GetParam());
    phone_->Controls().SetTransferSizes(4096, 4096);
    WriteLocal(L"x.bin", Pattern(40960, 9));
    const std::wstring target = upload.replace ? kTen : L"\\Card\\Music\\up.mp3";
    if (upload.end == Unfinished::Cancel) progress_.cancelAtReport = 5;
    if (upload.end == Unfinished::Fail) phone_->Controls().FailCall("IPortableDeviceDataStream::Write", 6, E_FAIL);
    Monitor();
    const std::vector<std::wstring> before = FileNames(L"\\Card\\Music");
    const Bytes old = PhoneData(kTen);

    EXPECT_EQ(WPD_Media_PutFile(handle_, target.c_str(), Local(L"x.bin").c_str(), upload.replace ? 4 : 0), upload.result)
        << testing::PrintToString(Log());
    std::vector<std::wstring> expected = before;
    if (upload.end == Unfinished::Complete && !upload.replace) expected.push_back(L"up.mp3");
    // A replaced object is sent anew: it comes last.
    if (upload.end == Unfinished::Complete && upload.replace) {
        std::erase(expected, L"ten.mp3");
        expected.push_back(L"ten.mp3");
    }
    EXPECT_EQ(FileNames(L"\\Card\\Music"), expected);
    EXPECT_EQ(PhoneData(kTen), upload.end == Unfinished::Complete && upload.replace ? Pattern(40960, 9) : old);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnfinishedUploads,
    testing::Combine(EachProfile(),
                     testing::Values(Unfinished{"NewComplete", false, Unfinished::Complete, WPD_ERROR_OK},
                                     Unfinished{"NewCancelled", false, Unfinished::Cancel, WPD_ERROR_OK},
                                     Unfinished{"NewFailed", false, Unfinished::Fail, WPD_ERROR_FAILED},
                                     Unfinished{"ReplaceComplete", true, Unfinished::Complete, WPD_ERROR_OK},
                                     Unfinished{"ReplaceCancelled", true, Unfinished::Cancel, WPD_ERROR_OK},
                                     Unfinished{"ReplaceFailed", true, Unfinished::Fail, WPD_ERROR_FAILED})),
    [](const auto &info) {
        return ProfileName({std::get<0>(info.param), info.index}) + "_" + std::get<1>(info.param).name;
    });

// A phone that keeps one object of a name per folder and renames none: the old object goes first.
class NoRenames : public TransferTest {
protected:
    vphone::PhoneProfile Profile() const override {
        vphone::PhoneProfile profile = vphone::AndroidProfile();
        profile.renamesByFileName = false;
        return profile;
    }
};

TEST_F(NoRenames, ReplaceDeletesTheOldObjectFirst) {
    WriteLocal(L"x.bin", Pattern(777, 5));
    EXPECT_EQ(WPD_Media_PutFile(handle_, kTen, Local(L"x.bin").c_str(), 4), WPD_ERROR_OK);
    EXPECT_TRUE(Logged("The phone took no second object named ten.mp3 and renames none: the old one goes first"));
    EXPECT_EQ(PhoneData(kTen), Pattern(777, 5));
}

// A path-based driver's ids run past the library's 80-character field deep in the tree: such objects
// are left out of the listing, with a line naming them.
using PathIds = AndroidTransferTest;

TEST_F(PathIds, ObjectsWithIdsBeyondTheirFieldAreLeftOut) {
    const std::wstring folder = L"\\Card\\Music\\" + std::wstring(60, L'f');
    ASSERT_EQ(WPD_Media_CreateFolder(handle_, folder.c_str(), 0), WPD_ERROR_OK);
    WriteLocal(L"x.bin", Pattern(10));
    ASSERT_EQ(WPD_Media_PutFile(handle_, (folder + L"\\track.mp3").c_str(), Local(L"x.bin").c_str(), 0), WPD_ERROR_OK);
    const std::wstring id = IdOf(folder + L"\\track.mp3");
    ASSERT_GT(id.size(), 80u);
    ClearLog();
    EXPECT_TRUE(ListedNames(folder.c_str()).empty());
    EXPECT_TRUE(Logged("Object ID or parent ID of object " + std::string(id.begin(), id.end()) +
                       " does not fit, object left out"));
}

}  // namespace
}  // namespace transfer_test
