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
    vendor_->ClearResponses();
    EXPECT_EQ(WPD_ATOpenSession(ConnectedHandle(WPD_METHOD_ZEPH), kAtSession, 0), WPD_ERROR_OK)
        << "the channel of the refused session was not closed again";
}

INSTANTIATE_TEST_SUITE_P(VendorCommand, RefusedResponse,
                         testing::Values(RefusedCase{wpd::PTP_RC_SessionNotOpen, WPD_ERROR_MTP_SESSION_NOT_OPEN},
                                         RefusedCase{wpd::PTP_RC_OperationNotSupported, WPD_ERROR_MTP_OPERATION_NOT_SUPPORTED},
                                         RefusedCase{wpd::PTP_RC_DeviceBusy, WPD_ERROR_MTP_DEVICE_BUSY},
                                         RefusedCase{wpd::PTP_RC_StoreFull, WPD_ERROR_MTP_STORE_FULL},
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

using VendorAT = VendorTest;

TEST_F(VendorAT, RepliesOfSeveralEventsReadAsOneTextInOrder) {
    void *handle = OpenAT();
    vendor_->SetATReplyEvents(2);
    ASSERT_EQ(WPD_ATWrite(handle, "ATI\r", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_EQ(ExchangesOf(VendorOperation::ATRead).size(), 2u);
    EXPECT_EQ(ATText(handle), "\r\nOrvik Test Works Virtual One\r\n\r\nOK\r\n");
    EXPECT_EQ(ATText(handle), "");
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
    EXPECT_EQ(ATText(handle), "\r\nERROR\r\n");
}

TEST_F(VendorAT, ErrorCodeOfAnEventSurfacesAtTheNextRead) {
    void *handle = OpenAT();
    vendor_->SetATReplyEvents(1, wpd::PTP_RC_DeviceBusy);
    ASSERT_EQ(WPD_ATWrite(handle, "AT", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    const char *text = nullptr;
    EXPECT_EQ(WPD_ATRead(handle, &text, 0), WPD_ERROR_MTP_DEVICE_BUSY);
    EXPECT_TRUE(LogHas("ZEPH_ATPendingData event error, ResponseCode=00002019")) << testing::PrintToString(Log());
    EXPECT_TRUE(ExchangesOf(VendorOperation::ATRead).empty()) << "nothing is fetched after an error";
}

// The platform's value set takes no zero-byte buffer: an empty text goes without a write step.
TEST_F(VendorAT, WriteOfNullIsRefusedAndEmptyTextIsADataPhaseWithoutWriteStep) {
    void *handle = OpenAT();
    EXPECT_EQ(WPD_ATWrite(handle, nullptr, 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(ExchangesOf(VendorOperation::ATWrite).empty());
    ASSERT_EQ(WPD_ATWrite(handle, "", 0), WPD_ERROR_OK);
    const auto writes = ExchangesOf(VendorOperation::ATWrite);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].declaredSize, 0u);
    EXPECT_TRUE(writes[0].chunks.empty());
    EXPECT_EQ(writes[0].response, wpd::PTP_RC_OK) << "the data phase is still ended";
}

using VendorSyncML = VendorTest;

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
    vendor_->SetSyncMLReply(2, Pattern(300));
    const SyncMLReply reply = Get(handle);
    ASSERT_EQ(reply.result, WPD_ERROR_OK);
    EXPECT_EQ(reply.mime, WPD_SYNCML_MIME_WBXML);
    EXPECT_EQ(reply.size, 300u);
    EXPECT_EQ(reply.bytes, Pattern(300));
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
    EXPECT_EQ(puts[0].response, wpd::PTP_RC_OK);
}

// The phone counts on the announced total: a longer stream sends no more, a shorter one fails the put.
TEST_F(VendorSyncML, PutSendsExactlyTheAnnouncedBytesOrFails) {
    void *handle = OpenSyncML();
    const auto longer = StreamOf(Pattern(20));
    ASSERT_EQ(WPD_SyncMLPut(handle, WPD_SYNCML_MIME_XML, longer.Get(), 10, kWait, 0), WPD_ERROR_OK);
    const auto shorter = StreamOf(Pattern(10));
    EXPECT_EQ(WPD_SyncMLPut(handle, WPD_SYNCML_MIME_XML, shorter.Get(), 20, kWait, 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(LogHas("Stream ended after 10 of 20 bytes")) << testing::PrintToString(Log());
    const auto puts = ExchangesOf(VendorOperation::SyncMLPut);
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0].data.size(), 11u);
    EXPECT_EQ(puts[1].data.size(), 11u);
    EXPECT_EQ(Put(handle, Pattern(4)), WPD_ERROR_OK) << "the short put was ended";
}

TEST_F(VendorSyncML, StreamWriteGoesInChunksOfAtMost8192WithTheHeaderInTheFirst) {
    void *handle = OpenSyncML();
    ASSERT_EQ(Put(handle, Pattern(20000)), WPD_ERROR_OK);
    ASSERT_EQ(Put(handle, {}), WPD_ERROR_OK);
    const auto puts = ExchangesOf(VendorOperation::SyncMLPut);
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0].chunks, (std::vector<ULONG>{8192, 8192, 3617}));
    EXPECT_TRUE(puts[1].chunks.empty()) << "no write step, not even the type byte";
    EXPECT_EQ(puts[1].response, wpd::PTP_RC_OK) << "the transfer is still ended";
}

TEST_F(VendorSyncML, CancelStopsBothStreamFormsAndStillEndsTheTransfer) {
    void *handle = OpenSyncML();
    int reports = 0;
    ASSERT_EQ(WPD_Monitor_Set(handle, CancelAtOnce), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Monitor_Start(handle, WPD_EVENT_PROGRESS, &reports), WPD_ERROR_OK);
    ASSERT_EQ(Put(handle, Pattern(20000)), WPD_ERROR_OK);
    vendor_->SetOptimalTransferSize(64);
    const SyncMLReply reply = Get(handle);
    ASSERT_EQ(reply.result, WPD_ERROR_OK);
    EXPECT_EQ(reports, 2);
    const auto puts = ExchangesOf(VendorOperation::SyncMLPut);
    const auto gets = ExchangesOf(VendorOperation::SyncMLGet);
    ASSERT_EQ(puts.size(), 1u);
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(puts[0].chunks, std::vector<ULONG>{8192});
    EXPECT_EQ(gets[0].chunks, std::vector<ULONG>{64});
    EXPECT_EQ(puts[0].response, wpd::PTP_RC_OK);
    EXPECT_EQ(gets[0].response, wpd::PTP_RC_OK);
    EXPECT_EQ(reply.size, 63u) << "the first byte is the content type";
}

// A completion that comes after its put gave up is stale: the next put takes only its own.
TEST_F(VendorSyncML, ALateCompletionIsDroppedAndTheNextPutGetsItsOwn) {
    void *handle = OpenSyncML();
    vendor_->SetCompletion(300);
    EXPECT_EQ(Put(handle, Pattern(10), 0), WPD_ERROR_TIMEOUT);
    vendor_->WaitForEvents();
    EXPECT_TRUE(LogHas("Stale ZEPH_SyncMLOperationComplete dropped, ResponseCode=00002001")) << testing::PrintToString(Log());
    vendor_->SetCompletion(0, wpd::PTP_RC_DeviceBusy);
    EXPECT_EQ(Put(handle, Pattern(10)), WPD_ERROR_MTP_DEVICE_BUSY);
}

TEST_F(VendorSyncML, LostOrFailedCompletionsDecideTheResult) {
    void *handle = OpenSyncML();
    vendor_->LoseCompletions(1);
    EXPECT_EQ(Put(handle, Pattern(10), 200), WPD_ERROR_TIMEOUT);
    vendor_->SetCompletion(0, wpd::PTP_RC_StoreFull);
    EXPECT_EQ(Put(handle, Pattern(10)), WPD_ERROR_MTP_STORE_FULL);
    EXPECT_TRUE(LogHas("ZEPH_SyncMLOperationComplete event error, ResponseCode=0000200c"));
}

// A get with nothing pending is answered as a responder answers it: with no data, and it closes nothing.
TEST_F(VendorSyncML, AGetWithNothingPendingGivesNoDataAndTheSessionGoesOn) {
    void *handle = OpenSyncML();
    SyncMLReply reply = Get(handle);
    EXPECT_EQ(reply.result, WPD_ERROR_OK);
    EXPECT_EQ(reply.mime, WPD_SYNCML_MIME_UNKNOWN);
    EXPECT_EQ(reply.size, 0u);
    ASSERT_EQ(Put(handle, Pattern(10)), WPD_ERROR_OK);
    reply = Get(handle);
    EXPECT_EQ(reply.result, WPD_ERROR_OK);
    EXPECT_GT(reply.size, 0u);
    EXPECT_EQ(WPD_SyncMLCloseSession(handle), WPD_ERROR_OK);
}

// A refused close still ends the library's side and closes the channel; a channel that stays open
// anyway is closed and opened again by the next open of the handle that left it.
struct RefusedCloseCase {
    const char *name;
    bool channelCloseRefused;
    bool reopenOnAnotherHandle;
};

class RefusedClose : public VendorTest, public testing::WithParamInterface<RefusedCloseCase> {};

TEST_P(RefusedClose, LeavesNoChannelThatCannotReopen) {
    void *handle = OpenSyncML();
    // The phone takes a session close for a request: the two are alike on the wire.
    vendor_->SetResponse(VendorOperation::SyncMLRequest, wpd::PTP_RC_SessionNotOpen);
    if (GetParam().channelCloseRefused) vendor_->SetResponse(VendorOperation::CloseChannel, wpd::PTP_RC_GeneralError);
    EXPECT_EQ(WPD_SyncMLCloseSession(handle), WPD_ERROR_MTP_SESSION_NOT_OPEN);
    EXPECT_EQ(phone_->Events().Count(), 0u);
    vendor_->ClearResponses();
    void *next = GetParam().reopenOnAnotherHandle ? ConnectedHandle(WPD_METHOD_ZEPH) : handle;
    EXPECT_EQ(WPD_SyncMLOpenSession(next, WPD_SYNCML_SERVICE_DATA_SYNC, kSyncMLSession, 0), WPD_ERROR_OK);
    EXPECT_EQ(Put(next, Pattern(4)), WPD_ERROR_OK);
    EXPECT_EQ(WPD_SyncMLCloseSession(next), WPD_ERROR_OK);
}

INSTANTIATE_TEST_SUITE_P(VendorSyncML, RefusedClose,
                         testing::Values(RefusedCloseCase{"SessionClose", false, true},
                                         RefusedCloseCase{"SessionAndChannelClose", true, false}),
                         [](const auto &info) { return info.param.name; });

TEST_F(VendorSyncML, NullHostPointersFailAndReachNoPhone) {
    void *handle = OpenSyncML();
    ASSERT_EQ(WPD_ATOpenSession(handle, kAtSession, 0), WPD_ERROR_OK);
    vendor_->ClearExchanges();
    const auto stream = StreamOf({});
    WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_UNKNOWN;
    unsigned __int64 size = 0;
    EXPECT_EQ(WPD_ATRead(handle, nullptr, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_SyncMLPut(handle, WPD_SYNCML_MIME_XML, nullptr, 10, kWait, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_SyncMLGet(handle, nullptr, stream.Get(), &size, kWait, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_SyncMLGet(handle, &mime, nullptr, &size, kWait, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(WPD_SyncMLGet(handle, &mime, stream.Get(), nullptr, kWait, 0), WPD_ERROR_FAILED);
    EXPECT_TRUE(vendor_->Exchanges().empty());
}

}  // namespace
}  // namespace orvik_test
