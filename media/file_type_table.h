// The file types the library names and types objects by: extension, WPD content type, WPD format.
#pragma once

#include <windows.h>

#include <array>

struct FileType {
    const wchar_t *extension;  // with its leading dot
    GUID contentType;
    GUID format;
};

// Look-ups take the first matching row, so the order is part of the table.
extern const std::array<FileType, 41> FileTypeTable;

// The type of the text from its last "." (a whole device path may be given), compared without regard
// to case; WPD_CONTENT_TYPE_UNSPECIFIED / WPD_OBJECT_FORMAT_UNSPECIFIED when no row matches.
void ContentTypeFromExtension(const wchar_t *text, GUID &contentType);
void FormatFromExtension(const wchar_t *text, GUID &format);

// The first row of that format, or null.
const FileType *FileTypeOfFormat(const GUID &format);
