// Paths for the virtual phone's test programs: the build and source trees, which the programs get as
// Unix paths, as Wine sees them, and scratch folders of their own.
#pragma once

#include <windows.h>

#include <string>

namespace vphone_test {

// The Z: drive maps the Unix root.
inline std::wstring WinePath(const char *unixPath) {
    std::wstring path = L"Z:";
    for (const char *c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

// A new folder in the temp folder, named for this process; the caller removes it.
inline std::wstring MakeScratchFolder(const wchar_t *prefix) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace vphone_test
