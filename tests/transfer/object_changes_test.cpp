// Creating folders and deleting files and folders through the exports.
#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

using ObjectChanges = BothProfiles;

TEST_P(ObjectChanges, CreatedFolderLiesBelowItsParentAndIsListed) {
    ASSERT_EQ(WPD_Media_CreateFolder(handle_, L"\\Card\\Photos\\2008", 0), WPD_ERROR_OK) << testing::PrintToString(Log());
    const auto folder = phone_->Find(IdOf(L"\\Card\\Photos\\2008"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->kind, vphone::ObjectKind::Folder);
    EXPECT_EQ(folder->name, L"2008");
    EXPECT_EQ(folder->originalFileName, L"2008");
    EXPECT_EQ(folder->parentId, IdOf(L"\\Card\\Photos"));
    // A file of that name may be put into it at once: the look-up sees the new folder.
    WriteLocal(L"x.bin", Pattern(10));
    EXPECT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Photos\\2008\\a.mp3", Local(L"x.bin").c_str(), 0), WPD_ERROR_OK);
}

TEST_P(ObjectChanges, CreatingAnExistingFolderChangesNothingAndSaysNothing) {
    const size_t objects = phone_->Tree().size();
    EXPECT_EQ(WPD_Media_CreateFolder(handle_, L"\\Card\\Music", 0), WPD_ERROR_OK);
    EXPECT_EQ(WPD_Media_CreateFolder(handle_, L"\\Card", 0), WPD_ERROR_OK);
    EXPECT_TRUE(Log().empty()) << testing::PrintToString(Log());
    EXPECT_EQ(phone_->Tree().size(), objects);
}

TEST_P(ObjectChanges, FoldersAreCreatedOneLevelAtATime) {
    EXPECT_EQ(WPD_Media_CreateFolder(handle_, L"\\Card\\New\\Sub", 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(Logged("FindRemoteFile failed, hr = 80004005"));
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\New"));
}

TEST_P(ObjectChanges, DeletingAFolderTakesEverythingBelowIt) {
    ASSERT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Card\\Music\\Live", 0), WPD_ERROR_OK);
    for (const wchar_t *gone : {L"\\Card\\Music\\Live", L"\\Card\\Music\\Live\\encore.mp3", L"\\Card\\Music\\Live\\Extra",
                                L"\\Card\\Music\\Live\\Extra\\bonus.mp3"}) {
        EXPECT_FALSE(phone_->FindPath(gone)) << testing::PrintToString(std::wstring(gone));
    }
    EXPECT_TRUE(phone_->FindPath(L"\\Card\\Music\\song.mp3"));
    ASSERT_EQ(WPD_Media_DeleteFile(handle_, L"\\Card\\Music\\song.mp3", 0), WPD_ERROR_OK);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\song.mp3"));
}

// A file is never found as a folder to delete, nor a folder as a file.
TEST_P(ObjectChanges, DeleteOfTheWrongKindIsRefused) {
    const size_t objects = phone_->Tree().size();
    EXPECT_EQ(WPD_Media_DeleteFile(handle_, L"\\Card\\Music\\Live", 0), WPD_ERROR_FAILED);
    EXPECT_EQ(Log(), Strings{"File \\Card\\Music\\Live not found on the device for erase"});
    ClearLog();
    EXPECT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Card\\Music\\song.mp3", 0), WPD_ERROR_FAILED);
    EXPECT_EQ(Log(), Strings{"Folder \\Card\\Music\\song.mp3 not found on the device for erase"});
    EXPECT_EQ(phone_->Tree().size(), objects);
}

// A trailing backslash leaves no name: nothing is made or deleted under an empty one.
TEST_P(ObjectChanges, PathWithoutALastComponentIsRefused) {
    const size_t objects = phone_->Tree().size();
    WriteLocal(L"x.bin", Pattern(10));
    EXPECT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Card\\Music\\", 0), WPD_ERROR_FAILED);
    EXPECT_EQ(Log(), Strings{"Path \\Card\\Music\\ names no object, hr = 80070057"});
    EXPECT_EQ(WPD_Media_CreateFolder(handle_, L"\\Card\\Photos\\", 0), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_Media_DeleteFile(handle_, L"\\Card\\Music\\", 0), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Music\\", Local(L"x.bin").c_str(), 4), WPD_ERROR_FAILED);
    wchar_t text[] = L"\\Card\\Music\\a.mp3";
    EXPECT_EQ(WPD_Media_PutPlaylist(handle_, L"\\Card\\Playlists\\", text, 4), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_Media_CreateFolder(handle_, nullptr, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(phone_->Tree().size(), objects);
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDevice::Content"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ObjectChanges, EachProfile(), ProfileName);

// A phone that keeps the objects it may not delete: the delete of their folder is a failure.
using AndroidChanges = AndroidTransferTest;

TEST_F(AndroidChanges, PartialDeleteIsAFailureThatNamesWhatStayed) {
    const std::wstring bonus = IdOf(L"\\Card\\Music\\Live\\Extra\\bonus.mp3");
    ASSERT_EQ(phone_->Update(bonus, [](vphone::PhoneObject &object, vphone::PhoneIdentity &) {
        object.canDelete = false;
        return S_OK;
    }), S_OK);
    EXPECT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Card\\Music\\Live", 0), WPD_ERROR_FAILED);
    const std::wstring live = IdOf(L"\\Card\\Music\\Live");
    EXPECT_EQ(Log(), (Strings{"Object with ID = " + std::string(live.begin(), live.end()) +
                                  " was deleted only in part, some of it stayed on the phone",
                              "Failed to delete folder: \\Card\\Music\\Live, hr = 80004005"}));
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\Live\\encore.mp3"));
    EXPECT_EQ(IdOf(L"\\Card\\Music\\Live\\Extra\\bonus.mp3"), bonus);
}

}  // namespace
}  // namespace transfer_test
