// What a phone maker adds to the standard phone (its MTP-extension commands and vendor device
// properties), and the clients subscribed to the phone's events across all its opened device objects.
#pragma once

#include "device/wpd_api.h"

#include <windows.h>
#include <wrl/client.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vphone {

class PhoneExtension {
public:
    virtual ~PhoneExtension() = default;
    // One MTP-extension command: the return value is the command's own result, which the device puts
    // into WPD_PROPERTY_COMMON_HRESULT; results receives the command's other outputs.
    virtual HRESULT SendCommand(IPortableDeviceValues *parameters, IPortableDeviceValues *results) = 0;
    // A vendor property of the DEVICE object; HRESULT_FROM_WIN32(ERROR_NOT_FOUND) for keys that are not
    // the extension's. Called under the phone's lock: must not call back into the phone.
    virtual HRESULT ReadDeviceProperty(const PROPERTYKEY &key, PROPVARIANT *value) = 0;
    virtual HRESULT WriteDeviceProperty(const PROPERTYKEY &key, const PROPVARIANT &value) = 0;
    // The state that outlives a session (a clock, say), which the phone keeps with its content: as
    // text, and back from that text (empty: the extension's first state). Called under the phone's
    // lock; a change of it goes through Phone::ChangeExtensionState.
    virtual std::wstring SavedState() const = 0;
    virtual void RestoreState(const std::wstring &state) = 0;
};

class PhoneEvents {
public:
    void Add(const void *device, std::wstring cookie, Microsoft::WRL::ComPtr<IPortableDeviceEventCallback> callback) {
        std::lock_guard lock(mutex_);
        subscribers_.push_back({device, std::move(cookie), std::move(callback)});
    }
    bool Remove(const void *device, const std::wstring &cookie) {
        return Drop([&](const Subscriber &s) { return s.device == device && s.cookie == cookie; }) > 0;
    }
    void RemoveAll(const void *device) {
        Drop([&](const Subscriber &s) { return s.device == device; });
    }
    size_t Count() const {
        std::lock_guard lock(mutex_);
        return subscribers_.size();
    }
    // Calls every subscriber in turn, outside the lock: a callback may subscribe or unsubscribe.
    void Raise(IPortableDeviceValues *parameters) const {
        std::vector<Microsoft::WRL::ComPtr<IPortableDeviceEventCallback>> callbacks;
        {
            std::lock_guard lock(mutex_);
            for (const Subscriber &s : subscribers_) callbacks.push_back(s.callback);
        }
        for (const auto &callback : callbacks) callback->OnEvent(parameters);
    }

private:
    struct Subscriber {
        const void *device;
        std::wstring cookie;
        Microsoft::WRL::ComPtr<IPortableDeviceEventCallback> callback;
    };
    template <class Match>
    size_t Drop(Match &&match) {
        std::vector<Subscriber> dropped;  // released outside the lock: a callback may call back
        std::lock_guard lock(mutex_);
        for (auto it = subscribers_.begin(); it != subscribers_.end();) {
            if (match(*it)) {
                dropped.push_back(std::move(*it));
                it = subscribers_.erase(it);
            } else {
                ++it;
            }
        }
        return dropped.size();
    }

    mutable std::mutex mutex_;
    std::vector<Subscriber> subscribers_;
};

}  // namespace vphone
