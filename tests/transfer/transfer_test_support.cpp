#include "transfer/transfer_test_support.h"

#include "fieldrec.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace transfer_test {

int ORVIK_CALL RecordProgress(WPD_MONITORED_EVENT event, void *data, void *context) {
    auto &log = *static_cast<ProgressLog *>(context);
    auto *progress = static_cast<TransferProgress *>(data);
    if (event != WPD_EVENT_PROGRESS || progress->cbSize != sizeof(TransferProgress)) log.malformed = true;
    if (GetCurrentThreadId() == log.hostThread) log.onHostThread = true;
    log.percents.push_back(progress->percent);
    log.totals.push_back(progress->totalSize);
    log.contexts.push_back(context);
    if (log.percents.size() == log.cancelAtReport) progress->cancel = 1;
    return 0;
}

Bytes Pattern(size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = vphone::PatternByte(i, seed);
    return bytes;
}

std::shared_ptr<vphone::Phone> TransferTest::MakePhone() {
    vphone::PhoneBuilder builder = orvik_test::StandardPhone(Profile());
    builder.Thumbnail(L"\\Card\\Music\\song.mp3", vphone::PatternData(1 << 20, 7))
        .File(L"\\Card\\Music\\a.mp3", vphone::PatternData(1000, 1))
        .File(L"\\Card\\Music\\b.mp3", vphone::PatternData(2000, 2))
        .File(L"\\Card\\Music\\ten.mp3", vphone::PatternData(40960, 3))
        .Folder(L"\\Card\\Music\\Live")
        .File(L"\\Card\\Music\\Live\\encore.mp3", vphone::PatternData(500, 4))
        .Folder(L"\\Card\\Music\\Live\\Extra")
        .File(L"\\Card\\Music\\Live\\Extra\\bonus.mp3", vphone::PatternData(300, 5))
        .File(L"\\Card\\Music\\nosize.mp3", vphone::PatternData(40960, 3))
        .WithoutProperty(L"\\Card\\Music\\nosize.mp3", wpd::WPD_OBJECT_SIZE)
        .Folder(L"\\Card\\Video")
        .File(L"\\Card\\Video\\big.mp4", vphone::PatternData(5ull << 30))
        .Folder(L"\\Card\\Playlists")
        .File(L"\\Card\\Music\\Caf\u00e9.mp3", vphone::TextData("cafe"))
        .File(L"\\Card\\Music\\\u591c\u7a7a.mp3", vphone::TextData("night sky"))
        .File(L"\\Card\\Music\\\u8868.mp3", vphone::TextData("table"));
    builder.Playlist(L"\\Card\\Playlists\\mix.pla", std::vector<std::wstring>{L"\\Card\\Music\\b.mp3", L"\\Card\\Music\\a.mp3"})
        .Playlist(L"\\Card\\Playlists\\none.pla", std::vector<std::wstring>{})
        .Playlist(L"\\Card\\Playlists\\old.m3u", std::nullopt, vphone::TextData("../Music/a.mp3\n/Music/b.mp3"))
        .Playlist(L"\\Card\\Playlists\\utf8.m3u", std::nullopt,
                  vphone::TextData("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:123,Caf\xC3\xA9\r\n../Music/Caf\xC3\xA9.mp3\r\n"
                                   "#EXTINF:200,\xE5\xA4\x9C\xE7\xA9\xBA\r\n/Music/\xE5\xA4\x9C\xE7\xA9\xBA.mp3\r\n"
                                   "..\\Music\\.\\Caf\xC3\xA9.mp3\r\n"))
        .Playlist(L"\\Card\\Playlists\\plain.m3u", std::nullopt,
                  vphone::TextData("#EXTM3U\n../Music/\xE5\xA4\x9C\xE7\xA9\xBA.mp3\n/Music/a.mp3\n"))
        .Playlist(L"\\Card\\Playlists\\ansi.m3u", std::nullopt, vphone::TextData("#EXTM3U\r\n/Music/Caf\xE9.mp3\r\n"))
        .Playlist(L"\\Card\\Playlists\\mark.m3u8", std::nullopt, vphone::TextData("/Music/Caf\xE9.mp3\n"));
    return builder.Build();
}

void TransferTest::SetUp() {
    PhoneTest::SetUp();
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    // A folder no earlier run can have left behind.
    folder_ = std::wstring(temp) + L"orvik-transfer-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount64());
    ASSERT_TRUE(std::filesystem::create_directories(folder_));
    handle_ = ConnectedHandle();
    ClearLog();
}

void TransferTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    PhoneTest::TearDown();
}

void TransferTest::Monitor() {
    ASSERT_EQ(WPD_Monitor_Set(handle_, RecordProgress), WPD_ERROR_OK);
    ASSERT_EQ(WPD_Monitor_Start(handle_, WPD_EVENT_PROGRESS, &progress_), WPD_ERROR_OK);
}

void TransferTest::WriteLocal(const std::wstring &name, const Bytes &bytes) const {
    std::ofstream file(std::filesystem::path(Local(name)), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good());
}

std::optional<Bytes> TransferTest::ReadLocal(const std::wstring &name) const {
    std::ifstream file(std::filesystem::path(Local(name)), std::ios::binary);
    if (!file) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::wstring> TransferTest::LocalFiles() const {
    std::vector<std::wstring> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder_)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring TransferTest::IdOf(const std::wstring &path) const { return phone_->FindPath(path).value_or(L""); }

std::vector<std::wstring> TransferTest::FileNames(const std::wstring &folder) const {
    std::vector<std::wstring> ids;
    EXPECT_EQ(phone_->Children(IdOf(folder), &ids), S_OK);
    std::vector<std::wstring> names;
    for (const std::wstring &id : ids) names.push_back(phone_->Find(id)->FileName());
    return names;
}

Strings TransferTest::ListedNames(const wchar_t *folder) {
    char *listing = nullptr;
    EXPECT_EQ(WPD_Media_GetFolderListing(handle_, folder, &listing, 0), WPD_ERROR_OK);
    const std::string text = listing ? listing : "";
    FieldrecFree(listing);
    Strings names;
    const std::string field = "X_FB_NAME:";
    for (size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + 1)) {
        const size_t start = at + field.size();
        names.push_back(text.substr(start, text.find("\r\n", start) - start));
    }
    return names;
}

Bytes TransferTest::PhoneData(const std::wstring &path, bool thumbnail) const {
    Bytes bytes;
    EXPECT_EQ(phone_->ReadData(IdOf(path), thumbnail, &bytes), S_OK);
    return bytes;
}

bool TransferTest::Logged(const std::string &message) const {
    const Strings messages = Log();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

}  // namespace transfer_test
