// The bulk requests of one properties object (IPortableDevicePropertiesBulk). A request waits in the
// queue until Start, then runs on the phone's own thread, which calls the client's callback as the
// platform does: OnStart, OnProgress with batches of results, and OnEnd whatever happened. Each batch
// is one exchange with the phone (MTP's GetObjectPropList): one round trip of the link, and its data.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/model/phone.h"

#include <windows.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vphone {

class BulkRequests {
public:
    // Objects in one batch of results.
    static constexpr std::size_t kObjectsPerBatch = 500;

    // connection: the phone's connection the properties object belongs to.
    BulkRequests(Phone &phone, unsigned connection) noexcept : phone_(phone), connection_(connection) {}
    BulkRequests(const BulkRequests &) = delete;
    BulkRequests &operator=(const BulkRequests &) = delete;

    // Queues a read of keys (every key of each object when none are given) of the objects, in order.
    HRESULT QueueGet(std::vector<std::wstring> objectIds, std::optional<std::vector<PROPERTYKEY>> keys,
                     IPortableDevicePropertiesBulkCallback *callback, GUID *context);
    // HRESULT_FROM_WIN32(ERROR_NOT_FOUND) for a context that is not queued (never given, or started).
    HRESULT Start(REFGUID context);
    // A queued request is dropped; a running one ends before its next batch, with OnEnd reporting
    // HRESULT_FROM_WIN32(ERROR_CANCELLED). HRESULT_FROM_WIN32(ERROR_NOT_FOUND) for an unknown context.
    HRESULT Cancel(REFGUID context);

private:
    struct Request;
    struct ContextOrder {
        bool operator()(const GUID &a, const GUID &b) const noexcept;
    };
    static void Run(Phone &phone, unsigned connection, Request &request);
    static HRESULT ReadBatch(Phone &phone, const Request &request, std::size_t first, std::size_t count,
                             Microsoft::WRL::ComPtr<IPortableDeviceValuesCollection> *results);

    Phone &phone_;  // outlives every request: the phone waits for its thread's jobs
    const unsigned connection_;
    std::mutex mutex_;
    std::map<GUID, std::shared_ptr<Request>, ContextOrder> queued_;
    std::map<GUID, std::weak_ptr<Request>, ContextOrder> started_;  // while they run
};

}  // namespace vphone
