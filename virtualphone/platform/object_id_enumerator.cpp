#include "virtualphone/platform/object_id_enumerator.h"

#include "virtualphone/platform/com_out.h"

#include <algorithm>

namespace vphone {

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Next(ULONG requested, LPWSTR *objectIds, ULONG *fetched) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IEnumPortableDeviceObjectIDs::Next", {NumberArg(requested)},
                          [&]() -> HRESULT {
        if (fetched) *fetched = 0;
        if (!objectIds) return E_POINTER;
        std::lock_guard lock(mutex_);
        const ULONG count = static_cast<ULONG>(std::min<std::size_t>(requested, ids_->size() - next_));
        for (ULONG i = 0; i < count; ++i) {
            const HRESULT hr = CopyToTaskMem((*ids_)[next_ + i], &objectIds[i]);
            if (FAILED(hr)) {
                // All or nothing: what was handed out so far is taken back.
                for (ULONG j = 0; j < i; ++j) {
                    CoTaskMemFree(objectIds[j]);
                    objectIds[j] = nullptr;
                }
                return hr;
            }
        }
        next_ += count;
        if (fetched) *fetched = count;
        return count == requested ? S_OK : S_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Skip(ULONG count) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IEnumPortableDeviceObjectIDs::Skip", {NumberArg(count)},
                          [&]() -> HRESULT {
        std::lock_guard lock(mutex_);
        const std::size_t skipped = std::min<std::size_t>(count, ids_->size() - next_);
        next_ += skipped;
        return skipped == count ? S_OK : S_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Reset() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IEnumPortableDeviceObjectIDs::Reset", {}, [&]() -> HRESULT {
        std::lock_guard lock(mutex_);
        next_ = 0;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Clone(IEnumPortableDeviceObjectIDs **enumerator) noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IEnumPortableDeviceObjectIDs::Clone", {}, [&]() -> HRESULT {
        if (!enumerator) return E_POINTER;
        *enumerator = nullptr;
        std::lock_guard lock(mutex_);
        return HandOut(Create(phone_.Shared(), ids_, next_), IID_PPV_ARGS(enumerator));
    });
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Cancel() noexcept {
    return RunPhoneMethod(Apartment(), phone_, "IEnumPortableDeviceObjectIDs::Cancel", {},
                          []() -> HRESULT { return S_OK; });
}

}  // namespace vphone
