// Device paths: backslash-separated, optional leading backslash, the first component a storage.
#pragma once

#include <windows.h>

#include "media/object_record.h"

// Refusal of a path or identifier that does not fit its fixed field; maps to WPD_ERROR_FAILED.
inline constexpr HRESULT E_PATH_TOO_LONG = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

// destination ← the path with one leading backslash and without one trailing backslash; an absent or
// empty path, and a single backslash, are the root "\". False (destination empty) when the result
// would not fit 259 characters.
bool NormalizeDevicePath(wchar_t (&destination)[kNameChars], const wchar_t *source);
