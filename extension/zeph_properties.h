// The phone maker's vendor-extended MTP device properties. Both share property code 0; the phone tells
// them apart by the type of their value, so each keeps a name of its own.
#pragma once

#include "device/wpd_api.h"

inline constexpr PROPERTYKEY ZEPH_DateTime = {wpd::WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS, 0};  // string
inline constexpr PROPERTYKEY ZEPH_DST = {wpd::WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS, 0};       // unsigned
