// The platform's own HRESULTs (facility 42) that the phone gives.
#pragma once

#include "device/wpd_api.h"

namespace vphone {

inline constexpr HRESULT kDeviceAlreadyOpened = wpd::E_WPD_DEVICE_ALREADY_OPENED;
inline constexpr HRESULT kDeviceNotOpen = wpd::E_WPD_DEVICE_NOT_OPEN;
inline constexpr HRESULT kObjectNotCommitted = wpd::E_WPD_OBJECT_NOT_COMMITED;

}  // namespace vphone
