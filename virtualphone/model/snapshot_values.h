// Values as a snapshot writes them: texts with every UTF-16 unit outside printable ASCII (and '%')
// written %XXXX, decimal numbers, GUIDs in braces, floating-point numbers by their bits in hex (exact,
// whatever the locale), bytes in hex, and the property values a phone's properties take.
#pragma once

#include <windows.h>
#include <propidl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vphone {

std::wstring Escape(std::wstring_view text);
bool Unescape(std::wstring_view text, std::wstring *out);
bool Decimal(std::wstring_view text, std::uint64_t *value);
std::wstring GuidText(const GUID &guid);
bool ParseGuid(std::wstring_view text, GUID *guid);
std::wstring HexText(const std::uint8_t *bytes, std::size_t count);
bool ParseHexBytes(std::wstring_view text, std::vector<std::uint8_t> *bytes);
std::wstring BitsText(double value);
bool ParseBits(std::wstring_view text, double *value);
// The first word of text, and what follows its space.
std::wstring_view Split(std::wstring_view *text);

// "TYPE VALUE" is written by the caller; these give and take the VALUE. DISP_E_BADVARTYPE for a type a
// snapshot cannot keep.
HRESULT VariantText(const PROPVARIANT &value, std::wstring *text);
// Fills a cleared value; what it allocates is the caller's to clear. Throws std::bad_alloc.
bool ParseVariant(VARTYPE type, std::wstring_view text, PROPVARIANT *value);
// "{FMTID} PID"
std::wstring KeyText(const PROPERTYKEY &key);
bool ParseKey(std::wstring_view *text, PROPERTYKEY *key);

}  // namespace vphone
