// Copying files both ways through WPD_Media_GetFile, WPD_Media_GetThumbnail and WPD_Media_PutFile.
#include <algorithm>

#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

constexpr wchar_t kTen[] = L"\\Card\\Music\\ten.mp3";
constexpr wchar_t kSong[] = L"\\Card\\Music\\song.mp3";
constexpr unsigned long kChunk = 4096;
const std::vector<unsigned long> kTenSteps = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};

using FileTransfer = BothProfiles;

TEST_P(FileTransfer, DownloadReportsEveryChunkOnTheWorkerUpTo100) {
    phone_->Controls().SetTransferSizes(kChunk, kChunk);
    Monitor();
    ASSERT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"ten.mp3").c_str(), 0), WPD_ERROR_OK) << testing::PrintToString(Log());
    EXPECT_EQ(progress_.percents, kTenSteps);
    EXPECT_EQ(progress_.totals, std::vector<unsigned long long>(10, 40960));
    EXPECT_EQ(progress_.contexts, std::vector<void *>(10, &progress_));
    EXPECT_FALSE(progress_.onHostThread);
    EXPECT_FALSE(progress_.malformed);
    EXPECT_EQ(ReadLocal(L"ten.mp3"), PhoneData(kTen));
    EXPECT_EQ(LocalFiles(), std::vector<std::wstring>{L"ten.mp3"});
}

TEST_P(FileTransfer, UploadReportsEveryChunkUpTo100) {
    phone_->Controls().SetTransferSizes(kChunk, kChunk);
    WriteLocal(L"x.bin", Pattern(40960, 9));
    Monitor();
    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Music\\up.mp3", Local(L"x.bin").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents, kTenSteps);
    EXPECT_EQ(progress_.totals, std::vector<unsigned long long>(10, 40960));
    EXPECT_EQ(PhoneData(L"\\Card\\Music\\up.mp3"), Pattern(40960, 9));
}

// The object takes everything from the device path, nothing from the local file's name.
TEST_P(FileTransfer, UploadedObjectIsNamedAndTypedByTheDevicePath) {
    WriteLocal(L"x.bin", Pattern(1234));
    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Photos\\hit.mp3", Local(L"x.bin").c_str(), 0), WPD_ERROR_OK);
    const auto object = phone_->Find(IdOf(L"\\Card\\Photos\\hit.mp3"));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->name, Android() ? L"hit.mp3" : L"hit");
    EXPECT_EQ(object->originalFileName, L"hit.mp3");
    EXPECT_EQ(object->contentType, wpd::WPD_CONTENT_TYPE_AUDIO);
    EXPECT_EQ(object->format, wpd::MtpFormatGuid(0x3009));
    EXPECT_EQ(object->parentId, IdOf(L"\\Card\\Photos"));
    EXPECT_EQ(object->Size(), 1234u);

    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Photos\\read.me", Local(L"x.bin").c_str(), 0), WPD_ERROR_OK);
    const auto other = phone_->Find(IdOf(L"\\Card\\Photos\\read.me"));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->name, L"read.me");
    EXPECT_EQ(other->format, wpd::WPD_OBJECT_FORMAT_UNSPECIFIED);
}

TEST_P(FileTransfer, NoReportsWithoutCallbackOrMonitoring) {
    phone_->Controls().SetTransferSizes(kChunk, kChunk);
    // A callback but monitoring never started, then started and stopped again.
    ASSERT_EQ(WPD_Monitor_Set(handle_, RecordProgress), WPD_ERROR_OK);
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"1").c_str(), 0), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Monitor_Start(handle_, WPD_EVENT_PROGRESS, &progress_), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Monitor_Stop(handle_, WPD_EVENT_PROGRESS), WPD_ERROR_OK);
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"2").c_str(), 0), WPD_ERROR_OK);
    // Monitoring on without a callback.
    ASSERT_EQ(WPD_Monitor_Set(handle_, nullptr), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Monitor_Start(handle_, WPD_EVENT_PROGRESS, &progress_), WPD_ERROR_OK);
    EXPECT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Music\\copy.mp3", Local(L"2").c_str(), 0), WPD_ERROR_OK);
    EXPECT_TRUE(progress_.percents.empty());
    EXPECT_EQ(PhoneData(L"\\Card\\Music\\copy.mp3"), PhoneData(kTen));
}

// Cancelling keeps the host's earlier file and leaves no partial one.
TEST_P(FileTransfer, CancelledDownloadStopsAfterOneChunkAndKeepsTheEarlierFile) {
    phone_->Controls().SetTransferSizes(kChunk, kChunk);
    WriteLocal(L"ten.mp3", Pattern(10, 42));
    progress_.cancelAtReport = 1;
    Monitor();
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"ten.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents, std::vector<unsigned long>{10});
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceDataStream::Read"), 1u);
    EXPECT_EQ(ReadLocal(L"ten.mp3"), Pattern(10, 42));

    progress_ = {};
    progress_.cancelAtReport = 1;
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"new.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(LocalFiles(), std::vector<std::wstring>{L"ten.mp3"});
}

// The local file is read ahead and written behind while the phone works on the chunk beside it: a
// cancel midway asks the phone for nothing past it, leaves nothing partial on either side, and has let
// go of the local file by the time the call returns.
TEST_P(FileTransfer, CancelMidwayStopsBothDirectionsAtThatChunk) {
    phone_->Controls().SetTransferSizes(kChunk, kChunk);
    const size_t objects = phone_->Tree().size();
    WriteLocal(L"x.bin", Pattern(40960, 9));
    progress_.cancelAtReport = 3;
    Monitor();
    EXPECT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Music\\up.mp3", Local(L"x.bin").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents, (std::vector<unsigned long>{10, 20, 30}));
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceDataStream::Write"), 3u);
    EXPECT_TRUE(DeleteFileW(Local(L"x.bin").c_str())) << GetLastError();
    EXPECT_EQ(phone_->Tree().size(), objects);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\up.mp3"));

    progress_ = {};
    progress_.cancelAtReport = 3;
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"ten.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents, (std::vector<unsigned long>{10, 20, 30}));
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceDataStream::Read"), 3u);
    EXPECT_TRUE(LocalFiles().empty());
}

// Above 4 GiB the percentages still follow the bytes; the host stops the copy after two chunks.
TEST_P(FileTransfer, PercentOfAnObjectAbove4GiB) {
    constexpr unsigned long long kFiveGiB = 5ull << 30;
    phone_->Controls().SetTransferSizes(256u << 20, kChunk);
    progress_.cancelAtReport = 2;
    Monitor();
    EXPECT_EQ(WPD_Media_GetFile(handle_, L"\\Card\\Video\\big.mp4", Local(L"big.mp4").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents, (std::vector<unsigned long>{5, 10}));
    EXPECT_EQ(progress_.totals, std::vector<unsigned long long>(2, kFiveGiB));
    EXPECT_TRUE(LocalFiles().empty());
}

TEST_P(FileTransfer, MissingSizeReportsCompleteOnceDataMoved) {
    phone_->Controls().SetTransferSizes(kChunk, kChunk);
    phone_->Controls().LimitReadsTo(kChunk);  // a copy of unknown size goes in whole chunks of 8 MiB
    Monitor();
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Card\\Music\\nosize.mp3", Local(L"nosize.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents, std::vector<unsigned long>(10, 100));
    EXPECT_EQ(progress_.totals, std::vector<unsigned long long>(10, 0));
    EXPECT_EQ(ReadLocal(L"nosize.mp3"), PhoneData(L"\\Card\\Music\\nosize.mp3"));
}

// No optimal size from the platform: a fixed chunk size, and the copy still moves everything.
TEST_P(FileTransfer, ZeroTransferSizeAndShortReadsStillCopyWhole) {
    phone_->Controls().SetTransferSizes(0, 0);
    Monitor();
    ASSERT_EQ(WPD_Media_GetFile(handle_, kSong, Local(L"song.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents.size(), 6u) << "a tenth of the song in whole fixed chunks of 256 KiB";
    EXPECT_EQ(ReadLocal(L"song.mp3"), PhoneData(kSong));
    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Photos\\song.mp3", Local(L"song.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(PhoneData(L"\\Card\\Photos\\song.mp3"), PhoneData(kSong));

    // Short reads do not end a copy; only a read of nothing does.
    phone_->Controls().LimitReadsTo(1000);
    ASSERT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"ten.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"ten.mp3"), PhoneData(kTen));
}

// The size the phone announces is what a whole download holds: fewer bytes keep the host's file, more
// are taken (a growing file's size may lag behind it).
TEST_P(FileTransfer, DownloadShorterThanAnnouncedFailsAndKeepsTheEarlierFile) {
    const auto announce = [&](ULONGLONG bytes) {
        PROPVARIANT size = {};
        size.vt = VT_UI8;
        size.uhVal.QuadPart = bytes;
        ASSERT_EQ(phone_->Update(IdOf(kTen), [&](vphone::PhoneObject &object, vphone::PhoneIdentity &) {
            std::erase_if(object.extra, [](const auto &extra) { return vphone::SameKey(extra.first, wpd::WPD_OBJECT_SIZE); });
            object.extra.emplace_back(wpd::WPD_OBJECT_SIZE, vphone::PropertyValue(size));
            return S_OK;
        }), S_OK);
    };
    WriteLocal(L"ten.mp3", Pattern(10, 42));
    announce(1048576);
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"ten.mp3").c_str(), 0), WPD_ERROR_FAILED);
    EXPECT_EQ(Log(), Strings{"The phone sent 40960 of the 1048576 bytes of the file, hr = 80070026"});
    EXPECT_EQ(LocalFiles(), std::vector<std::wstring>{L"ten.mp3"});
    EXPECT_EQ(ReadLocal(L"ten.mp3"), Pattern(10, 42));
    announce(1000);
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, Local(L"ten.mp3").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(ReadLocal(L"ten.mp3"), PhoneData(kTen));
}

TEST_P(FileTransfer, ThumbnailIsMeasuredAgainstTheObjectsSize) {
    phone_->Controls().SetTransferSizes(1 << 20, kChunk);
    WriteLocal(L"thumb.jpg", Pattern(5000000));
    Monitor();
    ASSERT_EQ(WPD_Media_GetThumbnail(handle_, kSong, Local(L"thumb.jpg").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(progress_.percents, std::vector<unsigned long>{33});
    // An existing local file is replaced whole.
    EXPECT_EQ(ReadLocal(L"thumb.jpg"), PhoneData(kSong, true));

    EXPECT_EQ(WPD_Media_GetThumbnail(handle_, kTen, Local(L"none.jpg").c_str(), 0), WPD_ERROR_FAILED);
    EXPECT_EQ(Log().back(), "Getting resource stream failed, hr = 80070032");
    EXPECT_EQ(LocalFiles(), std::vector<std::wstring>{L"thumb.jpg"});
}

TEST_P(FileTransfer, DownloadOfAFolderOrNothingIsRefusedWithoutALocalFile) {
    for (const wchar_t *path : {L"\\Card\\Music", L"\\Card\\Music\\gone.mp3", L"\\Card\\Music\\Live"}) {
        ClearLog();
        EXPECT_EQ(WPD_Media_GetFile(handle_, path, Local(L"out").c_str(), 0), WPD_ERROR_FAILED);
        const std::wstring wide(path);
        EXPECT_EQ(Log(), Strings{"File " + std::string(wide.begin(), wide.end()) + " not found on the device for copy"});
    }
    EXPECT_TRUE(LocalFiles().empty());
}

TEST_P(FileTransfer, UploadOntoAnExistingObjectNeedsTheReplaceFlag) {
    WriteLocal(L"x.bin", Pattern(777, 5));
    const std::wstring before = IdOf(kSong);
    EXPECT_EQ(WPD_Media_PutFile(handle_, kSong, Local(L"x.bin").c_str(), 0), WPD_ERROR_ALREADY_EXISTS);
    EXPECT_EQ(IdOf(kSong), before);
    EXPECT_EQ(WPD_Media_PutFile(handle_, kSong, Local(L"x.bin").c_str(), 4), WPD_ERROR_OK);
    EXPECT_NE(IdOf(kSong), before);
    EXPECT_EQ(PhoneData(kSong), Pattern(777, 5));
}

// A local file that cannot be opened costs nothing on the phone, even with the replace flag.
TEST_P(FileTransfer, UnreadableLocalFileLeavesTheObjectItWasToReplace) {
    const std::wstring before = IdOf(kSong);
    EXPECT_EQ(WPD_Media_PutFile(handle_, kSong, Local(L"missing.bin").c_str(), 4), WPD_ERROR_FAILED);
    EXPECT_EQ(Log(), Strings{"SHCreateStreamOnFile failed, hr = 80070002"});
    EXPECT_EQ(IdOf(kSong), before);
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceContent::Delete"), 0u);
}

// The longest full path of the files in a folder, each time a chunk arrives.
struct FolderWatch {
    std::wstring folder;
    size_t longest = 0;
};

int ORVIK_CALL WatchFolder(WPD_MONITORED_EVENT, void *, void *context) {
    auto &watch = *static_cast<FolderWatch *>(context);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((watch.folder + L"\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        watch.longest = std::max(watch.longest, watch.folder.size() + 1 + wcslen(found.cFileName));
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return 0;
}

// A target just below MAX_PATH: the file the download is written to until it is whole stays below it
// too, so that a Windows without long-path support writes it in its plain form.
TEST_P(FileTransfer, PartialFileOfATargetBelowMaxPathStaysBelowIt) {
    phone_->Controls().SetTransferSizes(kChunk, kChunk);
    const std::wstring target = Local(std::wstring(MAX_PATH - 1 - folder_.size() - 1 - 4, L't') + L".mp3");
    ASSERT_EQ(target.size(), MAX_PATH - 1u);
    FolderWatch watch{folder_};
    ASSERT_EQ(WPD_Monitor_Set(handle_, WatchFolder), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Monitor_Start(handle_, WPD_EVENT_PROGRESS, &watch), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Media_GetFile(handle_, kTen, target.c_str(), 0), WPD_ERROR_OK);
    EXPECT_GT(watch.longest, 0u);
    EXPECT_LT(watch.longest, static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(ReadLocal(target.substr(folder_.size() + 1)), PhoneData(kTen));
}

// A long local path is used whole: the data lands at that path and nowhere shorter.
TEST_P(FileTransfer, LongLocalPathIsTakenWhole) {
    const std::wstring outer = Local(std::wstring(120, L'd'));
    const std::wstring inner = outer + L"\\" + std::wstring(120, L'e');
    ASSERT_TRUE(CreateDirectoryW(outer.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
    const std::wstring target = inner + L"\\" + std::wstring(40, L'f') + L".mp3";
    ASSERT_GE(target.size(), 260u);
    EXPECT_EQ(WPD_Media_GetFile(handle_, kTen, target.c_str(), 0), WPD_ERROR_OK) << testing::PrintToString(Log());
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    EXPECT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &attributes));
    EXPECT_EQ(attributes.nFileSizeLow, 40960u);
    EXPECT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Photos\\long.mp3", target.c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(PhoneData(L"\\Card\\Photos\\long.mp3"), PhoneData(kTen));
    EXPECT_TRUE(DeleteFileW(target.c_str()));
    EXPECT_TRUE(RemoveDirectoryW(inner.c_str()));
    EXPECT_TRUE(RemoveDirectoryW(outer.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Profiles, FileTransfer, EachProfile(), ProfileName);

// Chunks are whole multiples of the phone's transfer size that fill the cable (8 MiB, so that the round
// trip of a call stays near half a percent of the copy), or a tenth of a smaller copy, whose progress still moves
// in ten steps.
struct ChunkCase {
    const char *name;
    size_t size;
    DWORD transferSize;
    unsigned calls;  // writes of the upload; reads of the download but the last, empty one
};

class CopyChunks : public TransferTest, public testing::WithParamInterface<ChunkCase> {};

TEST_P(CopyChunks, FillTheCableButKeepTenStepsOfProgress) {
    phone_->Controls().SetTransferSizes(GetParam().transferSize, GetParam().transferSize);
    const Bytes data = Pattern(GetParam().size, 3);
    WriteLocal(L"up.bin", data);
    ASSERT_EQ(WPD_Media_PutFile(handle_, L"\\Card\\Music\\up.mp3", Local(L"up.bin").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceDataStream::Write"), GetParam().calls);
    ASSERT_EQ(WPD_Media_GetFile(handle_, L"\\Card\\Music\\up.mp3", Local(L"back.bin").c_str(), 0), WPD_ERROR_OK);
    EXPECT_EQ(phone_->Controls().CallCount("IPortableDeviceDataStream::Read"), GetParam().calls + 1);
    EXPECT_TRUE(ReadLocal(L"back.bin") == data);
}

INSTANTIATE_TEST_SUITE_P(FileTransfer, CopyChunks,
                         testing::Values(ChunkCase{"NinetySixMiBIn8MiB", 96 << 20, 256 << 10, 12},
                                         ChunkCase{"OneMiBInTenths", 1 << 20, 4096, 10},
                                         ChunkCase{"TransferSizeAboveTheFill", 3 << 20, 16 << 20, 1},
                                         ChunkCase{"NoTransferSize", 10 << 20, 0, 10}),
                         [](const auto &info) { return info.param.name; });

}  // namespace
}  // namespace transfer_test
