// --log: a tmonitor.exe (beside this program) running for the length of one command.
#pragma once

#include "output.h"
#include "win/unique_any.h"

class LogViewer {
public:
    explicit LogViewer(Output &out);
    ~LogViewer();
    LogViewer(const LogViewer &) = delete;
    LogViewer &operator=(const LogViewer &) = delete;

private:
    win::UniqueHandle process_;  // null when a viewer was already running or none could start
};
