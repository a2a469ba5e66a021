// Installing a described phone into the system: its device, its entry in the phone list, and the COM
// registration of the server that serves it. Installing (again) starts the phone as its description
// gives it; uninstalling removes all three (the registration with the last phone) and what the phone
// kept in its data folder.
#pragma once

#include "virtualphone/install/phone_list.h"

#include <windows.h>

#include <string>

namespace vphone::install {

struct PhoneInstallation {
    std::wstring descriptionFile;
    std::wstring name;        // default: the description file's name without its extension
    std::wstring dataFolder;  // default: <local application data>\Orvik\VirtualPhone\<name>
    std::wstring serverPath;  // full path of virtualphone.dll
};

// On failure *message says why (a description error names its line).
[[nodiscard]] HRESULT InstallPhone(const PhoneInstallation &installation, InstalledPhone *installed,
                                   std::wstring *message) noexcept;
// S_OK also when no phone of that name is installed.
[[nodiscard]] HRESULT UninstallPhone(const std::wstring &name) noexcept;
[[nodiscard]] HRESULT UninstallAllPhones() noexcept;
// Puts an installed phone back to its description, for the processes that have it open too: what
// hosts gave it goes. HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when no phone of that name is installed.
[[nodiscard]] HRESULT ResetPhone(const std::wstring &name) noexcept;

}  // namespace vphone::install
