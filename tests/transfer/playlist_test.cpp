// Playlists through WPD_Media_PutPlaylist and WPD_Media_GetPlaylist: references when the phone takes
// them, M3U data when it does not.
#include <cstring>

#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

constexpr wchar_t kA[] = L"\\Card\\Music\\a.mp3";
constexpr wchar_t kB[] = L"\\Card\\Music\\b.mp3";

using Playlists = PlaylistCalls<TransferTest>;

TEST_F(Playlists, ReferencesFollowTheTextAndTheBufferIsCutInPlace) {
    wchar_t text[] = L"\\Card\\Music\\b.mp3\r\n\\Card\\Music\\a.mp3";
    ASSERT_EQ(WPD_Media_PutPlaylist(handle_, L"\\Card\\Playlists\\new.pla", text, 0), WPD_ERROR_OK);
    EXPECT_EQ(text[17], L'\0');
    EXPECT_EQ(text[18], L'\n');
    const auto playlist = phone_->Find(IdOf(L"\\Card\\Playlists\\new.pla"));
    ASSERT_TRUE(playlist);
    EXPECT_EQ(playlist->kind, vphone::ObjectKind::Playlist);
    EXPECT_EQ(playlist->references, (std::vector<std::wstring>{IdOf(kB), IdOf(kA)}));
    EXPECT_EQ(Read(L"\\Card\\Playlists\\new.pla"), L"\\Card\\Music\\b.mp3\r\n\\Card\\Music\\a.mp3\r\n");
}

TEST_F(Playlists, EmptyPlaylistsHaveNoEntriesAndNoText) {
    ASSERT_EQ(Put(L"\\Card\\Playlists\\empty.pla", L""), WPD_ERROR_OK);
    EXPECT_EQ(phone_->Find(IdOf(L"\\Card\\Playlists\\empty.pla"))->references, std::vector<std::wstring>{});
    EXPECT_EQ(Read(L"\\Card\\Playlists\\empty.pla"), L"(null)");
    EXPECT_EQ(Read(L"\\Card\\Playlists\\none.pla"), L"(null)");
    EXPECT_EQ(Read(L"\\Card\\Playlists\\gone.pla", WPD_ERROR_FAILED), L"(null)");
}

TEST_F(Playlists, RefusedReferencesGiveM3uData) {
    phone_->Controls().RefuseReferences(true);
    ASSERT_EQ(Put(L"\\Card\\Playlists\\abs.m3u", L"\\Card\\Music\\a.mp3\r\n\\Card\\Music\\b.mp3\r\n"), WPD_ERROR_OK);
    EXPECT_EQ(M3u(L"\\Card\\Playlists\\abs.m3u"), "/Card/Music/a.mp3\r\n/Card/Music/b.mp3\r\n");
    ASSERT_EQ(Put(L"\\Card\\Playlists\\rel.m3u", L"\\Card\\Music\\a.mp3\r\n\\Card\\Music\\b.mp3", 1), WPD_ERROR_OK);
    EXPECT_EQ(M3u(L"\\Card\\Playlists\\rel.m3u"), "/Music/a.mp3\r\n/Music/b.mp3\r\n");
    // Only storage-relative lines read back unchanged.
    EXPECT_EQ(Read(L"\\Card\\Playlists\\rel.m3u"), L"\\Card\\Music\\a.mp3\r\n\\Card\\Music\\b.mp3\r\n");
    EXPECT_EQ(Read(L"\\Card\\Playlists\\abs.m3u"), L"\\Card\\Card\\Music\\a.mp3\r\n\\Card\\Card\\Music\\b.mp3\r\n");
    // Formats without data support fail.
    EXPECT_EQ(Put(L"\\Card\\Playlists\\x.wpl", kA), WPD_ERROR_FAILED);
    EXPECT_EQ(Put(L"\\Card\\Playlists\\x.pla", kA), WPD_ERROR_FAILED);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Playlists\\x.wpl"));
}

// "../Music/a.mp3" from the playlist's folder, "/Music/b.mp3" from its storage.
TEST_F(Playlists, M3uDataIsReadFromItsFolderAndStorageInAnyChunkSize) {
    EXPECT_EQ(Read(L"\\Card\\Playlists\\old.m3u"), L"\\Card\\Music\\a.mp3\r\n\\Card\\Music\\b.mp3\r\n");
    // Chunks smaller than the data, ones that end exactly at its end, and none from the platform.
    for (DWORD chunk : {5u, 14u, 0u}) {
        phone_->Controls().SetTransferSizes(chunk, chunk);
        EXPECT_EQ(Read(L"\\Card\\Playlists\\old.m3u"), L"\\Card\\Music\\a.mp3\r\n\\Card\\Music\\b.mp3\r\n") << chunk;
    }
}

TEST_F(Playlists, UnresolvedLinesCreateNothing) {
    EXPECT_EQ(Put(L"\\Card\\Playlists\\bad.pla", L"\\Card\\Music\\a.mp3\r\n\\Card\\Music\\zzz.mp3"), WPD_ERROR_FAILED);
    EXPECT_TRUE(Logged("Failed to locate \\Card\\Music\\zzz.mp3, cannot be added to the playlist"));
    EXPECT_TRUE(Logged("Failed to parse the playlist text, hr = 80004005"));
    // Two CR LF at the end leave an empty line between them.
    EXPECT_EQ(Put(L"\\Card\\Playlists\\bad.pla", L"\\Card\\Music\\a.mp3\r\n\r\n"), WPD_ERROR_FAILED);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Playlists\\bad.pla"));
}

// A member on another storage than its playlist: the way up to the playlist's storage never meets it,
// so the path runs on to the topmost object and names it first.
TEST_F(Playlists, MemberOnAnotherStorageIsNamedFromTheTopmostObject) {
    ASSERT_EQ(Put(L"\\Phone memory\\cross.pla", kA), WPD_ERROR_OK);
    EXPECT_EQ(phone_->Find(IdOf(L"\\Phone memory\\cross.pla"))->references, std::vector<std::wstring>{IdOf(kA)});
    EXPECT_EQ(Read(L"\\Phone memory\\cross.pla"), L"\\Test Phone\\Card\\Music\\a.mp3\r\n");
}

// The old playlist goes only once every line of the new one has resolved.
TEST_F(Playlists, ReplacingNeedsTheFlagAndAWorkingText) {
    const std::wstring mix = L"\\Card\\Playlists\\mix.pla";
    const std::wstring before = IdOf(mix);
    EXPECT_EQ(Put(mix.c_str(), kA), WPD_ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Put(mix.c_str(), L"\\Card\\Music\\zzz.mp3", 4), WPD_ERROR_FAILED);
    EXPECT_EQ(IdOf(mix), before);
    EXPECT_EQ(Read(mix.c_str()), L"\\Card\\Music\\b.mp3\r\n\\Card\\Music\\a.mp3\r\n");
    ASSERT_EQ(Put(mix.c_str(), kA, 4), WPD_ERROR_OK);
    EXPECT_NE(IdOf(mix), before);
    EXPECT_EQ(Read(mix.c_str()), L"\\Card\\Music\\a.mp3\r\n");
}

// Playlists as phones and players write them: directives, UTF-8 with and without a byte-order mark,
// ANSI text, CR LF and LF, lines from the playlist's folder and from its storage; an .m3u8 is UTF-8
// whatever its bytes.
struct PhoneM3u {
    const char *name;
    const wchar_t *path;
    const wchar_t *entries;
};

class PhoneWrittenM3u : public PlaylistCalls<BothProfiles> {};

TEST_P(PhoneWrittenM3u, GivesExactlyItsMemberPaths) {
    constexpr wchar_t kCafe[] = L"\\Card\\Music\\Caf\u00e9.mp3\r\n";
    constexpr wchar_t kNightSky[] = L"\\Card\\Music\\\u591c\u7a7a.mp3\r\n";
    EXPECT_EQ(Read(L"\\Card\\Playlists\\utf8.m3u"), std::wstring(kCafe) + kNightSky + kCafe);
    EXPECT_EQ(Read(L"\\Card\\Playlists\\plain.m3u"), std::wstring(kNightSky) + L"\\Card\\Music\\a.mp3\r\n");
    EXPECT_EQ(Read(L"\\Card\\Playlists\\ansi.m3u"), std::wstring(kCafe));
    EXPECT_EQ(Read(L"\\Card\\Playlists\\mark.m3u8"), std::wstring(L"\\Card\\Music\\Caf\ufffd.mp3\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Profiles, PhoneWrittenM3u, EachProfile(), ProfileName);

// A phone that answers every playlist's references with an empty list, and takes none: playlists go
// there as M3U data and come back from it.
using AndroidPlaylists = PlaylistCalls<AndroidTransferTest>;

TEST_F(AndroidPlaylists, AreWrittenAndReadAsM3u) {
    ASSERT_EQ(Put(L"\\Card\\Playlists\\new.m3u", L"\\Card\\Music\\b.mp3\r\n\\Card\\Music\\Caf\u00e9.mp3", 1), WPD_ERROR_OK);
    EXPECT_EQ(M3u(L"\\Card\\Playlists\\new.m3u"), "/Music/b.mp3\r\n/Music/Caf\xE9.mp3\r\n");
    EXPECT_EQ(Read(L"\\Card\\Playlists\\new.m3u"), L"\\Card\\Music\\b.mp3\r\n\\Card\\Music\\Caf\u00e9.mp3\r\n");
    // A name the ANSI code page cannot hold makes the whole text UTF-8.
    ASSERT_EQ(Put(L"\\Card\\Playlists\\sky.m3u", L"\\Card\\Music\\\u591c\u7a7a.mp3\r\n\\Card\\Music\\Caf\u00e9.mp3", 1),
              WPD_ERROR_OK);
    EXPECT_EQ(M3u(L"\\Card\\Playlists\\sky.m3u"), "\xEF\xBB\xBF/Music/\xE5\xA4\x9C\xE7\xA9\xBA.mp3\r\n/Music/Caf\xC3\xA9.mp3\r\n");
    EXPECT_EQ(Read(L"\\Card\\Playlists\\sky.m3u"),
              L"\\Card\\Music\\\u591c\u7a7a.mp3\r\n\\Card\\Music\\Caf\u00e9.mp3\r\n");
    // Replacing goes through a temporary name: one playlist of that name is left, with the new text.
    ASSERT_EQ(Put(L"\\Card\\Playlists\\new.m3u", kA, 5), WPD_ERROR_OK);
    EXPECT_EQ(Read(L"\\Card\\Playlists\\new.m3u"), std::wstring(kA) + L"\r\n");
    EXPECT_EQ(FileNames(L"\\Card\\Playlists"), (std::vector<std::wstring>{L"mix.pla", L"none.pla", L"old.m3u", L"utf8.m3u",
                                                                        L"plain.m3u", L"ansi.m3u", L"mark.m3u8", L"sky.m3u",
                                                                        L"new.m3u"}));
}

}  // namespace
}  // namespace transfer_test
