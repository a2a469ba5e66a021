// The call frame: each exported call runs its operation on a worker thread of its own, inside the
// multithreaded COM apartment, while the calling thread keeps dispatching its window messages.
#pragma once

#include <windows.h>
#include <comdef.h>

#include <mutex>
#include <shared_mutex>
#include <utility>

#include "device/cwpd.h"
#include "log/log_line.h"
#include "orvik.h"

// Runs routine(record) on a new thread and returns when it has ended, pumping the caller's messages;
// false when no thread could be made. A WM_QUIT that the pump takes meanwhile is posted again, with
// its exit code, before returning, so that the host's message loop still ends.
bool RunOnWorker(LPTHREAD_START_ROUTINE routine, void *record);

// Destroys the object behind a handle whose last user has let go, in the multithreaded apartment
// where its platform references were made.
void DestroyDevice(CWpd *device);

// Connect and Disconnect change the connection: they run alone on a handle, and are refused with
// WPD_ERROR_BUSY while another call on it runs, rather than release what that call uses.
enum class CallKind { Shared, Exclusive };

// The handle whose call the current thread runs, if it is a worker: the host's monitor callback runs
// there, and a call it makes on the same handle could only wait for the call that waits for it.
const CWpd *&WorkerDevice();

// One call: the device, the operation with the call's arguments, and the result, preset to 2.
template <class Operation>
struct CallRecord {
    CWpd *device;
    const char *comErrorLine;  // logged when an exception leaves the operation; null logs nothing
    CallKind kind;
    Operation operation;
    WPD_ERROR result = WPD_ERROR_FAILED;
};

template <class Operation>
WPD_ERROR RunOperation(CallRecord<Operation> &record) {
    try {
        std::shared_mutex &connection = record.device->Use().Connection();
        if (record.kind == CallKind::Exclusive) {
            const std::unique_lock alone(connection, std::try_to_lock);
            return alone ? record.operation(*record.device) : WPD_ERROR_BUSY;
        }
        const std::shared_lock shared(connection);
        return record.operation(*record.device);
    } catch (...) {
        // COM errors and anything else: the host process must never see an exception.
        if (record.comErrorLine) LogLine(1, "%s", record.comErrorLine);
        return WPD_ERROR_FAILED;
    }
}

template <class Operation>
DWORD WINAPI WorkerRoutine(void *parameter) {
    auto &record = *static_cast<CallRecord<Operation> *>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WorkerDevice() = record.device;
    record.result = RunOperation(record);
    WorkerDevice() = nullptr;
    if (record.device->Use().EndCall()) DestroyDevice(record.device);
    CoUninitialize();
    return 1;
}

// operation: WPD_ERROR(CWpd&), run on the worker; its result is the call's.
template <class Operation>
WPD_ERROR RunWorkerCall(void *handle, const char *comErrorLine, CallKind kind, Operation operation) {
    CWpd *device = static_cast<CWpd *>(handle);
    if (!device) return WPD_ERROR_FAILED;
    if (WorkerDevice() == device) return WPD_ERROR_BUSY;
    if (!device->Use().BeginCall()) return WPD_ERROR_FAILED;
    CallRecord<Operation> record{device, comErrorLine, kind, std::move(operation)};
    // Without a worker the call never began; the host, calling, still holds the handle.
    if (!RunOnWorker(&WorkerRoutine<Operation>, &record)) device->Use().EndCall();
    return record.result;
}

template <class Operation>
WPD_ERROR RunWorkerCall(void *handle, const char *comErrorLine, Operation operation) {
    return RunWorkerCall(handle, comErrorLine, CallKind::Shared, std::move(operation));
}

// Host records begin with their own size; a null record is refused like a wrong size.
template <class Record>
bool HasRecordSize(const Record *record) {
    return record && record->cbSize == sizeof(Record);
}
