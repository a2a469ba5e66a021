// The few registry operations the installer needs, as HRESULTs.
#pragma once

#include "virtualphone/install/registry_handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vphone::install {

HRESULT LastErrorResult() noexcept;

HRESULT CreateKey(HKEY root, const std::wstring &path, UniqueKey *key);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the key does not exist.
HRESULT OpenKey(HKEY root, const std::wstring &path, REGSAM access, UniqueKey *key);
// name null: the key's default value.
HRESULT WriteString(HKEY key, const wchar_t *name, const std::wstring &value);
HRESULT WriteDword(HKEY key, const wchar_t *name, DWORD value);
HRESULT ReadString(HKEY key, const wchar_t *name, std::wstring *value);
HRESULT SubkeyNames(HKEY key, std::vector<std::wstring> *names);
// Deletes the key only when it has neither subkeys nor values; S_OK also when it stays or was not there.
HRESULT DeleteIfEmpty(HKEY root, const std::wstring &path);
// S_OK also when the key was not there.
HRESULT DeleteTree(HKEY root, const std::wstring &path);

}  // namespace vphone::install
