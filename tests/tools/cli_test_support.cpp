#include "cli_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli.h"

namespace cli_test {

void CapturedOutput::Write(std::string_view utf8) {
    out += utf8;
    if (onWrite) onWrite(utf8);
}

std::shared_ptr<vphone::Phone> CliTest::MakePhone() {
    return orvik_test::StandardPhone()
        .Manufacturer(L"Orvik Test Works")
        .Model(L"Command Line")
        .SerialNumber(L"CLITEST01")
        .FriendlyName(L"CLI Phone")
        .InstanceId(L"USB\\VID_0FCE&PID_C11E\\CLITEST01")
        .HardwareIds({L"USB\\VID_0FCE&PID_C11E&REV_0100", kHardwareId})
        .File(L"\\Card\\Music\\Café del Mar.mp3", vphone::PatternData(5000, 3))
        .Thumbnail(L"\\Card\\Music\\song.mp3", vphone::TextData("thumbnail bytes"))
        .Build();
}

void CliTest::SetUp() {
    PhoneTest::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"orvik-cli-test-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
}

void CliTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(folder_), ignored);
    PhoneTest::TearDown();
}

CliRun CliTest::Run(std::vector<std::wstring> arguments) {
    CapturedOutput output(false);
    return Run(std::move(arguments), output);
}

CliRun CliTest::Run(std::vector<std::wstring> arguments, CapturedOutput &output) {
    arguments.insert(arguments.begin(), {L"--device", kHardwareId});
    const int status = RunCli(arguments, output);
    return {status, output.out, output.error};
}

void CliTest::WriteLocal(const std::wstring &name, const std::string &bytes) const {
    std::ofstream(std::filesystem::path(Local(name)), std::ios::binary) << bytes;
}

std::string CliTest::ReadLocal(const std::wstring &name) const {
    std::ifstream stream(std::filesystem::path(Local(name)), std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

}  // namespace cli_test
