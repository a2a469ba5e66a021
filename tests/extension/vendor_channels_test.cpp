// The vendor command channel, the clock, and the AT and SyncML channels, through the exports against
// the virtual phone's vendor extension.
#include <gtest/gtest.h>

#include <shlwapi.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "extension/vendor_test_support.h"

namespace orvik_test {
namespace {

using vphone::VendorOperation;

constexpr unsigned long kAtSession = 7;
constexpr unsigned long kSyncMLSession = 9;
constexpr unsigned long kWait = 5000;

// Monitor callback that stops a transfer at its first report.
int ORVIK_CALL CancelAtOnce(WPD_MONITORED_EVENT, void *data, void *context) {
    static_cast<TransferProgress *>(data)->cancel = 1;
    ++*static_cast<int *>(context);
    return 0;
}

struct RefusedCase {
    ULONG response;
    WPD_ERROR expected;
};

class RefusedResponse : public VendorTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedResponse, LogsBothLinesInOrderAndMapsTheCode) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    vendor_->SetResponse(VendorOperation::ATOpenSession, GetParam().response);
    ClearLog();
    EXPECT_EQ(WPD_ATOpenSession(handle, kAtSession, 0), GetParam().expected);
    char code[16];
    wsprintfA(code, "%08x", static_cast<unsigned>(GetParam().response));
    char status[16];
    wsprintfA(status, "%08x", static_cast<unsigned>(0xA0000000u | GetParam().response));
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         std::string("Mtp Send command failed, ResponseCode=") + code + ", OpCode=0000",
                         std::string("Mtp Send command failed, hr=") + status + ", OpCode=0000"}));
    EXPECT_EQ(phone_->Events().Count(), 0u) << "a refused open must not subscribe";
}

INSTANTIATE_TEST_SUITE_P(VendorCommand, RefusedResponse,
                         testing::Values(RefusedCase{0x2003, WPD_ERROR_MTP_SESSION_NOT_OPEN},
                                         RefusedCase{0x2005, WPD_ERROR_MTP_OPERATION_NOT_SUPPORTED},
                                         RefusedCase{0x2019, WPD_ERROR_MTP_DEVICE_BUSY},
                                         RefusedCase{0x200C, WPD_ERROR_MTP_STORE_FULL},
                                         RefusedCase{0x2004, WPD_ERROR_FAILED}));

using VendorClock = VendorTest;

TEST_F(VendorClock, SetThenGetRoundTripsThroughThePhone) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    WPD_DEVICE_TIME set = {};
    set.cbSize = sizeof set;
    const SYSTEMTIME when = {2009, 3, 4, 5, 6, 7, 8, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &set.time));
    set.timeZone = -4;
    set.dst = 1;
    ASSERT_EQ(WPD_SetDeviceTime(handle, &set), WPD_ERROR_OK);
    EXPECT_EQ(vendor_->ClockText(), L"2009/03/05,06:07:08+-4");
    EXPECT_EQ(vendor_->Dst(), 1u);

    WPD_DEVICE_TIME got = {};
    got.cbSize = sizeof got;
    ASSERT_EQ(WPD_GetDeviceTime(handle, &got), WPD_ERROR_OK);
    EXPECT_EQ(CompareFileTime(&got.time, &set.time), 0);
    EXPECT_EQ(got.timeZone, -4);
    EXPECT_EQ(got.dst, 1u);
}

class VendorAT : public VendorTest {
protected:
    void *OpenAT() {
        void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
        EXPECT_EQ(WPD_ATOpenSession(handle, kAtSession, 0), WPD_ERROR_OK);
        return handle;
    }
    std::string Read(void *handle) {
        const char *text = "unset";
        EXPECT_EQ(WPD_ATRead(handle, &text, 0), WPD_ERROR_OK);
        return text;
    }
};

TEST_F(VendorAT, RepliesOfSeveralEventsReadAsOneTextInOrder) {
    void *handle = OpenAT();
    vendor_->SetATReplyEvents(2);
    ASSERT_EQ(WPD_ATWrite(handle, "ATI\r", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_EQ(ExchangesOf(VendorOperation::ATRead).size(), 2u);
    EXPECT_EQ(Read(handle), "\r\nOrvik Test Works Virtual One\r\n\r\nOK\r\n");
    EXPECT_EQ(Read(handle), "");
    EXPECT_EQ(vendor_->ATCommands(), std::vector<std::string>{"ATI\r"}) << "text goes unchanged";
    EXPECT_EQ(WPD_ATCloseSession(handle), WPD_ERROR_OK);
}

TEST_F(VendorAT, HandedOutTextOutlivesLaterReplies) {
    void *handle = OpenAT();
    ASSERT_EQ(WPD_ATWrite(handle, "AT+CGSN", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    const char *first = nullptr;
    ASSERT_EQ(WPD_ATRead(handle, &first, 0), WPD_ERROR_OK);
    const std::string copy = first;
    ASSERT_EQ(WPD_ATWrite(handle, "ATI", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_EQ(std::string(first), copy);
    EXPECT_EQ(copy, "\r\nORVIKTEST01\r\n\r\nOK\r\n");
}

TEST_F(VendorAT, WriteDiscardsUnreadReplies) {
    void *handle = OpenAT();
    ASSERT_EQ(WPD_ATWrite(handle, "AT+CGMI", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    ASSERT_EQ(WPD_ATWrite(handle, "AT+XYZ", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_EQ(Read(handle), "\r\nERROR\r\n");
}

TEST_F(VendorAT, ErrorCodeOfAnEventSurfacesAtTheNextRead) {
    void *handle = OpenAT();
    vendor_->SetATReplyEvents(1, 0x2019);
    ASSERT_EQ(WPD_ATWrite(handle, "AT", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    const char *text = nullptr;
    EXPECT_EQ(WPD_ATRead(handle, &text, 0), WPD_ERROR_MTP_DEVICE_BUSY);
    EXPECT_TRUE(LogHas("ZEPH_ATPendingData event error, ResponseCode=00002019")) << testing::PrintToString(Log());
    EXPECT_TRUE(ExchangesOf(VendorOperation::ATRead).empty()) << "nothing is fetched after an error";
}

TEST_F(VendorAT, WriteOfNullIsRefusedAndEmptyTextIsAnEmptyDataPhase) {
    void *handle = OpenAT();
    EXPECT_EQ(WPD_ATWrite(handle, nullptr, 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(ExchangesOf(VendorOperation::ATWrite).empty());
    ASSERT_EQ(WPD_ATWrite(handle, "", 0), WPD_ERROR_OK);
    const auto writes = ExchangesOf(VendorOperation::ATWrite);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].declaredSize, 0u);
    EXPECT_TRUE(writes[0].data.empty());
}

class VendorSyncML : public VendorTest {
protected:
    void *OpenSyncML() {
        void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
        EXPECT_EQ(WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, kSyncMLSession, 0), WPD_ERROR_OK);
        return handle;
    }
    WPD_ERROR Put(void *handle, const std::vector<BYTE> &package, unsigned long timeout = kWait,
                  WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_XML) {
        const auto stream = StreamOf(package);
        return WPD_SyncMLPut(handle, mime, stream.Get(), package.size(), timeout, 0);
    }
};

TEST_F(VendorSyncML, PutSendsTheTypeByteBeforeThePackageAndDeclaresThePackageSize) {
    void *handle = OpenSyncML();
    const std::vector<BYTE> package = Pattern(10);
    ASSERT_EQ(Put(handle, package, kWait, WPD_SYNCML_MIME_DEVINF_XML), WPD_ERROR_OK);
    const auto puts = ExchangesOf(VendorOperation::SyncMLPut);
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].declaredSize, 10u);
    std::vector<BYTE> expected{3};
    expected.insert(expected.end(), package.begin(), package.end());
    EXPECT_EQ(puts[0].data, expected);
    EXPECT_EQ(puts[0].params, std::vector<ULONG>{kSyncMLSession});

    // The phone replies once it has the package.
    const auto reply = StreamOf({});
    WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_UNKNOWN;
    unsigned __int64 size = 0;
    vendor_->SetSyncMLReply(2, Pattern(300));
    ASSERT_EQ(WPD_SyncMLGet(handle, &mime, reply.Get(), &size, kWait, 0), WPD_ERROR_OK);
    EXPECT_EQ(mime, WPD_SYNCML_MIME_WBXML);
    EXPECT_EQ(size, 300u);
    EXPECT_EQ(StreamBytes(reply.Get()), Pattern(300));
    EXPECT_EQ(WPD_SyncMLCloseSession(handle), WPD_ERROR_OK);
}

// A file stream answers a read that reaches its end with S_FALSE: those bytes are the package's last.
TEST_F(VendorSyncML, PutFromAFileStreamSendsItsLastShortRead) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"orvik-syncml-package.bin";
    const std::vector<BYTE> package = Pattern(9000);
    {
        Microsoft::WRL::ComPtr<IStream> file;
        ASSERT_EQ(SHCreateStreamOnFileW(path.c_str(), STGM_CREATE | STGM_WRITE, &file), S_OK);
        ASSERT_EQ(file->Write(package.data(), static_cast<ULONG>(package.size()), nullptr), S_OK);
    }
    void *handle = OpenSyncML();
    Microsoft::WRL::ComPtr<IStream> file;
    ASSERT_EQ(SHCreateStreamOnFileW(path.c_str(), STGM_READ, &file), S_OK);
    EXPECT_EQ(WPD_SyncMLPut(handle, WPD_SYNCML_MIME_XML, file.Get(), package.size(), kWait, 0), WPD_ERROR_OK);
    file.Reset();
    DeleteFileW(path.c_str());
    const auto puts = ExchangesOf(VendorOperation::SyncMLPut);
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].chunks, (std::vector<ULONG>{8192, 809}));
    EXPECT_EQ(puts[0].response, 0x2001u);
}

TEST_F(VendorSyncML, StreamWriteGoesInChunksOfAtMost8192WithTheHeaderInTheFirst) {
    void *handle = OpenSyncML();
    ASSERT_EQ(Put(handle, Pattern(20000)), WPD_ERROR_OK);
    ASSERT_EQ(Put(handle, {}), WPD_ERROR_OK);
    const auto puts = ExchangesOf(VendorOperation::SyncMLPut);
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0].chunks, (std::vector<ULONG>{8192, 8192, 3617}));
    EXPECT_TRUE(puts[1].chunks.empty()) << "no write step, not even the type byte";
    EXPECT_EQ(puts[1].response, 0x2001u) << "the transfer is still ended";
}

TEST_F(VendorSyncML, CancelStopsBothStreamFormsAndStillEndsTheTransfer) {
    void *handle = OpenSyncML();
    int reports = 0;
    ASSERT_EQ(WPD_Monitor_Set(handle, CancelAtOnce), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Monitor_Start(handle, WPD_EVENT_PROGRESS, &reports), WPD_ERROR_OK);
    ASSERT_EQ(Put(handle, Pattern(20000)), WPD_ERROR_OK);
    vendor_->SetOptimalTransferSize(64);
    const auto reply = StreamOf({});
    WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_UNKNOWN;
    unsigned __int64 size = 0;
    ASSERT_EQ(WPD_SyncMLGet(handle, &mime, reply.Get(), &size, kWait, 0), WPD_ERROR_OK);
    EXPECT_EQ(reports, 2);
    const auto puts = ExchangesOf(VendorOperation::SyncMLPut);
    const auto gets = ExchangesOf(VendorOperation::SyncMLGet);
    ASSERT_EQ(puts.size(), 1u);
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(puts[0].chunks, std::vector<ULONG>{8192});
    EXPECT_EQ(gets[0].chunks, std::vector<ULONG>{64});
    EXPECT_EQ(puts[0].response, 0x2001u);
    EXPECT_EQ(gets[0].response, 0x2001u);
    EXPECT_EQ(size, 63u) << "the first byte is the content type";
}

TEST_F(VendorSyncML, ATimeOutLeavesALateCompletionForTheNextWait) {
    void *handle = OpenSyncML();
    vendor_->SetCompletion(500);
    EXPECT_EQ(Put(handle, Pattern(10), 0), WPD_ERROR_TIMEOUT);
    vendor_->WaitForEvents();
    // The put's completion has come: the get's wait of 0 is satisfied by it.
    const auto reply = StreamOf({});
    WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_UNKNOWN;
    unsigned __int64 size = 0;
    EXPECT_EQ(WPD_SyncMLGet(handle, &mime, reply.Get(), &size, 0, 0), WPD_ERROR_OK);
    EXPECT_GT(size, 0u);
}

TEST_F(VendorSyncML, LostOrFailedCompletionsDecideTheResult) {
    void *handle = OpenSyncML();
    vendor_->LoseCompletions(1);
    EXPECT_EQ(Put(handle, Pattern(10), 200), WPD_ERROR_TIMEOUT);
    vendor_->SetCompletion(0, 0x200C);
    EXPECT_EQ(Put(handle, Pattern(10)), WPD_ERROR_MTP_STORE_FULL);
    EXPECT_TRUE(LogHas("ZEPH_SyncMLOperationComplete event error, ResponseCode=0000200c"));
}

TEST_F(VendorSyncML, ReadsOfNothingOrWithoutTransferSizeEnd) {
    void *handle = OpenSyncML();
    ASSERT_EQ(Put(handle, Pattern(10)), WPD_ERROR_OK);
    vendor_->SetEmptyReads(true);
    const auto reply = StreamOf({});
    WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_UNKNOWN;
    unsigned __int64 size = 0;
    // A phone that stops sending before the announced end fails the get instead of hanging it.
    EXPECT_EQ(WPD_SyncMLGet(handle, &mime, reply.Get(), &size, kWait, 0), WPD_ERROR_FAILED);

    vendor_->SetEmptyReads(false);
    vendor_->SetOptimalTransferSize(0);
    ASSERT_EQ(Put(handle, Pattern(10)), WPD_ERROR_OK);
    size = 99;
    EXPECT_EQ(WPD_SyncMLGet(handle, &mime, reply.Get(), &size, kWait, 0), WPD_ERROR_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(mime, WPD_SYNCML_MIME_UNKNOWN);
}

}  // namespace
}  // namespace orvik_test
