// Who uses the device object behind a handle: the host, from WPD_Initialize to WPD_Uninitialize, and
// each call while it runs. The last user to let go destroys the object, so a host that uninitializes a
// handle from a window procedure while a call on it runs (the calling thread pumps its messages)
// frees nothing under that call.
#pragma once

#include <atomic>
#include <shared_mutex>

class HandleUse {
public:
    // On the calling thread, before the call's worker starts; false once the host has let go.
    bool BeginCall() noexcept {
        if (hostLetGo_.load()) return false;
        ++users_;
        return true;
    }
    // True when the caller was the last user and destroys the object.
    bool EndCall() noexcept { return --users_ == 0; }
    // WPD_Uninitialize: true when no call runs and the caller destroys the object.
    bool LetGo() noexcept {
        hostLetGo_ = true;
        return --users_ == 0;
    }
    // Running transfers stop when the host has let go: nobody waits for their outcome.
    bool HostLetGo() const noexcept { return hostLetGo_.load(); }

    // Every call holds the connection shared while it runs; Connect and Disconnect, which change it,
    // hold it alone.
    std::shared_mutex &Connection() noexcept { return connection_; }

private:
    std::atomic<long> users_{1};
    std::atomic<bool> hostLetGo_{false};
    std::shared_mutex connection_;
};
