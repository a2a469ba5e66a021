// A storage backed by a folder of this computer, through the library as a host uses it: what another
// program puts in the folder is listed, what the host puts lands in the folder, names the folder
// cannot hold are refused before any data is sent.
#include "transfer/transfer_test_support.h"
#include "virtualphone/description/test_paths.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace transfer_test {
namespace {

namespace fs = std::filesystem;

// The Disk storage shows a scratch folder, which holds an empty Albums folder to begin with.
template <class Base>
class OnAFolder : public Base {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override {
        host_ = vphone_test::MakeScratchFolder(L"orvik-host-");
        fs::create_directories(host_ / L"Albums");
        return orvik_test::StandardPhone(this->Profile()).FolderStorage(L"Disk", 1 << 20, host_.wstring()).Build();
    }
    void TearDown() override {
        Base::TearDown();
        std::error_code ignored;
        fs::remove_all(host_, ignored);
    }

    void WriteHost(const fs::path &name, const Bytes &bytes) {
        std::ofstream(host_ / name, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
    }
    std::optional<Bytes> ReadHost(const fs::path &name) {
        std::ifstream file(host_ / name, std::ios::binary);
        if (!file) return std::nullopt;
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    fs::path host_;
};

using FolderStorage = OnAFolder<BothProfiles>;

TEST_P(FolderStorage, ShowsWhatAnotherProgramPutsInTheFolderAndKeepsIdsWhileFilesStay) {
    WriteHost(L"song.mp3", Pattern(3000, 1));
    EXPECT_EQ(ListedNames(L"\\Disk"), (Strings{"Albums", "song.mp3"}));
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\song.mp3", Local(L"song.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"song.mp3"), Pattern(3000, 1));
    const std::wstring id = IdOf(L"\\Disk\\song.mp3");

    // Rewritten in place, it is the same object with the new bytes.
    WriteHost(L"song.mp3", Pattern(5000, 2));
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\song.mp3", Local(L"again.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"again.mp3"), Pattern(5000, 2));
    EXPECT_EQ(IdOf(L"\\Disk\\song.mp3"), id);

    fs::remove(host_ / L"song.mp3");
    EXPECT_EQ(ListedNames(L"\\Disk"), Strings{"Albums"});
    EXPECT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\song.mp3", Local(L"gone.mp3").c_str(), 0), WPD_ERROR_FAILED);
}

TEST_P(FolderStorage, WhatTheHostPutsReplacesAndDeletesIsDoneInTheFolder) {
    WriteLocal(L"up.bin", Pattern(40000, 3));
    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Disk\\Albums\\up.mp3", Local(L"up.bin").c_str(), 0), WPD_ERROR_OK)
        << testing::PrintToString(Log());
    EXPECT_EQ(ReadHost(L"Albums\\up.mp3"), Pattern(40000, 3));
    WriteLocal(L"new.bin", Pattern(20000, 4));
    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Disk\\Albums\\up.mp3", Local(L"new.bin").c_str(), 4), WPD_ERROR_OK)
        << testing::PrintToString(Log());
    EXPECT_EQ(ReadHost(L"Albums\\up.mp3"), Pattern(20000, 4));
    EXPECT_EQ(std::distance(fs::directory_iterator(host_ / L"Albums"), fs::directory_iterator()), 1);
    ASSERT_EQ(WPD_Media_CreateFolder(handle_, L"\\Disk\\Made", 0), WPD_ERROR_OK);
    EXPECT_TRUE(fs::is_directory(host_ / L"Made"));

    // A folder deleted goes with a file another program put in it meanwhile.
    WriteHost(L"Albums\\late.mp3", Pattern(10));
    ASSERT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Disk\\Albums", 0), WPD_ERROR_OK) << testing::PrintToString(Log());
    ASSERT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Disk\\Made", 0), WPD_ERROR_OK);
    EXPECT_TRUE(fs::is_empty(host_));
}

INSTANTIATE_TEST_SUITE_P(Profiles, FolderStorage, orvik_test::EachProfile(), orvik_test::ProfileName);

using FolderStorageOnAndroid = OnAFolder<AndroidTransferTest>;

TEST_F(FolderStorageOnAndroid, ARenamedFolderTakesItsFilesAlong) {
    WriteHost(L"Albums\\a.mp3", Pattern(700, 5));
    ASSERT_EQ(phone_->Rename(IdOf(L"\\Disk\\Albums"), L"Renamed"), S_OK);
    EXPECT_EQ(ReadHost(L"Renamed\\a.mp3"), Pattern(700, 5));
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\Renamed\\a.mp3", Local(L"a.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"a.mp3"), Pattern(700, 5));
}

using RefusedNames = OnAFolder<TransferTest>;
class RefusedName : public RefusedNames, public testing::WithParamInterface<const wchar_t *> {};

TEST_P(RefusedName, IsRefusedBeforeAnyDataIsSent) {
    WriteLocal(L"x.bin", Pattern(100));
    const std::wstring path = std::wstring(L"\\Disk\\") + GetParam();
    EXPECT_EQ(WPD_Media_PutFile(handle_, path.c_str(), Local(L"x.bin").c_str(), 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(Logged("CreateObjectWithPropertiesAndData failed, hr = 8007007b")) << testing::PrintToString(Log());
    EXPECT_EQ(std::distance(fs::directory_iterator(host_), fs::directory_iterator()), 1) << "only Albums";
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceDataStream::Write"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedName,
                         testing::Values(L"what?.mp3", L"a<b>.mp3", L"pipe|.mp3", L"star*.mp3", L"quote\".mp3",
                                         L"colon:.mp3", L"CON", L"nul.mp3", L"Lpt1.txt", L"com9", L"dot.",
                                         L"space ", L"tab\t.mp3"));

}  // namespace
}  // namespace transfer_test
