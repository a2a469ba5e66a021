// A hidden top-level window titled "TMonitor", on a thread of its own, that keeps every line the
// library sends to the log viewer.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvik_test {

class LogCollector {
public:
    LogCollector();
    ~LogCollector();
    LogCollector(const LogCollector &) = delete;
    LogCollector &operator=(const LogCollector &) = delete;

    // Each line as received, without the terminating NUL (which the record's size counted).
    std::vector<std::string> Lines() const;
    // The messages, that is the lines without their "<Orvik-tag> " prefix.
    std::vector<std::string> Messages() const;
    void Clear();
    HWND Window() const { return window_; }
    DWORD ThreadId() const { return threadId_; }
    // True when every record so far counted a terminating NUL in its size.
    bool AllRecordsCountedTheirNul() const;

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    void Run(HANDLE ready);

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    bool allCountedNul_ = true;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::thread thread_;
};

// The collector that the standard test main creates before the first test, so the library's log is
// active for the whole test process.
LogCollector &TestLog();

}  // namespace orvik_test
