#include "media/bulk_values.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "win/adopt_reference.h"
#include "win/com_object.h"

using Microsoft::WRL::ComPtr;

namespace {

// What the platform hands over while the request runs. The platform calls it on a thread of its own,
// so every result goes in under the lock, and the requesting thread waits for OnEnd before it looks.
class BulkResults final : public win::ComObject<BulkResults, IPortableDevicePropertiesBulkCallback> {
public:
    // Null when memory runs out.
    static ComPtr<BulkResults> For(const TextList &objectIds) {
        ComPtr<BulkResults> results = win::AdoptReference(Create(objectIds));
        if (results && !results->ended_) results.Reset();
        return results;
    }

    void Expect(const GUID &context) {
        std::lock_guard hold(lock_);
        context_ = context;
    }

    // The request's final status, once the platform has ended it.
    HRESULT WaitForEnd() {
        WaitForSingleObject(ended_.get(), INFINITE);
        std::lock_guard hold(lock_);
        return status_;
    }
    std::vector<ComPtr<IPortableDeviceValues>> TakeValues() {
        std::lock_guard hold(lock_);
        return std::move(values_);
    }

    HRESULT STDMETHODCALLTYPE OnStart(REFGUID) noexcept override { return S_OK; }

    // Batches come in no particular order, and one object's values may come in more than one of them.
    HRESULT STDMETHODCALLTYPE OnProgress(REFGUID context, IPortableDeviceValuesCollection *results) noexcept override {
        return win::GuardComMethod([&]() -> HRESULT {
            std::lock_guard hold(lock_);
            if (!results || context != context_) return S_OK;
            DWORD count = 0;
            RETURN_IF_FAILED(results->GetCount(&count));
            for (DWORD i = 0; i < count; ++i) {
                ComPtr<IPortableDeviceValues> values;
                win::UniqueCoTaskMemString id;
                if (FAILED(results->GetAt(i, &values)) || !values ||
                    FAILED(values->GetStringValue(wpd::WPD_OBJECT_ID, id.put())) || !id) {
                    continue;  // not told apart from a missing object: read on its own
                }
                const auto index = indexOf_.find(id.get());
                if (index == indexOf_.end() || index->second >= values_.size()) continue;  // or taken already
                ComPtr<IPortableDeviceValues> &kept = values_[index->second];
                if (!kept) {
                    kept = std::move(values);
                } else {
                    RETURN_IF_FAILED(MergeInto(kept.Get(), values.Get()));
                }
            }
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE OnEnd(REFGUID context, HRESULT status) noexcept override {
        {
            std::lock_guard hold(lock_);
            if (context != context_) return S_OK;
            status_ = status;
        }
        SetEvent(ended_.get());
        return S_OK;
    }

private:
    friend class win::ComObject<BulkResults, IPortableDevicePropertiesBulkCallback>;
    explicit BulkResults(const TextList &objectIds)
        : ended_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), values_(objectIds.Size()) {
        for (size_t i = 0; i < objectIds.Size(); ++i) indexOf_.emplace(objectIds[i], i);
    }

    static HRESULT MergeInto(IPortableDeviceValues *kept, IPortableDeviceValues *more) {
        DWORD count = 0;
        RETURN_IF_FAILED(more->GetCount(&count));
        for (DWORD i = 0; i < count; ++i) {
            PROPERTYKEY key{};
            win::UniquePropVariant value;
            RETURN_IF_FAILED(more->GetAt(i, &key, value.put()));
            RETURN_IF_FAILED(kept->SetValue(key, value.get()));
        }
        return S_OK;
    }

    win::UniqueHandle ended_;
    std::mutex lock_;
    GUID context_{};
    HRESULT status_ = E_UNEXPECTED;
    std::unordered_map<std::wstring, size_t> indexOf_;  // written before the request starts
    std::vector<ComPtr<IPortableDeviceValues>> values_;
};

HRESULT IdCollection(const TextList &objectIds, ComPtr<IPortableDevicePropVariantCollection> &collection) {
    RETURN_IF_FAILED(CreatePropVariantCollection(collection));
    for (size_t i = 0; i < objectIds.Size(); ++i) {
        // The collection keeps its own copy of the value.
        PROPVARIANT value = {};
        value.vt = VT_LPWSTR;
        value.pwszVal = const_cast<wchar_t *>(objectIds[i]);
        RETURN_IF_FAILED(collection->Add(&value));
    }
    return S_OK;
}

}  // namespace

HRESULT ReadValuesInBulk(IPortableDeviceProperties *properties, IPortableDeviceKeyCollection *keys,
                         const TextList &objectIds, std::vector<ComPtr<IPortableDeviceValues>> &values) {
    ComPtr<IPortableDevicePropertiesBulk> bulk;
    RETURN_IF_FAILED(properties->QueryInterface(IID_PPV_ARGS(&bulk)));
    ComPtr<IPortableDevicePropVariantCollection> ids;
    RETURN_IF_FAILED(IdCollection(objectIds, ids));
    const ComPtr<BulkResults> results = BulkResults::For(objectIds);
    if (!results) return E_OUTOFMEMORY;
    GUID context{};
    RETURN_IF_FAILED(bulk->QueueGetValuesByObjectList(ids.Get(), keys, results.Get(), &context));
    results->Expect(context);
    if (const HRESULT started = bulk->Start(context); FAILED(started)) {
        bulk->Cancel(context);  // takes the request, and its reference to the callback, off the queue
        return started;
    }
    const HRESULT ended = results->WaitForEnd();
    // Taken whatever the outcome, so that what came is released here and not on the platform's thread.
    std::vector<ComPtr<IPortableDeviceValues>> received = results->TakeValues();
    RETURN_IF_FAILED(ended);
    values = std::move(received);
    return S_OK;
}
