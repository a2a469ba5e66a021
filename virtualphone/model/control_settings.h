// The controls of an installed phone as plain values: what its description starts it with, what
// vphone-ctl changes, and what its controls file holds for every process that serves it.
#pragma once

#include "virtualphone/model/link.h"

#include <windows.h>
#include <propsys.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vphone {

// The most calls or vendor exchanges an installed phone may be told to keep.
inline constexpr std::size_t kMaxRecordLimit = 1'000'000;

// A platform method ("IPortableDeviceContent::EnumObjects") that fails with hr before it does
// anything: at its nth call counted from when the fault was set, or at every call (nth 0).
struct InjectedFault {
    std::string method;
    unsigned nth = 0;
    HRESULT hr = E_FAIL;

    bool operator==(const InjectedFault &) const = default;
};

// GetValues reports key as a VT_ERROR hr, for every object.
struct UnreadableProperty {
    PROPERTYKEY key{};
    HRESULT hr = E_ACCESSDENIED;

    bool operator==(const UnreadableProperty &other) const noexcept {
        return key.fmtid == other.key.fmtid && key.pid == other.key.pid && hr == other.hr;
    }
};

struct ControlSettings {
    // Every call fails as a removed device's do, and the manager lists no device.
    bool unplugged = false;
    bool refuseFullAccess = false;  // Open: E_ACCESSDENIED unless the client asks for GENERIC_READ only
    DWORD readTransferSize = 256 * 1024;  // optimal transfer sizes reported to clients (may be 0)
    DWORD writeTransferSize = 256 * 1024;
    LinkSpeed link;
    std::size_t recordLimit = 0;  // calls and vendor exchanges kept, the oldest going first; 0: none
    std::vector<InjectedFault> faults;
    std::vector<UnreadableProperty> unreadable;

    bool operator==(const ControlSettings &) const = default;
};

}  // namespace vphone
