// Content type and format that a phone gives a file by its extension.
#pragma once

#include <windows.h>

#include <string>

namespace vphone {

struct FileType {
    GUID contentType;
    GUID format;
};

// Unknown extensions give the unspecified content type and format.
FileType FileTypeOf(const std::wstring &fileName);

}  // namespace vphone
