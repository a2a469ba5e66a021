// Device discovery over SetupAPI and opening through the portable-device manager.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "device/wpd_api.h"

constexpr unsigned kDevicePathChars = 260;

// The portable-device interface paths, whole, of the first present device node that carries deviceId
// (a hardware id, or with matchInstanceId the instance id; letters compared without case) and has
// such an interface. A composite phone has several nodes with its hardware id, and its first often
// has none. Empty when no node has one.
std::vector<std::wstring> FindDeviceInterfaces(bool matchInstanceId, const char *deviceId);

// Opens the device with Orvik's client information, read-only when full access is refused.
HRESULT OpenPortableDevice(const wchar_t *pnpDeviceId, IPortableDevice **device);
