// The value syntaxes of a description: sizes, dates, object formats and content types. Each answers
// nothing for text it does not accept.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace vphone::description {

// Text without the blanks at either end.
std::wstring_view Trim(std::wstring_view text);
// A GUID in braces, "{6AC27878-A6FA-4155-BA85-F98F491D4F33}".
std::optional<GUID> ParseGuid(std::wstring_view text);
// Decimal digits, or at most max.
std::optional<std::uint64_t> ParseNumber(std::wstring_view text, std::uint64_t max);
// "1536", "12 B", "700 KiB", "3 MiB", "4 GiB", "2 TiB" (binary units).
std::optional<std::uint64_t> ParseSize(std::wstring_view text);
// "2009-06-30", "2009-06-30 18:45" or "2009-06-30 18:45:10", as an OLE date.
std::optional<double> ParseDate(std::wstring_view text);
// An MTP object format code "0x3009" or a GUID "{...}".
std::optional<GUID> ParseFormat(std::wstring_view text);
// folder, audio, image, video, playlist, unspecified, or a GUID "{...}".
std::optional<GUID> ParseContentType(std::wstring_view text);

}  // namespace vphone::description
