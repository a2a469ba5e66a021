// The system side of a virtual phone: a SetupAPI device with a linked portable-device interface, as a
// real phone's driver would leave it, so that enumeration by hardware or instance id finds it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vphone::install {

// Creates the device (or brings an existing one up to date) and its GUID_DEVINTERFACE_WPD interface,
// and returns the interface path.
[[nodiscard]] HRESULT InstallDevice(const std::wstring &instanceId, const std::vector<std::wstring> &hardwareIds,
                                    std::wstring *interfacePath) noexcept;
// The first node of a composite phone: it carries the phone's hardware ids but exposes no
// portable-device interface, only the phone's modem. The modem's interface class comes before the
// portable-device one in the registry, so enumeration of present devices meets this node first, as it
// meets a composite device's parent before its function nodes on a real system.
[[nodiscard]] HRESULT InstallCompositeParent(const std::wstring &instanceId,
                                             const std::vector<std::wstring> &hardwareIds) noexcept;
// Removes the device with its interfaces and their registry keys; S_OK when there is no such device.
[[nodiscard]] HRESULT UninstallDevice(const std::wstring &instanceId) noexcept;

}  // namespace vphone::install
