// Every platform failure at each call site of the transfers, changes and playlists: the mapped result,
// the lines that name the failed step, and nothing left open (the fixture checks the phone's objects;
// here, the local files).
#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

enum class Call { GetFile, PutFile, ReplaceFile, DeleteFile, DeleteFolder, CreateFolder, PutM3u, GetReferences, GetM3u };

struct Fault {
    const char *method;
    int nth;  // 0 or less: counted back from the last call of that method in a run without the fault
    HRESULT hr;
};

struct FaultCase {
    const char *name;
    Call call;
    std::vector<Fault> faults;
    WPD_ERROR result;
    Strings log;  // "{id}" stands for the object ID of the call's target
    WPD_METHOD method = WPD_METHOD_BASE;
};

constexpr wchar_t kTen[] = L"\\Card\\Music\\ten.mp3";
constexpr wchar_t kLive[] = L"\\Card\\Music\\Live";
constexpr HRESULT kBusy = HRESULT_FROM_WIN32(ERROR_BUSY);
constexpr HRESULT kStoreFull = static_cast<HRESULT>(0xA000200C);
const std::string kNoReferences = "CreateObjectWithPropertiesOnly failed, hr = 80070032";
const std::string kNoData = "Getting resource stream failed, hr = 80070032";

class PlatformFaults : public TransferTest, public testing::WithParamInterface<FaultCase> {
protected:
    WPD_ERROR Run(void *handle, Call call) {
        static wchar_t text[64];
        switch (call) {
            case Call::GetFile: return WPD_Media_GetFile(handle, kTen, Local(L"ten.mp3").c_str(), 0);
            case Call::PutFile: return WPD_Media_PutFile(handle, L"\\Card\\Music\\up.mp3", Local(L"x.bin").c_str(), 0);
            case Call::ReplaceFile: return WPD_Media_PutFile(handle, kTen, Local(L"x.bin").c_str(), 4);
            case Call::DeleteFile: return WPD_Media_DeleteFile(handle, kTen, 0);
            case Call::DeleteFolder: return WPD_Media_DeleteFolder(handle, kLive, 0);
            case Call::CreateFolder: return WPD_Media_CreateFolder(handle, L"\\Card\\Photos\\2008", 0);
            case Call::PutM3u:
                wcscpy_s(text, L"\\Card\\Music\\a.mp3\r\n\\Card\\Music\\b.mp3");
                return WPD_Media_PutPlaylist(handle, L"\\Card\\Playlists\\new.m3u", text, 0);
            case Call::GetReferences:
            case Call::GetM3u: {
                wchar_t *received = nullptr;
                const WPD_ERROR result = WPD_Media_GetPlaylist(
                    handle, call == Call::GetM3u ? L"\\Card\\Playlists\\old.m3u" : L"\\Card\\Playlists\\mix.pla", &received, 0);
                if (received) GlobalFree(GlobalHandle(received));
                return result;
            }
        }
        return WPD_ERROR_NOT_SUPPORTED;
    }

    std::wstring TargetId(Call call) const { return IdOf(call == Call::DeleteFolder ? kLive : kTen); }
};

TEST_P(PlatformFaults, GiveTheMappedResultAndTheirLines) {
    const FaultCase &fault = GetParam();
    void *handle = fault.method == WPD_METHOD_BASE ? handle_ : ConnectedHandle(fault.method);
    phone_->Controls().SetTransferSizes(4096, 4096);
    phone_->Controls().RefuseReferences(fault.call == Call::PutM3u);
    WriteLocal(L"ten.mp3", Pattern(10, 42));
    WriteLocal(L"x.bin", Pattern(40960));
    std::vector<unsigned> dryRunCalls;
    for (const Fault &f : fault.faults) dryRunCalls.push_back(phone_->Controls().CallCount(f.method));
    if (fault.faults.front().nth <= 0) {
        ASSERT_EQ(Run(handle, fault.call), WPD_ERROR_OK);
    }
    for (size_t i = 0; i < fault.faults.size(); ++i) {
        const Fault &f = fault.faults[i];
        const int made = static_cast<int>(phone_->Controls().CallCount(f.method) - dryRunCalls[i]);
        phone_->Controls().FailCall(f.method, static_cast<unsigned>(f.nth > 0 ? f.nth : made + f.nth), f.hr);
    }
    const std::wstring id = TargetId(fault.call);
    ClearLog();

    EXPECT_EQ(Run(handle, fault.call), fault.result);
    Strings expected = fault.log;
    for (std::string &line : expected) {
        if (const size_t at = line.find("{id}"); at != std::string::npos) line.replace(at, 4, std::string(id.begin(), id.end()));
    }
    EXPECT_EQ(Log(), expected);

    // The host's earlier file stays, no partial file is left, and nothing local is held open.
    EXPECT_EQ(ReadLocal(L"ten.mp3"), Pattern(10, 42));
    EXPECT_EQ(LocalFiles(), (std::vector<std::wstring>{L"ten.mp3", L"x.bin"}));
    for (const std::wstring &name : LocalFiles()) EXPECT_TRUE(DeleteFileW(Local(name).c_str())) << GetLastError();
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlatformFaults,
    testing::Values(
        FaultCase{"LookUp", Call::GetFile, {{"IPortableDevice::Capabilities", 1, kBusy}}, WPD_ERROR_BUSY,
                  {"Getting device capabilities failed, hr = 800700aa", "EnumStorages failed, hr = 800700aa",
                   "GetFolderList failed, hr = 800700aa", "FindRemoteFile failed, hr = 800700aa"}},
        FaultCase{"GetFileTransfer", Call::GetFile, {{"IPortableDeviceContent::Transfer", 1, E_UNEXPECTED}},
                  WPD_ERROR_FAILED, {"Getting content resource interface failed, hr = 8000ffff"}},
        FaultCase{"GetFileStream", Call::GetFile, {{"IPortableDeviceResources::GetStream", 1, kBusy}}, WPD_ERROR_BUSY,
                  {"Getting resource stream failed, hr = 800700aa"}},
        FaultCase{"GetFileFirstRead", Call::GetFile, {{"IPortableDeviceDataStream::Read", 1, E_FAIL}}, WPD_ERROR_FAILED,
                  {"failed to read stream data, size = 4096, current = 0", "Copying the file failed, hr = 80004005"}},
        FaultCase{"GetFileLaterRead", Call::GetFile, {{"IPortableDeviceDataStream::Read", 4, STG_E_READFAULT}},
                  WPD_ERROR_FAILED,
                  {"failed to read stream data, size = 4096, current = 12288", "Copying the file failed, hr = 8003001e"}},
        FaultCase{"PutFileCreate", Call::PutFile,
                  {{"IPortableDeviceContent::CreateObjectWithPropertiesAndData", 1, HRESULT_FROM_WIN32(ERROR_DISK_FULL)}},
                  WPD_ERROR_FAILED, {"CreateObjectWithPropertiesAndData failed, hr = 80070070"}},
        FaultCase{"PutFileFirstWrite", Call::PutFile, {{"IPortableDeviceDataStream::Write", 1, kBusy}}, WPD_ERROR_BUSY,
                  {"failed to write stream data, size = 4096, current = 0", "StreamCopy failed, hr = 800700aa"}},
        FaultCase{"PutFileLaterWrite", Call::PutFile, {{"IPortableDeviceDataStream::Write", 3, E_FAIL}},
                  WPD_ERROR_FAILED,
                  {"failed to write stream data, size = 4096, current = 8192", "StreamCopy failed, hr = 80004005"}},
        FaultCase{"PutFileCommit", Call::PutFile, {{"IPortableDeviceDataStream::Commit", 1, E_FAIL}}, WPD_ERROR_FAILED,
                  {"Commit failed, hr = 80004005"}},
        FaultCase{"PutFileCommitVendor", Call::PutFile, {{"IPortableDeviceDataStream::Commit", 1, kStoreFull}},
                  WPD_ERROR_MTP_STORE_FULL, {"Commit failed, hr = a000200c"}, WPD_METHOD_ZEPH},
        FaultCase{"ReplaceFileDelete", Call::ReplaceFile, {{"IPortableDeviceContent::Delete", 1, kBusy}},
                  WPD_ERROR_BUSY,
                  {"Failed to delete object with ID = {id}, hr = 800700aa", "DeleteDeviceObject failed, hr = 800700aa"}},
        FaultCase{"DeleteFile", Call::DeleteFile, {{"IPortableDeviceContent::Delete", 1, E_ACCESSDENIED}},
                  WPD_ERROR_FAILED,
                  {"Failed to delete object with ID = {id}, hr = 80070005",
                   "Failed to delete file: \\Card\\Music\\ten.mp3, hr = 80070005"}},
        FaultCase{"DeleteFolder", Call::DeleteFolder, {{"IPortableDeviceContent::Delete", 1, kBusy}}, WPD_ERROR_BUSY,
                  {"Failed to delete object with ID = {id}, hr = 800700aa",
                   "Failed to delete folder: \\Card\\Music\\Live, hr = 800700aa"}},
        FaultCase{"CreateFolder", Call::CreateFolder, {{"IPortableDeviceContent::CreateObjectWithPropertiesOnly", 1, E_FAIL}},
                  WPD_ERROR_FAILED, {"CreateObjectWithPropertiesOnly failed, hr = 80004005"}},
        FaultCase{"PutM3uCreate", Call::PutM3u, {{"IPortableDeviceContent::CreateObjectWithPropertiesAndData", 1, kBusy}},
                  WPD_ERROR_BUSY, {kNoReferences, "CreateObjectWithPropertiesAndData failed, hr = 800700aa"}},
        FaultCase{"PutM3uWrite", Call::PutM3u, {{"IPortableDeviceDataStream::Write", 1, E_FAIL}}, WPD_ERROR_FAILED,
                  {kNoReferences, "Writing the playlist failed, hr = 80004005"}},
        FaultCase{"PutM3uCommit", Call::PutM3u, {{"IPortableDeviceDataStream::Commit", 1, E_FAIL}}, WPD_ERROR_FAILED,
                  {kNoReferences, "Commit failed, hr = 80004005"}},
        FaultCase{"GetReferencesProperties", Call::GetReferences, {{"IPortableDeviceContent::Properties", 0, E_FAIL}},
                  WPD_ERROR_FAILED,
                  {"Getting content properties interface failed, hr = 80004005", kNoData,
                   "Failed to read playlist \\Card\\Playlists\\mix.pla, hr = 80070032"}},
        FaultCase{"GetReferencesPath", Call::GetReferences, {{"IPortableDeviceProperties::GetValues", 0, kBusy}},
                  WPD_ERROR_FAILED,
                  {"Failed to get the object values, hr = 800700aa",
                   "Failed to get the full link path for object 1, hr = 800700aa", kNoData,
                   "Failed to read playlist \\Card\\Playlists\\mix.pla, hr = 80070032"}},
        FaultCase{"GetM3uTransfer", Call::GetM3u, {{"IPortableDeviceContent::Transfer", 1, kBusy}}, WPD_ERROR_BUSY,
                  {"Getting content resource interface failed, hr = 800700aa",
                   "Failed to read playlist \\Card\\Playlists\\old.m3u, hr = 800700aa"}},
        FaultCase{"GetM3uRead", Call::GetM3u, {{"IPortableDeviceDataStream::Read", 1, E_FAIL}}, WPD_ERROR_FAILED,
                  {"Failed to read the playlist, hr = 80004005",
                   "Failed to read playlist \\Card\\Playlists\\old.m3u, hr = 80004005"}}),
    [](const testing::TestParamInfo<FaultCase> &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace transfer_test
