// A host as a desktop application is one: a UI thread in a single-threaded apartment with a real
// message loop, and no thread of its own in the multithreaded apartment. Work runs on it as posted
// messages run in a window procedure, so a message posted while an export pumps (a button clicked
// during a copy) runs inside that export's call.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>

namespace orvik_test {

class StaHost {
public:
    StaHost();
    // Ends the message loop, if still running, and the thread.
    ~StaHost();
    StaHost(const StaHost &) = delete;
    StaHost &operator=(const StaHost &) = delete;

    // Runs work from the host's message loop and waits for it; false when the loop has ended.
    bool Run(const std::function<void()> &work);
    // Leaves work to the host's message loop, to run whenever the host thread dispatches messages:
    // from its loop, or from the pump of an export that it is in.
    void Post(std::function<void()> work);

    // Whether the message loop has ended, and the code its last GetMessage gave.
    bool LoopEnded() const;
    int ExitCode() const { return exitCode_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Loop(HANDLE ready);

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE loopEnded_ = nullptr;
    int exitCode_ = -1;
    std::thread thread_;
};

// Whether the process has a multithreaded apartment right now, asked from a thread outside COM.
bool MultithreadedApartmentExists();

}  // namespace orvik_test
