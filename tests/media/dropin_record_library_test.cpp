// Listings assembled in a record library that has FieldrecAddField only: this program runs from a
// folder that holds orvik.dll beside such a fieldrec.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "orvik.h"
#include "support/phone_fixture.h"

namespace {

class DropInRecordLibrary : public orvik_test::PhoneTest {
protected:
    // \Card\Photos holds a file listed by the name "refuse".
    std::shared_ptr<vphone::Phone> MakePhone() override {
        vphone::ObjectAttributes audio;
        audio.contentType = wpd::WPD_CONTENT_TYPE_AUDIO;
        return orvik_test::StandardPhone().File(L"\\Card\\Photos\\refuse", vphone::TextData("x"), audio).Build();
    }
};

TEST_F(DropInRecordLibrary, BuildsListingsAndHandsOverWhatItCannotFree) {
    void *handle = ConnectedHandle();
    char *listing = nullptr;
    ASSERT_EQ(WPD_Media_GetFolderListing(handle, L"\\Card\\Music", &listing, 0), WPD_ERROR_OK);
    ASSERT_NE(listing, nullptr);
    EXPECT_EQ(std::string(listing).substr(0, 45), "BEGIN:VNOTE\r\nX_FB_NAME:song.mp3\r\nX_FB_ITEM:fi");
    EXPECT_EQ(LocalFree(listing), nullptr);

    // The library refuses the name of the entry: the listing fails, and the host receives what
    // was built, for only the record library's way of releasing it could.
    listing = nullptr;
    EXPECT_EQ(WPD_Media_GetFolderListing(handle, L"\\Card\\Photos", &listing, 0), WPD_ERROR_FAILED);
    ASSERT_NE(listing, nullptr);
    EXPECT_EQ(std::string(listing), "BEGIN:VNOTE\r\n");
    EXPECT_EQ(LocalFree(listing), nullptr);
}

}  // namespace
