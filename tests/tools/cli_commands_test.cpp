// Each subcommand of orvik-cli through orvik.dll against the virtual phone: what it shows, its
// failures and its exit status.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cli.h"
#include "cli_test_support.h"
#include "progress.h"
#include "virtualphone/model/phone_controls.h"

using testing::HasSubstr;
using testing::Not;

namespace cli_test {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

TEST_F(CliTest, DevicesShowsThePhoneWithItsIds) {
    const CliRun run = Run({L"devices"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, HasSubstr("CLI Phone"));
    EXPECT_THAT(run.out, HasSubstr("instance id:  USB\\VID_0FCE&PID_C11E\\CLITEST01"));
    EXPECT_THAT(run.out, HasSubstr("hardware id:  USB\\VID_0FCE&PID_C11E&REV_0100"));
    EXPECT_THAT(run.out, HasSubstr("hardware id:  USB\\VID_0FCE&PID_C11E\n"));
}

TEST_F(CliTest, InfoByHardwareIdOrInstanceId) {
    CliRun run = Run({L"info"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, HasSubstr("manufacturer: Orvik Test Works\nmodel:        Command Line\nserial:       CLITEST01"));

    CapturedOutput output(false);
    const int status = RunCli({L"--instance", L"--device", L"USB\\VID_0FCE&PID_C11E\\CLITEST01", L"info"}, output);
    EXPECT_EQ(status, 0) << output.error;
    EXPECT_THAT(output.out, HasSubstr("Command Line"));

    run = Run({L"--device", L"USB\\VID_0FCE&PID_0BAD", L"info"});
    EXPECT_EQ(run.status, kFailed);
    EXPECT_THAT(run.error, HasSubstr("connect USB\\VID_0FCE&PID_0BAD: WPD_ERROR_FAILED (2)"));
}

TEST_F(CliTest, ListingAsTableAndAsRecords) {
    CliRun run = Run({L"ls"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, HasSubstr("name\n"));
    EXPECT_THAT(run.out, testing::ContainsRegex("folder +- +.* Card\n"));
    EXPECT_THAT(run.out, testing::ContainsRegex("folder +- +.* Phone memory\n"));

    run = Run({L"ls", L"\\Card\\Music"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, testing::ContainsRegex("file +3\\.0 MiB .* song\\.mp3\n"));
    EXPECT_THAT(run.out, testing::ContainsRegex("file +4\\.9 KiB .* Café del Mar\\.mp3\n"));

    run = Run({L"--bytes", L"ls", L"\\Card\\Music"});
    EXPECT_THAT(run.out, testing::ContainsRegex("file +3145728 .* song\\.mp3\n"));

    run = Run({L"ls", L"--raw", L"\\Card\\Music"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, HasSubstr("BEGIN:VNOTE\r\nX_FB_NAME:song.mp3\r\nX_FB_ITEM:file\r\nX_FB_SIZE:3145728\r\n"));

    run = Run({L"ls", L"\\Card\\Photos"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "(empty)\n");
}

TEST_F(CliTest, MissingPathsFailWithTheResultNamed) {
    const CliRun listing = Run({L"ls", L"\\Card\\Nowhere"});
    EXPECT_EQ(listing.status, kFailed);
    EXPECT_THAT(listing.error, HasSubstr("orvik-cli: ls \\Card\\Nowhere: WPD_ERROR_FAILED (2): "));
    EXPECT_EQ(Run({L"get", L"\\Card\\Music\\gone.mp3", Local(L"gone.mp3")}).status, kFailed);
    EXPECT_EQ(Run({L"rm", L"\\Card\\Music\\gone.mp3"}).status, kFailed);
    EXPECT_EQ(Run({L"rmdir", L"\\Card\\Gone"}).status, kFailed);
}

TEST_F(CliTest, BusyPhoneIsReportedAsBusy) {
    phone_->Controls().FailEveryCall("IPortableDeviceContent::EnumObjects", HRESULT_FROM_WIN32(ERROR_BUSY));
    const CliRun run = Run({L"ls", L"\\Card"});
    EXPECT_EQ(run.status, kFailed);
    EXPECT_THAT(run.error, HasSubstr("ls \\Card: WPD_ERROR_BUSY (4): the phone is busy"));
}

TEST_F(CliTest, PutThenGetRoundTripsBytesUnderNonAsciiNames) {
    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    WriteLocal(L"Ærø – демо.bin", bytes);
    const std::wstring remote = L"\\Card\\Music\\Ærø – демо 夜.mp3";

    CliRun run = Run({L"put", Local(L"Ærø – демо.bin"), remote});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, Not(HasSubstr("%")));  // no progress bar when the output is no terminal
    EXPECT_THAT(Run({L"ls", L"\\Card\\Music"}).out, HasSubstr("Ærø – демо 夜.mp3\n"));

    run = Run({L"get", remote, Local(L"back 夜.bin")});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(ReadLocal(L"back 夜.bin"), bytes);

    run = Run({L"put", Local(L"Ærø – демо.bin"), remote});
    EXPECT_EQ(run.status, kFailed);
    EXPECT_THAT(run.error, HasSubstr("WPD_ERROR_ALREADY_EXISTS (3): the target exists (use --replace)"));
    WriteLocal(L"short.bin", "short");
    EXPECT_EQ(Run({L"put", Local(L"short.bin"), remote, L"--replace"}).status, 0);
    EXPECT_EQ(Run({L"get", remote, Local(L"short back.bin")}).status, 0);
    EXPECT_EQ(ReadLocal(L"short back.bin"), "short");

    EXPECT_EQ(Run({L"put", Local(L"not there.bin"), L"\\Card\\Music\\x.mp3"}).status, kFailed);
    EXPECT_FALSE(OnPhone(L"\\Card\\Music\\x.mp3"));
}

TEST_F(CliTest, ThumbnailCopiedToALocalFile) {
    const CliRun run = Run({L"thumb", L"\\Card\\Music\\song.mp3", Local(L"thumb.png")});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(ReadLocal(L"thumb.png"), "thumbnail bytes");
}

TEST_F(CliTest, FoldersCreatedAndDeleted) {
    ASSERT_EQ(Run({L"mkdir", L"\\Card\\Новая"}).status, 0);
    EXPECT_TRUE(OnPhone(L"\\Card\\Новая"));
    EXPECT_EQ(Run({L"rmdir", L"\\Card\\Новая"}).status, 0);
    EXPECT_FALSE(OnPhone(L"\\Card\\Новая"));
    EXPECT_EQ(Run({L"rm", L"\\Card\\Music\\song.mp3"}).status, 0);
    EXPECT_FALSE(OnPhone(L"\\Card\\Music\\song.mp3"));
}

TEST_F(CliTest, StorageSizesReadableOrExact) {
    CliRun run = Run({L"df"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, testing::ContainsRegex("Card +8\\.0 GiB"));
    EXPECT_THAT(run.out, testing::ContainsRegex("Phone memory +1\\.0 GiB"));
    run = Run({L"--bytes", L"df", L"Card"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_THAT(run.out, testing::ContainsRegex("Card +8589934592 "));
    EXPECT_THAT(run.out, Not(HasSubstr("Phone memory")));
}

TEST_F(CliTest, PlaylistWrittenFromAFileAndReadBack) {
    WriteLocal(L"mix.txt", "\xEF\xBB\xBF\\Card\\Music\\song.mp3\n\\Card\\Music\\Café del Mar.mp3\n");
    CliRun run = Run({L"playlist", L"put", L"\\Card\\Music\\Mix.pla", Local(L"mix.txt")});
    ASSERT_EQ(run.status, 0) << run.error;
    run = Run({L"playlist", L"get", L"\\Card\\Music\\Mix.pla"});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.out, "\\Card\\Music\\song.mp3\n\\Card\\Music\\Café del Mar.mp3\n");
    EXPECT_EQ(Run({L"playlist", L"put", L"\\Card\\Music\\Mix.pla", Local(L"mix.txt")}).status, kFailed);
    EXPECT_EQ(Run({L"playlist", L"put", L"\\Card\\Music\\Mix.pla", Local(L"mix.txt"), L"--replace"}).status, 0);
}

TEST_F(CliTest, ProgressBarFollowsTheLibrarysReports) {
    phone_->Controls().SetTransferSizes(4096, 4096);
    WriteLocal(L"five chunks.bin", std::string(20000, 'x'));
    CapturedOutput terminal(true);
    const CliRun run = Run({L"--bytes", L"put", Local(L"five chunks.bin"), L"\\Card\\five.bin"}, terminal);
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\r'), 5) << run.out;
    EXPECT_THAT(run.out, HasSubstr(" 20% [####"));
    EXPECT_THAT(run.out, HasSubstr("100% [########################] 20000 / 20000"));
}

TEST_F(CliTest, CancelStopsThePutAndLeavesNoObject) {
    phone_->Controls().SetTransferSizes(4096, 4096);
    WriteLocal(L"big.bin", std::string(40000, 'y'));
    CapturedOutput terminal(true);
    terminal.onWrite = [](std::string_view text) {
        if (text.starts_with("\r")) RequestCancel();  // Ctrl+C once the first report shows
    };
    const CliRun run = Run({L"put", Local(L"big.bin"), L"\\Card\\big.bin"}, terminal);
    EXPECT_EQ(run.status, kFailed);
    EXPECT_THAT(run.error, testing::EndsWith("big.bin \\Card\\big.bin: cancelled\n"));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\r'), 1);
    EXPECT_FALSE(OnPhone(L"\\Card\\big.bin"));
}

TEST_F(CliTest, CommandLineMistakesExitWithUsage) {
    CliRun run = Run({L"frobnicate"});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_THAT(run.error, HasSubstr("unknown command frobnicate"));
    run = Run({L"put", L"only-one"});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_THAT(run.error, HasSubstr("usage: orvik-cli put LOCAL REMOTE [--replace] [--guard]"));
    run = Run({L"ls", L"--replace"});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_THAT(run.error, HasSubstr("ls does not take --replace"));
    EXPECT_EQ(Run({L"time", L"set", L"yesterday"}).status, kUsage);
    EXPECT_EQ(Run({L"install", L"a.jar", L"b.jar", L"--to", L"\\Card\\a.jar"}).status, kUsage);
    EXPECT_EQ(Run({L"syncml", L"put", L"x.xml", L"--type"}).status, kUsage);

    run = Run({L"playlist", L"put", L"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, HasSubstr("usage: orvik-cli playlist put REMOTE FILE"));
    run = Run({L"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char *command : {"devices", "info", "ls", "get", "thumb", "put", "mkdir", "rm", "rmdir", "df",
                                "playlist put", "playlist get", "time", "at", "syncml put", "syncml get", "install"}) {
        EXPECT_THAT(run.out, HasSubstr(std::string("\n  ") + command)) << command;
    }
}

}  // namespace
}  // namespace cli_test
