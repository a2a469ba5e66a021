// The log's life cycle. Its state lives for the whole process, so each case runs a child process (this
// program again, with --child SCENARIO) that logs, while this process plays the viewer.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "log/log_line.h"
#include "orvik.h"
#include "support/log_collector.h"
#include "win/unique_any.h"

namespace {

using orvik_test::LogCollector;

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Steps shared by parent and child through named events: the child waits for "go N", signals "done N".
std::wstring EventName(const wchar_t *what, int step) {
    return L"OrvikLogTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + what + L"-" + std::to_wstring(step);
}

class Child {
public:
    Child(const std::wstring &program, const std::string &scenario) {
        for (int step = 0; step < kSteps; ++step) {
            go_[step].reset(CreateEventW(nullptr, TRUE, FALSE, EventName(L"go", step).c_str()));
            done_[step].reset(CreateEventW(nullptr, TRUE, FALSE, EventName(L"done", step).c_str()));
        }
        std::wstring commandLine = L"\"" + program + L"\" --child " + std::wstring(scenario.begin(), scenario.end()) +
                                   L" " + std::to_wstring(GetCurrentProcessId());
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &info));
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
    }
    void Go(int step) { SetEvent(go_[step].get()); }
    void AwaitDone(int step) { ASSERT_EQ(WaitForSingleObject(done_[step].get(), 20000), WAIT_OBJECT_0); }
    DWORD Finish() {
        EXPECT_EQ(WaitForSingleObject(process_.get(), 20000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
    static constexpr int kSteps = 3;
    win::UniqueHandle go_[kSteps], done_[kSteps], process_;
};

std::vector<std::string> MessagesOf(const LogCollector &collector) { return collector.Messages(); }

TEST(Log, WithoutAViewerAtTheFirstLineTheLogStaysOff) {
    Child child(ThisProgram(), "off");
    child.AwaitDone(0);  // first line sent with no viewer anywhere
    LogCollector late;
    child.Go(0);
    EXPECT_EQ(child.Finish(), 0u);
    EXPECT_TRUE(late.Lines().empty());
}

TEST(Log, ALostViewerIsLookedForAgainOnlyAfterTheGracePeriod) {
    auto first = std::make_unique<LogCollector>();
    Child child(ThisProgram(), "grace");
    child.AwaitDone(0);
    EXPECT_EQ(MessagesOf(*first), std::vector<std::string>{"one"});
    first.reset();
    LogCollector second;  // reopened within the second
    child.Go(0);
    EXPECT_EQ(child.Finish(), 0u);
    // "two" went to the vanished window; "three", after the grace period, found the new one.
    EXPECT_EQ(MessagesOf(second), std::vector<std::string>{"three"});
}

TEST(Log, LevelsAboveFiveAreDroppedAndRecordsCountTheirNul) {
    LogCollector viewer;
    Child child(ThisProgram(), "levels");
    EXPECT_EQ(child.Finish(), 0u);
    EXPECT_EQ(MessagesOf(viewer), (std::vector<std::string>{"level 0", "level 1 x=0000002a s=abc w=wide", "level 5"}));
    EXPECT_TRUE(viewer.AllRecordsCountedTheirNul());
}

TEST(Log, ConcurrentFirstLinesAllArriveWithOneTag) {
    LogCollector viewer;
    Child child(ThisProgram(), "concurrent");
    EXPECT_EQ(child.Finish(), 0u);
    const std::vector<std::string> lines = viewer.Lines();
    ASSERT_EQ(lines.size(), 16u);
    for (const std::string &line : lines) EXPECT_EQ(line.substr(0, line.find('>')), lines[0].substr(0, lines[0].find('>')));
}

// A viewer whose thread is suspended costs the first line a short time-out; the calls go on, and
// their lines are dropped for a while.
TEST(Log, ASuspendedViewerHoldsNoCall) {
    LogCollector viewer;
    Child child(ThisProgram(), "suspended");
    child.AwaitDone(0);
    win::UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, viewer.ThreadId()));
    ASSERT_TRUE(thread);
    ASSERT_NE(SuspendThread(thread.get()), static_cast<DWORD>(-1));
    child.Go(0);
    child.AwaitDone(1);  // twenty calls that each logged a line have returned
    ResumeThread(thread.get());
    EXPECT_EQ(child.Finish(), 0u);
    // The line that timed out may still arrive once the viewer wakes; none after it did.
    const std::vector<std::string> messages = MessagesOf(viewer);
    ASSERT_GE(messages.size(), 1u);
    EXPECT_EQ(messages[0], "first");
    EXPECT_LE(messages.size(), 2u);
}

// The tag is the host executable's last-write date (UTC) in the user's short-date format.
TEST(Log, TagIsTheExecutablesDate) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring dated = std::wstring(folder) + L"orvik-dated-host.exe";
    ASSERT_TRUE(CopyFileW(ThisProgram().c_str(), dated.c_str(), FALSE));
    {
        win::UniqueFileHandle file(CreateFileW(dated.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        SYSTEMTIME noon = {2008, 12, 0, 31, 12, 0, 0, 0};
        FILETIME written = {};
        SystemTimeToFileTime(&noon, &written);
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &written));
    }
    SYSTEMTIME date = {2008, 12, 3, 31, 0, 0, 0, 0};
    char expected[16] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE | DATE_SHORTDATE, &date, nullptr, expected, 16);

    LogCollector viewer;
    Child child(dated, "tag");
    EXPECT_EQ(child.Finish(), 0u);
    EXPECT_EQ(viewer.Lines(), std::vector<std::string>{"<Orvik-" + std::string(expected) + "> hello"});
    EXPECT_STREQ(expected, "12/31/2008");  // the test prefix's locale is month/day/year
    DeleteFileW(dated.c_str());
}

// ---------------------------------------------------------------------------------------------------
// Child side

struct ChildSteps {
    DWORD parent;
    void Done(int step) const { SetEvent(Open(L"done", step).get()); }
    void AwaitGo(int step) const { WaitForSingleObject(Open(L"go", step).get(), 20000); }
    win::UniqueHandle Open(const wchar_t *what, int step) const {
        const std::wstring name = L"OrvikLogTest-" + std::to_wstring(parent) + L"-" + what + L"-" + std::to_wstring(step);
        return win::UniqueHandle(OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str()));
    }
};

int RunChild(const std::string &scenario, const ChildSteps &steps) {
    if (scenario == "off") {
        LogLine(1, "lost");
        steps.Done(0);
        steps.AwaitGo(0);
        LogLine(1, "still lost");
    } else if (scenario == "grace") {
        LogLine(1, "one");
        steps.Done(0);
        steps.AwaitGo(0);
        LogLine(1, "two");
        Sleep(1200);
        LogLine(1, "three");
    } else if (scenario == "levels") {
        LogLine(6, "level 6");
        LogLine(0, "level 0");
        LogLine(1, "level 1 x=%08x s=%s w=%S", 42u, "abc", L"wide");
        LogLine(5, "level 5");
        LogLine(1000, "level 1000");
    } else if (scenario == "concurrent") {
        std::vector<std::thread> threads;
        for (int i = 0; i < 16; ++i) threads.emplace_back([i] { LogLine(1, "thread %d", i); });
        for (std::thread &thread : threads) thread.join();
    } else if (scenario == "suspended") {
        LogLine(1, "first");
        steps.Done(0);
        steps.AwaitGo(0);
        void *handle = WPD_Initialize(0);
        WPD_DEVICE_INFO info = {};
        info.cbSize = sizeof info;
        for (int call = 0; call < 20; ++call) WPD_GetDeviceInfo(handle, &info);  // not connected: logs
        WPD_Uninitialize(handle);
        steps.Done(1);
    } else if (scenario == "tag") {
        LogLine(1, "hello");
    } else {
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
        return RunChild(argv[2], ChildSteps{static_cast<DWORD>(std::stoul(argv[3]))});
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
