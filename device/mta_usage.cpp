#include "device/mta_usage.h"

#include <objbase.h>

namespace {

using IncrementFunction = HRESULT(WINAPI *)(void **cookie);
using DecrementFunction = HRESULT(WINAPI *)(void *cookie);

// Looked up at run time: the functions exist from Windows 8 on, in combase.dll (ole32.dll forwards).
template <class Function>
Function ComFunction(const char *name) noexcept {
    for (const wchar_t *module : {L"combase.dll", L"ole32.dll"}) {
        if (HMODULE loaded = GetModuleHandleW(module)) {
            // Through void (*)(): the one pointer type GetProcAddress returns says nothing of the function.
            if (FARPROC found = GetProcAddress(loaded, name)) {
                return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
            }
        }
    }
    return nullptr;
}

struct HolderStart {
    HANDLE entered;
    HANDLE release;
    HRESULT result;
};

}  // namespace

HRESULT MtaUsage::Acquire() noexcept {
    if (Held()) return S_OK;
    if (const auto increment = ComFunction<IncrementFunction>("CoIncrementMTAUsage")) return increment(&cookie_);
    return AcquireWithHolderThread();
}

HRESULT MtaUsage::AcquireWithHolderThread() noexcept {
    if (Held()) return S_OK;
    const win::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!entered || !release) return HRESULT_FROM_WIN32(GetLastError());
    HolderStart start{entered.get(), release.get(), E_FAIL};
    win::UniqueHandle holder(CreateThread(nullptr, 0, &MtaUsage::HoldApartment, &start, 0, nullptr));
    if (!holder) return HRESULT_FROM_WIN32(GetLastError());
    // Until the holder is in, the caller's own presence keeps the apartment.
    const HANDLE waits[] = {entered.get(), holder.get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (FAILED(start.result)) {
        WaitForSingleObject(holder.get(), INFINITE);
        return start.result;
    }
    holder_ = std::move(holder);
    releaseHolder_ = std::move(release);
    return S_OK;
}

DWORD WINAPI MtaUsage::HoldApartment(void *parameter) {
    auto &start = *static_cast<HolderStart *>(parameter);
    const HANDLE release = start.release;
    start.result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const bool entered = SUCCEEDED(start.result);
    SetEvent(start.entered);  // start is gone after this
    if (!entered) return 1;
    WaitForSingleObject(release, INFINITE);
    CoUninitialize();
    return 0;
}

void MtaUsage::Release() noexcept {
    if (cookie_) {
        if (const auto decrement = ComFunction<DecrementFunction>("CoDecrementMTAUsage")) decrement(cookie_);
        cookie_ = nullptr;
    }
    if (holder_) {
        SetEvent(releaseHolder_.get());
        WaitForSingleObject(holder_.get(), INFINITE);
        holder_.reset();
        releaseHolder_.reset();
    }
}
