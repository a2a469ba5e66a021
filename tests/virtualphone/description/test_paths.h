// Paths for the virtual phone's test programs: the build and source trees, which the programs get as
// Unix paths, as Wine sees them, and scratch folders of their own.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

namespace vphone_test {

// The Z: drive maps the Unix root.
inline std::wstring WinePath(const char *unixPath) {
    std::wstring path = L"Z:";
    for (const char *c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

// A new folder in the temp folder, named so that no other run (of a process that had the same id,
// say) has one of that name; the caller removes it.
inline std::wstring MakeScratchFolder(const wchar_t *prefix) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GUID guid{};
    CoCreateGuid(&guid);
    wchar_t name[40];
    StringFromGUID2(guid, name, 40);
    std::wstring folder = std::wstring(temp) + prefix + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace vphone_test
