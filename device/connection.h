// Device discovery over SetupAPI and opening through the portable-device manager.
#pragma once

#include <windows.h>

#include "device/wpd_api.h"

constexpr unsigned kDevicePathChars = 260;
constexpr unsigned kMaxInterfacePaths = 32;

// Fills paths with the portable-device interface paths of the present device that carries deviceId
// (a hardware id, or with matchInstanceId the instance id; letters compared without case).
bool FindDeviceInterfaces(wchar_t (*paths)[kDevicePathChars], unsigned maxPaths, bool matchInstanceId,
                          const char *deviceId);

// Opens the device with Orvik's client information, read-only when full access is refused.
HRESULT OpenPortableDevice(const wchar_t *pnpDeviceId, IPortableDevice **device);
