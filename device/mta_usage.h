// Keeps the process's multithreaded apartment alive while a handle is connected. Each call's worker
// leaves the apartment when it ends; in a host with no thread of its own in it, the apartment (and the
// DLLs that COM loaded for it) would otherwise go between two calls while the opened device, made in
// it, lives on.
#pragma once

#include <windows.h>

#include "win/unique_any.h"

class MtaUsage {
public:
    MtaUsage() noexcept = default;
    ~MtaUsage() { Release(); }
    MtaUsage(const MtaUsage &) = delete;
    MtaUsage &operator=(const MtaUsage &) = delete;

    // From a thread in the apartment. CoIncrementMTAUsage where the system has it (Windows 8 and
    // later), else a thread of ours that stays in the apartment. Nothing happens when already held.
    [[nodiscard]] HRESULT Acquire() noexcept;
    void Release() noexcept;
    bool Held() const noexcept { return cookie_ || holder_; }

    // The fallback alone, for systems without CoIncrementMTAUsage.
    [[nodiscard]] HRESULT AcquireWithHolderThread() noexcept;

private:
    static DWORD WINAPI HoldApartment(void *parameter);

    void *cookie_ = nullptr;          // CO_MTA_USAGE_COOKIE
    win::UniqueHandle holder_;        // the holding thread
    win::UniqueHandle releaseHolder_; // set to let it leave
};
