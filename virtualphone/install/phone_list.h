// The list of installed phones that virtualphone.dll serves:
// HKLM\Software\Orvik\VirtualPhone\Phones\<name>.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vphone::install {

struct InstalledPhone {
    std::wstring name;
    std::wstring descriptionFile;  // full path
    std::wstring dataFolder;       // where data written to the phone goes
    std::wstring instanceId;
    std::wstring interfacePath;
};

// Adds the phone, or replaces the entry of that name.
[[nodiscard]] HRESULT AddInstalledPhone(const InstalledPhone &phone) noexcept;
// S_OK also when there is no entry of that name.
[[nodiscard]] HRESULT RemoveInstalledPhone(const std::wstring &name) noexcept;
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is no entry of that name.
[[nodiscard]] HRESULT FindInstalledPhone(const std::wstring &name, InstalledPhone *phone) noexcept;
// In the registry's order; empty when nothing is installed.
[[nodiscard]] HRESULT InstalledPhones(std::vector<InstalledPhone> *phones) noexcept;

}  // namespace vphone::install
