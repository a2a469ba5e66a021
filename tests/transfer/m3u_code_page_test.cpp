// M3U text in a double-byte ANSI code page: this program runs with Japanese as the system locale, so
// that the ANSI code page is 932, where a character takes one or two bytes and the second byte may be
// 0x5C, the byte of a backslash.
#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

using DoubleByteCodePage = PlaylistCalls<TransferTest>;

TEST_F(DoubleByteCodePage, M3uIsSizedByItsBytesAndReadsBackWhole) {
    ASSERT_EQ(GetACP(), 932u) << "the program must run with a Japanese system locale";
    phone_->Controls().RefuseReferences(true);
    const std::wstring sky = L"\\Card\\Music\\\u591c\u7a7a.mp3";  // 0x96E9 0x8BF3
    const std::wstring table = L"\\Card\\Music\\\u8868.mp3";         // 0x955C
    ASSERT_EQ(Put(L"\\Card\\Playlists\\sky.m3u", sky + L"\r\n" + table, 1), WPD_ERROR_OK) << testing::PrintToString(Log());
    const std::string text = M3u(L"\\Card\\Playlists\\sky.m3u");
    EXPECT_EQ(text, "/Music/\x96\xE9\x8B\xF3.mp3\r\n/Music/\x95\x5C.mp3\r\n");
    EXPECT_EQ(phone_->Find(IdOf(L"\\Card\\Playlists\\sky.m3u"))->Size(), text.size());
    EXPECT_EQ(Read(L"\\Card\\Playlists\\sky.m3u"), sky + L"\r\n" + table + L"\r\n");
}

}  // namespace
}  // namespace transfer_test
