// The platform's own HRESULTs (facility 42) that the phone gives.
#pragma once

#include <windows.h>

namespace vphone {

inline constexpr HRESULT kDeviceAlreadyOpened = static_cast<HRESULT>(0x802A0001);  // E_WPD_DEVICE_ALREADY_OPENED
inline constexpr HRESULT kDeviceNotOpen = static_cast<HRESULT>(0x802A0002);        // E_WPD_DEVICE_NOT_OPEN
inline constexpr HRESULT kObjectNotCommitted = static_cast<HRESULT>(0x802A0005);   // E_WPD_OBJECT_NOT_COMMITTED

}  // namespace vphone
