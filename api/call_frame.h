// The call frame: each exported call runs its operation on a worker thread of its own, inside the
// multithreaded COM apartment, while the calling thread keeps dispatching its window messages.
#pragma once

#include <windows.h>
#include <comdef.h>

#include <utility>

#include "device/cwpd.h"
#include "log/log_line.h"
#include "orvik.h"

// Runs routine(record) on a new thread and returns when it has ended, pumping the caller's messages.
void RunOnWorker(LPTHREAD_START_ROUTINE routine, void *record);

// One call: the handle, the operation with the call's arguments, and the result, preset to 2.
template <class Operation>
struct CallRecord {
    void *handle;
    const char *comErrorLine;  // logged when an exception leaves the operation; null logs nothing
    Operation operation;
    WPD_ERROR result = WPD_ERROR_FAILED;
};

template <class Operation>
DWORD WINAPI WorkerRoutine(void *parameter) {
    auto &record = *static_cast<CallRecord<Operation> *>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (record.handle) {
        try {
            record.result = record.operation(*static_cast<CWpd *>(record.handle));
        } catch (...) {
            // COM errors and anything else: the host process must never see an exception.
            if (record.comErrorLine) LogLine(1, "%s", record.comErrorLine);
        }
    }
    CoUninitialize();
    return 1;
}

// operation: WPD_ERROR(CWpd&), run on the worker; its result is the call's.
template <class Operation>
WPD_ERROR RunWorkerCall(void *handle, const char *comErrorLine, Operation operation) {
    CallRecord<Operation> record{handle, comErrorLine, std::move(operation)};
    RunOnWorker(&WorkerRoutine<Operation>, &record);
    return record.result;
}

// Host records begin with their own size; a null record is refused like a wrong size.
template <class Record>
bool HasRecordSize(const Record *record) {
    return record && record->cbSize == sizeof(Record);
}
