// A storage backed by a folder of this computer, through the library as a host uses it: what another
// program puts in the folder is listed, what the host puts lands in the folder, names the folder
// cannot hold are refused before any data is sent.
#include "fieldrec.h"
#include "transfer/transfer_test_support.h"
#include "virtualphone/description/test_paths.h"


#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace transfer_test {
namespace {

namespace fs = std::filesystem;

class FolderStorage : public TransferTest {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override {
        host_ = vphone_test::MakeScratchFolder(L"orvik-host-");
        fs::create_directories(host_ / L"Albums");
        return orvik_test::StandardPhone().FolderStorage(L"Disk", 1 << 20, host_.wstring()).Build();
    }
    void TearDown() override {
        TransferTest::TearDown();
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
    bool Listed(const wchar_t *folder, const std::string &name) {
        char *listing = nullptr;
        EXPECT_EQ(WPD_Media_GetFolderListing(handle_, folder, &listing, 0), WPD_ERROR_OK) << testing::PrintToString(Log());
        const bool listed = listing && std::strstr(listing, ("X_FB_NAME:" + name + "\r\n").c_str());
        if (listing) FieldrecFree(listing);
        return listed;
    }

    fs::path host_;
};

TEST_F(FolderStorage, ShowsWhatAnotherProgramPutsInTheFolderAndKeepsIdsWhileFilesStay) {
    WriteHost(L"song.mp3", Pattern(3000, 1));
    EXPECT_TRUE(Listed(L"\\Disk", "song.mp3"));
    EXPECT_TRUE(Listed(L"\\Disk", "Albums"));
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\song.mp3", Local(L"song.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"song.mp3"), Pattern(3000, 1));
    const std::wstring id = IdOf(L"\\Disk\\song.mp3");

    // Rewritten in place, it is the same object with the new bytes.
    WriteHost(L"song.mp3", Pattern(5000, 2));
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\song.mp3", Local(L"again.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"again.mp3"), Pattern(5000, 2));
    EXPECT_EQ(IdOf(L"\\Disk\\song.mp3"), id);

    fs::remove(host_ / L"song.mp3");
    EXPECT_FALSE(Listed(L"\\Disk", "song.mp3"));
    EXPECT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\song.mp3", Local(L"gone.mp3").c_str(), 0), WPD_ERROR_FAILED);
}

TEST_F(FolderStorage, WhatTheHostPutsCreatesRenamesAndDeletesIsDoneInTheFolder) {
    WriteLocal(L"up.bin", Pattern(40000, 3));
    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Disk\\Albums\\up.mp3", Local(L"up.bin").c_str(), 0), WPD_ERROR_OK)
        << testing::PrintToString(Log());
    EXPECT_EQ(ReadHost(L"Albums\\up.mp3"), Pattern(40000, 3));
    ASSERT_EQ(WPD_Media_CreateFolder(handle_, L"\\Disk\\Made", 0), WPD_ERROR_OK);
    EXPECT_TRUE(fs::is_directory(host_ / L"Made"));

    // A folder renamed takes the files below it along.
    ASSERT_EQ(phone_->Update(IdOf(L"\\Disk\\Albums"), [](vphone::PhoneObject &object, vphone::PhoneIdentity &) {
        object.name = object.originalFileName = L"Renamed";
        return S_OK;
    }), S_OK);
    EXPECT_EQ(ReadHost(L"Renamed\\up.mp3"), Pattern(40000, 3));
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Disk\\Renamed\\up.mp3", Local(L"back.bin").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"back.bin"), Pattern(40000, 3));

    // A folder deleted goes with a file another program put in it meanwhile.
    WriteHost(L"Renamed\\late.mp3", Pattern(10));
    ASSERT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Disk\\Renamed", 0), WPD_ERROR_OK) << testing::PrintToString(Log());
    EXPECT_FALSE(fs::exists(host_ / L"Renamed"));
    ASSERT_EQ(WPD_Media_DeleteFolder(handle_, L"\\Disk\\Made", 0), WPD_ERROR_OK);
    EXPECT_TRUE(fs::is_empty(host_));
}

class RefusedNames : public FolderStorage, public testing::WithParamInterface<const wchar_t *> {};

TEST_P(RefusedNames, AreRefusedBeforeAnyDataIsSent) {
    WriteLocal(L"x.bin", Pattern(100));
    const std::wstring path = std::wstring(L"\\Disk\\") + GetParam();
    EXPECT_EQ(WPD_Media_PutFile(handle_, path.c_str(), Local(L"x.bin").c_str(), 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(Logged("CreateObjectWithPropertiesAndData failed, hr = 8007007b")) << testing::PrintToString(Log());
    EXPECT_EQ(std::distance(fs::directory_iterator(host_), fs::directory_iterator()), 1) << "only Albums";
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceDataStream::Write"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedNames,
                         testing::Values(L"what?.mp3", L"a<b>.mp3", L"pipe|.mp3", L"star*.mp3", L"quote\".mp3",
                                         L"colon:.mp3", L"CON", L"nul.mp3", L"Lpt1.txt", L"com9", L"dot.",
                                         L"space ", L"tab\t.mp3"));

}  // namespace
}  // namespace transfer_test
