// Owners for registry keys and SetupAPI device sets.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "win/unique_any.h"

namespace vphone::install {

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type key) noexcept { RegCloseKey(key); }
};
struct DeviceInfoSetTraits {
    using Type = HDEVINFO;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type set) noexcept { SetupDiDestroyDeviceInfoList(set); }
};

using UniqueKey = win::UniqueAny<RegistryKeyTraits>;
using UniqueDeviceInfoSet = win::UniqueAny<DeviceInfoSetTraits>;

}  // namespace vphone::install
