#include "virtualphone/platform/task_memory_accounting.h"

#include "virtualphone/model/phone_accounting.h"
#include "virtualphone/values/value_classes.h"
#include "win/com_object.h"

#include <objidl.h>

#include <mutex>
#include <unordered_set>

namespace vphone {
namespace {

// Keeps the addresses of blocks allocated while a phone method runs on the allocating thread.
class PhoneMallocSpy final : public IMallocSpy {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void **object) noexcept override {
        if (!object) return E_POINTER;
        *object = iid == __uuidof(IUnknown) || iid == __uuidof(IMallocSpy) ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    // Static lifetime: COM's references do not decide it.
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return 2; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T bytes) noexcept override { return bytes; }
    void *STDMETHODCALLTYPE PostAlloc(void *block) noexcept override {
        if (block && (PhoneMethodScope::Active() || HandingOutTaskMemory())) Track(block);
        return block;
    }
    void *STDMETHODCALLTYPE PreFree(void *block, BOOL) noexcept override {
        Untrack(block);
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) noexcept override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void *block, SIZE_T bytes, void **request, BOOL) noexcept override {
        reallocated_ = Untrack(block);
        *request = block;
        return bytes;
    }
    void *STDMETHODCALLTYPE PostRealloc(void *block, BOOL) noexcept override {
        if (block && (reallocated_ || PhoneMethodScope::Active() || HandingOutTaskMemory())) Track(block);
        return block;
    }
    void *STDMETHODCALLTYPE PreGetSize(void *block, BOOL) noexcept override { return block; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T bytes, BOOL) noexcept override { return bytes; }
    void *STDMETHODCALLTYPE PreDidAlloc(void *block, BOOL) noexcept override { return block; }
    int STDMETHODCALLTYPE PostDidAlloc(void *, BOOL, int actual) noexcept override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() noexcept override {}
    void STDMETHODCALLTYPE PostHeapMinimize() noexcept override {}

    long Outstanding() const noexcept {
        std::lock_guard lock(mutex_);
        return static_cast<long>(blocks_.size());
    }
    void Forget() noexcept {
        std::lock_guard lock(mutex_);
        blocks_.clear();
    }

private:
    void Track(void *block) noexcept {
        std::lock_guard lock(mutex_);
        try {
            blocks_.insert(block);
        } catch (...) {
            // Losing one address only makes the count low; the spy must never fail an allocation.
        }
    }
    bool Untrack(void *block) noexcept {
        std::lock_guard lock(mutex_);
        return blocks_.erase(block) != 0;
    }

    mutable std::mutex mutex_;
    std::unordered_set<void *> blocks_;
    static thread_local bool reallocated_;
};

thread_local bool PhoneMallocSpy::reallocated_ = false;

PhoneMallocSpy &Spy() {
    static PhoneMallocSpy spy;
    return spy;
}

}  // namespace

HRESULT TaskMemoryAccounting::Register() noexcept {
    Spy().Forget();
    const HRESULT hr = CoRegisterMallocSpy(&Spy());
    registered_ = SUCCEEDED(hr);
    return hr;
}

void TaskMemoryAccounting::Revoke() noexcept {
    if (registered_) CoRevokeMallocSpy();  // with blocks still out, COM revokes once they are freed
    registered_ = false;
}

long TaskMemoryAccounting::OutstandingBlocks() const noexcept { return Spy().Outstanding(); }

}  // namespace vphone
