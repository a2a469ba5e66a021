// The phone unplugged in the middle of a copy, and a connect while it is unplugged: the call fails,
// neither the host's files nor the phone keep anything partial, and a handle connected before the
// unplug stays dead once the phone is back, as with a real cable.
#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

constexpr wchar_t kTen[] = L"\\Card\\Music\\ten.mp3";

class Unplug : public TransferTest {
protected:
    // Small chunks, and the cable pulled when the first one has gone through.
    void UnplugAfterFirstChunk() {
        phone_->Controls().SetTransferSizes(4096, 4096);
        ASSERT_EQ(WPD_Monitor_Set(handle_, &UnplugNow), WPD_ERROR_OK);
        ASSERT_EQ(WPD_Monitor_Start(handle_, WPD_EVENT_PROGRESS, phone_.get()), WPD_ERROR_OK);
    }
    static int ORVIK_CALL UnplugNow(WPD_MONITORED_EVENT, void *, void *phone) {
        static_cast<vphone::Phone *>(phone)->Controls().Unplug();
        return 0;
    }
};

TEST_F(Unplug, DuringGetFileKeepsTheOldLocalFile) {
    WriteLocal(L"ten.mp3", Pattern(100, 9));
    UnplugAfterFirstChunk();
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"ten.mp3").c_str(), 0), WPD_ERROR_FAILED);
    EXPECT_EQ(ReadLocal(L"ten.mp3"), Pattern(100, 9));
    EXPECT_EQ(LocalFiles(), std::vector<std::wstring>{L"ten.mp3"}) << "a partial file was left behind";
    EXPECT_TRUE(Logged("Copying the file failed, hr = 8007048f"));
}

TEST_F(Unplug, DuringPutFileLeavesNothingOnThePhone) {
    const size_t objects = phone_->Tree().size();
    WriteLocal(L"x.bin", Pattern(40960));
    UnplugAfterFirstChunk();
    EXPECT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Music\\up.mp3", Local(L"x.bin").c_str(), 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(Logged("StreamCopy failed, hr = 8007048f"));

    phone_->Controls().PlugIn();
    EXPECT_EQ(phone_->Tree().size(), objects);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\up.mp3"));
    // The handle connected before the unplug stays dead; a new connection works.
    unsigned __int64 total = 0;
    EXPECT_EQ(WPD_Media_GetTotalMemory(handle_, L"Card", &total, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_Media_GetTotalMemory(ConnectedHandle(), L"Card", &total, 0), WPD_ERROR_OK);
    EXPECT_EQ(total, 8ull << 30);
}

TEST_F(Unplug, ConnectFindsNoDevice) {
    phone_->Controls().Unplug();
    void *handle = WPD_Initialize(WPD_METHOD_BASE);
    handles_.push_back(handle);
    char id[64];
    strcpy_s(id, orvik_test::kTestHardwareId);
    EXPECT_EQ(WPD_ConnectDevice(handle, id, false, 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(Logged(std::string("0 Windows Portable Device(s) with ID ") + orvik_test::kTestHardwareId + " found"));
}

}  // namespace
}  // namespace transfer_test
