// Media operations on a handle that is not connected, and arguments refused before the phone is asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "device/cwpd.h"
#include "media/device_path.h"
#include "media/folder_list.h"
#include "support/log_collector.h"

namespace {

class UnconnectedMediaTest : public testing::Test {
protected:
    void SetUp() override { orvik_test::TestLog().Clear(); }

    static bool Logged(const std::string &message) {
        const auto messages = orvik_test::TestLog().Messages();
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    CWpdBase device_;
    CFolderList &media_ = *device_.GetFolderListObject();
};

TEST_F(UnconnectedMediaTest, ListingFailsWithoutTouchingThePointer) {
    char sentinel = 0;
    char *listing = &sentinel;
    EXPECT_EQ(media_.FillFolderList(L"\\Card\\Music", &listing), WPD_ERROR_FAILED);
    EXPECT_EQ(listing, &sentinel);
    EXPECT_TRUE(Logged("Getting device capabilities failed, hr = 8007048f"));
    EXPECT_TRUE(Logged("EnumStorages failed, hr = 8007048f"));
    EXPECT_TRUE(Logged("FillFolderList failed, hr = 8007048f"));
}

TEST_F(UnconnectedMediaTest, StorageSizesFailAsZero) {
    unsigned long long bytes = 0xdeadbeef;
    EXPECT_EQ(media_.GetTotalMemory(nullptr, &bytes, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(bytes, 0u);
    bytes = 0xdeadbeef;
    EXPECT_EQ(media_.GetAvailableMemory(L"Card", &bytes, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(bytes, 0u);
}

TEST_F(UnconnectedMediaTest, FileLookUpFailsOnTheContent) {
    Microsoft::WRL::ComPtr<IPortableDeviceContent> content;
    ObjectRecord record = {};
    BOOL found = TRUE;
    EXPECT_EQ(media_.FindRemoteFile(L"song.mp3", FALSE, content, record, found), E_NOT_CONNECTED);
    EXPECT_EQ(found, FALSE);
    EXPECT_TRUE(Logged("Getting device content failed, hr = 8007048f"));
}

TEST_F(UnconnectedMediaTest, PathsThatDoNotFitAreRefusedBeforeThePhoneIsAsked) {
    const std::wstring tooLong = L"\\Card\\" + std::wstring(260, L'f');
    char *listing = nullptr;
    EXPECT_EQ(media_.FillFolderList(tooLong.c_str(), &listing), WPD_ERROR_FAILED);
    EXPECT_EQ(listing, nullptr);

    Microsoft::WRL::ComPtr<IPortableDeviceContent> content;
    ObjectRecord record = {};
    BOOL found = TRUE;
    EXPECT_EQ(media_.FindRemoteFile(tooLong.c_str(), FALSE, content, record, found), E_PATH_TOO_LONG);

    unsigned long long bytes = 1;
    EXPECT_EQ(media_.GetTotalMemory((std::wstring(260, L'C') + L"\\Music").c_str(), &bytes, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(bytes, 0u);
    EXPECT_FALSE(Logged("EnumStorages failed, hr = 8007048f"));
}

TEST_F(UnconnectedMediaTest, MissingOutputPointersAreRefused) {
    EXPECT_EQ(media_.FillFolderList(L"\\Card", nullptr), WPD_ERROR_FAILED);
    EXPECT_EQ(media_.GetTotalMemory(L"Card", nullptr, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(media_.GetAvailableMemory(L"Card", nullptr, 0), WPD_ERROR_FAILED);
}

}  // namespace
