// The data phases of vendor operations against a phone as strict as the platform's MTP driver:
// parameters of 32 bits, phases that always end, announcements not trusted, short and unknown-size
// reads, and one operation at a time while several threads use one handle.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "extension/vendor_test_support.h"

namespace orvik_test {
namespace {

using vphone::VendorOperation;

constexpr char kATIReply[] = "\r\nOrvik Test Works Virtual One\r\n\r\nOK\r\n";

// The most address space the process has ever held: an allocation of the size a phone announces
// raises it, however short it lived.
ULONGLONG PeakVirtualBytes() {
    VM_COUNTERS counters = {};
    EXPECT_EQ(NtQueryInformationProcess(GetCurrentProcess(), ProcessVmCounters, &counters, sizeof counters, nullptr),
              0);
    return counters.PeakVirtualSize;
}

ULONGLONG VirtualBytes() {
    VM_COUNTERS counters = {};
    NtQueryInformationProcess(GetCurrentProcess(), ProcessVmCounters, &counters, sizeof counters, nullptr);
    return counters.VirtualSize;
}

using VendorTransfers = VendorTest;

// The phone refuses a parameter that is not VT_UI4; a session of 256 or more needs all 32 bits.
class SyncMLSessionValue : public VendorTest, public testing::WithParamInterface<ULONG> {};

TEST_P(SyncMLSessionValue, OpensUsesAndClosesAgainAndAgain) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DEVICE_MANAGEMENT, GetParam(), 0), WPD_ERROR_OK);
        EXPECT_EQ(Put(handle, Pattern(4)), WPD_ERROR_OK);
        EXPECT_EQ(WPD_SyncMLCloseSession(handle), WPD_ERROR_OK);
    }
    const auto opens = ExchangesOf(VendorOperation::SyncMLOpenSession);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1].params, (std::vector<ULONG>{WPD_SYNCML_SERVICE_DEVICE_MANAGEMENT, GetParam()}));
}

INSTANTIATE_TEST_SUITE_P(VendorTransfers, SyncMLSessionValue, testing::Values(0ul, 255ul, 256ul, 65535ul));

// A read or write step that fails midway still ends its data phase: the phone, busy until then, takes
// the next operation.
enum class Failing { StreamWrite, StreamRead, BufferRead };

class TransferFailingMidway : public VendorTest, public testing::WithParamInterface<Failing> {};

TEST_P(TransferFailingMidway, IsEndedAndTheNextCallWorks) {
    void *handle = OpenSyncML();
    ASSERT_EQ(WPD_ATOpenSession(handle, kAtSession, 0), WPD_ERROR_OK);
    vendor_->SetOptimalTransferSize(8);
    VendorOperation failed = VendorOperation::SyncMLPut;
    switch (GetParam()) {
        case Failing::StreamWrite:
            vendor_->FailDataStep(2, E_FAIL);
            EXPECT_EQ(Put(handle, Pattern(20000)), WPD_ERROR_FAILED);
            break;
        case Failing::StreamRead:
            ASSERT_EQ(Put(handle, Pattern(10)), WPD_ERROR_OK);
            vendor_->FailDataStep(2, E_FAIL);
            EXPECT_EQ(Get(handle).result, WPD_ERROR_FAILED);
            failed = VendorOperation::SyncMLGet;
            break;
        case Failing::BufferRead:  // the reply's fetch, on the event thread; the write's step is the first
            vendor_->LimitReadsTo(8);  // a buffered read asks for more than the transfer size at once
            vendor_->FailDataStep(3, E_FAIL);
            ASSERT_EQ(WPD_ATWrite(handle, "ATI", 0), WPD_ERROR_OK);
            vendor_->WaitForEvents();
            EXPECT_EQ(ATText(handle), "");
            failed = VendorOperation::ATRead;
            break;
    }
    const auto exchanges = ExchangesOf(failed);
    ASSERT_EQ(exchanges.size(), 1u) << "the failed transfer was never ended";
    EXPECT_EQ(exchanges[0].chunks.size(), 1u);

    ASSERT_EQ(WPD_ATWrite(handle, "ATI", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_EQ(ATText(handle), kATIReply);
    ASSERT_EQ(Put(handle, Pattern(10)), WPD_ERROR_OK);
    vendor_->SetSyncMLReply(2, Pattern(30));
    EXPECT_EQ(Get(handle).bytes, Pattern(30));
}

INSTANTIATE_TEST_SUITE_P(VendorTransfers, TransferFailingMidway,
                         testing::Values(Failing::StreamWrite, Failing::StreamRead, Failing::BufferRead));

// The size a phone announces is not allocated up front: the buffer grows with what comes. A reply that
// stops short of its announcement is dropped, and its phase still ended.
TEST_F(VendorTransfers, AnAnnouncedSizeCostsNoAllocationOfThatSize) {
    void *handle = OpenAT();
    vendor_->AnnounceReadSize(4ull << 30);
    const ULONGLONG peak = PeakVirtualBytes();
    ASSERT_LT(peak - VirtualBytes(), 1ull << 30) << "an earlier peak would hide the allocation";
    ASSERT_EQ(WPD_ATWrite(handle, "AT", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_LT(PeakVirtualBytes() - peak, 1ull << 30);
    EXPECT_EQ(ATText(handle), "");
    const auto reads = ExchangesOf(VendorOperation::ATRead);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].chunks, (std::vector<ULONG>{6, 0}));

    vendor_->AnnounceReadSize(std::nullopt);
    ASSERT_EQ(WPD_ATWrite(handle, "AT", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_EQ(ATText(handle), "\r\nOK\r\n");
}

// However the phone hands out a reply, it arrives whole, in both the stream and the buffer form.
struct ReadShape {
    const char *name;
    std::optional<ULONGLONG> announced;
    ULONG readLimit;
    std::optional<DWORD> transferSize;
};

class RepliesOfAnyShape : public VendorTest, public testing::WithParamInterface<ReadShape> {};

TEST_P(RepliesOfAnyShape, ArriveWhole) {
    void *handle = OpenSyncML();
    ASSERT_EQ(WPD_ATOpenSession(handle, kAtSession, 0), WPD_ERROR_OK);
    ASSERT_EQ(Put(handle, Pattern(10)), WPD_ERROR_OK);
    vendor_->AnnounceReadSize(GetParam().announced);
    vendor_->LimitReadsTo(GetParam().readLimit);
    vendor_->SetOptimalTransferSize(GetParam().transferSize);
    vendor_->SetSyncMLReply(2, Pattern(20000));
    const SyncMLReply reply = Get(handle);
    EXPECT_EQ(reply.result, WPD_ERROR_OK);
    EXPECT_EQ(reply.mime, WPD_SYNCML_MIME_WBXML);
    EXPECT_EQ(reply.size, 20000u);
    EXPECT_TRUE(reply.bytes == Pattern(20000));
    ASSERT_EQ(WPD_ATWrite(handle, "ATI", 0), WPD_ERROR_OK);
    vendor_->WaitForEvents();
    EXPECT_EQ(ATText(handle), kATIReply);
}

INSTANTIATE_TEST_SUITE_P(
    VendorTransfers, RepliesOfAnyShape,
    testing::Values(ReadShape{"UnknownSize", 0xFFFFFFFF, 0, 4096},
                    // 20001 bytes are three whole chunks: the short chunk that ends them is empty.
                    ReadShape{"UnknownSizeEndingOnAChunk", 0xFFFFFFFF, 0, 6667},
                    ReadShape{"ShortReads", std::nullopt, 7, 4096}, ReadShape{"NoTransferSize", std::nullopt, 0, std::nullopt},
                    ReadShape{"TransferSizeZero", std::nullopt, 0, 0}),
    [](const auto &info) { return info.param.name; });

// Two host threads on one handle, and the phone's event thread fetching replies it pushes meanwhile:
// each vendor operation runs alone, and nothing is lost or mixed.
TEST_F(VendorTransfers, ATRepliesPushedWhileABigPutAndAnInstallRunAllArrive) {
    void *handle = OpenSyncML();
    ASSERT_EQ(WPD_ATOpenSession(handle, kAtSession, 0), WPD_ERROR_OK);
    const std::vector<BYTE> package = Pattern(64 << 20);
    const std::wstring locals = LocalFile(L"orvik-busy-app.jar", "archive") + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\busy-app.jar") + L'\0';

    const auto host = [](auto call) {
        return std::thread([call] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            call();
            CoUninitialize();
        });
    };
    const auto source = StreamOf(package);
    WPD_ERROR put = WPD_ERROR_FAILED, install = WPD_ERROR_FAILED;
    const unsigned before = phone_->Controls().CallCount("IPortableDevice::SendCommand");
    std::thread putter = host([&] {
        put = WPD_SyncMLPut(handle, WPD_SYNCML_MIME_XML, source.Get(), package.size(), 120000, 0);
    });
    // The others start once the put's data phase is well under way.
    while (phone_->Controls().CallCount("IPortableDevice::SendCommand") < before + 100) Sleep(1);
    std::thread installer = host([&] { install = WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0); });
    std::string pushed;
    for (int i = 0; i < 40; ++i) {
        const std::string line = "+CREG: " + std::to_string(i) + "\r\n";
        vendor_->PushATReply(line);
        pushed += line;
        Sleep(5);
    }
    putter.join();
    installer.join();
    vendor_->WaitForEvents();

    EXPECT_EQ(put, WPD_ERROR_OK);
    EXPECT_EQ(install, WPD_ERROR_OK);
    EXPECT_EQ(ATText(handle), pushed);
    const auto packages = vendor_->SyncMLPackages();
    ASSERT_EQ(packages.size(), 1u);
    EXPECT_EQ(packages[0].size(), package.size() + 1);
    EXPECT_TRUE(std::equal(package.begin(), package.end(), packages[0].begin() + 1));
    EXPECT_EQ(vendor_->InstallRequests(), (std::vector<std::vector<ULONG>>{{HandleAt(L"\\Card\\busy-app.jar")}}));
}

}  // namespace
}  // namespace orvik_test
