// One installed phone and several host processes, as a developer's machine has them: two hosts
// writing in one folder at once lose nothing, a host killed in the middle of an upload leaves the
// phone whole for the next, and a folder-backed storage shows its folder to every process.
#include "churn_files.h"
#include "support/log_collector.h"
#include "virtualphone/description/phone_loader.h"
#include "virtualphone/description/test_paths.h"
#include "virtualphone/install/phone_installer.h"
#include "win/unique_any.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace store_test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr wchar_t kName[] = L"vphone-processes-test";
constexpr wchar_t kHardwareId[] = L"USB\\VID_0FCE&PID_57A7";
const std::wstring kServer = vphone_test::WinePath(VPHONE_SERVER_DLL);
const std::wstring kHost = vphone_test::WinePath(STORE_HOST_EXE);
const std::wstring kCli = vphone_test::WinePath(ORVIK_CLI_EXE);

// A started process; its output goes to a file, read once it has ended.
struct Process {
    win::UniqueHandle handle;
    fs::path output;

    DWORD Wait(std::string *text = nullptr) {
        EXPECT_EQ(WaitForSingleObject(handle.get(), 600000), WAIT_OBJECT_0);
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(handle.get(), &code);
        std::ifstream file(output, std::ios::binary);
        const std::string read((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (text) *text = read;
        if (code != 0) std::printf("%ls exited with %lu:\n%s\n", output.filename().c_str(), code, read.c_str());
        return code;
    }
};

class PhoneOfProcesses : public testing::Test {
protected:
    void SetUp() override {
        folder_ = vphone_test::MakeScratchFolder(L"vphone-processes-");
        fs::create_directories(folder_ / L"host");
        fs::create_directories(folder_ / L"work");
        std::ofstream(folder_ / L"test.phone") << "friendly-name Processes\n"
                                                  "instance-id USB\\VID_0FCE&PID_57A7\\PROCESSES01\n"
                                                  "hardware-id USB\\VID_0FCE&PID_57A7\n"
                                                  "storage Card\n"
                                                  "  capacity 4 GiB\n"
                                                  "  folder Shared\n"
                                                  "storage Disk\n"
                                                  "  capacity 1 GiB\n"
                                                  "  host-folder host\n";
        vphone::install::InstalledPhone installed;
        std::wstring message;
        ASSERT_EQ(vphone::install::InstallPhone({Path(L"test.phone"), kName, Path(L"data"), kServer}, &installed, &message),
                  S_OK)
            << testing::PrintToString(message);
    }
    void TearDown() override {
        EXPECT_EQ(vphone::install::UninstallPhone(kName), S_OK);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::wstring Path(const wchar_t *name) const { return (folder_ / name).wstring(); }

    Process Start(const std::wstring &program, const std::wstring &arguments) {
        static unsigned count = 0;
        Process process;
        process.output = folder_ / (L"output-" + std::to_wstring(++count) + L".txt");
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const win::UniqueFileHandle output(CreateFileW(process.output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output.get();
        PROCESS_INFORMATION started{};
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                   &started))
            << GetLastError();
        CloseHandle(started.hThread);
        process.handle.reset(started.hProcess);
        return process;
    }
    DWORD Cli(const std::wstring &arguments, std::string *output = nullptr) {
        return Start(kCli, L"--device " + std::wstring(kHardwareId) + L" " + arguments).Wait(output);
    }

    // The phone as a new process finds it.
    std::shared_ptr<vphone::Phone> Phone() {
        vphone::description::DescriptionError error;
        auto phone = vphone::description::LoadPhone(Path(L"test.phone"), Path(L"data"), &error);
        EXPECT_TRUE(phone) << testing::PrintToString(error.Text());
        if (phone) {
            EXPECT_EQ(phone->KeepIn(Path(L"data")), S_OK);
        }
        return phone;
    }
    std::vector<fs::path> DataFiles() const {
        std::vector<fs::path> files;
        for (const auto &entry : fs::directory_iterator(folder_ / L"data" / L"objects")) files.push_back(entry.path());
        return files;
    }
    static void WriteFile(const fs::path &path, const Bytes &bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes ReadFile(const fs::path &path) {
        std::ifstream file(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    fs::path folder_;
};

TEST_F(PhoneOfProcesses, TwoHostsPuttingDeletingAndListingInOneFolderLoseNothing) {
    const std::wstring work = Path(L"work");
    Process first = Start(kHost, std::wstring(kHardwareId) + L" \\Card\\Shared first 1000 \"" + work + L"\"");
    Process second = Start(kHost, std::wstring(kHardwareId) + L" \\Card\\Shared second 1000 \"" + work + L"\"");
    const DWORD firstFailures = first.Wait(), secondFailures = second.Wait();
    // The hosts' log lines reach this test's log window: they say what failed.
    std::map<std::string, int> logged;
    for (const std::string &line : orvik_test::TestLog().Messages()) ++logged[line];
    EXPECT_EQ(firstFailures, 0u) << testing::PrintToString(logged);
    EXPECT_EQ(secondFailures, 0u);

    std::vector<std::wstring> kept;
    for (const wchar_t *tag : {L"first", L"second"}) {
        std::ifstream list(folder_ / L"work" / (std::wstring(tag) + L".kept"));
        for (std::string line; std::getline(list, line);) kept.emplace_back(line.begin(), line.end());
    }
    EXPECT_GE(kept.size(), 12u);
    auto phone = Phone();
    ASSERT_TRUE(phone);
    std::vector<std::wstring> ids, names;
    ASSERT_EQ(phone->Children(*phone->FindPath(L"\\Card\\Shared"), &ids), S_OK);
    for (const std::wstring &id : ids) {
        const auto object = phone->Find(id);
        names.push_back(object->FileName());
        Bytes bytes;
        EXPECT_EQ(phone->ReadData(id, false, &bytes), S_OK);
        EXPECT_TRUE(bytes == ChurnBytes(object->FileName())) << testing::PrintToString(object->FileName());
    }
    std::sort(names.begin(), names.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(names, kept) << "every object committed and not deleted, each once, nothing else";
    EXPECT_EQ(DataFiles().size(), kept.size()) << "a data file for each object, none left over";
}

TEST_F(PhoneOfProcesses, AHostKilledInTheMiddleOfAnUploadLeavesThePhoneWholeForTheNext) {
    Bytes big(100u << 20);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + (i >> 16));
    WriteFile(folder_ / L"work" / L"big.bin", big);
    Process upload = Start(kCli, L"--device " + std::wstring(kHardwareId) + L" put \"" + Path(L"work\\big.bin") +
                                     L"\" \\Card\\big.bin");
    // Killed once its data file holds a good part of the data.
    bool midway = false;
    for (int i = 0; i < 6000 && !midway && WaitForSingleObject(upload.handle.get(), 10) == WAIT_TIMEOUT; ++i) {
        std::error_code missing;
        for (const auto &entry : fs::directory_iterator(folder_ / L"data" / L"objects", missing)) {
            midway = midway || (entry.file_size(missing) >= (20u << 20) && entry.file_size(missing) < big.size());
        }
    }
    ASSERT_TRUE(midway) << "the upload never got under way";
    ASSERT_TRUE(TerminateProcess(upload.handle.get(), 9));
    WaitForSingleObject(upload.handle.get(), 60000);

    // The next host works, and the killed upload's data file goes when it opens the phone.
    WriteFile(folder_ / L"work" / L"small.bin", Bytes(5000, 5));
    std::string listing;
    EXPECT_EQ(Cli(L"put \"" + Path(L"work\\small.bin") + L"\" \\Card\\small.bin ; ls \\Card", &listing), 0u);
    EXPECT_NE(listing.find("small.bin"), std::string::npos) << listing;
    const std::size_t files = DataFiles().size();

    auto phone = Phone();
    ASSERT_TRUE(phone);
    const auto id = phone->FindPath(L"\\Card\\big.bin");
    if (id) {
        Bytes bytes;
        EXPECT_EQ(phone->ReadData(*id, false, &bytes), S_OK);
        EXPECT_TRUE(bytes == big) << "a partial object of " << bytes.size() << " bytes";
    }
    EXPECT_EQ(files, id ? 2u : 1u) << "a data file for each object, none left over";
}

TEST_F(PhoneOfProcesses, EveryHostSeesTheFolderOfAFolderBackedStorageAndWhatOthersWrote) {
    WriteFile(folder_ / L"host" / L"song.mp3", Bytes(3000, 3));
    std::string listing;
    EXPECT_EQ(Cli(L"ls \\Disk", &listing), 0u);
    EXPECT_NE(listing.find("song.mp3"), std::string::npos) << listing;

    WriteFile(folder_ / L"work" / L"up.bin", Bytes(70000, 4));
    EXPECT_EQ(Cli(L"put \"" + Path(L"work\\up.bin") + L"\" \\Disk\\up.mp3"), 0u);
    EXPECT_EQ(ReadFile(folder_ / L"host" / L"up.mp3"), Bytes(70000, 4));
    EXPECT_EQ(Cli(L"rm \\Disk\\song.mp3"), 0u);
    EXPECT_FALSE(fs::exists(folder_ / L"host" / L"song.mp3"));

    // And the clock one host sets, the next reads.
    EXPECT_EQ(Cli(L"time set \"2011-02-03 04:05:06\""), 0u);
    std::string time;
    EXPECT_EQ(Cli(L"time get", &time), 0u);
    EXPECT_EQ(time.rfind("2011-02-03 04:05:06", 0), 0u) << time;
}

}  // namespace
}  // namespace store_test
