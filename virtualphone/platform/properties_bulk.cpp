#include "virtualphone/platform/properties_bulk.h"

#include "virtualphone/platform/com_out.h"
#include "virtualphone/platform/object_values.h"
#include "virtualphone/platform/phone_method.h"
#include "win/unique_any.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>

namespace vphone {

using Microsoft::WRL::ComPtr;

struct BulkRequests::Request {
    GUID context{};
    std::vector<std::wstring> objectIds;
    std::optional<std::vector<PROPERTYKEY>> keys;
    ComPtr<IPortableDevicePropertiesBulkCallback> callback;
    std::atomic<bool> cancelled{false};
};

namespace {

// The bytes a value takes in MTP's ObjectPropList dataset: handle, property code and data type, then
// the value (a string is a length byte and UTF-16 units with their terminator; a date is such a string
// of 15 characters). Values in error are not sent.
std::uint64_t PropListBytes(const PROPVARIANT &value) {
    constexpr std::uint64_t kElementHeader = 4 + 2 + 2;
    switch (value.vt) {
        case VT_ERROR: return 0;
        case VT_LPWSTR: return kElementHeader + 1 + 2 * ((value.pwszVal ? std::wcslen(value.pwszVal) : 0) + 1);
        case VT_DATE: return kElementHeader + 1 + 2 * 16;
        case VT_CLSID: return kElementHeader + 16;
        case VT_BOOL: return kElementHeader + 2;
        case VT_UI8: return kElementHeader + 8;
        default: return kElementHeader + 4;
    }
}

std::uint64_t PropListBytes(IPortableDeviceValues *values) {
    DWORD count = 0;
    if (FAILED(values->GetCount(&count))) return 0;
    std::uint64_t bytes = 0;
    for (DWORD i = 0; i < count; ++i) {
        PROPERTYKEY key{};
        win::UniquePropVariant value;
        if (SUCCEEDED(values->GetAt(i, &key, value.put()))) bytes += PropListBytes(*value);
    }
    return bytes;
}

}  // namespace

bool BulkRequests::ContextOrder::operator()(const GUID &a, const GUID &b) const noexcept {
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

HRESULT BulkRequests::QueueGet(std::vector<std::wstring> objectIds, std::optional<std::vector<PROPERTYKEY>> keys,
                               IPortableDevicePropertiesBulkCallback *callback, GUID *context) {
    auto request = std::make_shared<Request>();
    HRESULT hr = CoCreateGuid(&request->context);
    if (FAILED(hr)) return hr;
    request->objectIds = std::move(objectIds);
    request->keys = std::move(keys);
    request->callback = callback;
    std::lock_guard lock(mutex_);
    queued_.emplace(request->context, request);
    *context = request->context;
    return S_OK;
}

HRESULT BulkRequests::Start(REFGUID context) {
    std::shared_ptr<Request> request;
    {
        std::lock_guard lock(mutex_);
        const auto queued = queued_.find(context);
        if (queued == queued_.end()) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        request = std::move(queued->second);
        queued_.erase(queued);
        std::erase_if(started_, [](const auto &entry) { return entry.second.expired(); });
        started_.emplace(context, request);
    }
    phone_.Worker().Post([&phone = phone_, connection = connection_, request] { Run(phone, connection, *request); });
    return S_OK;
}

HRESULT BulkRequests::Cancel(REFGUID context) {
    std::shared_ptr<Request> dropped;  // released outside the lock: its callback is the client's code
    std::lock_guard lock(mutex_);
    if (const auto queued = queued_.find(context); queued != queued_.end()) {
        dropped = std::move(queued->second);
        queued_.erase(queued);
        return S_OK;
    }
    const auto started = started_.find(context);
    const std::shared_ptr<Request> running = started != started_.end() ? started->second.lock() : nullptr;
    if (!running) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    running->cancelled = true;
    return S_OK;
}

// On the phone's thread. The request's values are released before OnEnd, so that a client that stops
// waiting at OnEnd finds nothing of the phone's still referenced; the callback itself goes after it.
void BulkRequests::Run(Phone &phone, unsigned connection, Request &request) {
    PhoneControls &controls = phone.Controls();
    HRESULT status = request.callback->OnStart(request.context);
    for (std::size_t first = 0; SUCCEEDED(status) && first < request.objectIds.size(); first += kObjectsPerBatch) {
        if (request.cancelled) {
            status = HRESULT_FROM_WIN32(ERROR_CANCELLED);
        } else if (!controls.Connected(connection)) {
            status = kPhoneUnplugged;
        } else {
            ComPtr<IPortableDeviceValuesCollection> results;
            status = ReadBatch(phone, request, first, std::min(kObjectsPerBatch, request.objectIds.size() - first),
                               &results);
            if (SUCCEEDED(status)) status = request.callback->OnProgress(request.context, results.Get());
        }
    }
    request.callback->OnEnd(request.context, SUCCEEDED(status) ? S_OK : status);
    request.callback.Reset();
}

// One batch's exchange with the phone, which an injected fault of the callback's OnProgress fails. An
// object that is gone is left out of the results.
HRESULT BulkRequests::ReadBatch(Phone &phone, const Request &request, std::size_t first, std::size_t count,
                                ComPtr<IPortableDeviceValuesCollection> *results) {
    PhoneControls &controls = phone.Controls();
    const PhoneMethodScope scope;
    return win::GuardComMethod([&]() -> HRESULT {
        controls.Cable().ChargeRoundTrip();
        const LONGLONG began = Link::Now();
        HRESULT hr = controls.OnCall("IPortableDevicePropertiesBulkCallback::OnProgress",
                                     {NumberArg(first), NumberArg(count)});
        if (FAILED(hr)) return hr;
        hr = NewValuesCollection(results);
        if (FAILED(hr)) return hr;
        const bool priced = !controls.Cable().Speed().Free();
        std::uint64_t bytes = 0;
        for (std::size_t i = first; i < first + count; ++i) {
            const std::wstring &id = request.objectIds[i];
            ComPtr<IPortableDeviceValues> values;
            hr = NewValues(&values);
            bool someUnreadable = false;
            if (SUCCEEDED(hr)) hr = ReadObjectValues(phone, id, request.keys, values.Get(), &someUnreadable);
            if (hr == kObjectNotFound) continue;
            // Whatever was asked, each set names its object.
            if (SUCCEEDED(hr)) hr = values->SetStringValue(wpd::WPD_OBJECT_ID, id.c_str());
            if (SUCCEEDED(hr)) hr = (*results)->Add(values.Get());
            if (FAILED(hr)) return hr;
            if (priced) bytes += PropListBytes(values.Get());
        }
        controls.Cable().ChargeBytes(bytes, began);
        return S_OK;
    });
}

}  // namespace vphone
