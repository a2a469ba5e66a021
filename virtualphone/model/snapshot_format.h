// The text a kept phone's content is written as: one line per field, each object's fields between
// "object KIND" and "end", parents before their children, children in their order. Texts are printable
// ASCII with every other UTF-16 unit (and '%') written %XXXX, so that any name comes back as it was.
#pragma once

#include "virtualphone/model/phone_content.h"

#include <windows.h>

#include <string>

namespace vphone {

// Data files of the phone's own are written by file name: they live in the store's folder.
// DISP_E_BADVARTYPE when a property holds a value of a type a snapshot cannot keep.
HRESULT EncodeSnapshot(const PhoneContent &content, std::string *text);
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for text that is not a snapshot.
HRESULT DecodeSnapshot(const std::string &text, const std::wstring &storedFolder, PhoneContent *content);

}  // namespace vphone
