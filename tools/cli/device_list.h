// The portable devices present, found as the library finds them: SetupAPI interfaces of the WPD
// interface class that the portable-device manager also lists.
#pragma once

#include <string>
#include <vector>

struct PortableDeviceEntry {
    std::wstring friendlyName;
    std::wstring instanceId;
    std::wstring interfacePath;
    std::vector<std::wstring> hardwareIds;
};

// COM must be initialised on the calling thread. Nothing found, or an error, gives an empty list.
std::vector<PortableDeviceEntry> ListPortableDevices();
