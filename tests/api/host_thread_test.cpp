// Every export from a desktop application's UI thread: a single-threaded apartment with a message
// loop, in a process where no thread of the host is in the multithreaded apartment, against a phone
// installed in the test prefix and served by virtualphone.dll through the registry, as on a user's PC.
// The phone refuses a call from the wrong apartment, and counts the objects and task memory it
// handed out; the counts are read from the server once the handles are gone.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fieldrec.h"
#include "orvik.h"
#include "support/log_collector.h"
#include "support/sta_host.h"
#include "virtualphone/description/test_paths.h"
#include "virtualphone/install/phone_installer.h"
#include "virtualphone/server/server_counts.h"
#include "win/adopt_reference.h"
#include "win/com_object.h"
#include "win/unique_any.h"

namespace {

using Microsoft::WRL::ComPtr;
using orvik_test::StaHost;

constexpr wchar_t kPhoneName[] = L"orvik-host-thread-test";
constexpr unsigned kLongFileBytes = 32 << 20;
const char kDescription[] =
    "serial HOSTTEST01\n"
    "friendly-name Host Thread Phone\n"
    "instance-id USB\\VID_0FCE&PID_57A0\\HOSTTEST01\n"
    "hardware-id USB\\VID_0FCE&PID_57A0\n"
    "storage Card\n"
    "  capacity 1 GiB\n"
    "  folder Music\n"
    "    file song.mp3\n"
    "      generate 300 KiB seed 3\n"
    "    file long.mp3\n"
    "      generate 32 MiB seed 5\n";

// A stream of the host's UI thread that, like an apartment-bound object reached without marshalling,
// refuses every call from another thread.
class ThreadBoundStream final : public win::ComObject<ThreadBoundStream, IStream> {
public:
    explicit ThreadBoundStream(const std::string &bytes)
        : inner_(win::AdoptReference(SHCreateMemStream(reinterpret_cast<const BYTE *>(bytes.data()),
                                                       static_cast<UINT>(bytes.size())))) {}
    void *QueryBaseInterface(REFIID iid) noexcept {
        return iid == __uuidof(ISequentialStream) ? static_cast<IStream *>(this) : nullptr;
    }
    ULONGLONG Position() {
        ULARGE_INTEGER position{};
        inner_->Seek({}, STREAM_SEEK_CUR, &position);
        return position.QuadPart;
    }

    HRESULT STDMETHODCALLTYPE Read(void *data, ULONG size, ULONG *read) noexcept override {
        return Here([&] { return inner_->Read(data, size, read); });
    }
    HRESULT STDMETHODCALLTYPE Write(const void *data, ULONG size, ULONG *written) noexcept override {
        return Here([&] { return inner_->Write(data, size, written); });
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *position) noexcept override {
        return Here([&] { return inner_->Seek(move, origin, position); });
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) noexcept override {
        return Here([&] { return inner_->SetSize(size); });
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream *to, ULARGE_INTEGER size, ULARGE_INTEGER *read,
                                     ULARGE_INTEGER *written) noexcept override {
        return Here([&] { return inner_->CopyTo(to, size, read, written); });
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) noexcept override {
        return Here([&] { return inner_->Commit(flags); });
    }
    HRESULT STDMETHODCALLTYPE Revert() noexcept override { return Here([&] { return inner_->Revert(); }); }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return Here([] { return STG_E_INVALIDFUNCTION; });
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return Here([] { return STG_E_INVALIDFUNCTION; });
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG *stat, DWORD flags) noexcept override {
        return Here([&] { return inner_->Stat(stat, flags); });
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream **clone) noexcept override {
        if (clone) *clone = nullptr;
        return E_NOTIMPL;
    }

private:
    template <class Call>
    HRESULT Here(Call call) {
        return GetCurrentThreadId() == owner_ ? call() : RPC_E_WRONG_THREAD;
    }

    DWORD owner_ = GetCurrentThreadId();
    ComPtr<IStream> inner_;
};

std::string FileBytes(const std::wstring &path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The server's counts, once it is loaded; all zero before.
VirtualPhoneCounts ServerCounts() {
    VirtualPhoneCounts counts{};
    HMODULE server = GetModuleHandleW(L"virtualphone.dll");
    if (!server) return counts;
    const auto read = reinterpret_cast<VirtualPhoneGetCountsFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(server, kVirtualPhoneCountsExport)));
    EXPECT_NE(read, nullptr);
    if (read) {
        EXPECT_EQ(read(&counts), S_OK);
    }
    return counts;
}

// The apartment goes with the last thread in it; the phone's event thread may still be delivering.
bool ApartmentGoesAway() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!orvik_test::MultithreadedApartmentExists()) return true;
        Sleep(20);
    }
    return false;
}

class HostThread : public testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = vphone_test::MakeScratchFolder(L"orvik-host-thread-");
        std::ofstream((folder_ + L"\\host.phone").c_str(), std::ios::binary) << kDescription;
        std::ofstream((folder_ + L"\\up.bin").c_str(), std::ios::binary) << std::string(kLongFileBytes, '\x5a');
        vphone::install::InstalledPhone installed;
        std::wstring message;
        ASSERT_EQ(vphone::install::InstallPhone({folder_ + L"\\host.phone", kPhoneName, folder_ + L"\\data",
                                                 vphone_test::WinePath(VPHONE_SERVER_DLL)},
                                                &installed, &message),
                  S_OK)
            << testing::PrintToString(message);
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(vphone::install::UninstallPhone(kPhoneName), S_OK);
        SHFILEOPSTRUCTW remove = {};
        const std::wstring doubleTerminated = folder_ + L'\0';
        remove.wFunc = FO_DELETE;
        remove.pFrom = doubleTerminated.c_str();
        remove.fFlags = FOF_NO_UI;
        SHFileOperationW(&remove);
    }

    void SetUp() override {
        ASSERT_FALSE(orvik_test::MultithreadedApartmentExists()) << "the test process must not hold the apartment";
        violationsBefore_ = ServerCounts().apartmentViolations;
    }
    void TearDown() override {
        host_.reset();
        EXPECT_TRUE(ApartmentGoesAway()) << "the apartment outlived the last handle";
        const VirtualPhoneCounts counts = ServerCounts();
        EXPECT_EQ(counts.liveObjects, 0) << "COM objects of the phone still referenced";
        EXPECT_EQ(counts.taskMemoryBlocks, 0) << "task memory of the phone not freed";
        EXPECT_EQ(counts.apartmentViolations, violationsBefore_) << "phone objects used outside their apartment";
    }

    // On the host thread.
    static void *Connected() {
        void *handle = WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
        char id[] = "USB\\VID_0FCE&PID_57A0";
        EXPECT_EQ(WPD_ConnectDevice(handle, id, false, 0), WPD_ERROR_OK) << testing::PrintToString(orvik_test::TestLog().Messages());
        return handle;
    }

    static std::wstring folder_;
    std::unique_ptr<StaHost> host_ = std::make_unique<StaHost>();
    long violationsBefore_ = 0;
};

std::wstring HostThread::folder_;

TEST_F(HostThread, EveryKindOfCallWorksFromTheUiThread) {
    const std::wstring local = folder_ + L"\\song.mp3", back = folder_ + L"\\back.mp3";
    bool apartmentBetweenCalls = false;
    ULONGLONG sent = 0;
    std::string atReply;
    ASSERT_TRUE(host_->Run([&] {
        void *handle = Connected();
        apartmentBetweenCalls = orvik_test::MultithreadedApartmentExists();
        char *listing = nullptr;
        EXPECT_EQ(WPD_Media_GetFolderListing(handle, L"\\Card\\Music", &listing, 0), WPD_ERROR_OK);
        EXPECT_NE(listing, nullptr);
        FieldrecFree(listing);
        EXPECT_EQ(WPD_Media_GetFile(handle, L"\\Card\\Music\\song.mp3", local.c_str(), 0), WPD_ERROR_OK);
        EXPECT_EQ(WPD_Media_PutFile(handle, L"\\Card\\Music\\copy.mp3", local.c_str(), 0), WPD_ERROR_OK);
        EXPECT_EQ(WPD_Media_GetFile(handle, L"\\Card\\Music\\copy.mp3", back.c_str(), 0), WPD_ERROR_OK);
        WPD_DEVICE_TIME time = {sizeof time, {}, 0, 0};
        EXPECT_EQ(WPD_GetDeviceTime(handle, &time), WPD_ERROR_OK);

        // Streams made on this thread, which refuse any other.
        EXPECT_EQ(WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, 3, 0), WPD_ERROR_OK);
        const std::string package = "<SyncML><SyncHdr/></SyncML>";
        const ComPtr<ThreadBoundStream> out = win::AdoptReference(ThreadBoundStream::Create(package));
        EXPECT_EQ(WPD_SyncMLPut(handle, WPD_SYNCML_MIME_XML, out.Get(), package.size(), 5000, 0), WPD_ERROR_OK);
        sent = out->Position();
        const ComPtr<ThreadBoundStream> in = win::AdoptReference(ThreadBoundStream::Create(""));
        WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_XML;
        unsigned __int64 size = 99;
        EXPECT_EQ(WPD_SyncMLGet(handle, &mime, in.Get(), &size, 5000, 0), WPD_ERROR_OK);
        EXPECT_EQ(WPD_SyncMLCloseSession(handle), WPD_ERROR_OK);

        EXPECT_EQ(WPD_ATOpenSession(handle, 4, 0), WPD_ERROR_OK);
        EXPECT_EQ(WPD_ATWrite(handle, "ATI\r", 0), WPD_ERROR_OK);
        for (int attempt = 0; attempt < 100 && atReply.find("OK") == std::string::npos; ++attempt) {
            const char *text = nullptr;
            EXPECT_EQ(WPD_ATRead(handle, &text, 0), WPD_ERROR_OK);
            if (text) atReply += text;
            Sleep(20);
        }
        EXPECT_EQ(WPD_ATCloseSession(handle), WPD_ERROR_OK);

        const std::wstring files = local + L'\0';
        EXPECT_EQ(WPD_InstallApp(handle, files.c_str(), L"\\Card\\app.jar\0", 1, 0), WPD_ERROR_OK);
        EXPECT_EQ(WPD_DisconnectDevice(handle), WPD_ERROR_OK);
        WPD_Uninitialize(handle);
    }));
    EXPECT_TRUE(apartmentBetweenCalls) << "the opened device outlived its apartment between two calls";
    EXPECT_EQ(sent, std::string("<SyncML><SyncHdr/></SyncML>").size());
    EXPECT_NE(atReply.find("OK"), std::string::npos) << atReply;
    EXPECT_EQ(FileBytes(back), FileBytes(local));
    EXPECT_EQ(FileBytes(local).size(), 300u << 10);
}

// What the user clicks while a copy runs; the click arrives through the copy's message pump.
enum class Click { Disconnect, Uninitialize, AvailableMemory };

struct ClickCase {
    const char *name;
    bool upload;
    Click click;
};

void PrintTo(const ClickCase &c, std::ostream *out) { *out << c.name; }

struct ClickContext {
    StaHost *host;
    std::function<void()> click;
    bool awaitEnd;  // false for a click that waits for the copy itself
    std::atomic<bool> posted{false};
    win::UniqueHandle started{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    win::UniqueHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The progress callback leaves the click to the host's thread after the first chunk, as a real host
// would post a message to its window, and holds the copy until the click has begun (or ended), so
// that the click meets the copy running however fast the phone is.
int ClickAfterFirstChunk(WPD_MONITORED_EVENT, void *, void *context) {
    auto &clicks = *static_cast<ClickContext *>(context);
    if (clicks.posted.exchange(true)) return 0;
    clicks.host->Post([&clicks] {
        SetEvent(clicks.started.get());
        clicks.click();
        SetEvent(clicks.ended.get());
    });
    WaitForSingleObject(clicks.awaitEnd ? clicks.ended.get() : clicks.started.get(), 20000);
    return 0;
}

class HostClick : public HostThread, public testing::WithParamInterface<ClickCase> {};

TEST_P(HostClick, DuringALongCopyLeavesNoCrashAndNothingPartial) {
    const ClickCase &c = GetParam();
    const std::wstring remote = std::wstring(L"\\Card\\Music\\") + (c.upload ? L"up-" : L"long-") +
                                std::wstring(c.name, c.name + strlen(c.name)) + L".mp3";
    // An upload sends the long local file; a download fetches the long object into a file of its own.
    const std::wstring local = c.upload ? folder_ + L"\\up.bin" : folder_ + L"\\" + remote.substr(12);
    WPD_ERROR copied = WPD_ERROR_FAILED, clicked = WPD_ERROR_FAILED;
    ASSERT_TRUE(host_->Run([&] {
        void *handle = Connected();
        ClickContext context{host_.get(), [&] {
                                 switch (c.click) {
                                     case Click::Disconnect: clicked = WPD_DisconnectDevice(handle); break;
                                     case Click::Uninitialize:
                                         WPD_Uninitialize(handle);
                                         clicked = WPD_ERROR_OK;
                                         break;
                                     case Click::AvailableMemory: {
                                         unsigned __int64 bytes = 0;
                                         clicked = WPD_Media_GetAvailableMemory(handle, L"\\Card", &bytes, 0);
                                         break;
                                     }
                                 }
                             },
                             c.click != Click::AvailableMemory};
        WPD_Monitor_Set(handle, &ClickAfterFirstChunk);
        WPD_Monitor_Start(handle, WPD_EVENT_PROGRESS, &context);
        copied = c.upload ? WPD_Media_PutFile(handle, remote.c_str(), local.c_str(), 0)
                          : WPD_Media_GetFile(handle, L"\\Card\\Music\\long.mp3", local.c_str(), 0);
        EXPECT_TRUE(context.posted);
        if (c.click != Click::Uninitialize) {
            WPD_Monitor_Stop(handle, WPD_EVENT_PROGRESS);
            EXPECT_EQ(WPD_DisconnectDevice(handle), WPD_ERROR_OK);
            WPD_Uninitialize(handle);
        }
    }));
    // A cancelled copy returns as one cancelled by the host does.
    EXPECT_EQ(copied, WPD_ERROR_OK);
    EXPECT_EQ(clicked, c.click == Click::Disconnect ? WPD_ERROR_BUSY : WPD_ERROR_OK);
    // What the phone or the computer holds afterwards: the whole copy, or none of it.
    const bool whole = c.click != Click::Uninitialize;
    std::string result;
    ASSERT_TRUE(host_->Run([&] {
        void *handle = Connected();
        if (c.upload) {
            const std::wstring fetched = folder_ + L"\\fetched-" + remote.substr(12);
            EXPECT_EQ(WPD_Media_GetFile(handle, remote.c_str(), fetched.c_str(), 0),
                      whole ? WPD_ERROR_OK : WPD_ERROR_FAILED);
            result = FileBytes(fetched);
        } else {
            result = FileBytes(local);
            WIN32_FIND_DATAW found;
            const HANDLE search = FindFirstFileW((local + L"*").c_str(), &found);
            EXPECT_EQ(search == INVALID_HANDLE_VALUE, !whole) << "a partial download was left";
            if (search != INVALID_HANDLE_VALUE) FindClose(search);
        }
        EXPECT_EQ(WPD_DisconnectDevice(handle), WPD_ERROR_OK);
        WPD_Uninitialize(handle);
    }));
    EXPECT_EQ(result.size(), whole ? kLongFileBytes : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, HostClick,
    testing::Values(ClickCase{"DownloadDisconnect", false, Click::Disconnect},
                    ClickCase{"DownloadUninitialize", false, Click::Uninitialize},
                    ClickCase{"DownloadAvailableMemory", false, Click::AvailableMemory},
                    ClickCase{"UploadDisconnect", true, Click::Disconnect},
                    ClickCase{"UploadUninitialize", true, Click::Uninitialize}),
    [](const testing::TestParamInfo<ClickCase> &info) { return std::string(info.param.name); });

struct NestedCall {
    void *handle;
    std::atomic<int> calls{0};
    WPD_ERROR result = WPD_ERROR_OK;
};

// The progress callback runs on the copy's worker; a media call it makes on its own handle could only
// wait for the copy that waits for the callback, so it is refused at once.
int CallOwnHandle(WPD_MONITORED_EVENT, void *, void *context) {
    auto &nested = *static_cast<NestedCall *>(context);
    if (nested.calls++ == 0) {
        unsigned __int64 bytes = 0;
        nested.result = WPD_Media_GetAvailableMemory(nested.handle, L"\\Card", &bytes, 0);
    }
    return 0;
}

TEST_F(HostThread, ProgressCallbackCallingItsOwnHandleIsRefusedAtOnce) {
    const std::wstring local = folder_ + L"\\nested.mp3";
    WPD_ERROR copied = WPD_ERROR_FAILED;
    NestedCall nested;
    ASSERT_TRUE(host_->Run([&] {
        nested.handle = Connected();
        WPD_Monitor_Set(nested.handle, &CallOwnHandle);
        WPD_Monitor_Start(nested.handle, WPD_EVENT_PROGRESS, &nested);
        copied = WPD_Media_GetFile(nested.handle, L"\\Card\\Music\\song.mp3", local.c_str(), 0);
        WPD_Uninitialize(nested.handle);
    }));
    EXPECT_EQ(copied, WPD_ERROR_OK);
    EXPECT_GT(nested.calls, 0);
    EXPECT_EQ(nested.result, WPD_ERROR_BUSY);
}

// A host that quits while a call runs: the call's pump takes the WM_QUIT from the queue, and hands it
// back when the call is over, so that the host's loop ends.
TEST_F(HostThread, QuitDuringACallEndsTheHostsLoopAfterIt) {
    const std::wstring local = folder_ + L"\\quit.mp3";
    WPD_ERROR copied = WPD_ERROR_FAILED;
    bool loopEndedDuringTheCall = true;
    ASSERT_TRUE(host_->Run([&] {
        void *handle = Connected();
        ClickContext quit{host_.get(), [] { PostQuitMessage(7); }, true};
        WPD_Monitor_Set(handle, &ClickAfterFirstChunk);
        WPD_Monitor_Start(handle, WPD_EVENT_PROGRESS, &quit);
        copied = WPD_Media_GetFile(handle, L"\\Card\\Music\\long.mp3", local.c_str(), 0);
        EXPECT_TRUE(quit.posted);
        loopEndedDuringTheCall = host_->LoopEnded();
        WPD_Uninitialize(handle);
    }));
    EXPECT_EQ(copied, WPD_ERROR_OK);
    EXPECT_FALSE(loopEndedDuringTheCall);
    for (int attempt = 0; attempt < 250 && !host_->LoopEnded(); ++attempt) Sleep(20);
    EXPECT_TRUE(host_->LoopEnded()) << "the host's message loop never saw its WM_QUIT";
    EXPECT_EQ(host_->ExitCode(), 7);
}

}  // namespace
