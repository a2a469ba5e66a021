// What the system and the "DEVICE" object say about a phone.
#pragma once

#include <string>
#include <vector>

namespace vphone {

struct PhoneIdentity {
    std::wstring manufacturer = L"Virtual";
    std::wstring model = L"Virtual Phone";
    std::wstring serialNumber = L"VP0001";
    std::wstring friendlyName = L"Virtual Phone";
    std::wstring instanceId;                 // e.g. USB\VID_0FCE&PID_0176\SIM0001
    std::vector<std::wstring> hardwareIds;  // most specific first
};

// The device-interface path that the system derives from an instance id:
// \\?\ + instance id lower-cased with '\' turned into '#' + #{6ac27878-a6fa-4155-ba85-f98f491d4f33}.
std::wstring DeviceInterfacePath(const std::wstring &instanceId);

}  // namespace vphone
