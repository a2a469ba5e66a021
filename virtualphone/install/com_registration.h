// Registration of virtualphone.dll as the in-process server of the portable-device classes, so that an
// unmodified host's CoCreateInstance finds them.
#pragma once

#include <windows.h>

#include <string>

namespace vphone::install {

// Points the five classes (manager, device, value set, key and property-variant collections) at
// serverPath, threading model "Both". Refuses (HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) to take over
// a class that another server provides.
[[nodiscard]] HRESULT RegisterServer(const std::wstring &serverPath) noexcept;
// Removes the registration of the classes that virtualphone.dll serves; S_OK when there is none.
[[nodiscard]] HRESULT UnregisterServer() noexcept;
// The server registered for the portable-device manager, or HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
[[nodiscard]] HRESULT RegisteredServer(std::wstring *serverPath) noexcept;

}  // namespace vphone::install
